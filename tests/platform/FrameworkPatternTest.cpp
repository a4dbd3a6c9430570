// The ways the framework uses the window manager: a hidden utility window for timers whose
// procedure is replaced, and a hidden application window that owns the main window and
// the message boxes.
#include "HeadlessFixture.h"

namespace t = platform::testing;

namespace {

int UtilTicks = 0;
LRESULT UtilProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == 1) {
        ++UtilTicks;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeUtilWindow() {
    WNDCLASSA existing{};
    bool registered = GetClassInfoA(nullptr, "TPUtilWindow", &existing);
    if (!registered || existing.lpfnWndProc != DefWindowProcA) {
        if (registered)
            UnregisterClassA("TPUtilWindow", nullptr);
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TPUtilWindow";
        if (!RegisterClassA(&wc))
            return nullptr;
    }
    HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, "TPUtilWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    if (h)
        SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&UtilProc));
    return h;
}

} // namespace

using FrameworkPattern = HeadlessTest;

TEST_F(FrameworkPattern, UtilityWindowTimerTicksThroughReplacedProcedure) {
    // A class of that name with another procedure is replaced.
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "TPUtilWindow";
    RegisterClassA(&wc);
    HWND util = MakeUtilWindow();
    ASSERT_NE(util, nullptr);
    WNDCLASSA info{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "TPUtilWindow", &info));
    EXPECT_EQ(info.lpfnWndProc, &DefWindowProcA);
    EXPECT_FALSE(IsWindowVisible(util));
    UtilTicks = 0;
    ASSERT_NE(SetTimer(util, 1, 100, nullptr), 0u);
    t::RunFor(1000);
    EXPECT_EQ(UtilTicks, 10);
    // Restarting the timer starts a new schedule.
    t::RunFor(50);
    SetTimer(util, 1, 100, nullptr);
    t::RunFor(99);
    EXPECT_EQ(UtilTicks, 10);
    t::RunFor(1);
    EXPECT_EQ(UtilTicks, 11);
    EXPECT_TRUE(KillTimer(util, 1));
    EXPECT_TRUE(DestroyWindow(util));
    t::RunFor(500);
    EXPECT_EQ(UtilTicks, 11);
}

TEST_F(FrameworkPattern, ApplicationWindowOwnsMainWindowAndMessageBoxes) {
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    HWND app =
        CreateWindowExA(0, "Recorder", "Quillot",
                        WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                        sw / 2, sh / 2, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(app, nullptr);
    HMENU menu = GetSystemMenu(app, FALSE);
    EXPECT_TRUE(DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND));
    EXPECT_TRUE(DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND));
    HWND form = CreateWindowExA(0, "Recorder", "Quillot 05 Vol. 1 ", WS_OVERLAPPEDWINDOW, -4, 1,
                                1283, 988, app, nullptr, nullptr, nullptr);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(GetWindow(form, GW_OWNER), app);
    Log().clear();
    ShowWindow(form, SW_SHOWMAXIMIZED);
    Drain();
    auto sizes = Received(WM_SIZE, form);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().WParam, SIZE_MAXIMIZED);
    EXPECT_EQ(GetActiveWindow(), form);
    EXPECT_FALSE(IsWindowVisible(app));
    // The exception box: owned by the hidden application window, centred on the screen.
    RECT box{};
    t::RunAt(t::Now() + 10, [&] {
        auto info = t::FindMessageBox();
        GetWindowRect(info.Handle, &box);
        EXPECT_EQ(GetWindow(info.Handle, GW_OWNER), app);
        t::PressMessageBoxButton();
    });
    EXPECT_EQ(MessageBoxA(app, "No MCI device open.", "Quillot", MB_ICONERROR), IDOK);
    EXPECT_NEAR((box.left + box.right) / 2, sw / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, sh / 2, 1);
    // Destroying the application window takes the owned main window with it.
    DestroyWindow(app);
    EXPECT_FALSE(IsWindow(form));
}

TEST_F(FrameworkPattern, TwoQuitRequestsEndTheLoopOnce) {
    PostQuitMessage(0);
    PostQuitMessage(0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 0u);
}

TEST_F(FrameworkPattern, CancelModeReleasesTheCapture) {
    HWND w = TopLevel(0, 0, 100, 100);
    SetCapture(w);
    SendMessageA(w, WM_CANCELMODE, 0, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}
