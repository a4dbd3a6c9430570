// Activation as the display's window manager drives it: another program taking the
// focus, and the close button of a window's frame.
#include "HeadlessFixture.h"

namespace t = platform::testing;

using Activation = HeadlessTest;

namespace {

std::vector<Recorded> Only(std::initializer_list<UINT> kinds) {
    std::vector<Recorded> out;
    for (const Recorded& r : Log())
        for (UINT k : kinds)
            if (r.Msg == k)
                out.push_back(r);
    return out;
}

} // namespace

TEST_F(Activation, AnotherProgramTakingTheFocusDeactivatesCancelsCaptureAndKillsFocus) {
    HWND hidden = CreateWindowExA(0, "Recorder", "app", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND top = TopLevel(0, 0, 200, 200);
    HWND child = Child(top, 10, 10, 50, 50);
    SetFocus(child);
    SetCapture(child);
    Drain();
    Log().clear();
    t::ActivateOtherApplication();
    struct Expect {
        HWND Hwnd;
        UINT Msg;
        WPARAM WParam;
    };
    const Expect expected[] = {
        {child, WM_CANCELMODE, 0},    {child, WM_CAPTURECHANGED, 0},
        {top, WM_NCACTIVATE, FALSE},  {top, WM_ACTIVATE, WA_INACTIVE},
        {top, WM_ACTIVATEAPP, FALSE}, {hidden, WM_ACTIVATEAPP, FALSE}, // z-order
        {child, WM_KILLFOCUS, 0},
    };
    auto seen = Only({WM_CANCELMODE, WM_CAPTURECHANGED, WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP,
                      WM_KILLFOCUS});
    ASSERT_EQ(seen.size(), std::size(expected));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].Hwnd, expected[i].Hwnd);
        EXPECT_EQ(seen[i].Msg, expected[i].Msg);
        EXPECT_EQ(seen[i].WParam, expected[i].WParam);
    }
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);

    // Coming back: every top-level window hears that the program is active again.
    Log().clear();
    SetForegroundWindow(top);
    EXPECT_EQ(Received(WM_ACTIVATEAPP, hidden).size(), 1u);
    EXPECT_EQ(Received(WM_ACTIVATEAPP, top).size(), 1u);
    EXPECT_EQ(Received(WM_ACTIVATEAPP).back().WParam, WPARAM(TRUE));
    EXPECT_EQ(GetActiveWindow(), top);
    // Nothing happens when the program is not active.
    t::ActivateOtherApplication();
    Log().clear();
    t::ActivateOtherApplication();
    EXPECT_TRUE(Log().empty());
}

TEST_F(Activation, FocusLeavesAWindowThatIsNoLongerActive) {
    HWND a = TopLevel(0, 0, 200, 200);
    HWND child = Child(a, 10, 10, 50, 50);
    HWND b = TopLevel(300, 0, 200, 200);
    SetFocus(child);
    Log().clear();
    SetActiveWindow(b);
    auto kills = Received(WM_KILLFOCUS, child);
    ASSERT_EQ(kills.size(), 1u);
    EXPECT_EQ(kills[0].WParam, WPARAM(b)); // b's default procedure took the focus
    EXPECT_EQ(GetFocus(), b);
}

TEST_F(Activation, CloseButtonOfADisabledWindowBringsItsModalPopupForward) {
    struct Case {
        const char* Name;
        bool Disabled;
        bool Closed;
    };
    const Case cases[] = {{"enabled", false, true}, {"disabled under a pop-up", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND main = TopLevel(0, 0, 300, 300);
        HWND popup = CreateWindowExA(0, "Recorder", "box", WS_POPUP | WS_CAPTION | WS_VISIBLE, 50,
                                     50, 100, 100, main, nullptr, nullptr, nullptr);
        if (c.Disabled)
            EnableWindow(main, FALSE);
        SetActiveWindow(main);
        Drain();
        Log().clear();
        t::CloseFromWindowManager(main);
        Drain();
        EXPECT_EQ(IsWindow(main) == FALSE, c.Closed);
        if (!c.Closed) {
            EXPECT_TRUE(Received(WM_CLOSE).empty());
            EXPECT_EQ(GetActiveWindow(), popup);
            // Nor do its keys or a system command close it behind the pop-up's back.
            SetActiveWindow(main);
            t::KeyDown(VK_MENU);
            t::KeyPress(VK_F4);
            Drain();
            EXPECT_TRUE(IsWindow(main));
            EXPECT_TRUE(Received(WM_SYSKEYDOWN, main).empty());
            SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_TRUE(IsWindow(main));
            EnableWindow(main, TRUE);
            SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_FALSE(IsWindow(main));
        }
        t::Reset();
    }
}
