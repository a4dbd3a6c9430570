#include "HeadlessFixture.h"

namespace t = platform::testing;

namespace {

constexpr std::uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, Yellow = 0xFFFF00;

// Window classes that erase with a solid colour and paint nothing else.
HWND Colored(LPCSTR className, COLORREF rgb, DWORD style, int x, int y, int w, int h, HWND parent) {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, className, &wc)) {
        wc.lpfnWndProc = RecordingProc;
        wc.hbrBackground = CreateSolidBrush(rgb);
        wc.lpszClassName = className;
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, className, "", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

} // namespace

using Paint = HeadlessTest;

TEST_F(Paint, ChildrenPaintOverParentAndSiblingsAboveWin) {
    HWND top = Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr);
    HWND a = Colored("GreenBack", RGB(0, 255, 0), WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, top);
    HWND b = Colored("BlueBack", RGB(0, 0, 255), WS_CHILD | WS_VISIBLE, 40, 40, 50, 50, top);
    Drain();
    auto img = t::CaptureWindow(top);
    ASSERT_EQ(img.Width, 200);
    struct Case {
        int X, Y;
        std::uint32_t Colour;
    };
    const Case cases[] = {
        {5, 5, Red}, {20, 20, Green}, {45, 45, Blue}, {85, 85, Blue}, {150, 50, Red}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.X) + "," + std::to_string(c.Y));
        EXPECT_EQ(img.At(c.X, c.Y), c.Colour);
    }
    // Repainting the lower sibling does not draw over the one above it.
    InvalidateRect(a, nullptr, TRUE);
    Drain();
    EXPECT_EQ(t::CaptureWindow(top).At(45, 45), Blue);
    // Hiding the upper one uncovers the lower one and the parent.
    ShowWindow(b, SW_HIDE);
    Drain();
    img = t::CaptureWindow(top);
    EXPECT_EQ(img.At(45, 45), Green);
    EXPECT_EQ(img.At(85, 85), Red);
    EXPECT_EQ(t::CaptureWindow(a).At(0, 0), Green);
}

TEST_F(Paint, ParentWithoutClipChildrenRepaintsItsChildrenToo) {
    for (DWORD clip : {DWORD(0), WS_CLIPCHILDREN}) {
        SCOPED_TRACE(clip ? "clip children" : "no clip children");
        t::Reset();
        HWND top = Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE | clip, 0, 0, 100, 100,
                           nullptr);
        HWND c = Colored("GreenBack", RGB(0, 255, 0), WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, top);
        Drain();
        Log().clear();
        InvalidateRect(top, nullptr, TRUE);
        Drain();
        EXPECT_EQ(Received(WM_PAINT, c).size(), clip ? 0u : 1u);
        EXPECT_EQ(t::CaptureWindow(top).At(15, 15), Green);
    }
}

TEST_F(Paint, BeginPaintReportsUpdateRectAndEraseFlag) {
    HWND top = TopLevel(0, 0, 300, 200);
    Drain();
    RECT r{10, 20, 30, 40};
    InvalidateRect(top, &r, FALSE);
    RECT upd{};
    EXPECT_TRUE(GetUpdateRect(top, &upd, FALSE));
    EXPECT_TRUE(EqualRect(&upd, &r));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(top, &ps);
    EXPECT_NE(dc, nullptr);
    EXPECT_TRUE(EqualRect(&ps.rcPaint, &r));
    EXPECT_TRUE(ps.fErase); // no class brush: the background is still to be erased
    EndPaint(top, &ps);
    EXPECT_FALSE(GetUpdateRect(top, &upd, FALSE));
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(Paint, GetDCDrawsIntoTheWindowOnly) {
    HWND top = Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr);
    HWND c = Colored("GreenBack", RGB(0, 255, 0), WS_CHILD | WS_VISIBLE, 50, 50, 50, 50, top);
    Drain();
    HDC dc = GetDC(c);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(WindowFromDC(dc), c);
    HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
    RECT all{-100, -100, 100, 100};
    FillRect(dc, &all, yellow); // clipped to the child's client area
    EXPECT_EQ(ReleaseDC(c, dc), 1);
    EXPECT_EQ(ReleaseDC(c, dc), 0);
    DeleteObject(yellow);
    auto img = t::CaptureWindow(top);
    EXPECT_EQ(img.At(49, 49), Red);
    EXPECT_EQ(img.At(50, 50), Yellow);
    EXPECT_EQ(img.At(99, 99), Yellow);
}

TEST_F(Paint, ScreenCaptureStacksTopLevelWindowsInZOrder) {
    HWND back = Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr);
    HWND front =
        Colored("BlueBack", RGB(0, 0, 255), WS_POPUP | WS_VISIBLE, 100, 100, 200, 200, nullptr);
    Drain();
    auto screen = t::CaptureScreen();
    EXPECT_EQ(screen.Width, 1280);
    EXPECT_EQ(screen.At(50, 50), Red);
    EXPECT_EQ(screen.At(150, 150), Blue);
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Drain();
    EXPECT_EQ(t::CaptureScreen().At(150, 150), Red);
    std::string png = std::string(QUILLOT_BUILD_DIR) + "/platform-paint-test.png";
    EXPECT_TRUE(t::SavePng(t::CaptureScreen(), png));
    std::string bmp = std::string(QUILLOT_BUILD_DIR) + "/platform-paint-test.bmp";
    EXPECT_TRUE(t::SaveBmp(t::CaptureWindow(front), bmp));
    EXPECT_FALSE(t::SavePng(t::Image{}, png));
}

TEST_F(Paint, ResizedTopLevelKeepsContentAndRepaints) {
    HWND top = Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr);
    Drain();
    Log().clear();
    MoveWindow(top, 0, 0, 120, 80, TRUE);
    Drain();
    EXPECT_EQ(Received(WM_PAINT, top).size(), 1u);
    auto img = t::CaptureWindow(top);
    EXPECT_EQ(img.Width, 120);
    EXPECT_EQ(img.At(119, 79), Red);
}
