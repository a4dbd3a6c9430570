// The program's main window class, made in this process on a real display (run under
// xvfb-run): real pointer clicks made by the X server's test extension reach a hot-spot's
// handler, the disabled "Back" ignores them, and closing the window the way a window
// manager does ends the message loop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/Main.h"
#include "app/Program.h"
#include "platform/testing/Testing.h"
#include "tests/common/DisplayNeeds.h"
#include "ui/Buttons.h"
#include "ui/ExtCtrls.h"

using app::TForm1;
using namespace ui;

namespace {

// Runs the framework's message steps for `ms` milliseconds of real time.
void PumpFor(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string ClickCommand(TForm1* form, TControl* c) {
    const rtl::TPoint p =
        form->ClientToScreen({c->Left() + c->Width() / 2, c->Top() + c->Height() / 2});
    char cmd[96];
    std::snprintf(cmd, sizeof cmd, "xdotool mousemove %d %d click 1; sleep 0.7; ", p.X, p.Y);
    return cmd;
}

} // namespace

TEST(MainWindowGui, RealClicksAndTheWindowManagersCloseEndTheLoop) {
    if (const std::string why = testutil::DisplayMissing({"xdotool"}); !why.empty())
        GTEST_SKIP() << why;
    // The program plays its clips from its own folder: the build's clips.
    platform::testing::SetModuleFileName(std::string(QUILLOT_CLIP_DIR) + "/quillot");
    app::StartFramework();
    // The program's own global, which its handlers use.
    TForm1*& Form1 = app::Form1;
    Application->MakeForm(Form1);
    Form1->Show();
    PumpFor(1500); // the server maps and shows the window

    // From outside the program, as a user would: Back (disabled), the Korean hot-spot,
    // Back again (now enabled), then the window manager's close request.
    std::string script = "sleep 0.5; " + ClickCommand(Form1, Form1->back) +
                         ClickCommand(Form1, Form1->b_korean) + ClickCommand(Form1, Form1->back) +
                         "xdotool search --name '^Quillot 05 Vol. 1 $' | head -1 | "
                         "xargs -r " QUILLOT_XCLOSE " > /dev/null 2>&1";
    std::thread user([script] { std::system(script.c_str()); });
    // Never hang: after a generous real-time limit the window is closed from here (the
    // screen state then shows what went missing).
    std::atomic<bool> finished{false};
    HWND app = Application->Handle();
    std::thread watchdog([&finished, app] {
        for (int i = 0; i < 300 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!finished)
            ::PostMessageA(app, WM_CLOSE, 0, 0);
    });
    Application->RunLoop();
    finished = true;
    user.join();
    watchdog.join();
    EXPECT_TRUE(Application->Terminated());
    // The Korean introduction was chosen, then left for the Korean category screen.
    EXPECT_EQ(Form1->ClipState(), 0);
    EXPECT_TRUE(Form1->Korean());
    EXPECT_TRUE(Form1->back->Enabled());
    EXPECT_TRUE(Form1->SelectImage->Visible());
    DoneApplication();
    app::Form1 = nullptr;
    platform::testing::SetModuleFileName("");
}
