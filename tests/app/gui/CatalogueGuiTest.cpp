// The real catalogue on a real display (Xvfb in CI), driven with real X input: the
// English choice plays its introduction in the clip frame, "Back" leads to the category
// screen, a category clip plays, "Close" ends the program with exit code 0. Losing the
// display ends the program instead of leaving it behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/common/Command.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

namespace {

using testutil::TTempDir;

// Raw RGB bytes of a screen rectangle, through ImageMagick's screen grab.
std::string Grab(const TTempDir& dir, int x, int y, int w, int h, const std::string& keepAs) {
    const auto raw = dir.Path() / "grab.rgb";
    std::ostringstream cmd;
    cmd << "import -window root -crop " << w << "x" << h << "+" << x << "+" << y
        << " -depth 8 'rgb:" << raw.string() << "'";
    if (std::system(cmd.str().c_str()) != 0)
        return {};
    if (!keepAs.empty())
        std::system(("import -window root '" + (dir.Path() / keepAs).string() + "'").c_str());
    return testutil::ReadAll(raw);
}

bool Uniform(const std::string& rgb) {
    for (std::size_t i = 3; i + 2 < rgb.size(); i += 3)
        if (rgb.compare(i, 3, rgb, 0, 3) != 0)
            return false;
    return true;
}

class CatalogueGui : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no display";
        FPid = fork();
        if (FPid == 0) {
            execl(QUILLOT_PATH, "quillot", static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(FPid, 0);
        const std::string found = testutil::CommandOutput(
            "timeout 30 xdotool search --sync --onlyvisible --name 'Quillot 05 Vol. 1'");
        ASSERT_FALSE(found.empty()) << "the catalogue's window did not appear";
        FWindow = found.substr(0, found.find('\n'));
        std::string geometry =
            testutil::CommandOutput("xdotool getwindowgeometry --shell " + FWindow);
        std::istringstream lines(geometry);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("X=", 0) == 0)
                FX = std::stoi(line.substr(2));
            else if (line.rfind("Y=", 0) == 0)
                FY = std::stoi(line.substr(2));
            else if (line.rfind("WIDTH=", 0) == 0)
                FWidth = std::stoi(line.substr(6));
            else if (line.rfind("HEIGHT=", 0) == 0)
                FHeight = std::stoi(line.substr(7));
        }
        ASSERT_GT(FWidth, 0);
        // The running layout: the background is the outer size less (9, 36), the frame
        // adds (8, 34) to the client size, and the clip frame (700 x 628) is centred.
        FCL = (FWidth + 8 - 9 - 700) / 2;
        FCT = (FHeight + 34 - 36 - 628) / 2;
    }
    void TearDown() override {
        if (FPid > 0 && !FEnded) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
    }
    void Click(int x, int y) {
        std::system(("xdotool mousemove --window " + FWindow + " " + std::to_string(x) + " " +
                     std::to_string(y) + " click 1")
                        .c_str());
    }
    // The clip frame, on the screen.
    std::string Frame(const std::string& keepAs = "") {
        return Grab(FDir, FX + FCL, FY + FCT, 700, 628, keepAs);
    }
    // Waits until the frame's centre shows something other than `before`.
    bool FrameChanges(const std::string& before, const std::string& keepAs) {
        for (int i = 0; i < 100; ++i) {
            const std::string now = Frame();
            if (!now.empty() && now != before && !Uniform(now)) {
                Frame(keepAs);
                return true;
            }
            usleep(100 * 1000);
        }
        return false;
    }
    int WaitExit() {
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            if (waitpid(FPid, &status, WNOHANG) == FPid) {
                FEnded = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(100 * 1000);
        }
        return -2;
    }

    TTempDir FDir;
    pid_t FPid = -1;
    bool FEnded = false;
    std::string FWindow;
    int FX = 0, FY = 0, FWidth = 0, FHeight = 0, FCL = 0, FCT = 0;
};

TEST_F(CatalogueGui, EnglishIntroductionBackCategoryClipClose) {
    const std::string start = Frame("start.png");
    ASSERT_FALSE(start.empty());
    Click(FCL + 493 + 73, FCT + 448 + 14); // the English choice
    EXPECT_TRUE(FrameChanges(start, "introduction.png")) << "no clip frame appeared";
    const std::string intro = Frame();
    Click(FCL + 192 + 50, FCT + 651 + 14); // Back: the English category screen
    EXPECT_TRUE(FrameChanges(intro, "category.png"));
    const std::string category = Frame();
    Click(FCL + 457 + 20, FCT + 504 + 8); // man
    EXPECT_TRUE(FrameChanges(category, "clip.png")) << "the category clip did not show";
    Click(FCL + 402 + 50, FCT + 651 + 14); // Close
    EXPECT_EQ(WaitExit(), 0);
}

// A display server of the test's own, on a display number the server picks.
class TPrivateDisplay {
public:
    TPrivateDisplay() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        FPid = fork();
        if (FPid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The server writes the number and then a newline, not always in one piece.
        std::string number;
        char c = 0;
        while (FPid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        if (!number.empty())
            FName = ":" + number;
        close(fds[0]);
    }
    ~TPrivateDisplay() { Stop(); }
    const std::string& Name() const { return FName; }
    void Stop() {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
    }

private:
    pid_t FPid = -1;
    std::string FName;
};

TEST(CatalogueDisplay, LosingTheDisplayEndsTheProgramAtOnce) {
    TPrivateDisplay display;
    ASSERT_FALSE(display.Name().empty()) << "no Xvfb";
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.Name().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(QUILLOT_PATH, "quillot", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    const std::string found =
        testutil::CommandOutput("DISPLAY=" + display.Name() +
                                " timeout 30 xdotool search --sync --onlyvisible --name "
                                "'Quillot 05 Vol. 1'");
    EXPECT_FALSE(found.empty()) << "the catalogue's window did not appear";
    display.Stop();
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended)
            usleep(100 * 1000);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    ASSERT_TRUE(ended) << "the program lived on without its display";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

} // namespace
