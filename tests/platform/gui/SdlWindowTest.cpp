// Real windows on a display (run under xvfb-run): a top-level window with a child, a
// pointer click made by the X server's test extension (xdotool), and the pixels read back
// from a screenshot of the display.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "RealDisplay.h"
#include "platform/testing/Testing.h"
#include "platform/win32.h"
#include "tests/common/DisplayNeeds.h"
#include "tests/common/TempDir.h"

namespace {

struct Click {
    HWND Hwnd;
    UINT Msg;
    int X, Y;
};
std::vector<Click> Clicks;
int ChildPaints = 0;

LRESULT ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)
        Clicks.push_back(Click{hwnd, msg, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    if (msg == WM_PAINT)
        ++ChildPaints;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

using realdisplay::Ppm;
using realdisplay::PumpUntil;
using realdisplay::ReadPpm;

} // namespace

TEST(SdlWindow, RealClickReachesChildAndPixelsReachTheScreen) {
    if (const std::string why = testutil::DisplayMissing({"xdotool", "import"}); !why.empty())
        GTEST_SKIP() << why;

    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = CreateSolidBrush(RGB(0, 160, 0));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "GuiTop";
    ASSERT_NE(RegisterClassA(&wc), 0);
    wc.lpfnWndProc = ChildProc;
    wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 200));
    wc.hCursor = LoadCursorA(nullptr, IDC_HAND);
    wc.lpszClassName = "GuiChild";
    ASSERT_NE(RegisterClassA(&wc), 0);

    const int left = 100, top = 80;
    HWND main = CreateWindowExA(0, "GuiTop", "gui test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                left, top, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    HWND child = CreateWindowExA(0, "GuiChild", "", WS_CHILD | WS_VISIBLE, 50, 40, 100, 80, main,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    SetTimer(main, 1, 50, nullptr); // keeps the loop turning while we wait for the server
    ASSERT_TRUE(PumpUntil([] { return ChildPaints > 0; }));
    // Give the server a few turns to map and show the window (slow on a loaded machine).
    DWORD until = GetTickCount() + 1500;
    PumpUntil([&] { return GetTickCount() >= until; });

    char cmd[128];
    std::snprintf(cmd, sizeof cmd, "xdotool mousemove %d %d click 1", left + 50 + 30,
                  top + 40 + 20);
    ASSERT_EQ(std::system(cmd), 0);
    ASSERT_TRUE(PumpUntil([] { return Clicks.size() >= 2; }));
    EXPECT_EQ(Clicks[0].Hwnd, child);
    EXPECT_EQ(Clicks[0].Msg, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(Clicks[0].X, 30);
    EXPECT_EQ(Clicks[0].Y, 20);
    EXPECT_EQ(Clicks[1].Msg, UINT(WM_LBUTTONUP));
    EXPECT_EQ(Clicks[1].X, 30);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));

    testutil::TTempDir dir("platform-gui");
    std::string shot = dir / "screen.ppm";
    std::string grab = "import -window root -depth 8 " + shot;
    ASSERT_EQ(std::system(grab.c_str()), 0);
    Ppm img;
    ASSERT_TRUE(ReadPpm(shot, img));
    EXPECT_EQ(img.At(left + 10, top + 10), 0x00A000u) << "top-level background";
    EXPECT_EQ(img.At(left + 60, top + 50), 0x0000C8u) << "child background";
    EXPECT_EQ(img.At(left + 290, top + 190), 0x00A000u);
    DestroyWindow(main);
}

// The display's events wait from the first window's making to the first frame: a loop
// that only peeks (never waits) must still get them, and a real click with them.
TEST(SdlWindow, PeekingLoopGetsTheDisplaysEventsAfterTheFirstFrame) {
    if (const std::string why = testutil::DisplayMissing({"xdotool"}); !why.empty())
        GTEST_SKIP() << why;
    WNDCLASSA wc{};
    wc.lpfnWndProc = ChildProc;
    wc.hbrBackground = CreateSolidBrush(RGB(200, 0, 0));
    wc.lpszClassName = "GuiPeek";
    ASSERT_NE(RegisterClassA(&wc), 0);
    const int left = 60, top = 60;
    HWND main = CreateWindowExA(0, "GuiPeek", "peek test", WS_POPUP | WS_VISIBLE, left, top, 200,
                                150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    Clicks.clear();
    bool clicked = false;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Clicks.size() < 2 && std::chrono::steady_clock::now() < limit) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (!clicked && ChildPaints > 0) {
            // The window had a few turns of the loop to reach the screen.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&m);
            char cmd[96];
            std::snprintf(cmd, sizeof cmd, "xdotool mousemove %d %d click 1", left + 20, top + 30);
            ASSERT_EQ(std::system(cmd), 0);
            clicked = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(Clicks.size(), 2u);
    EXPECT_EQ(Clicks[0].Hwnd, main);
    EXPECT_EQ(Clicks[0].Msg, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(Clicks[0].X, 20);
    EXPECT_EQ(Clicks[0].Y, 30);
    DestroyWindow(main);
}

namespace {
int BoxTicks = 0;
void CountBoxTicks(HWND, UINT, UINT_PTR, DWORD) {
    // Never hang: after ten seconds without an answer the box is closed (as Cancel).
    if (++BoxTicks == 200)
        PostMessageA(platform::testing::FindMessageBox().Handle, WM_CLOSE, 0, 0);
}
} // namespace

TEST(SdlWindow, MessageBoxAnswersARealKeyPressWhileTimersTick) {
    if (const std::string why = testutil::DisplayMissing({"xdotool"}); !why.empty())
        GTEST_SKIP() << why;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = CreateSolidBrush(RGB(200, 200, 200));
    wc.lpszClassName = "GuiOwner";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, "GuiOwner", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    SetTimer(owner, 1, 50, CountBoxTicks);
    BoxTicks = 0;
    // Focus the box's window on the X server and press Enter, from outside the program.
    std::thread presser([] {
        std::system("sleep 1; xdotool search --sync --name '^Gui box$' windowfocus --sync "
                    "key Return > /dev/null 2>&1");
    });
    int result = MessageBoxA(owner, "Press Enter", "Gui box", MB_OKCANCEL | MB_ICONERROR);
    presser.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_GT(BoxTicks, 5);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}
