// The player tool's window run headless under the application object: the clip opens
// once the loop runs, the bar's buttons are pressed with injected input, and the picture,
// the caption and the bar's state follow.
#include <gtest/gtest.h>

#include "platform/testing/Testing.h"
#include "tests/common/TempDir.h"
#include "tools/dev/player/PlayerForm.h"
#include "tools/generators/clipgen/ClipWriter.h"

namespace {

namespace pt = platform::testing;
using media::TButtonSet;

class PlayerForm : public ::testing::Test {
protected:
    void SetUp() override {
        pt::UseHeadless();
        pt::Reset();
        pt::SetScreenSize(1280, 1024);
        ui::RegisterFormsUnit();
        media::RegisterMediaUnit();
        ui::InitApplication();
    }
    void TearDown() override {
        ui::DoneApplication();
        pt::Reset();
    }
    void Start(const std::string& file) {
        player::TPlayerForm::FileToPlay = file;
        ui::Application->MakeForm(Form);
        Form->Show();
        pt::PumpMessages();
    }
    std::string MakeClip(const std::string& name, int frames) {
        clipgen::TClipSpec spec;
        spec.Title = name;
        spec.Frames = frames;
        spec.Width = 160;
        spec.Height = 120;
        clipgen::WriteClip(Dir / name, spec);
        return Dir / name;
    }
    // Presses and releases the bar's n-th button.
    void PressButton(int n) {
        pt::ClickClient(Form->MediaPlayer()->Handle(), 28 * n + 10, 15);
        pt::PumpMessages();
    }
    pt::Image Picture() { return pt::CaptureWindow(Form->Display()->Handle()); }
    std::string WindowText() {
        char text[256] = {};
        GetWindowTextA(Form->Handle(), text, sizeof text);
        return text;
    }

    testutil::TTempDir Dir{"quillot-player"};
    player::TPlayerForm* Form = nullptr;
};

TEST_F(PlayerForm, BarButtonsPlayPauseAndStopTheClip) {
    Start(MakeClip("clip.avi", 45));
    media::TMediaPlayer* mp = Form->MediaPlayer();
    ASSERT_TRUE(mp->IsOpen());
    EXPECT_EQ(WindowText(), "clip.avi - 0 / 45");
    EXPECT_EQ(Form->Display()->Width(), 253) << "the window is as wide as the bar at least";
    EXPECT_EQ(Form->Display()->Height(), 120);
    EXPECT_FALSE(mp->ButtonUsable(media::btPause));

    const pt::Image first = Picture();
    PressButton(media::btPlay);
    EXPECT_EQ(mp->Mode(), media::mpPlaying);
    EXPECT_TRUE(mp->ButtonUsable(media::btPause));
    pt::RunFor(1000);
    EXPECT_EQ(mp->Position(), 15);
    EXPECT_NE(Picture().Pixels, first.Pixels) << "frames change while playing";
    EXPECT_EQ(WindowText(), "clip.avi - 15 / 45");

    PressButton(media::btPause);
    EXPECT_EQ(mp->Mode(), media::mpPaused);
    const pt::Image held = Picture();
    pt::RunFor(1000);
    EXPECT_EQ(mp->Position(), 15);
    EXPECT_EQ(Picture().Pixels, held.Pixels) << "the frame holds while paused";

    PressButton(media::btStop);
    EXPECT_EQ(mp->Mode(), media::mpStopped);
    EXPECT_FALSE(mp->ButtonUsable(media::btPause));
    EXPECT_FALSE(mp->ButtonUsable(media::btStop));
    EXPECT_TRUE(mp->ButtonUsable(media::btPlay));

    // Played to its end, the notification greys Pause and Stop again.
    PressButton(media::btPlay);
    EXPECT_TRUE(mp->ButtonUsable(media::btStop));
    pt::RunFor(3000);
    EXPECT_EQ(mp->Position(), 45);
    EXPECT_FALSE(mp->ButtonUsable(media::btPause));
    EXPECT_FALSE(mp->ButtonUsable(media::btStop));
    EXPECT_EQ(WindowText(), "clip.avi - 45 / 45");
}

TEST_F(PlayerForm, AFileThatCannotBeOpenedIsReportedByTheApplication) {
    pt::RunAt(pt::Now() + 100, [] { pt::PressMessageBoxButton(); });
    Start(Dir / "missing.avi");
    pt::RunFor(200);
    const auto boxes = pt::MessageBoxHistory();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].Text.find("not"), std::string::npos) << boxes[0].Text;
    EXPECT_FALSE(Form->MediaPlayer()->IsOpen());
}

} // namespace
