#include "HeadlessFixture.h"
#include "tests/common/TempDir.h"

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
    struct Case {
        const char* Name;
        BOOL EraseRequested;
        bool ClassBrush;
        BOOL Expected; // fErase: the caller still has to erase
    };
    const Case cases[] = {
        {"no erase asked", FALSE, false, FALSE},
        {"erase asked, nobody erases", TRUE, false, TRUE},
        {"erase asked, class brush erases", TRUE, true, FALSE},
        {"no erase asked, class brush", FALSE, true, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND top = c.ClassBrush ? Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE, 0, 0,
                                          300, 200, nullptr)
                                : TopLevel(0, 0, 300, 200);
        Drain();
        RECT r{10, 20, 30, 40};
        InvalidateRect(top, &r, c.EraseRequested);
        RECT upd{};
        EXPECT_TRUE(GetUpdateRect(top, &upd, FALSE));
        EXPECT_TRUE(EqualRect(&upd, &r));
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(top, &ps);
        EXPECT_NE(dc, nullptr);
        EXPECT_TRUE(EqualRect(&ps.rcPaint, &r));
        EXPECT_EQ(ps.fErase, c.Expected);
        EndPaint(top, &ps);
        EXPECT_FALSE(GetUpdateRect(top, &upd, FALSE));
        MSG m;
        EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
        DestroyWindow(top);
    }
}

TEST_F(Paint, ValidateRgnValidatesTheRegionNotItsBoundingBox) {
    struct Case {
        const char* Name;
        std::vector<RECT> Region;
        bool StillInvalid;
        RECT Left;
    };
    const Case cases[] = {
        // An L over the top and left: the bottom-right corner stays to be painted.
        {"L shape", {{0, 0, 100, 50}, {0, 50, 50, 100}}, true, {50, 50, 100, 100}},
        {"two corners", {{0, 0, 10, 10}, {90, 90, 100, 100}}, true, {0, 0, 100, 100}},
        {"all of it in pieces", {{0, 0, 100, 50}, {0, 50, 100, 100}}, false, {}},
        {"outside", {{200, 200, 300, 300}}, true, {0, 0, 100, 100}},
    };
    HWND top = TopLevel(0, 0, 300, 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Drain();
        RECT all{0, 0, 100, 100};
        InvalidateRect(top, &all, FALSE);
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& r : c.Region) {
            HRGN part = CreateRectRgnIndirect(&r);
            CombineRgn(rgn, rgn, part, RGN_OR);
            DeleteObject(part);
        }
        EXPECT_TRUE(ValidateRgn(top, rgn));
        DeleteObject(rgn);
        RECT upd{};
        EXPECT_EQ(GetUpdateRect(top, &upd, FALSE) != FALSE, c.StillInvalid);
        if (c.StillInvalid) {
            EXPECT_TRUE(EqualRect(&upd, &c.Left));
        }
    }
    EXPECT_FALSE(ValidateRgn(top, reinterpret_cast<HRGN>(0x4321)));
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
    testutil::TTempDir dir("platform-paint");
    std::string png = dir / "screen.png";
    EXPECT_TRUE(t::SavePng(t::CaptureScreen(), png));
    std::string bmp = dir / "front.bmp";
    EXPECT_TRUE(t::SaveBmp(t::CaptureWindow(front), bmp));
    EXPECT_FALSE(t::SavePng(t::Image{}, png));
}

TEST_F(Paint, ResizedTopLevelRepaintsItsNewSurface) {
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

TEST_F(Paint, DeviceCapsOfTheScreenFollowItsSize) {
    platform::testing::SetScreenSize(800, 600);
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 800);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    ReleaseDC(nullptr, dc);
}

TEST_F(Paint, TheScreenContextDrawsAndReadsBackAtEverySize) {
    struct Case {
        int Width, Height;
    };
    for (const Case& c : {Case{800, 600}, Case{1280, 1024}, Case{64, 48}}) {
        platform::testing::SetScreenSize(c.Width, c.Height);
        HDC dc = GetDC(nullptr);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(GetPixel(dc, c.Width - 1, c.Height - 1), RGB(0, 0, 0)) << "starts black";
        HBRUSH b = CreateSolidBrush(RGB(10, 200, 30));
        RECT r{c.Width - 20, c.Height - 10, c.Width, c.Height};
        FillRect(dc, &r, b);
        DeleteObject(b);
        EXPECT_EQ(GetPixel(dc, c.Width - 1, c.Height - 1), RGB(10, 200, 30)) << c.Width;
        EXPECT_EQ(GetPixel(dc, c.Width - 21, c.Height - 1), RGB(0, 0, 0)) << c.Width;
        EXPECT_EQ(GetPixel(dc, c.Width, 0), CLR_INVALID) << "outside the screen";
        ReleaseDC(nullptr, dc);
    }
}

TEST_F(Paint, ChildBorderIsDrawnAndRedrawnAfterTheParentPaintsOverIt) {
    HWND top = Colored("RedBack", RGB(255, 0, 0), WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr);
    HWND c = Colored("GreenBack", RGB(0, 255, 0), WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 30, 30,
                     top);
    Drain();
    std::uint32_t frame = GetSysColor(COLOR_WINDOWFRAME);
    std::uint32_t frameRgb = (GetRValue(frame) << 16) | (GetGValue(frame) << 8) | GetBValue(frame);
    auto check = [&] {
        auto img = t::CaptureWindow(top);
        EXPECT_EQ(img.At(10, 10), frameRgb);
        EXPECT_EQ(img.At(39, 25), frameRgb);
        EXPECT_EQ(img.At(11, 11), Green);
        EXPECT_EQ(img.At(9, 9), Red);
    };
    check();
    RECT cr;
    GetClientRect(c, &cr);
    EXPECT_EQ(cr.right, 28);
    InvalidateRect(top, nullptr, TRUE); // the parent paints over the border
    Drain();
    check();
}
