// The player tool on a real display (run under xvfb-run): the program is started on a
// clip, its bar's buttons are clicked through the X server's test extension (xdotool),
// and screenshots of the display show the picture moving, holding, and the bar greying
// Pause and Stop again after a stop and after the clip's end.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/Command.h"
#include "tests/common/Ppm.h"
#include "tests/common/TempDir.h"
#include "tools/generators/clipgen/ClipWriter.h"

namespace {

using Shot = testutil::Ppm;
using testutil::ReadPpm;

int ShellValue(const std::string& shell, const std::string& key) {
    const auto at = shell.find(key + "=");
    return at == std::string::npos ? -1 : std::atoi(shell.c_str() + at + key.size() + 1);
}

constexpr int VideoWidth = 160, VideoHeight = 120, BarHeight = 30;

class PlayerGui : public ::testing::Test {
protected:
    void TearDown() override {
        if (Program > 0) {
            kill(Program, SIGTERM);
            waitpid(Program, nullptr, 0);
        }
    }
    void Start(const std::string& clip) {
        std::string program = QUILLOT_PLAYER;
        std::string file = clip;
        char* argv[] = {program.data(), file.data(), nullptr};
        ASSERT_EQ(posix_spawn(&Program, program.c_str(), nullptr, nullptr, argv, environ), 0);
    }
    Shot Screenshot() {
        const std::string path = Dir / "screen.ppm";
        Shot shot;
        if (std::system(("import -window root -depth 8 " + path).c_str()) == 0)
            ReadPpm(path, shot);
        return shot;
    }
    void ClickButton(int n) {
        const std::string cmd = "xdotool mousemove " + std::to_string(X + 28 * n + 10) + " " +
                                std::to_string(Y + VideoHeight + 15) + " click 1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    std::vector<unsigned char> Video(const Shot& s) {
        return s.Region(X, Y, VideoWidth, VideoHeight);
    }
    std::vector<unsigned char> Button(const Shot& s, int n) {
        return s.Region(X + 28 * n + 2, Y + VideoHeight + 2, 25, BarHeight - 4);
    }
    // Takes screenshots until `done` holds for one (or a generous limit passes).
    bool WaitFor(const std::function<bool(const Shot&)>& done, Shot& last) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < limit) {
            last = Screenshot();
            if (last.Width > 0 && done(last))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    testutil::TTempDir Dir{"quillot-player-gui"};
    pid_t Program = 0;
    std::string Window;
    int X = 0, Y = 0;
};

TEST_F(PlayerGui, ClicksOnTheBarPlayPauseAndStop) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display";
    if (std::system("command -v xdotool > /dev/null") != 0 ||
        std::system("command -v import > /dev/null") != 0)
        GTEST_SKIP() << "xdotool or imagemagick missing";

    clipgen::TClipSpec spec;
    spec.Title = "gui";
    spec.Frames = 45;
    spec.Width = VideoWidth;
    spec.Height = VideoHeight;
    const std::string clip = Dir / "guiclip.avi";
    clipgen::WriteClip(clip, spec);
    Start(clip);

    Window = testutil::CommandOutput("xdotool search --sync --name '^guiclip.avi - ' | head -1");
    while (!Window.empty() && Window.back() == '\n')
        Window.pop_back();
    ASSERT_FALSE(Window.empty());
    const std::string geometry =
        testutil::CommandOutput("xdotool getwindowgeometry --shell " + Window);
    X = ShellValue(geometry, "X");
    Y = ShellValue(geometry, "Y");
    ASSERT_GE(X, 0);
    ASSERT_GE(Y, 0);

    // Stopped at the start: Pause and Stop greyed.
    Shot start;
    ASSERT_TRUE(WaitFor([](const Shot&) { return true; }, start));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    start = Screenshot();

    ClickButton(0); // Play
    Shot moving;
    EXPECT_TRUE(WaitFor([&](const Shot& s) { return Video(s) != Video(start); }, moving))
        << "frames change after Play";
    EXPECT_NE(Button(moving, 1), Button(start, 1)) << "Pause usable while playing";

    ClickButton(1); // Pause
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Shot paused = Screenshot();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(Video(Screenshot()), Video(paused)) << "the frame holds while paused";

    ClickButton(2); // Stop
    Shot stopped;
    EXPECT_TRUE(WaitFor([&](const Shot& s) { return Button(s, 1) == Button(start, 1); }, stopped))
        << "Pause greyed after Stop";

    ClickButton(0); // Play to the end: the notification greys Pause and Stop again
    Shot playing;
    ASSERT_TRUE(WaitFor([&](const Shot& s) { return Button(s, 1) != Button(start, 1); }, playing));
    Shot ended;
    EXPECT_TRUE(WaitFor(
        [&](const Shot& s) {
            return Button(s, 1) == Button(start, 1) && Button(s, 2) == Button(start, 2);
        },
        ended));
}

} // namespace
