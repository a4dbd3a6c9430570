// The device's helper thread at work (as with a real display) while the program's thread
// resizes, hides, repaints and destroys the bound window, polls the position and closes
// devices. Run under ThreadSanitizer this proves that only finished data crosses threads.
// The clips are short; the loops wait for the device's answers, never for a time.
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "HeadlessFixture.h"
#include "MciClip.h"
#include "tests/common/TempDir.h"

namespace {


class MciThreads : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        platform::testing::MciUseRealTime(true);
    }
    testutil::TTempDir Temp{"mcithreads"};
    std::string Dir = Temp.String();
};

DWORD_PTR Status(MCIDEVICEID id, DWORD item) {
    MCI_STATUS_PARMS s{0, 0, item, 0};
    mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&s));
    return s.dwReturn;
}

TEST_F(MciThreads, WindowChangesWhilePlayingOnTheHelperThread) {
    const std::string clip = Dir + "/threads.avi";
    mciclip::Write(clip, {24, 96, 64, 60, true});
    HWND top = TopLevel(0, 0, 300, 200);
    HWND panel = Child(top, 10, 10, 96, 64);
    MCI_OPEN_PARMSA open{0, 0, nullptr, clip.c_str(), nullptr};
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, DWORD_PTR(&open)), 0u);
    const MCIDEVICEID id = open.wDeviceID;
    MCI_DGV_WINDOW_PARMSA bind{0, panel, 0, nullptr};
    ASSERT_EQ(mciSendCommandA(id, MCI_WINDOW, MCI_DGV_WINDOW_HWND, DWORD_PTR(&bind)), 0u);
    MCI_PLAY_PARMS play{DWORD_PTR(top), 0, 0};
    ASSERT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)), 0u);

    // Keep changing the window until the play's answer arrives (a generous limit only
    // guards against a hang).
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int turn = 0;
    DWORD_PTR last = 0;
    bool monotonic = true;
    while (Received(MM_MCINOTIFY, top).empty() && std::chrono::steady_clock::now() < limit) {
        HeadlessTest::Drain();
        const DWORD_PTR position = Status(id, MCI_STATUS_POSITION);
        monotonic = monotonic && position >= last;
        last = position;
        switch (turn++ % 6) {
        case 0:
            MoveWindow(panel, 10, 10, 40 + turn % 60, 30 + turn % 40, TRUE);
            break;
        case 1:
            ShowWindow(panel, SW_HIDE);
            break;
        case 2:
            ShowWindow(panel, SW_SHOW);
            break;
        case 3:
            MoveWindow(top, 0, 0, 200 + turn % 100, 150 + turn % 50, TRUE);
            break;
        case 4:
            platform::testing::CaptureWindow(top);
            break;
        default:
            InvalidateRect(panel, nullptr, TRUE);
            break;
        }
        if (turn == 300 && panel) {
            DestroyWindow(panel);
            panel = nullptr;
        }
        if (!panel)
            panel = Child(top, 10, 10, 96, 64); // a new window, not bound: shows nothing
    }
    HeadlessTest::Drain();
    const auto notes = Received(MM_MCINOTIFY, top);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].WParam, MCI_NOTIFY_SUCCESSFUL);
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(Status(id, MCI_STATUS_POSITION), 24u);
    EXPECT_EQ(Status(id, MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_GT(platform::testing::MciSoundPlayed(id).Samples, 0u);
    EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0), 0u);
}

TEST_F(MciThreads, CloseAndReopenWhilePlaying) {
    const std::string clip = Dir + "/reopen.avi";
    mciclip::Write(clip, {60, 64, 48, 30, true});
    HWND top = TopLevel(0, 0, 200, 200);
    HWND panel = Child(top, 0, 0, 64, 48);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        Log().clear();
        MCI_OPEN_PARMSA open{0, 0, nullptr, clip.c_str(), nullptr};
        ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, DWORD_PTR(&open)), 0u);
        EXPECT_EQ(open.wDeviceID, 1u) << "the identifier of a closed device is given out again";
        MCI_DGV_WINDOW_PARMSA bind{0, panel, 0, nullptr};
        mciSendCommandA(open.wDeviceID, MCI_WINDOW, MCI_DGV_WINDOW_HWND, DWORD_PTR(&bind));
        MCI_PLAY_PARMS play{DWORD_PTR(top), 0, 0};
        ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play)), 0u);
        for (int i = 0; i < 50 * round; ++i) {
            HeadlessTest::Drain();
            platform::testing::CaptureWindow(top);
        }
        ASSERT_EQ(mciSendCommandA(open.wDeviceID, MCI_CLOSE, MCI_WAIT, 0), 0u);
        HeadlessTest::Drain();
        const auto notes = Received(MM_MCINOTIFY, top);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_TRUE(notes[0].WParam == MCI_NOTIFY_ABORTED ||
                    notes[0].WParam == MCI_NOTIFY_SUCCESSFUL);
    }
}

} // namespace
