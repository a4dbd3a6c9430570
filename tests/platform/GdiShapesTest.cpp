// Pens, brushes, system colours and shapes: rectangles, lines, ellipses, 3-D edges,
// push-button frames, focus rectangles and saved context states.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DibCanvas.h"
#include "platform/wingdi.h"

namespace {

using Canvas = DibCanvas;

const COLORREF Face = RGB(212, 208, 200), Shadow = RGB(128, 128, 128),
               Highlight = RGB(255, 255, 255), DarkShadow = RGB(64, 64, 64),
               Light = RGB(212, 208, 200);

TEST(GdiShapes, SystemColoursAreTheClassicScheme) {
    struct Case {
        int Index;
        COLORREF Colour;
    };
    const Case cases[] = {{COLOR_BTNFACE, Face},
                          {COLOR_BTNSHADOW, Shadow},
                          {COLOR_BTNHIGHLIGHT, Highlight},
                          {COLOR_3DDKSHADOW, DarkShadow},
                          {COLOR_3DLIGHT, Light},
                          {COLOR_WINDOW, RGB(255, 255, 255)},
                          {COLOR_WINDOWFRAME, RGB(0, 0, 0)},
                          {COLOR_BTNTEXT, RGB(0, 0, 0)},
                          {COLOR_INFOBK, RGB(255, 255, 225)},
                          {COLOR_HIGHLIGHT, RGB(10, 36, 106)},
                          {COLOR_GRAYTEXT, RGB(128, 128, 128)}};
    for (const Case& c : cases)
        EXPECT_EQ(c.Colour, GetSysColor(c.Index)) << "index " << c.Index;
    LOGBRUSH lb{};
    EXPECT_EQ(int(sizeof lb), GetObjectA(GetSysColorBrush(COLOR_BTNFACE), sizeof lb, &lb));
    EXPECT_EQ(Face, lb.lbColor);
    EXPECT_EQ(nullptr, GetSysColorBrush(99));
}

TEST(GdiShapes, FillRectAcceptsSystemColourIndexPlusOne) {
    Canvas c(4, 4);
    RECT r{1, 1, 3, 3};
    EXPECT_NE(0, FillRect(c.Dc, &r, reinterpret_cast<HBRUSH>(std::uintptr_t(COLOR_BTNFACE + 1))));
    EXPECT_EQ(Face, c.At(1, 1));
    EXPECT_EQ(Face, c.At(2, 2));
    EXPECT_EQ(RGB(0, 0, 0), c.At(3, 3)) << "right and bottom edges excluded";
    EXPECT_EQ(0, FillRect(c.Dc, &r, reinterpret_cast<HBRUSH>(std::uintptr_t(0x7777770))));
}

TEST(GdiShapes, RectangleOutlinesWithPenAndFillsWithBrush) {
    Canvas c(6, 5, RGB(0, 0, 0));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    SelectObject(c.Dc, pen);
    SelectObject(c.Dc, brush);
    ASSERT_TRUE(Rectangle(c.Dc, 0, 0, 5, 4));
    const char* expected[] = {"RRRRR.", "RGGGR.", "RGGGR.", "RRRRR.", "......"};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            char e = expected[y][x];
            COLORREF want = e == 'R' ? RGB(255, 0, 0) : e == 'G' ? RGB(0, 255, 0) : RGB(0, 0, 0);
            EXPECT_EQ(want, c.At(x, y)) << x << "," << y;
        }
    // Without a pen the filled area is one pixel smaller on the right and bottom.
    c.Fill(RGB(0, 0, 0));
    SelectObject(c.Dc, GetStockObject(NULL_PEN));
    Rectangle(c.Dc, 0, 0, 5, 4);
    EXPECT_EQ(RGB(0, 255, 0), c.At(3, 2));
    EXPECT_EQ(RGB(0, 0, 0), c.At(4, 2));
    EXPECT_EQ(RGB(0, 0, 0), c.At(0, 3));
    // A null brush leaves the inside alone.
    c.Fill(RGB(0, 0, 0));
    SelectObject(c.Dc, pen);
    SelectObject(c.Dc, GetStockObject(NULL_BRUSH));
    Rectangle(c.Dc, 0, 0, 5, 4);
    EXPECT_EQ(RGB(0, 0, 0), c.At(2, 2));
    EXPECT_EQ(RGB(255, 0, 0), c.At(4, 3));
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    SelectObject(c.Dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(GdiShapes, LinesExcludeTheirEndPoint) {
    struct Case {
        POINT From, To;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {{0, 1}, {4, 1}, {".....", "####.", ".....", ".....", "....."}},
        {{4, 1}, {0, 1}, {".....", ".####", ".....", ".....", "....."}},
        {{2, 0}, {2, 3}, {"..#..", "..#..", "..#..", ".....", "....."}},
        {{0, 0}, {4, 4}, {"#....", ".#...", "..#..", "...#.", "....."}},
        {{0, 4}, {4, 0}, {".....", "...#.", "..#..", ".#...", "#...."}},
        {{0, 0}, {4, 2}, {"##...", "..##.", ".....", ".....", "....."}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.From.x) + "," + std::to_string(k.From.y) + " -> " +
                     std::to_string(k.To.x) + "," + std::to_string(k.To.y));
        Canvas c(5, 5, RGB(255, 255, 255));
        POINT old{};
        MoveToEx(c.Dc, k.From.x, k.From.y, &old);
        ASSERT_TRUE(LineTo(c.Dc, k.To.x, k.To.y));
        EXPECT_EQ(k.Expected, c.Map(RGB(255, 255, 255)));
        POINT pos{};
        GetCurrentPositionEx(c.Dc, &pos);
        EXPECT_EQ(k.To.x, pos.x);
        EXPECT_EQ(k.To.y, pos.y);
    }
}

TEST(GdiShapes, StyledPensDashAndFillGapsOnlyWhenOpaque) {
    Canvas c(12, 1, RGB(0, 0, 0));
    HPEN dot = CreatePen(PS_DOT, 1, RGB(255, 255, 255));
    SelectObject(c.Dc, dot);
    SetBkMode(c.Dc, TRANSPARENT);
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 12, 0);
    EXPECT_EQ(std::vector<std::string>{"###...###..."}, c.Map(RGB(0, 0, 0)));
    SetBkMode(c.Dc, OPAQUE);
    SetBkColor(c.Dc, RGB(0, 0, 255));
    c.Fill(RGB(0, 0, 0));
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 12, 0);
    EXPECT_EQ(RGB(0, 0, 255), c.At(4, 0));
    EXPECT_EQ(RGB(255, 255, 255), c.At(6, 0));
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    DeleteObject(dot);
    LOGPEN lp{};
    HPEN wide = CreatePen(PS_DASH, 3, RGB(1, 2, 3));
    EXPECT_EQ(int(sizeof lp), GetObjectA(wide, sizeof lp, &lp));
    EXPECT_EQ(UINT(PS_DASH), lp.lopnStyle);
    EXPECT_EQ(3, lp.lopnWidth.x);
    EXPECT_EQ(RGB(1, 2, 3), lp.lopnColor);
    DeleteObject(wide);
}

TEST(GdiShapes, WidePensAreThick) {
    Canvas c(7, 7, RGB(0, 0, 0));
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 255, 255));
    SelectObject(c.Dc, pen);
    MoveToEx(c.Dc, 1, 3, nullptr);
    LineTo(c.Dc, 6, 3);
    // Three rows centred on the line; the end column is excluded.
    std::vector<std::string> expected{".......", ".......", ".#####.", ".#####.",
                                      ".#####.", ".......", "......."};
    EXPECT_EQ(expected, c.Map(RGB(0, 0, 0)));
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiShapes, EllipseStaysInsideItsBoxAndIsSymmetric) {
    Canvas c(11, 9, RGB(0, 0, 0));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(c.Dc, pen);
    SelectObject(c.Dc, brush);
    ASSERT_TRUE(Ellipse(c.Dc, 1, 1, 10, 8));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x) {
            bool inBox = x >= 1 && x < 10 && y >= 1 && y < 8;
            if (!inBox) {
                EXPECT_EQ(RGB(0, 0, 0), c.At(x, y)) << x << "," << y;
            }
            EXPECT_EQ(c.At(x, y), c.At(10 - x, y)) << "mirror of " << x << "," << y;
            EXPECT_EQ(c.At(x, y), c.At(x, 8 - y)) << "flip of " << x << "," << y;
        }
    EXPECT_EQ(RGB(0, 0, 255), c.At(5, 4)) << "centre filled";
    EXPECT_EQ(RGB(255, 0, 0), c.At(5, 1)) << "top outline";
    EXPECT_EQ(RGB(255, 0, 0), c.At(1, 4)) << "left outline";
    EXPECT_EQ(RGB(0, 0, 0), c.At(1, 1)) << "corner outside";
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    SelectObject(c.Dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(GdiShapes, PolygonFillsEvenOdd) {
    Canvas c(6, 6, RGB(0, 0, 0));
    SelectObject(c.Dc, GetStockObject(NULL_PEN));
    SelectObject(c.Dc, GetStockObject(WHITE_BRUSH));
    const POINT square[4] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}};
    ASSERT_TRUE(Polygon(c.Dc, square, 4));
    std::vector<std::string> expected{"......", ".####.", ".####.", ".####.", ".####.", "......"};
    EXPECT_EQ(expected, c.Map(RGB(0, 0, 0)));
    EXPECT_FALSE(Polygon(c.Dc, square, 1));
    EXPECT_FALSE(Polyline(c.Dc, nullptr, 3));
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
}

TEST(GdiShapes, RaisedAndSunkenEdgesUseTheThreeDColours) {
    struct Case {
        const char* Name;
        UINT Edge;
        UINT Flags;
        COLORREF OuterTopLeft, OuterBottomRight, InnerTopLeft, InnerBottomRight;
    };
    const Case cases[] = {
        {"raised", EDGE_RAISED, BF_RECT, Light, DarkShadow, Highlight, Shadow},
        {"sunken", EDGE_SUNKEN, BF_RECT, Shadow, Highlight, DarkShadow, Light},
        {"raised soft", EDGE_RAISED, BF_RECT | BF_SOFT, Highlight, DarkShadow, Light, Shadow},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        Canvas c(8, 6, RGB(1, 1, 1));
        RECT r{0, 0, 8, 6};
        ASSERT_TRUE(DrawEdge(c.Dc, &r, k.Edge, k.Flags | BF_ADJUST | BF_MIDDLE));
        EXPECT_EQ(k.OuterTopLeft, c.At(0, 2));
        EXPECT_EQ(k.OuterTopLeft, c.At(3, 0));
        EXPECT_EQ(k.OuterBottomRight, c.At(7, 2));
        EXPECT_EQ(k.OuterBottomRight, c.At(3, 5));
        EXPECT_EQ(k.OuterBottomRight, c.At(7, 0)) << "top-right corner";
        EXPECT_EQ(k.OuterBottomRight, c.At(0, 5)) << "bottom-left corner";
        EXPECT_EQ(k.InnerTopLeft, c.At(1, 2));
        EXPECT_EQ(k.InnerBottomRight, c.At(6, 2));
        EXPECT_EQ(Face, c.At(3, 3)) << "middle";
        EXPECT_EQ(2, r.left);
        EXPECT_EQ(2, r.top);
        EXPECT_EQ(6, r.right);
        EXPECT_EQ(4, r.bottom);
    }
    Canvas c(4, 4, RGB(1, 1, 1));
    RECT r{0, 0, 4, 4};
    DrawEdge(c.Dc, &r, BDR_RAISEDINNER, BF_TOP);
    EXPECT_EQ(Highlight, c.At(2, 0));
    EXPECT_EQ(RGB(1, 1, 1), c.At(0, 2)) << "only the top side";
    EXPECT_EQ(0, r.top) << "no BF_ADJUST";
}

TEST(GdiShapes, PushButtonFrameAdjustsRectAndPaintsFace) {
    for (UINT state : {DFCS_BUTTONPUSH, DFCS_BUTTONPUSH | DFCS_PUSHED}) {
        SCOPED_TRACE(state);
        Canvas c(10, 8, RGB(1, 1, 1));
        RECT r{0, 0, 10, 8};
        ASSERT_TRUE(DrawFrameControl(c.Dc, &r, DFC_BUTTON, state | DFCS_ADJUSTRECT));
        EXPECT_EQ(2, r.left);
        EXPECT_EQ(2, r.top);
        EXPECT_EQ(8, r.right);
        EXPECT_EQ(6, r.bottom);
        EXPECT_EQ(Face, c.At(4, 4));
        bool pushed = state & DFCS_PUSHED;
        EXPECT_EQ(pushed ? RGB(0, 0, 0) : Highlight, c.At(0, 3));
        EXPECT_EQ(pushed ? RGB(0, 0, 0) : DarkShadow, c.At(9, 3));
        EXPECT_EQ(Shadow, c.At(8, 3));
    }
    Canvas c(2, 2);
    RECT r{0, 0, 2, 2};
    EXPECT_FALSE(DrawFrameControl(c.Dc, &r, 99, 0));
}

TEST(GdiShapes, FocusRectIsADottedXorThatUndoesItself) {
    Canvas c(6, 5, RGB(10, 20, 30));
    RECT r{0, 0, 6, 5};
    ASSERT_TRUE(DrawFocusRect(c.Dc, &r));
    EXPECT_EQ(RGB(245, 235, 225), c.At(0, 0));
    EXPECT_EQ(RGB(10, 20, 30), c.At(1, 0));
    EXPECT_EQ(RGB(245, 235, 225), c.At(2, 0));
    EXPECT_EQ(RGB(10, 20, 30), c.At(2, 2)) << "inside untouched";
    ASSERT_TRUE(DrawFocusRect(c.Dc, &r));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(RGB(10, 20, 30), c.At(x, y)) << x << "," << y;
}

TEST(GdiShapes, FrameAndInvertRect) {
    Canvas c(5, 4, RGB(0, 0, 0));
    RECT r{0, 0, 5, 4};
    HBRUSH white = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    ASSERT_NE(0, FrameRect(c.Dc, &r, white));
    std::vector<std::string> expected{"#####", "#...#", "#...#", "#####"};
    EXPECT_EQ(expected, c.Map(RGB(0, 0, 0)));
    ASSERT_TRUE(InvertRect(c.Dc, &r));
    // The white frame turned black, the black inside white.
    EXPECT_EQ(expected, c.Map(RGB(255, 255, 255)));
}

TEST(GdiShapes, MonochromePatternBrushTakesTextAndBackgroundColours) {
    // Checkerboard 8x8 pattern: rows alternate 0xAA / 0x55.
    std::uint8_t bits[16];
    for (int y = 0; y < 8; ++y) {
        bits[2 * y] = y % 2 ? 0x55 : 0xAA;
        bits[2 * y + 1] = 0;
    }
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH brush = CreatePatternBrush(pattern);
    ASSERT_NE(nullptr, brush);
    Canvas c(4, 2);
    SetTextColor(c.Dc, RGB(255, 0, 0));
    SetBkColor(c.Dc, RGB(0, 0, 255));
    RECT r{0, 0, 4, 2};
    FillRect(c.Dc, &r, brush);
    EXPECT_EQ(RGB(0, 0, 255), c.At(0, 0)) << "bit 1 -> background colour";
    EXPECT_EQ(RGB(255, 0, 0), c.At(1, 0)) << "bit 0 -> text colour";
    EXPECT_EQ(RGB(255, 0, 0), c.At(0, 1));
    EXPECT_EQ(RGB(0, 0, 255), c.At(1, 1));
    LOGBRUSH lb{};
    GetObjectA(brush, sizeof lb, &lb);
    EXPECT_EQ(BS_PATTERN, lb.lbStyle);
    DeleteObject(brush);
    DeleteObject(pattern);
}

TEST(GdiShapes, SaveAndRestoreBringBackObjectsModesAndClip) {
    Canvas c(4, 4, RGB(0, 0, 0));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    int saved = SaveDC(c.Dc);
    EXPECT_EQ(1, saved);
    SelectObject(c.Dc, red);
    SetTextColor(c.Dc, RGB(9, 9, 9));
    SetBkMode(c.Dc, TRANSPARENT);
    SetROP2(c.Dc, R2_XORPEN);
    SetViewportOrgEx(c.Dc, 2, 2, nullptr);
    IntersectClipRect(c.Dc, 0, 0, 1, 1);
    EXPECT_EQ(2, SaveDC(c.Dc));
    EXPECT_TRUE(RestoreDC(c.Dc, saved));
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), GetCurrentObject(c.Dc, OBJ_BRUSH));
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(c.Dc));
    EXPECT_EQ(OPAQUE, GetBkMode(c.Dc));
    EXPECT_EQ(R2_COPYPEN, GetROP2(c.Dc));
    POINT org{};
    GetViewportOrgEx(c.Dc, &org);
    EXPECT_EQ(0, org.x);
    RECT box{};
    EXPECT_EQ(SIMPLEREGION, GetClipBox(c.Dc, &box));
    EXPECT_EQ(4, box.right);
    EXPECT_FALSE(RestoreDC(c.Dc, -1)) << "nothing left to restore";
    DeleteObject(red);
}

TEST(GdiShapes, ExtremeCoordinatesAreClippedNotWalked) {
    Canvas c(8, 8, RGB(0, 0, 0));
    HPEN pen = CreatePen(PS_DOT, 1, RGB(255, 255, 255));
    SelectObject(c.Dc, pen);
    MoveToEx(c.Dc, -2000000000, -2000000000, nullptr);
    EXPECT_TRUE(LineTo(c.Dc, 2000000000, 2000000000));
    EXPECT_NE(RGB(0, 0, 0), c.At(3, 3)) << "the diagonal crosses the canvas";
    const POINT huge[3] = {{-2000000000, -2000000000}, {2000000000, 0}, {0, 2000000000}};
    EXPECT_TRUE(Polygon(c.Dc, huge, 3));
    EXPECT_TRUE(Ellipse(c.Dc, -2000000000, -2000000000, 2000000000, 2000000000));
    EXPECT_TRUE(Rectangle(c.Dc, -2000000000, -2000000000, 2000000000, 2000000000));
    SetViewportOrgEx(c.Dc, 2000000000, 0, nullptr);
    RECT r{2000000000, 0, 2147483647, 5};
    EXPECT_NE(0, FillRect(c.Dc, &r, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))));
    EXPECT_FALSE(StretchBlt(c.Dc, 0, 0, 4, 4, c.Dc, 0, 0, 2147483647, 4, SRCCOPY));
    EXPECT_FALSE(StretchBlt(c.Dc, 0, 0, 4, 4, c.Dc, 0, 0, -2147483647 - 1, 4, SRCCOPY));
    SelectObject(c.Dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

} // namespace
