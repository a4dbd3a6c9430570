#include "HeadlessFixture.h"

#include <algorithm>

namespace t = platform::testing;

using Window = HeadlessTest;

TEST_F(Window, CreationSendsNcCreateThenCreateWithCreateStruct) {
    int param = 42;
    HWND w = CreateWindowExA(WS_EX_TOOLWINDOW, "recorder", "Title", WS_POPUP, 5, 6, 70, 80, nullptr,
                             nullptr, nullptr, &param);
    ASSERT_NE(w, nullptr);
    ASSERT_GE(Log().size(), 2u);
    EXPECT_EQ(Log()[0].Msg, WM_NCCREATE);
    auto creates = Received(WM_CREATE, w);
    ASSERT_EQ(creates.size(), 1u);
    const CREATESTRUCTA* cs = &LastCreate();
    EXPECT_EQ(cs->lpCreateParams, &param);
    EXPECT_EQ(cs->x, 5);
    EXPECT_EQ(cs->cy, 80);
    EXPECT_EQ(cs->dwExStyle, WS_EX_TOOLWINDOW);
    char text[16];
    EXPECT_EQ(GetWindowTextA(w, text, sizeof text), 5);
    EXPECT_STREQ(text, "Title");
    EXPECT_FALSE(IsWindowVisible(w));
}

namespace {
LRESULT RefuseCreate(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE)
        return -1;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
} // namespace

TEST_F(Window, CreateReturningMinusOneFailsCreation) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RefuseCreate;
    wc.lpszClassName = "Refuser";
    RegisterClassA(&wc);
    EXPECT_EQ(
        CreateWindowExA(0, "Refuser", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_TRUE(UnregisterClassA("Refuser", nullptr));
}

TEST_F(Window, ClassRegistrationFailures) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "RECORDER"; // names ignore case
    SetLastError(0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    EXPECT_EQ(
        CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
    HWND w = TopLevel(0, 0, 10, 10);
    EXPECT_FALSE(UnregisterClassA("Recorder", nullptr)); // a window still uses it
    WNDCLASSA info{};
    EXPECT_TRUE(GetClassInfoA(nullptr, "recorder", &info));
    EXPECT_EQ(info.lpfnWndProc, &RecordingProc);
    DestroyWindow(w);
}

TEST_F(Window, DestroySendsDestroyTopDownAndNcDestroyBottomUp) {
    HWND top = TopLevel(0, 0, 200, 200);
    HWND child = Child(top, 0, 0, 50, 50);
    HWND grandChild = Child(child, 0, 0, 10, 10);
    HWND owned =
        CreateWindowExA(0, "Recorder", "", WS_POPUP, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
    Log().clear();
    EXPECT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> seq;
    for (auto& r : Log())
        if (r.Msg == WM_DESTROY || r.Msg == WM_NCDESTROY)
            seq.emplace_back(r.Hwnd, r.Msg);
    std::vector<std::pair<HWND, UINT>> expected{
        {owned, WM_DESTROY},   {owned, WM_NCDESTROY},    {top, WM_DESTROY},
        {child, WM_DESTROY},   {grandChild, WM_DESTROY}, {grandChild, WM_NCDESTROY},
        {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(seq, expected);
    for (HWND h : {top, child, grandChild, owned})
        EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(DestroyWindow(top));
}

TEST_F(Window, CloseByDefaultDestroys) {
    HWND w = TopLevel(0, 0, 50, 50);
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
}

namespace {
WNDPROC OriginalProc = nullptr;
int SubclassSeen = 0;
LRESULT Subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 7)
        ++SubclassSeen;
    return CallWindowProcA(OriginalProc, hwnd, msg, wParam, lParam);
}
} // namespace

TEST_F(Window, ProcedureReplacementChainsThroughCallWindowProc) {
    HWND w = TopLevel(0, 0, 50, 50);
    OriginalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass)));
    EXPECT_EQ(OriginalProc, &RecordingProc);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&Subclass));
    Log().clear();
    SubclassSeen = 0;
    SendMessageA(w, WM_USER + 7, 0, 0);
    PostMessageA(w, WM_USER + 7, 0, 0);
    Drain();
    EXPECT_EQ(SubclassSeen, 2);
    EXPECT_EQ(Received(WM_USER + 7, w).size(), 2u);
    // Other windows of the class keep the class procedure.
    HWND other = TopLevel(0, 0, 50, 50);
    EXPECT_EQ(GetWindowLongPtrA(other, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
}

TEST_F(Window, WindowLongsRoundTripAndInvalidIndicesFail) {
    HWND w = TopLevel(0, 0, 50, 50);
    HWND c = Child(w, 0, 0, 5, 5, WS_VISIBLE, 17);
    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), 1234);
    EXPECT_EQ(GetWindowLongPtrA(c, GWLP_ID), 17);
    EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtrA(c, GWLP_HWNDPARENT)), w);
    EXPECT_TRUE(GetWindowLongPtrA(c, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(GetWindowLongPtrA(w, GWL_STYLE) & WS_VISIBLE);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(w, 400), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetWindowLongPtrA(reinterpret_cast<HWND>(0x4444), GWLP_USERDATA), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Window, FrameMetricsGiveClientInsideOuterSize) {
    HWND w = TopLevel(0, 0, 1283, 988);
    RECT cr, wr;
    GetClientRect(w, &cr);
    GetWindowRect(w, &wr);
    EXPECT_GE(cr.right, 1274);
    EXPECT_GE(cr.bottom, 952);
    EXPECT_EQ(wr.right - wr.left, 1283);
    // AdjustWindowRectEx and the system metrics agree with it.
    RECT r{0, 0, cr.right, cr.bottom};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(r.right - r.left, 1283);
    EXPECT_EQ(r.bottom - r.top, 988);
    EXPECT_EQ(1283 - cr.right, 2 * GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(988 - cr.bottom, 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
}

TEST_F(Window, MaximiseAndRestoreSendSizeWithState) {
    HWND w = TopLevel(50, 40, 1283, 988);
    Drain();
    Log().clear();
    ShowWindow(w, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(w));
    auto sizes = Received(WM_SIZE, w);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().WParam, SIZE_MAXIMIZED);
    RECT wr, cr;
    GetWindowRect(w, &wr);
    GetClientRect(w, &cr);
    EXPECT_EQ(wr.left, 0);
    EXPECT_EQ(wr.right, 1280);
    EXPECT_EQ(wr.bottom, 1024);
    EXPECT_EQ(LOWORD(sizes.back().LParam), cr.right);
    EXPECT_EQ(HIWORD(sizes.back().LParam), cr.bottom);
    EXPECT_EQ(cr.right, 1280 - 2 * GetSystemMetrics(SM_CXFRAME));

    Log().clear();
    ShowWindow(w, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(w));
    ASSERT_FALSE(Received(WM_SIZE, w).empty());
    EXPECT_EQ(Received(WM_SIZE, w).back().WParam, SIZE_MINIMIZED);

    Log().clear();
    ShowWindow(w, SW_RESTORE); // back to maximised, as it was before minimising
    EXPECT_TRUE(IsZoomed(w));
    EXPECT_EQ(Received(WM_SIZE, w).back().WParam, SIZE_MAXIMIZED);

    Log().clear();
    ShowWindow(w, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(w));
    GetWindowRect(w, &wr);
    EXPECT_EQ(wr.left, 50);
    EXPECT_EQ(wr.right - wr.left, 1283);
    ASSERT_FALSE(Received(WM_SIZE, w).empty());
    EXPECT_EQ(Received(WM_SIZE, w).back().WParam, SIZE_RESTORED);
    EXPECT_EQ(LOWORD(Received(WM_SIZE, w).back().LParam), 1283 - 8);
}

TEST_F(Window, ShowWindowTable) {
    struct Case {
        int Cmd;
        bool Visible;
        bool Activates;
    };
    const Case cases[] = {
        {SW_SHOW, true, true},       {SW_SHOWNA, true, false}, {SW_SHOWNOACTIVATE, true, false},
        {SW_SHOWNORMAL, true, true}, {SW_HIDE, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Cmd);
        HWND other = TopLevel(0, 0, 50, 50);
        HWND w = TopLevel(0, 0, 50, 50, WS_OVERLAPPEDWINDOW);
        SetActiveWindow(other);
        Log().clear();
        BOOL was = ShowWindow(w, c.Cmd);
        EXPECT_FALSE(was);
        EXPECT_EQ(IsWindowVisible(w) != FALSE, c.Visible);
        EXPECT_EQ(GetActiveWindow() == w, c.Activates);
        EXPECT_EQ(Received(WM_SHOWWINDOW, w).size(), c.Visible ? 1u : 0u);
        DestroyWindow(w);
        DestroyWindow(other);
    }
}

TEST_F(Window, SetWindowPosShowsAndHidesWithoutShowWindowMessage) {
    HWND w = TopLevel(0, 0, 50, 50, WS_OVERLAPPEDWINDOW);
    HWND c = Child(w, 0, 0, 10, 10, 0);
    Log().clear();
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    for (HWND h : {w, c}) {
        SCOPED_TRACE(h == w ? "top-level" : "child");
        ASSERT_TRUE(SetWindowPos(h, nullptr, 0, 0, 0, 0, flags | SWP_SHOWWINDOW));
        EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE);
        ASSERT_TRUE(SetWindowPos(h, nullptr, 0, 0, 0, 0, flags | SWP_HIDEWINDOW));
        EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(Received(WM_WINDOWPOSCHANGED, h).size(), 2u);
    }
    EXPECT_TRUE(Received(WM_SHOWWINDOW).empty());
}

TEST_F(Window, MoveSendsMoveAndSizeAndPositionChanged) {
    HWND top = TopLevel(0, 0, 400, 400);
    HWND c = Child(top, 10, 10, 50, 50);
    Log().clear();
    MoveWindow(c, 20, 30, 60, 70, TRUE);
    auto moves = Received(WM_MOVE, c);
    auto sizes = Received(WM_SIZE, c);
    ASSERT_EQ(moves.size(), 1u);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(moves[0].LParam), 20);
    EXPECT_EQ(HIWORD(moves[0].LParam), 30);
    EXPECT_EQ(LOWORD(sizes[0].LParam), 60);
    EXPECT_EQ(Received(WM_WINDOWPOSCHANGED, c).size(), 1u);
    Log().clear();
    SetWindowPos(c, nullptr, 99, 99, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(Received(WM_MOVE, c).empty());
    EXPECT_TRUE(Received(WM_SIZE, c).empty());
}

TEST_F(Window, HierarchyQueries) {
    HWND top = TopLevel(0, 0, 300, 300);
    HWND a = Child(top, 0, 0, 10, 10);
    HWND b = Child(top, 0, 0, 10, 10);
    HWND popup =
        CreateWindowExA(0, "Recorder", "", WS_POPUP, 0, 0, 5, 5, a, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetParent(a), top);
    EXPECT_EQ(GetParent(popup), top); // the owner is the top-level window
    EXPECT_EQ(GetWindow(popup, GW_OWNER), top);
    EXPECT_EQ(GetParent(top), nullptr);
    EXPECT_EQ(GetWindow(top, GW_CHILD), b); // the newest child is on top
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDPREV), b);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetAncestor(a, GA_ROOT), top);
    EXPECT_EQ(GetAncestor(a, GA_PARENT), top);
    EXPECT_TRUE(IsChild(top, a));
    EXPECT_FALSE(IsChild(top, popup));
    std::vector<HWND> tops;
    EnumWindows(
        [](HWND h, LPARAM l) {
            reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
            return TRUE;
        },
        LPARAM(&tops));
    EXPECT_NE(std::find(tops.begin(), tops.end(), popup), tops.end());
    EXPECT_EQ(std::find(tops.begin(), tops.end(), a), tops.end());
    int children = 0;
    EnumChildWindows(
        top,
        [](HWND, LPARAM l) {
            ++*reinterpret_cast<int*>(l);
            return TRUE;
        },
        LPARAM(&children));
    EXPECT_EQ(children, 2);
    SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetTopWindow(top), a);
}

TEST_F(Window, CoordinateMapping) {
    HWND top = TopLevel(100, 50, 400, 300);
    HWND c = Child(top, 10, 20, 100, 100);
    POINT p{0, 0};
    ClientToScreen(c, &p);
    int frame = GetSystemMetrics(SM_CXFRAME), caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(p.x, 100 + frame + 10);
    EXPECT_EQ(p.y, 50 + frame + caption + 20);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    POINT q{5, 5};
    MapWindowPoints(c, top, &q, 1);
    EXPECT_EQ(q.x, 15);
    EXPECT_EQ(q.y, 25);
    POINT inChild{15, 25};
    EXPECT_EQ(ChildWindowFromPoint(top, inChild), c);
    ShowWindow(c, SW_HIDE);
    EXPECT_EQ(ChildWindowFromPointEx(top, inChild, CWP_SKIPINVISIBLE), top);
    EXPECT_EQ(ChildWindowFromPoint(top, POINT{-5, 0}), nullptr);
}

TEST_F(Window, EnableWindowReportsPreviousStateAndSendsEnable) {
    HWND w = TopLevel(0, 0, 50, 50);
    Log().clear();
    EXPECT_FALSE(EnableWindow(w, FALSE)); // was enabled
    EXPECT_FALSE(IsWindowEnabled(w));
    EXPECT_TRUE(EnableWindow(w, FALSE)); // already disabled
    EXPECT_TRUE(EnableWindow(w, TRUE));
    auto enables = Received(WM_ENABLE, w);
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(enables[0].WParam, WPARAM(FALSE));
    EXPECT_EQ(enables[1].WParam, WPARAM(TRUE));
}

TEST_F(Window, DisablingSendsCancelModeFirstWhileTheCaptureIsHeld) {
    HWND w = TopLevel(0, 0, 50, 50);
    SetCapture(w);
    Log().clear();
    EnableWindow(w, FALSE);
    EnableWindow(w, TRUE);
    std::vector<UINT> seen;
    for (const Recorded& r : Log())
        if (r.Hwnd == w &&
            (r.Msg == WM_CANCELMODE || r.Msg == WM_CAPTURECHANGED || r.Msg == WM_ENABLE))
            seen.push_back(r.Msg);
    // The default procedure releases the capture on WM_CANCELMODE; enabling sends none.
    EXPECT_EQ(seen, (std::vector<UINT>{WM_CANCELMODE, WM_CAPTURECHANGED, WM_ENABLE, WM_ENABLE}));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Window, InvalidHandlesFail) {
    HWND bad = reinterpret_cast<HWND>(0x7777);
    RECT r{1, 2, 3, 4};
    POINT p{};
    char buf[4] = "xyz";
    EXPECT_FALSE(IsWindow(bad));
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(GetClientRect(bad, &r));
    EXPECT_FALSE(GetWindowRect(bad, &r));
    EXPECT_FALSE(ShowWindow(bad, SW_SHOW));
    EXPECT_FALSE(SetWindowPos(bad, nullptr, 0, 0, 1, 1, 0));
    EXPECT_FALSE(DestroyWindow(bad));
    EXPECT_FALSE(ClientToScreen(bad, &p));
    EXPECT_EQ(GetWindowTextA(bad, buf, sizeof buf), 0);
    EXPECT_EQ(SendMessageA(bad, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetDC(bad), nullptr);
    EXPECT_EQ(ReleaseDC(bad, reinterpret_cast<HDC>(0x55)), 0);
    EXPECT_EQ(SetFocus(bad), nullptr);
    EXPECT_EQ(SetCapture(bad), nullptr);
    EXPECT_FALSE(InvalidateRect(bad, nullptr, TRUE));
    HWND w = TopLevel(0, 0, 50, 50);
    EXPECT_EQ(GetWindowTextA(w, buf, 0), 0);
    EXPECT_EQ(GetWindowTextA(w, buf, 3), 2); // truncated to fit with its terminator
    EXPECT_STREQ(buf, "to");
}

TEST_F(Window, ZOrderOfTopLevelWindows) {
    HWND a = TopLevel(0, 0, 50, 50);
    HWND b = TopLevel(0, 0, 50, 50);
    HWND c = TopLevel(0, 0, 50, 50);
    auto order = [] {
        std::vector<HWND> v;
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT))
            v.push_back(h);
        return v;
    };
    EXPECT_EQ(order(), (std::vector<HWND>{c, b, a}));
    SetWindowPos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(order(), (std::vector<HWND>{b, a, c}));
    SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(GetWindowLongPtrA(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Activating another window does not put it above a topmost one.
    SetActiveWindow(b);
    SetActiveWindow(c);
    EXPECT_EQ(order(), (std::vector<HWND>{a, c, b}));
    SetWindowPos(b, a, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(order(), (std::vector<HWND>{a, b, c}));
    // An owned window stays above its owner when the owner comes forward.
    HWND owned = CreateWindowExA(0, "Recorder", "", WS_POPUP | WS_VISIBLE, 0, 0, 5, 5, c, nullptr,
                                 nullptr, nullptr);
    SetActiveWindow(b);
    SetActiveWindow(c);
    auto o = order();
    auto pos = [&](HWND h) { return std::find(o.begin(), o.end(), h) - o.begin(); };
    EXPECT_LT(pos(owned), pos(c));
}

TEST_F(Window, QueueStatusAndRedrawWindowFlags) {
    HWND w = TopLevel(0, 0, 100, 100);
    HWND c = Child(w, 0, 0, 20, 20);
    Drain();
    EXPECT_EQ(GetQueueStatus(QS_ALLINPUT) & 0xFFFF, 0u);
    PostMessageA(w, WM_USER, 0, 0);
    EXPECT_TRUE(GetQueueStatus(QS_ALLINPUT) & QS_POSTMESSAGE);
    Drain();
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
    EXPECT_TRUE(GetQueueStatus(QS_PAINT) & QS_PAINT);
    RECT r;
    EXPECT_FALSE(GetUpdateRect(c, &r, FALSE));
    RedrawWindow(w, nullptr, nullptr, RDW_VALIDATE);
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE));
    Log().clear();
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(Received(WM_PAINT, w).size(), 1u);
    EXPECT_EQ(Received(WM_PAINT, c).size(), 1u);
    Log().clear();
    RedrawWindow(w, nullptr, nullptr, RDW_INTERNALPAINT);
    Drain();
    EXPECT_EQ(Received(WM_PAINT, w).size(), 1u);
    Log().clear();
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w); // paints at once, without the queue
    EXPECT_EQ(Received(WM_PAINT, w).size(), 1u);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(Window, SetParentMovesAChildBetweenWindows) {
    HWND a = TopLevel(0, 0, 200, 200);
    HWND b = TopLevel(300, 0, 200, 200);
    HWND c = Child(a, 10, 10, 20, 20);
    EXPECT_EQ(SetParent(c, b), a);
    EXPECT_EQ(GetParent(c), b);
    EXPECT_FALSE(IsChild(a, c));
    EXPECT_EQ(GetWindow(b, GW_CHILD), c);
    EXPECT_EQ(SetParent(b, c), nullptr); // no cycles
    POINT p{0, 0};
    ClientToScreen(c, &p);
    POINT q{10, 10};
    ClientToScreen(b, &q);
    EXPECT_EQ(p.x, q.x);
    EXPECT_EQ(p.y, q.y);
}

TEST_F(Window, DestroyingTheActiveWindowActivatesAnother) {
    HWND a = TopLevel(0, 0, 100, 100);
    HWND b = TopLevel(0, 0, 100, 100);
    HWND child = Child(b, 0, 0, 10, 10);
    SetFocus(child);
    EXPECT_EQ(GetActiveWindow(), b);
    DestroyWindow(b);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_NE(GetFocus(), child);
    EXPECT_EQ(GetFocus(), a);
}

namespace {
LRESULT DestroyOnDeactivate(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE)
        DestroyWindow(hwnd);
    if (msg == WM_KILLFOCUS)
        DestroyWindow(hwnd);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
} // namespace

TEST_F(Window, HandlersThatDestroyTheirWindowMidwayAreSurvived) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DestroyOnDeactivate;
    wc.lpszClassName = "SelfDestroying";
    RegisterClassA(&wc);
    struct Case {
        const char* Name;
        int Cmd;
    };
    const Case cases[] = {{"hide", SW_HIDE}, {"minimise", SW_MINIMIZE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND other = TopLevel(0, 0, 50, 50);
        HWND w = CreateWindowExA(0, "SelfDestroying", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 50, 50, nullptr, nullptr, nullptr, nullptr);
        ASSERT_EQ(GetActiveWindow(), w);
        ShowWindow(w, c.Cmd);
        EXPECT_FALSE(IsWindow(w));
        EXPECT_EQ(GetActiveWindow(), other);
        DestroyWindow(other);
    }
    HWND top = TopLevel(0, 0, 100, 100);
    HWND child = CreateWindowExA(0, "SelfDestroying", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top,
                                 nullptr, nullptr, nullptr);
    SetFocus(child);
    EnableWindow(child, FALSE); // loses the focus, and destroys itself on the way
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(Window, SystemMenuItemsAreReallyRemoved) {
    HWND w = TopLevel(0, 0, 100, 100, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    HMENU menu = GetSystemMenu(w, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetSystemMenu(w, FALSE), menu);
    auto items = [&] {
        std::vector<UINT> ids;
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
            ids.push_back(GetMenuItemID(menu, i));
        return ids;
    };
    EXPECT_EQ(items(), (std::vector<UINT>{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0,
                                          SC_CLOSE}));
    struct Step {
        bool Delete; // DeleteMenu, else RemoveMenu
        UINT Item;
        UINT Flags;
        BOOL Result;
    };
    const Step steps[] = {
        {true, SC_MAXIMIZE, MF_BYCOMMAND, TRUE},
        {true, SC_MAXIMIZE, MF_BYCOMMAND, FALSE}, // already gone
        {false, SC_SIZE, MF_BYCOMMAND, TRUE},
        {true, SC_MOVE, MF_BYCOMMAND, TRUE},
        {false, 2, MF_BYPOSITION, TRUE}, // the separator, now third
        {true, 9, MF_BYPOSITION, FALSE},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Item);
        EXPECT_EQ(s.Delete ? DeleteMenu(menu, s.Item, s.Flags) : RemoveMenu(menu, s.Item, s.Flags),
                  s.Result);
    }
    EXPECT_EQ(items(), (std::vector<UINT>{SC_RESTORE, SC_MINIMIZE, SC_CLOSE}));
    EXPECT_EQ(GetMenuItemID(menu, 3), UINT(-1));
    // Reverting brings back the standard menu; a child window has none; bad handles fail.
    EXPECT_EQ(GetSystemMenu(w, TRUE), nullptr);
    menu = GetSystemMenu(w, FALSE);
    EXPECT_EQ(GetMenuItemCount(menu), 7);
    EXPECT_EQ(GetSystemMenu(Child(w, 0, 0, 5, 5), FALSE), nullptr);
    DestroyWindow(w);
    EXPECT_EQ(GetMenuItemCount(menu), -1);
    EXPECT_FALSE(DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND));
    EXPECT_FALSE(RemoveMenu(reinterpret_cast<HMENU>(0x1234), SC_CLOSE, MF_BYCOMMAND));
}

TEST_F(Window, DefaultPositionsCascadeAndStartOverOnReset) {
    auto placed = [] {
        HWND w = CreateWindowExA(0, "Recorder", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                 CW_USEDEFAULT, 0, nullptr, nullptr, nullptr, nullptr);
        RECT r{};
        GetWindowRect(w, &r);
        return POINT{r.left, r.top};
    };
    // Eight places down the diagonal, then the first again.
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        POINT p = placed();
        EXPECT_EQ(p.x, 26 * (i % 8));
        EXPECT_EQ(p.y, p.x);
    }
    // A reset starts the cascade over, so no test depends on what ran before it.
    t::Reset();
    POINT p = placed();
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}
