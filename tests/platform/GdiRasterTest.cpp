// Raster operations, colour/monochrome conversions, stretched copies, the transparent
// drawing recipe, clipping and handle validation of the drawing API.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "DibCanvas.h"
#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

namespace {

using Canvas = DibCanvas;

// A memory context over a monochrome bitmap.
struct MonoCanvas {
    HDC Dc = nullptr;
    HBITMAP Bm = nullptr;
    HGDIOBJ Old = nullptr;
    MonoCanvas(int w, int h) {
        Bm = CreateBitmap(w, h, 1, 1, nullptr);
        Dc = CreateCompatibleDC(nullptr);
        Old = SelectObject(Dc, Bm);
    }
    ~MonoCanvas() {
        SelectObject(Dc, Old);
        DeleteDC(Dc);
        DeleteObject(Bm);
    }
    void Set(int x, int y, int bit) { SetPixel(Dc, x, y, bit ? RGB(255, 255, 255) : RGB(0, 0, 0)); }
    int Get(int x, int y) const { return GetPixel(Dc, x, y) == RGB(255, 255, 255) ? 1 : 0; }
};

struct RopCase {
    const char* Name;
    DWORD Rop;
    std::function<std::uint32_t(std::uint32_t, std::uint32_t, std::uint32_t)> Fn; // (P, S, D)
};

const std::vector<RopCase>& RopCases() {
    static const std::vector<RopCase> cases = {
        {"SRCCOPY", SRCCOPY, [](auto, auto s, auto) { return s; }},
        {"SRCPAINT", SRCPAINT, [](auto, auto s, auto d) { return s | d; }},
        {"SRCAND", SRCAND, [](auto, auto s, auto d) { return s & d; }},
        {"SRCINVERT", SRCINVERT, [](auto, auto s, auto d) { return s ^ d; }},
        {"SRCERASE", SRCERASE, [](auto, auto s, auto d) { return s & ~d; }},
        {"NOTSRCCOPY", NOTSRCCOPY, [](auto, auto s, auto) { return ~s; }},
        {"NOTSRCERASE", NOTSRCERASE, [](auto, auto s, auto d) { return ~(s | d); }},
        {"MERGECOPY", MERGECOPY, [](auto p, auto s, auto) { return p & s; }},
        {"MERGEPAINT", MERGEPAINT, [](auto, auto s, auto d) { return ~s | d; }},
        {"PATCOPY", PATCOPY, [](auto p, auto, auto) { return p; }},
        {"PATPAINT", PATPAINT, [](auto p, auto s, auto d) { return p | ~s | d; }},
        {"PATINVERT", PATINVERT, [](auto p, auto, auto d) { return p ^ d; }},
        {"DSTINVERT", DSTINVERT, [](auto, auto, auto d) { return ~d; }},
        {"BLACKNESS", BLACKNESS, [](auto, auto, auto) { return 0u; }},
        {"WHITENESS", WHITENESS, [](auto, auto, auto) { return ~0u; }},
        {"PSDPxax", 0x00B8074A, [](auto p, auto s, auto d) { return ((p ^ d) & s) ^ p; }},
        {"DPSao (generic)", 0x00EA02E9, [](auto p, auto s, auto d) { return (p & s) | d; }},
        {"DSna (generic)", 0x00220326, [](auto, auto s, auto d) { return d & ~s; }},
    };
    return cases;
}

TEST(GdiRaster, EveryRopOnMonochromeBitsMatchesItsTruthTable) {
    for (const RopCase& rc : RopCases()) {
        for (int p = 0; p < 2; ++p)
            for (int s = 0; s < 2; ++s)
                for (int d = 0; d < 2; ++d) {
                    SCOPED_TRACE(std::string(rc.Name) + " P=" + std::to_string(p) +
                                 " S=" + std::to_string(s) + " D=" + std::to_string(d));
                    MonoCanvas dst(1, 1), src(1, 1);
                    dst.Set(0, 0, d);
                    src.Set(0, 0, s);
                    HBRUSH brush = CreateSolidBrush(p ? RGB(255, 255, 255) : RGB(0, 0, 0));
                    HGDIOBJ oldBrush = SelectObject(dst.Dc, brush);
                    ASSERT_TRUE(BitBlt(dst.Dc, 0, 0, 1, 1, src.Dc, 0, 0, rc.Rop));
                    SelectObject(dst.Dc, oldBrush);
                    DeleteObject(brush);
                    EXPECT_EQ(int(rc.Fn(p, s, d) & 1), dst.Get(0, 0));
                }
    }
}

TEST(GdiRaster, EveryRopOnColourPixelsWorksBitwise) {
    // With P = 0xF0, S = 0xCC, D = 0xAA in every channel, the result of any ternary
    // operation is its own code byte.
    for (const RopCase& rc : RopCases()) {
        SCOPED_TRACE(rc.Name);
        Canvas dst(3, 1, RGB(0xAA, 0xAA, 0xAA)), src(3, 1, RGB(0xCC, 0xCC, 0xCC));
        HBRUSH brush = CreateSolidBrush(RGB(0xF0, 0xF0, 0xF0));
        HGDIOBJ oldBrush = SelectObject(dst.Dc, brush);
        ASSERT_TRUE(BitBlt(dst.Dc, 0, 0, 3, 1, src.Dc, 0, 0, rc.Rop));
        SelectObject(dst.Dc, oldBrush);
        DeleteObject(brush);
        BYTE expected = BYTE(rc.Fn(0xF0, 0xCC, 0xAA));
        EXPECT_EQ(BYTE(rc.Rop >> 16), expected) << "the table itself";
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(RGB(expected, expected, expected), dst.At(x, 0)) << "x=" << x;
    }
}

TEST(GdiRaster, PatBltUsesPatternAndDestinationOnly) {
    Canvas dst(2, 2, RGB(0x0F, 0x00, 0xFF));
    HBRUSH brush = CreateSolidBrush(RGB(0xFF, 0x0F, 0x0F));
    SelectObject(dst.Dc, brush);
    EXPECT_TRUE(PatBlt(dst.Dc, 0, 0, 2, 2, PATINVERT));
    EXPECT_EQ(RGB(0xF0, 0x0F, 0xF0), dst.At(1, 1));
    EXPECT_FALSE(PatBlt(dst.Dc, 0, 0, 2, 2, SRCCOPY)) << "a source is required";
    SelectObject(dst.Dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

TEST(GdiRaster, Rop2MixesPenAndDestinationAsNamed) {
    struct Case {
        int Rop2;
        std::function<std::uint32_t(std::uint32_t, std::uint32_t)> Fn; // (P, D)
    };
    const Case cases[] = {
        {R2_BLACK, [](auto, auto) { return 0u; }},
        {R2_NOTMERGEPEN, [](auto p, auto d) { return ~(p | d); }},
        {R2_MASKNOTPEN, [](auto p, auto d) { return ~p & d; }},
        {R2_NOTCOPYPEN, [](auto p, auto) { return ~p; }},
        {R2_MASKPENNOT, [](auto p, auto d) { return p & ~d; }},
        {R2_NOT, [](auto, auto d) { return ~d; }},
        {R2_XORPEN, [](auto p, auto d) { return p ^ d; }},
        {R2_NOTMASKPEN, [](auto p, auto d) { return ~(p & d); }},
        {R2_MASKPEN, [](auto p, auto d) { return p & d; }},
        {R2_NOTXORPEN, [](auto p, auto d) { return ~(p ^ d); }},
        {R2_NOP, [](auto, auto d) { return d; }},
        {R2_MERGENOTPEN, [](auto p, auto d) { return ~p | d; }},
        {R2_COPYPEN, [](auto p, auto) { return p; }},
        {R2_MERGEPENNOT, [](auto p, auto d) { return p | ~d; }},
        {R2_MERGEPEN, [](auto p, auto d) { return p | d; }},
        {R2_WHITE, [](auto, auto) { return ~0u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("R2 " + std::to_string(c.Rop2));
        Canvas dst(4, 1, RGB(0xAA, 0xAA, 0xAA));
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xCC, 0xCC, 0xCC));
        HGDIOBJ oldPen = SelectObject(dst.Dc, pen);
        SetROP2(dst.Dc, c.Rop2);
        MoveToEx(dst.Dc, 0, 0, nullptr);
        LineTo(dst.Dc, 3, 0);
        SelectObject(dst.Dc, oldPen);
        DeleteObject(pen);
        BYTE e = BYTE(c.Fn(0xCC, 0xAA));
        EXPECT_EQ(RGB(e, e, e), dst.At(0, 0));
        EXPECT_EQ(RGB(e, e, e), dst.At(2, 0));
        EXPECT_EQ(RGB(0xAA, 0xAA, 0xAA), dst.At(3, 0)) << "end point is not drawn";
    }
}

TEST(GdiRaster, ColourToMonochromeMarksSourceBackgroundColourWhite) {
    Canvas src(4, 1);
    const COLORREF colours[4] = {RGB(10, 20, 30), RGB(255, 255, 255), RGB(10, 20, 30),
                                 RGB(10, 20, 31)};
    for (int x = 0; x < 4; ++x)
        src.Bits[x] = Canvas::Pix(colours[x]);
    struct Case {
        COLORREF Bk;
        int Expected[4];
    };
    const Case cases[] = {
        {RGB(10, 20, 30), {1, 0, 1, 0}},
        {PALETTERGB(10, 20, 30), {1, 0, 1, 0}},
        {RGB(255, 255, 255), {0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Bk);
        MonoCanvas mask(4, 1);
        SetBkColor(src.Dc, c.Bk);
        ASSERT_TRUE(BitBlt(mask.Dc, 0, 0, 4, 1, src.Dc, 0, 0, SRCCOPY));
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c.Expected[x], mask.Get(x, 0)) << "x=" << x;
    }
}

TEST(GdiRaster, MonochromeToColourTakesDestinationTextAndBackgroundColours) {
    MonoCanvas src(2, 1);
    src.Set(0, 0, 0);
    src.Set(1, 0, 1);
    SetTextColor(src.Dc, RGB(1, 2, 3)); // the source's colours play no part
    SetBkColor(src.Dc, RGB(4, 5, 6));
    Canvas dst(2, 1);
    SetTextColor(dst.Dc, RGB(200, 0, 0));
    SetBkColor(dst.Dc, RGB(0, 0, 200));
    ASSERT_TRUE(BitBlt(dst.Dc, 0, 0, 2, 1, src.Dc, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(200, 0, 0), dst.At(0, 0));
    EXPECT_EQ(RGB(0, 0, 200), dst.At(1, 0));
    // Through SRCAND a white mask bit keeps the destination when bk is white.
    SetTextColor(dst.Dc, RGB(0, 0, 0));
    SetBkColor(dst.Dc, RGB(255, 255, 255));
    dst.Fill(RGB(50, 60, 70));
    ASSERT_TRUE(BitBlt(dst.Dc, 0, 0, 2, 1, src.Dc, 0, 0, SRCAND));
    EXPECT_EQ(RGB(0, 0, 0), dst.At(0, 0));
    EXPECT_EQ(RGB(50, 60, 70), dst.At(1, 0));
}

TEST(GdiRaster, MonochromeDibSectionSourceUsesItsColourTable) {
    struct {
        BITMAPINFOHEADER Header{sizeof(BITMAPINFOHEADER), 2, -1, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
        RGBQUAD Colors[2] = {{0, 0, 200, 0}, {0, 200, 0, 0}};
    } info;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                   &bits, nullptr, 0);
    ASSERT_NE(nullptr, dib);
    static_cast<std::uint8_t*>(bits)[0] = 0x40; // pixel 0 -> entry 0, pixel 1 -> entry 1
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, dib);
    Canvas dst(2, 1);
    SetTextColor(dst.Dc, RGB(1, 1, 1));
    SetBkColor(dst.Dc, RGB(2, 2, 2));
    ASSERT_TRUE(BitBlt(dst.Dc, 0, 0, 2, 1, src, 0, 0, SRCCOPY));
    EXPECT_EQ(RGB(200, 0, 0), dst.At(0, 0));
    EXPECT_EQ(RGB(0, 200, 0), dst.At(1, 0));
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(dib);
}

TEST(GdiRaster, StretchBltMapsNearestPixelExactly) {
    struct Case {
        int SrcW, DstW;
        std::vector<int> Expected; // source column of each destination column
    };
    const Case cases[] = {
        {3, 7, {0, 0, 1, 1, 1, 2, 2}},    {7, 3, {1, 3, 5}},
        {1, 5, {0, 0, 0, 0, 0}},          {5, 1, {2}},
        {4, 8, {0, 0, 1, 1, 2, 2, 3, 3}}, {8, 4, {1, 3, 5, 7}},
        {6, 6, {0, 1, 2, 3, 4, 5}},       {2, 3, {0, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.SrcW) + " -> " + std::to_string(c.DstW));
        Canvas src(c.SrcW, 1), dst(c.DstW, 1);
        for (int x = 0; x < c.SrcW; ++x)
            src.Bits[x] = std::uint32_t(x + 1);
        SetStretchBltMode(dst.Dc, COLORONCOLOR);
        ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, c.DstW, 1, src.Dc, 0, 0, c.SrcW, 1, SRCCOPY));
        for (int x = 0; x < c.DstW; ++x)
            EXPECT_EQ(std::uint32_t(c.Expected[std::size_t(x)] + 1), dst.Bits[x]) << "x=" << x;
        // The same mapping applies vertically.
        Canvas srcV(1, c.SrcW), dstV(1, c.DstW);
        for (int y = 0; y < c.SrcW; ++y)
            srcV.Bits[y] = std::uint32_t(y + 1);
        SetStretchBltMode(dstV.Dc, COLORONCOLOR);
        ASSERT_TRUE(StretchBlt(dstV.Dc, 0, 0, 1, c.DstW, srcV.Dc, 0, 0, 1, c.SrcW, SRCCOPY));
        for (int y = 0; y < c.DstW; ++y)
            EXPECT_EQ(std::uint32_t(c.Expected[std::size_t(y)] + 1), dstV.Bits[y]) << "y=" << y;
    }
}

TEST(GdiRaster, StretchBltMirrorsWhenSignsDiffer) {
    Canvas src(3, 1), dst(6, 1);
    for (int x = 0; x < 3; ++x)
        src.Bits[x] = std::uint32_t(x + 1);
    SetStretchBltMode(dst.Dc, COLORONCOLOR);
    // Negative destination width: the rectangle runs leftwards from x = 5, inclusive.
    ASSERT_TRUE(StretchBlt(dst.Dc, 5, 0, -6, 1, src.Dc, 0, 0, 3, 1, SRCCOPY));
    const std::uint32_t expected[6] = {3, 3, 2, 2, 1, 1};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(expected[x], dst.Bits[x]) << "x=" << x;
    // Both negative: no mirror.
    dst.Fill(0);
    ASSERT_TRUE(StretchBlt(dst.Dc, 5, 0, -6, 1, src.Dc, 2, 0, -3, 1, SRCCOPY));
    const std::uint32_t same[6] = {1, 1, 2, 2, 3, 3};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(same[x], dst.Bits[x]) << "x=" << x;
}

TEST(GdiRaster, ShrinkingInAndOrModesFoldsEliminatedPixels) {
    struct Case {
        int Mode;
        int Expected[2];
    };
    // Source bits 0 1 1 0 shrunk to two pixels.
    const Case cases[] = {{BLACKONWHITE, {0, 0}}, {WHITEONBLACK, {1, 1}}, {COLORONCOLOR, {1, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mode);
        MonoCanvas src(4, 1), dst(2, 1);
        const int bits[4] = {0, 1, 1, 0};
        for (int x = 0; x < 4; ++x)
            src.Set(x, 0, bits[x]);
        SetStretchBltMode(dst.Dc, c.Mode);
        ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, 2, 1, src.Dc, 0, 0, 4, 1, SRCCOPY));
        EXPECT_EQ(c.Expected[0], dst.Get(0, 0));
        EXPECT_EQ(c.Expected[1], dst.Get(1, 0));
    }
    // Shrinking one axis while growing the other: the growing axis keeps the nearest
    // sample (3 -> 7 columns: 0 0 1 1 1 2 2) while rows 0 and 1 fold with AND.
    MonoCanvas src(3, 2), dst(7, 1);
    const int rows[2][3] = {{1, 0, 1}, {1, 1, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.Set(x, y, rows[y][x]);
    SetStretchBltMode(dst.Dc, BLACKONWHITE);
    ASSERT_TRUE(StretchBlt(dst.Dc, 0, 0, 7, 1, src.Dc, 0, 0, 3, 2, SRCCOPY));
    const int expected[7] = {1, 1, 0, 0, 0, 1, 1};
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(expected[x], dst.Get(x, 0)) << "x=" << x;
}

// The transparent stretched drawing of pictures: mask from the transparent colour,
// inverted mask, AND/OR composition through a work bitmap.
void DrawTransparent(HDC dest, int dx, int dy, int dw, int dh, HDC src, int sw, int sh,
                     COLORREF transparent) {
    HDC maskDc = CreateCompatibleDC(dest), invDc = CreateCompatibleDC(dest),
        workDc = CreateCompatibleDC(dest), copyDc = CreateCompatibleDC(dest);
    HBITMAP mask = CreateBitmap(sw, sh, 1, 1, nullptr);
    HBITMAP inv = CreateBitmap(sw, sh, 1, 1, nullptr);
    HBITMAP work = CreateCompatibleBitmap(dest, dw, dh);
    HBITMAP copy = CreateCompatibleBitmap(dest, sw, sh);
    HGDIOBJ o1 = SelectObject(maskDc, mask), o2 = SelectObject(invDc, inv),
            o3 = SelectObject(workDc, work), o4 = SelectObject(copyDc, copy);
    SetStretchBltMode(dest, COLORONCOLOR);
    BitBlt(copyDc, 0, 0, sw, sh, src, 0, 0, SRCCOPY);
    COLORREF oldBk = SetBkColor(copyDc, transparent | 0x02000000);
    BitBlt(maskDc, 0, 0, sw, sh, copyDc, 0, 0, SRCCOPY);
    SetBkColor(copyDc, oldBk);
    BitBlt(invDc, 0, 0, sw, sh, maskDc, 0, 0, NOTSRCCOPY);
    BitBlt(workDc, 0, 0, dw, dh, dest, dx, dy, SRCCOPY);
    StretchBlt(workDc, 0, 0, dw, dh, maskDc, 0, 0, sw, sh, SRCAND);
    BitBlt(copyDc, 0, 0, sw, sh, invDc, 0, 0, SRCAND);
    StretchBlt(workDc, 0, 0, dw, dh, copyDc, 0, 0, sw, sh, SRCPAINT);
    BitBlt(dest, dx, dy, dw, dh, workDc, 0, 0, SRCCOPY);
    SelectObject(maskDc, o1);
    SelectObject(invDc, o2);
    SelectObject(workDc, o3);
    SelectObject(copyDc, o4);
    for (HDC dc : {maskDc, invDc, workDc, copyDc})
        DeleteDC(dc);
    for (HBITMAP bm : {mask, inv, work, copy})
        DeleteObject(bm);
}

TEST(GdiRaster, TransparentRecipeKeepsBackgroundWhereSourceIsTransparent) {
    const COLORREF W = RGB(255, 255, 255), R = RGB(200, 10, 10), G = RGB(10, 200, 10);
    const COLORREF picture[2][3] = {{W, R, W}, {G, W, R}};
    Canvas src(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.Bits[y * 3 + x] = Canvas::Pix(picture[y][x]);
    const COLORREF back = RGB(0, 0, 255);
    for (int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        Canvas dest(8, 6, back);
        DrawTransparent(dest.Dc, 1, 1, 3 * scale, 2 * scale, src.Dc, 3, 2, W);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                int sx = x - 1, sy = y - 1;
                COLORREF expected = back;
                if (sx >= 0 && sy >= 0 && sx < 3 * scale && sy < 2 * scale) {
                    COLORREF p = picture[sy / scale][sx / scale];
                    expected = p == W ? back : p;
                }
                EXPECT_EQ(expected, dest.At(x, y)) << "x=" << x << " y=" << y;
            }
    }
}

TEST(GdiRaster, ClipRectanglesAndOriginsLimitDrawing) {
    Canvas c(10, 10, RGB(0, 0, 0));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    SaveDC(c.Dc);
    IntersectClipRect(c.Dc, 2, 2, 8, 8);
    ExcludeClipRect(c.Dc, 4, 4, 6, 6);
    RECT all{0, 0, 10, 10};
    FillRect(c.Dc, &all, red);
    RECT box;
    EXPECT_EQ(COMPLEXREGION, GetClipBox(c.Dc, &box));
    EXPECT_EQ(2, box.left);
    EXPECT_EQ(8, box.bottom);
    RestoreDC(c.Dc, -1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool in = x >= 2 && x < 8 && y >= 2 && y < 8 && !(x >= 4 && x < 6 && y >= 4 && y < 6);
            EXPECT_EQ(in ? RGB(255, 0, 0) : RGB(0, 0, 0), c.At(x, y)) << x << "," << y;
        }
    // Origins: logical (0, 0) lands on device (3, 1) - (1, 0) = (2, 1).
    c.Fill(RGB(0, 0, 0));
    SetViewportOrgEx(c.Dc, 3, 1, nullptr);
    SetWindowOrgEx(c.Dc, 1, 0, nullptr);
    RECT one{0, 0, 1, 1};
    FillRect(c.Dc, &one, red);
    EXPECT_EQ(RGB(255, 0, 0), c.At(2, 1));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(c.Dc, 0, 0));
    // A clip region is in device coordinates, unaffected by the origins.
    HRGN rgn = CreateRectRgn(0, 0, 2, 2);
    SelectClipRgn(c.Dc, rgn);
    EXPECT_EQ(CLR_INVALID, GetPixel(c.Dc, 0, 0)) << "device (2, 1) is outside the clip";
    SelectClipRgn(c.Dc, nullptr);
    DeleteObject(rgn);
    DeleteObject(red);
}

TEST(GdiRaster, SurfaceContextDrawsOnlyInsideItsVisibleRectangles) {
    std::vector<std::uint32_t> pixels(20 * 10, 0);
    platform::Surface s{pixels.data(), 20, 10, 20};
    // The window's client starts at (5, 2); its right part is covered by another window.
    HDC dc = platform::CreateSurfaceDC(s, POINT{5, 2}, {RECT{5, 2, 12, 8}});
    ASSERT_NE(nullptr, dc);
    RECT r{0, 0, 100, 100};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &r, green);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            bool in = x >= 5 && x < 12 && y >= 2 && y < 8;
            EXPECT_EQ(in ? 0x00FF00u : 0u, pixels[std::size_t(y * 20 + x)]) << x << "," << y;
        }
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(dc, 0, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(dc, 7, 0)) << "covered part";
    // Moved to another place of the surface.
    platform::RetargetSurfaceDC(dc, s, POINT{0, 0}, {RECT{0, 0, 2, 2}});
    SetPixel(dc, 1, 1, RGB(0, 0, 255));
    EXPECT_EQ(0x0000FFu, pixels[21]);
    EXPECT_EQ(CLR_INVALID, SetPixel(dc, 2, 2, RGB(0, 0, 255)));
    platform::DeleteSurfaceDC(dc);
    EXPECT_EQ(0u, GetObjectType(reinterpret_cast<HGDIOBJ>(dc)));
    DeleteObject(green);
}

TEST(GdiRaster, BlitWithinOneBitmapHandlesOverlap) {
    Canvas c(1, 6);
    for (int y = 0; y < 6; ++y)
        c.Bits[y] = std::uint32_t(y + 1);
    ASSERT_TRUE(BitBlt(c.Dc, 0, 2, 1, 4, c.Dc, 0, 0, SRCCOPY));
    const std::uint32_t expected[6] = {1, 2, 1, 2, 3, 4};
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(expected[y], c.Bits[y]) << "y=" << y;
    Canvas row(6, 1);
    for (int x = 0; x < 6; ++x)
        row.Bits[x] = std::uint32_t(x + 1);
    ASSERT_TRUE(BitBlt(row.Dc, 2, 0, 4, 1, row.Dc, 0, 0, SRCCOPY));
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(expected[x], row.Bits[x]) << "x=" << x;
    ASSERT_TRUE(BitBlt(row.Dc, 0, 0, 4, 1, row.Dc, 2, 0, SRCCOPY));
    const std::uint32_t back[6] = {1, 2, 3, 4, 3, 4};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(back[x], row.Bits[x]) << "x=" << x;
}

// Every source-only operation within one bitmap reads each source row before it is
// overwritten, whichever way the rows move.
TEST(GdiRaster, OverlappingBlitWithAnyRopReadsTheSourceFirst) {
    const std::set<std::string> sourceOnly = {"SRCCOPY",     "SRCPAINT",   "SRCAND",
                                              "SRCINVERT",   "SRCERASE",   "NOTSRCCOPY",
                                              "NOTSRCERASE", "MERGEPAINT", "DSna (generic)"};
    struct Move {
        const char* Name;
        int DstY, SrcY;
    };
    const Move moves[] = {{"down", 2, 0}, {"up", 0, 2}};
    for (const RopCase& rop : RopCases()) {
        if (!sourceOnly.count(rop.Name))
            continue;
        for (const Move& m : moves) {
            SCOPED_TRACE(std::string(rop.Name) + " " + m.Name);
            Canvas c(1, 6);
            std::uint32_t old[6];
            for (int y = 0; y < 6; ++y)
                c.Bits[y] = old[y] = std::uint32_t(0x10101 * (y + 1));
            ASSERT_TRUE(BitBlt(c.Dc, 0, m.DstY, 1, 4, c.Dc, 0, m.SrcY, rop.Rop));
            for (int y = 0; y < 6; ++y) {
                bool written = y >= m.DstY && y < m.DstY + 4;
                std::uint32_t want =
                    written ? rop.Fn(0, old[y - m.DstY + m.SrcY], old[y]) & 0xFFFFFF : old[y];
                EXPECT_EQ(want, c.Bits[y] & 0xFFFFFF) << "y=" << y;
            }
        }
    }
}

TEST(GdiRaster, SourceOutsideItsBitmapLeavesDestinationUnchanged) {
    Canvas src(2, 2, RGB(9, 9, 9)), dst(4, 1, RGB(1, 1, 1));
    ASSERT_TRUE(BitBlt(dst.Dc, 0, 0, 4, 1, src.Dc, -1, 0, SRCCOPY));
    EXPECT_EQ(RGB(1, 1, 1), dst.At(0, 0));
    EXPECT_EQ(RGB(9, 9, 9), dst.At(1, 0));
    EXPECT_EQ(RGB(9, 9, 9), dst.At(2, 0));
    EXPECT_EQ(RGB(1, 1, 1), dst.At(3, 0));
}

TEST(GdiRaster, InvalidHandlesGiveFailureResults) {
    HDC bogusDc = reinterpret_cast<HDC>(std::uintptr_t(0x12345670));
    HGDIOBJ bogus = reinterpret_cast<HGDIOBJ>(std::uintptr_t(0xDEAD0000));
    Canvas c(2, 2);
    EXPECT_FALSE(BitBlt(bogusDc, 0, 0, 1, 1, c.Dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(c.Dc, 0, 0, 1, 1, bogusDc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(c.Dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(c.Dc, 0, 0, 1, 1, c.Dc, 0, 0, 0, 1, SRCCOPY));
    EXPECT_EQ(nullptr, SelectObject(c.Dc, bogus));
    EXPECT_EQ(nullptr, SelectObject(bogusDc, GetStockObject(BLACK_PEN)));
    EXPECT_FALSE(DeleteObject(bogus));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteDC(bogusDc));
    EXPECT_EQ(0, GetObjectA(bogus, 0, nullptr));
    EXPECT_EQ(CLR_INVALID, GetPixel(bogusDc, 0, 0));
    EXPECT_EQ(CLR_INVALID, SetPixel(bogusDc, 0, 0, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(c.Dc, 5, 5));
    EXPECT_EQ(CLR_INVALID, GetBkColor(bogusDc));
    EXPECT_EQ(0, SetBkMode(bogusDc, OPAQUE));
    EXPECT_EQ(0, SetBkMode(c.Dc, 77));
    EXPECT_EQ(0, GetDeviceCaps(bogusDc, BITSPIXEL));
    EXPECT_EQ(ERROR, IntersectClipRect(bogusDc, 0, 0, 1, 1));
    EXPECT_EQ(ERROR, CombineRgn(nullptr, nullptr, nullptr, RGN_OR));
    EXPECT_FALSE(RestoreDC(c.Dc, 5));
    EXPECT_EQ(0, SetMapMode(c.Dc, MM_LOMETRIC));
    EXPECT_EQ(MM_TEXT, GetMapMode(c.Dc));
    // (HBRUSH)(COLOR_x + 1) values are not handles.
    EXPECT_EQ(0u, GetObjectType(reinterpret_cast<HGDIOBJ>(std::uintptr_t(COLOR_BTNFACE + 1))));
    // A deleted context's handle is dead even if the slot is reused.
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(dc));
    HDC dc2 = CreateCompatibleDC(nullptr);
    EXPECT_NE(dc, dc2);
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_TRUE(DeleteDC(dc2));
}

TEST(GdiRaster, SelectObjectReturnsPreviousAndBitmapsSelectIntoOneContextOnly) {
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(a, 4, 4);
    HGDIOBJ first = SelectObject(a, bm);
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(first)) << "the default 1x1 bitmap";
    EXPECT_EQ(nullptr, SelectObject(b, bm));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(bm), GetCurrentObject(a, OBJ_BITMAP));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HGDIOBJ oldPen = SelectObject(a, pen);
    EXPECT_EQ(GetStockObject(BLACK_PEN), oldPen);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(pen), SelectObject(a, oldPen));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(bm), SelectObject(a, first));
    EXPECT_NE(nullptr, SelectObject(b, bm)) << "free again";
    SelectObject(b, first);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))) << "stock objects stay";
    EXPECT_EQ(OBJ_BRUSH, GetObjectType(GetStockObject(WHITE_BRUSH)));
    DeleteDC(a);
    DeleteDC(b);
}

TEST(GdiRaster, ContextKeepsDeletedSelectedBitmapAlive) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateBitmap(2, 2, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_NE(CLR_INVALID, SetPixel(dc, 1, 1, RGB(1, 2, 3)));
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(dc, 1, 1));
    SelectObject(dc, old);
    DeleteDC(dc);
}

TEST(GdiRaster, RegionsCombineAsRectangleLists) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15),
         d = CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int Mode;
        int Result;
        std::vector<std::pair<POINT, bool>> Points;
    };
    const Case cases[] = {
        {RGN_AND, SIMPLEREGION, {{{5, 5}, true}, {{4, 4}, false}, {{9, 9}, true}}},
        {RGN_OR, COMPLEXREGION, {{{0, 0}, true}, {{14, 14}, true}, {{12, 2}, false}}},
        {RGN_DIFF, COMPLEXREGION, {{{0, 0}, true}, {{5, 5}, false}, {{9, 4}, true}}},
        {RGN_XOR, COMPLEXREGION, {{{0, 0}, true}, {{7, 7}, false}, {{14, 14}, true}}},
        {RGN_COPY, SIMPLEREGION, {{{0, 0}, true}, {{10, 10}, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mode);
        EXPECT_EQ(c.Result, CombineRgn(d, a, b, c.Mode));
        for (const auto& [pt, in] : c.Points)
            EXPECT_EQ(in ? TRUE : FALSE, PtInRegion(d, pt.x, pt.y)) << pt.x << "," << pt.y;
    }
    SetRectRgn(a, 0, 0, 5, 5);
    SetRectRgn(b, 5, 0, 10, 5);
    EXPECT_EQ(SIMPLEREGION, CombineRgn(d, a, b, RGN_OR)) << "adjacent rectangles merge";
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetRgnBox(d, &box));
    EXPECT_EQ(10, box.right);
    EXPECT_EQ(NULLREGION, CombineRgn(d, a, a, RGN_DIFF));
    for (HRGN r : {a, b, d})
        DeleteObject(r);
}

TEST(GdiRaster, DeviceCapsDescribeATrueColourScreen) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(32, GetDeviceCaps(dc, BITSPIXEL));
    EXPECT_EQ(1, GetDeviceCaps(dc, PLANES));
    EXPECT_EQ(96, GetDeviceCaps(dc, LOGPIXELSX));
    EXPECT_EQ(96, GetDeviceCaps(dc, LOGPIXELSY));
    EXPECT_EQ(-1, GetDeviceCaps(dc, NUMCOLORS));
    EXPECT_EQ(0, GetDeviceCaps(dc, SIZEPALETTE));
    EXPECT_EQ(0, GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
    EXPECT_NE(0, GetDeviceCaps(dc, RASTERCAPS) & RC_STRETCHBLT);
    EXPECT_GT(GetDeviceCaps(dc, HORZRES), 0);
    DeleteDC(dc);
}

TEST(GdiRaster, PalettesResolveIndexColoursOnly) {
    struct {
        WORD Version = 0x300, Count = 3;
        PALETTEENTRY E[3] = {{10, 20, 30, 0}, {40, 50, 60, 0}, {255, 0, 0, 0}};
    } log;
    HPALETTE pal = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
    ASSERT_NE(nullptr, pal);
    Canvas c(1, 1);
    HPALETTE old = SelectPalette(c.Dc, pal, FALSE);
    EXPECT_NE(nullptr, old);
    EXPECT_NE(GDI_ERROR, RealizePalette(c.Dc));
    SetPixel(c.Dc, 0, 0, PALETTEINDEX(1));
    EXPECT_EQ(RGB(40, 50, 60), c.At(0, 0));
    SetPixel(c.Dc, 0, 0, PALETTERGB(41, 51, 61));
    EXPECT_EQ(RGB(41, 51, 61), c.At(0, 0)) << "true colour: no snapping to the palette";
    EXPECT_EQ(2u, GetNearestPaletteIndex(pal, RGB(250, 5, 5)));
    PALETTEENTRY out[3];
    EXPECT_EQ(2u, GetPaletteEntries(pal, 1, 5, out));
    EXPECT_EQ(255, out[1].peRed);
    WORD count = 0;
    EXPECT_EQ(int(sizeof(WORD)), GetObjectA(pal, sizeof count, &count));
    EXPECT_EQ(3, count);
    SelectPalette(c.Dc, old, FALSE);
    DeleteObject(pal);
    log.Version = 0x200;
    EXPECT_EQ(nullptr, CreatePalette(reinterpret_cast<LOGPALETTE*>(&log)));
}

} // namespace
