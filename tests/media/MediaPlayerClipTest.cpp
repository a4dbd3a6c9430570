// TMediaPlayer on the real digital-video device of the headless backend, with clips that
// the clip writer makes for each test: open, play on the virtual clock, the notification
// at the end, a missing file, and a re-open while playing.
#include "PlayerFixture.h"
#include "tests/common/ExceptionMessage.h"
#include "tests/common/TempDir.h"
#include "tools/generators/clipgen/ClipWriter.h"

namespace media::testing {
namespace {

namespace pt = platform::testing;

struct NotifyLog : formstream::TObject {
    int Calls = 0;
    TMPModes ModeSeen = mpNotReady;
    TButtonSet ButtonsSeen;
    TMediaPlayer* Player = nullptr;
    void Notified(formstream::TObject*) {
        ++Calls;
        ModeSeen = Player->Mode();
        ButtonsSeen = Player->AutoButtons();
    }
};

class PlayerTestClip : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        pt::RemoveMciRecorder(); // the real devices
        Log.Player = Player;
        Player->OnNotify = formstream::TNotifyEvent::Of<&NotifyLog::Notified>(&Log);
        Player->SetDisplay(Panel);
    }
    std::string MakeClip(const std::string& name, int frames) {
        clipgen::TClipSpec spec;
        spec.Title = name;
        spec.Frames = frames;
        spec.Width = 64;
        spec.Height = 48;
        const std::string path = Dir / name;
        clipgen::WriteClip(path, spec);
        return path;
    }
    testutil::TTempDir Dir{"quillot-media"};
    NotifyLog Log;
};

TEST_F(PlayerTestClip, PlaysToTheEndAndNotifiesInTheStoppedMode) {
    Player->SetFileName(MakeClip("thirty.avi", 30));
    Player->Open();
    EXPECT_TRUE(Player->IsOpen());
    EXPECT_EQ(Player->Length(), 30);
    EXPECT_EQ(Player->Position(), 0);
    EXPECT_TRUE(Player->HasVideo());
    EXPECT_EQ(Player->DisplaySize(), (rtl::TPoint{64, 48}));
    EXPECT_EQ(Player->Display(), Panel);
    EXPECT_EQ(Player->Mode(), mpStopped);

    Player->Click(btPlay); // as the bar's button does, without its adjustment
    EXPECT_EQ(Player->Mode(), mpPlaying);
    pt::RunFor(1000); // 15 frames a second
    EXPECT_EQ(Player->Position(), 15);
    EXPECT_EQ(Log.Calls, 0);
    pt::RunFor(1000);
    EXPECT_EQ(Player->Position(), 30);
    EXPECT_EQ(Log.Calls, 1);
    EXPECT_EQ(Player->NotifyValue(), nvSuccessful);
    EXPECT_EQ(Log.ModeSeen, mpStopped);
    EXPECT_TRUE(Log.ButtonsSeen.Contains(btPlay));
    EXPECT_FALSE(Log.ButtonsSeen.Contains(btStop));

    // At the end, Play rewinds and plays again.
    Player->Play();
    pt::RunFor(200);
    EXPECT_EQ(Player->Position(), 3);
}

TEST_F(PlayerTestClip, MissingFileRaisesTheDeviceTextAndLeavesThePlayerClosed) {
    Player->SetFileName(Dir / "missing.avi");
    const std::string message = MessageOf<EMCIDeviceError>([&] { Player->Open(); });
    EXPECT_NE(Player->Error(), 0u);
    EXPECT_EQ(message, Player->ErrorText());
    EXPECT_NE(message, "Unknown error code");
    EXPECT_FALSE(Player->IsOpen());
    EXPECT_EQ(Player->Position(), 0);
}

TEST_F(PlayerTestClip, OpenedByDeviceTypeWithoutAFileKeepsItsDisplay) {
    Player->SetDeviceType(dtAVIVideo);
    Player->Open();
    EXPECT_TRUE(Player->IsOpen());
    EXPECT_TRUE(Player->HasVideo());
    EXPECT_EQ(Player->Error(), 0u) << Player->ErrorText();
    EXPECT_EQ(Player->Display(), Panel) << "the window binding succeeded";
    EXPECT_EQ(Player->DisplaySize(), (rtl::TPoint{0, 0})) << "no picture yet";
    EXPECT_EQ(Player->Length(), 0);
}

TEST_F(PlayerTestClip, ReopenWhilePlayingClosesTheFirstClip) {
    Player->SetFileName(MakeClip("first.avi", 45));
    Player->Open();
    const MCIDEVICEID first = Player->DeviceID();
    Player->Play();
    pt::RunFor(1000);
    ASSERT_EQ(Player->Position(), 15);

    Player->SetFileName(MakeClip("second.avi", 20));
    Player->Open();
    EXPECT_EQ(Player->Length(), 20);
    EXPECT_EQ(Player->Position(), 0);
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    if (Player->DeviceID() != first) {
        EXPECT_EQ(mciSendCommandA(first, MCI_STATUS, MCI_STATUS_ITEM,
                                  reinterpret_cast<DWORD_PTR>(&status)),
                  MCIERR_INVALID_DEVICE_ID)
            << "the first clip's device is closed";
    }
    // Whatever the closed play posts is handled like any notification.
    pt::RunFor(100);
    EXPECT_EQ(Player->Mode(), mpStopped);
    Player->Play();
    pt::RunFor(2000);
    EXPECT_EQ(Player->Position(), 20);
}

} // namespace
} // namespace media::testing
