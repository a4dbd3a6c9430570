#include "HeadlessFixture.h"

namespace t = platform::testing;

using Input = HeadlessTest;

namespace {

struct Scene {
    HWND Top, Bottom, Middle, Upper;
};

// Three overlapping children: Upper (created last) lies above Middle above Bottom.
Scene MakeScene() {
    Scene s;
    s.Top = CreateWindowExA(0, "Recorder", "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400,
                            300, nullptr, nullptr, nullptr, nullptr);
    s.Bottom = CreateWindowExA(0, "Recorder", "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 200, s.Top,
                               nullptr, nullptr, nullptr);
    s.Middle = CreateWindowExA(0, "Recorder", "", WS_CHILD | WS_VISIBLE, 50, 50, 100, 100, s.Top,
                               nullptr, nullptr, nullptr);
    s.Upper = CreateWindowExA(0, "Recorder", "", WS_CHILD | WS_VISIBLE, 60, 60, 30, 30, s.Top,
                              nullptr, nullptr, nullptr);
    return s;
}

} // namespace

TEST_F(Input, ClickGoesToTopmostVisibleEnabledChildWithClientCoordinates) {
    struct Case {
        const char* Name;
        bool HideUpper;
        bool DisableUpper;
        bool DisableMiddle;
        int Expect; // 0 upper, 1 middle, 2 bottom
    };
    const Case cases[] = {
        {"all shown", false, false, false, 0},
        {"upper hidden", true, false, false, 1},
        {"upper disabled", false, true, false, 1},
        {"upper and middle disabled", false, true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        t::Reset();
        Scene s = MakeScene();
        if (c.HideUpper)
            ShowWindow(s.Upper, SW_HIDE);
        if (c.DisableUpper)
            EnableWindow(s.Upper, FALSE);
        if (c.DisableMiddle)
            EnableWindow(s.Middle, FALSE);
        Drain();
        Log().clear();
        // Client point (70, 70) of Top lies in all three children.
        t::ClickClient(s.Top, 70, 70);
        Drain();
        HWND expected = c.Expect == 0 ? s.Upper : c.Expect == 1 ? s.Middle : s.Bottom;
        auto downs = Received(WM_LBUTTONDOWN);
        ASSERT_EQ(downs.size(), 1u);
        EXPECT_EQ(downs[0].Hwnd, expected);
        POINT origin{0, 0};
        MapWindowPoints(expected, s.Top, &origin, 1);
        EXPECT_EQ(GET_X_LPARAM(downs[0].LParam), 70 - origin.x);
        EXPECT_EQ(GET_Y_LPARAM(downs[0].LParam), 70 - origin.y);
        EXPECT_EQ(downs[0].WParam, MK_LBUTTON);
        auto ups = Received(WM_LBUTTONUP);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(ups[0].Hwnd, expected);
        EXPECT_EQ(ups[0].WParam, 0u);
    }
}

TEST_F(Input, SetCursorComesBeforeEachMouseMessageWithHitTestAndMessage) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    t::ClickClient(s.Top, 300, 250);
    Drain();
    std::vector<UINT> seq;
    for (auto& r : Log())
        if (r.Hwnd == s.Top && (r.Msg == WM_SETCURSOR || r.Msg == WM_MOUSEMOVE ||
                                r.Msg == WM_LBUTTONDOWN || r.Msg == WM_LBUTTONUP))
            seq.push_back(r.Msg);
    EXPECT_EQ(seq, (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE, WM_SETCURSOR, WM_LBUTTONDOWN,
                                      WM_SETCURSOR, WM_LBUTTONUP}));
    auto sc = Received(WM_SETCURSOR, s.Top);
    EXPECT_EQ(LOWORD(sc[1].LParam), HTCLIENT);
    EXPECT_EQ(HIWORD(sc[1].LParam), WM_LBUTTONDOWN);
    EXPECT_EQ(reinterpret_cast<HWND>(sc[1].WParam), s.Top);
    // The default procedure sets the class cursor.
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(Input, ChildSetCursorAsksParentFirst) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    t::MouseMoveClient(s.Top, 70, 70);
    Drain();
    auto sc = Received(WM_SETCURSOR);
    ASSERT_GE(sc.size(), 2u);
    EXPECT_EQ(sc[0].Hwnd, s.Upper);
    EXPECT_EQ(sc[1].Hwnd, s.Top); // passed up by the default procedure
}

TEST_F(Input, CaptureRoutesMouseOutsideTheWindow) {
    Scene s = MakeScene();
    Drain();
    EXPECT_EQ(SetCapture(s.Upper), nullptr);
    Log().clear();
    t::MouseMove(5, 5); // far outside every window
    Drain();
    t::MouseDown(1000, 900);
    Drain();
    auto moves = Received(WM_MOUSEMOVE, s.Upper);
    ASSERT_FALSE(moves.empty());
    POINT p{5, 5};
    ScreenToClient(s.Upper, &p);
    EXPECT_EQ(GET_X_LPARAM(moves[0].LParam), p.x);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].LParam), p.y);
    EXPECT_LT(GET_X_LPARAM(moves[0].LParam), 0); // negative client coordinates survive
    EXPECT_EQ(Received(WM_LBUTTONDOWN, s.Upper).size(), 1u);
    EXPECT_TRUE(Received(WM_SETCURSOR).empty());
    Log().clear();
    SetCapture(s.Middle);
    ASSERT_EQ(Received(WM_CAPTURECHANGED, s.Upper).size(), 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(Received(WM_CAPTURECHANGED, s.Upper)[0].LParam), s.Middle);
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Received(WM_CAPTURECHANGED, s.Middle).size(), 1u);
}

TEST_F(Input, DisabledTopLevelWindowGetsNoMouseInput) {
    Scene s = MakeScene();
    Drain();
    EnableWindow(s.Top, FALSE);
    Log().clear();
    t::ClickClient(s.Top, 300, 250);
    Drain();
    EXPECT_TRUE(Received(WM_LBUTTONDOWN).empty());
    EXPECT_TRUE(Received(WM_LBUTTONUP).empty());
}

TEST_F(Input, DoubleClickOnlyForClassesThatAskForIt) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    t::ClickClient(s.Top, 300, 250);
    t::ClickClient(s.Top, 300, 250);
    Drain();
    EXPECT_EQ(Received(WM_LBUTTONDOWN, s.Top).size(), 1u);
    EXPECT_EQ(Received(WM_LBUTTONDBLCLK, s.Top).size(), 1u);
    // Too late for a double click.
    Log().clear();
    t::AdvanceClock(2000);
    t::ClickClient(s.Top, 300, 250);
    t::AdvanceClock(600);
    t::ClickClient(s.Top, 300, 250);
    Drain();
    EXPECT_EQ(Received(WM_LBUTTONDOWN, s.Top).size(), 2u);
    EXPECT_TRUE(Received(WM_LBUTTONDBLCLK, s.Top).empty());
}

TEST_F(Input, RightButtonAndNonClientArea) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    t::ClickClient(s.Top, 300, 250, 1);
    RECT wr;
    GetWindowRect(s.Top, &wr);
    t::Click(wr.left + 100, wr.top + 10); // caption
    Drain();
    EXPECT_EQ(Received(WM_RBUTTONDOWN, s.Top).size(), 1u);
    EXPECT_EQ(Received(WM_RBUTTONUP, s.Top).size(), 1u);
    auto nc = Received(WM_NCLBUTTONDOWN, s.Top);
    ASSERT_EQ(nc.size(), 1u);
    EXPECT_EQ(nc[0].WParam, WPARAM(HTCAPTION));
    EXPECT_TRUE(Received(WM_LBUTTONDOWN, s.Top).empty());
}

TEST_F(Input, CloseButtonOfTheFrameSendsClose) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    RECT wr;
    GetWindowRect(s.Top, &wr);
    int frame = GetSystemMetrics(SM_CXFRAME);
    t::Click(wr.right - frame - 5, wr.top + frame + 5);
    Drain();
    EXPECT_EQ(Received(WM_CLOSE, s.Top).size(), 1u);
    EXPECT_FALSE(IsWindow(s.Top));
}

TEST_F(Input, KeyboardGoesToFocusWithFocusMessages) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    EXPECT_EQ(SetFocus(s.Middle), s.Top); // showing activated Top, which took the focus
    auto kills = Received(WM_KILLFOCUS, s.Top);
    auto sets = Received(WM_SETFOCUS, s.Middle);
    ASSERT_EQ(kills.size(), 1u);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(kills[0].WParam), s.Middle);
    EXPECT_EQ(reinterpret_cast<HWND>(sets[0].WParam), s.Top);
    Log().clear();
    t::KeyDown(VK_SHIFT);
    t::KeyPress('A');
    t::KeyUp(VK_SHIFT);
    t::KeyPress(VK_RETURN);
    t::Char('z');
    Drain();
    auto downs = Received(WM_KEYDOWN, s.Middle);
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[1].WParam, WPARAM('A'));
    auto chars = Received(WM_CHAR, s.Middle);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].WParam, WPARAM('A')); // shifted
    EXPECT_EQ(chars[1].WParam, WPARAM('\r'));
    EXPECT_EQ(chars[2].WParam, WPARAM('z'));
    EXPECT_EQ(Received(WM_KEYUP, s.Middle).size(), 3u);
    EXPECT_TRUE(Received(WM_KEYDOWN, s.Top).empty());
    // Hiding the focus window moves the focus away.
    ShowWindow(s.Middle, SW_HIDE);
    EXPECT_NE(GetFocus(), s.Middle);
}

TEST_F(Input, ActivationMessagesOnShowAndClick) {
    HWND a = TopLevel(0, 0, 200, 200);
    HWND b = TopLevel(300, 0, 200, 200);
    Drain();
    EXPECT_EQ(GetActiveWindow(), b);
    Log().clear();
    t::ClickClient(a, 50, 50);
    Drain();
    EXPECT_EQ(GetActiveWindow(), a);
    auto act = Received(WM_ACTIVATE, a);
    ASSERT_EQ(act.size(), 1u);
    EXPECT_EQ(LOWORD(act[0].WParam), WA_CLICKACTIVE);
    auto deact = Received(WM_ACTIVATE, b);
    ASSERT_EQ(deact.size(), 1u);
    EXPECT_EQ(LOWORD(deact[0].WParam), WA_INACTIVE);
    EXPECT_EQ(Received(WM_MOUSEACTIVATE, a).size(), 1u);
    EXPECT_EQ(Received(WM_LBUTTONDOWN, a).size(), 1u);
    EXPECT_EQ(GetTopWindow(nullptr), a);
}

TEST_F(Input, WindowFromPointSkipsHiddenWindowsButFindsDisabledOnes) {
    Scene s = MakeScene();
    POINT p{70, 70};
    ClientToScreen(s.Top, &p);
    EXPECT_EQ(WindowFromPoint(p), s.Upper);
    EnableWindow(s.Upper, FALSE);
    EXPECT_EQ(WindowFromPoint(p), s.Upper);
    ShowWindow(s.Upper, SW_HIDE);
    EXPECT_EQ(WindowFromPoint(p), s.Middle);
    EXPECT_EQ(WindowFromPoint(POINT{2000, 2000}), nullptr);
}

TEST_F(Input, PointerMovesAreCoalesced) {
    Scene s = MakeScene();
    Drain();
    Log().clear();
    for (int x = 200; x < 260; x += 10)
        t::MouseMoveClient(s.Top, x, 250);
    t::ClickClient(s.Top, 300, 250);
    Drain();
    auto moves = Received(WM_MOUSEMOVE, s.Top);
    ASSERT_EQ(moves.size(), 1u); // only the latest position before the click
    EXPECT_EQ(GET_X_LPARAM(moves[0].LParam), 300);
    EXPECT_EQ(Received(WM_LBUTTONDOWN, s.Top).size(), 1u);
}

TEST_F(Input, ClickOnWindowDisabledByAPopupBringsThePopupForward) {
    HWND owner = TopLevel(0, 0, 400, 400);
    HWND popup = CreateWindowExA(0, "Recorder", "", WS_POPUP | WS_VISIBLE, 500, 0, 100, 100, owner,
                                 nullptr, nullptr, nullptr);
    HWND other = TopLevel(700, 0, 100, 100);
    Drain();
    EnableWindow(owner, FALSE);
    SetActiveWindow(other);
    t::ClickClient(owner, 10, 10);
    Drain();
    EXPECT_EQ(GetActiveWindow(), popup);
}

TEST_F(Input, PeekWithoutRemovingLeavesQueueAndKeyStateAlone) {
    HWND owner = TopLevel(0, 0, 400, 400);
    HWND popup = CreateWindowExA(0, "Recorder", "", WS_POPUP | WS_VISIBLE, 500, 0, 100, 100, owner,
                                 nullptr, nullptr, nullptr);
    HWND other = TopLevel(700, 0, 100, 100);
    Drain();
    EnableWindow(owner, FALSE);
    SetActiveWindow(other);
    // A click that goes nowhere, then one on an enabled window.
    t::ClickClient(owner, 10, 10);
    t::ClickClient(other, 5, 5);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_MOUSEMOVE);
    EXPECT_EQ(m.hwnd, other);
    // Looking twice shows the same; the pop-up has not been brought forward yet.
    MSG again;
    ASSERT_TRUE(PeekMessageA(&again, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(again.message, m.message);
    EXPECT_EQ(GetActiveWindow(), other);
    // Taking it deals with the click on the disabled window on the way.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_MOUSEMOVE);
    EXPECT_EQ(GetActiveWindow(), popup);

    // The button message looked at carries the state its removal gives, and looking does
    // not press the button.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_EQ(m.message, WM_LBUTTONDOWN);
    EXPECT_EQ(m.wParam & MK_LBUTTON, WPARAM(MK_LBUTTON));
    EXPECT_FALSE(GetKeyState(VK_LBUTTON) & 0x8000);
    MSG taken;
    ASSERT_TRUE(PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(taken.message, WM_LBUTTONDOWN);
    EXPECT_EQ(taken.wParam, m.wParam);
    EXPECT_EQ(taken.lParam, m.lParam);
    EXPECT_TRUE(GetKeyState(VK_LBUTTON) & 0x8000);
}
