// Bitmaps: DIB sections of every depth and orientation, conversions through GetDIBits,
// SetDIBits, StretchDIBits and SetDIBitsToDevice, compatible and monochrome bitmaps,
// and refusal of invalid or oversized descriptions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

namespace {

// BITMAPINFO with room for a full colour table.
struct Info {
    BITMAPINFOHEADER Header{};
    RGBQUAD Colors[256]{};
    BITMAPINFO* Ptr() { return reinterpret_cast<BITMAPINFO*>(this); }
};

constexpr int W = 5, H = 3;

int Stride(int w, int bpp) {
    return (w * bpp + 31) / 32 * 4;
}

RGBQUAD TableEntry(int bpp, int i) {
    if (bpp == 1)
        return i ? RGBQUAD{200, 10, 20, 0} : RGBQUAD{5, 100, 250, 0};
    return RGBQUAD{BYTE(255 - i * 17), BYTE(i * 91 + 13), BYTE(i * 37), 0};
}

// The test pattern: the stored value and its colour, per depth.
std::uint32_t StoredValue(int bpp, int x, int y) {
    switch (bpp) {
    case 1:
        return std::uint32_t((x + y) % 2);
    case 4:
    case 8:
        return std::uint32_t((x + 2 * y + 1) % (1 << bpp));
    case 16: {
        std::uint32_t r = std::uint32_t(x * 7 + y) % 32, g = std::uint32_t(y * 11 + 3) % 32,
                      b = std::uint32_t(x * y + 30) % 32;
        return (r << 10) | (g << 5) | b;
    }
    default:
        return (std::uint32_t(x * 40) << 16) | (std::uint32_t(y * 70) << 8) |
               std::uint32_t(x * y * 9 + 5);
    }
}

COLORREF ExpectedColour(int bpp, int x, int y) {
    std::uint32_t v = StoredValue(bpp, x, y);
    if (bpp <= 8) {
        RGBQUAD q = TableEntry(bpp, int(v));
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    if (bpp == 16) {
        auto e = [](std::uint32_t c) { return BYTE((c << 3) | (c >> 2)); };
        return RGB(e((v >> 10) & 31), e((v >> 5) & 31), e(v & 31));
    }
    return RGB(BYTE(v >> 16), BYTE(v >> 8), BYTE(v));
}

void PutPixel(std::uint8_t* bits, int bpp, bool topDown, int x, int y, std::uint32_t v) {
    std::uint8_t* row = bits + std::size_t(topDown ? y : H - 1 - y) * std::size_t(Stride(W, bpp));
    switch (bpp) {
    case 1:
        if (v)
            row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        break;
    case 4:
        row[x / 2] |= std::uint8_t(x % 2 ? v : v << 4);
        break;
    case 8:
        row[x] = std::uint8_t(v);
        break;
    case 16:
        row[2 * x] = std::uint8_t(v);
        row[2 * x + 1] = std::uint8_t(v >> 8);
        break;
    case 24:
        row[3 * x] = std::uint8_t(v);
        row[3 * x + 1] = std::uint8_t(v >> 8);
        row[3 * x + 2] = std::uint8_t(v >> 16);
        break;
    default:
        std::memcpy(row + 4 * x, &v, 4);
        break;
    }
}

Info MakeInfo(int bpp, bool topDown, int w = W, int h = H) {
    Info info;
    info.Header.biSize = sizeof(BITMAPINFOHEADER);
    info.Header.biWidth = w;
    info.Header.biHeight = topDown ? -h : h;
    info.Header.biPlanes = 1;
    info.Header.biBitCount = WORD(bpp);
    info.Header.biCompression = BI_RGB;
    if (bpp <= 8)
        for (int i = 0; i < (1 << bpp); ++i)
            info.Colors[i] = TableEntry(bpp, i);
    return info;
}

std::vector<std::uint8_t> PatternBits(int bpp, bool topDown) {
    std::vector<std::uint8_t> bits(std::size_t(Stride(W, bpp) * H), 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            PutPixel(bits.data(), bpp, topDown, x, y, StoredValue(bpp, x, y));
    return bits;
}

struct Format {
    int Bpp;
    bool TopDown;
    std::string Name() const {
        return std::to_string(Bpp) + (TopDown ? " bpp top-down" : " bpp bottom-up");
    }
};

std::vector<Format> AllFormats() {
    std::vector<Format> f;
    for (int bpp : {1, 4, 8, 16, 24, 32})
        for (bool td : {false, true})
            f.push_back({bpp, td});
    return f;
}

TEST(GdiBitmap, DibSectionsOfEveryDepthKeepTheirLayoutAndColours) {
    for (const Format& f : AllFormats()) {
        SCOPED_TRACE(f.Name());
        Info info = MakeInfo(f.Bpp, f.TopDown);
        void* bits = nullptr;
        HBITMAP bm = CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(nullptr, bm);
        ASSERT_NE(nullptr, bits);
        std::vector<std::uint8_t> pattern = PatternBits(f.Bpp, f.TopDown);
        std::memcpy(bits, pattern.data(), pattern.size());
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bm);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                EXPECT_EQ(ExpectedColour(f.Bpp, x, y), GetPixel(dc, x, y)) << x << "," << y;
        DIBSECTION ds{};
        EXPECT_EQ(int(sizeof ds), GetObjectA(bm, sizeof ds, &ds));
        EXPECT_EQ(bits, ds.dsBm.bmBits);
        EXPECT_EQ(Stride(W, f.Bpp), ds.dsBm.bmWidthBytes);
        EXPECT_EQ(f.Bpp, ds.dsBmih.biBitCount);
        EXPECT_EQ(f.TopDown ? -H : H, ds.dsBmih.biHeight);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bm);
    }
}

TEST(GdiBitmap, GetDIBitsOfTheSameDepthReturnsIdenticalBitsAndTable) {
    for (const Format& f : AllFormats()) {
        SCOPED_TRACE(f.Name());
        Info info = MakeInfo(f.Bpp, f.TopDown);
        void* bits = nullptr;
        HBITMAP bm = CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &bits, nullptr, 0);
        std::vector<std::uint8_t> pattern = PatternBits(f.Bpp, f.TopDown);
        std::memcpy(bits, pattern.data(), pattern.size());
        HDC dc = CreateCompatibleDC(nullptr);
        Info out = MakeInfo(f.Bpp, f.TopDown);
        std::memset(out.Colors, 0, sizeof out.Colors);
        std::vector<std::uint8_t> got(pattern.size(), 0xEE);
        EXPECT_EQ(H, GetDIBits(dc, bm, 0, H, got.data(), out.Ptr(), DIB_RGB_COLORS));
        // Decode the result through the returned table (padding bits of 1- and 4-bit
        // rows are not part of the picture).
        void* pb = nullptr;
        HBITMAP probe = CreateDIBSection(nullptr, out.Ptr(), DIB_RGB_COLORS, &pb, nullptr, 0);
        std::memcpy(pb, got.data(), got.size());
        HDC t = CreateCompatibleDC(nullptr);
        HGDIOBJ o = SelectObject(t, probe);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                EXPECT_EQ(ExpectedColour(f.Bpp, x, y), GetPixel(t, x, y)) << x << "," << y;
        SelectObject(t, o);
        DeleteDC(t);
        DeleteObject(probe);
        EXPECT_EQ(pattern, got) << "padding included";
        if (f.Bpp <= 8) {
            for (int i = 0; i < (1 << f.Bpp); ++i) {
                RGBQUAD e = TableEntry(f.Bpp, i);
                EXPECT_EQ(0, std::memcmp(&e, &out.Colors[i], sizeof e)) << "entry " << i;
            }
        }
        DeleteDC(dc);
        DeleteObject(bm);
    }
}

TEST(GdiBitmap, SetDIBitsThenGetDIBitsThroughAColourBitmapKeepsColours) {
    for (const Format& f : AllFormats()) {
        SCOPED_TRACE(f.Name());
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP ddb = CreateBitmap(W, H, 1, 32, nullptr);
        Info in = MakeInfo(f.Bpp, f.TopDown);
        std::vector<std::uint8_t> pattern = PatternBits(f.Bpp, f.TopDown);
        EXPECT_EQ(H, SetDIBits(dc, ddb, 0, H, pattern.data(), in.Ptr(), DIB_RGB_COLORS));
        for (bool outTopDown : {false, true}) {
            Info out = MakeInfo(32, outTopDown);
            std::vector<std::uint32_t> got(std::size_t(W * H), 0);
            EXPECT_EQ(H, GetDIBits(dc, ddb, 0, H, got.data(), out.Ptr(), DIB_RGB_COLORS));
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    std::uint32_t p = got[std::size_t((outTopDown ? y : H - 1 - y) * W + x)];
                    EXPECT_EQ(ExpectedColour(f.Bpp, x, y),
                              RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p)))
                        << x << "," << y << (outTopDown ? " top-down" : " bottom-up");
                }
        }
        DeleteObject(ddb);
        DeleteDC(dc);
    }
}

TEST(GdiBitmap, GetDIBitsWithZeroBitCountDescribesTheBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateBitmap(7, 4, 1, 32, nullptr);
    Info info;
    info.Header.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(0, GetDIBits(dc, bm, 0, 4, nullptr, info.Ptr(), DIB_RGB_COLORS));
    EXPECT_EQ(7, info.Header.biWidth);
    EXPECT_EQ(4, info.Header.biHeight);
    EXPECT_EQ(32, info.Header.biBitCount);
    EXPECT_EQ(7u * 4u * 4u, info.Header.biSizeImage);
    DeleteObject(bm);
    DeleteDC(dc);
}

TEST(GdiBitmap, GetDIBitsWithBitFieldsReportsThePlainMasks) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateBitmap(2, 1, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    SetPixel(dc, 1, 0, RGB(255, 0, 8));
    SelectObject(dc, old);
    for (WORD bpp : {WORD(16), WORD(32)}) {
        SCOPED_TRACE(bpp);
        Info info = MakeInfo(bpp, true, 2, 1);
        info.Header.biCompression = BI_BITFIELDS;
        std::uint32_t row[2] = {};
        EXPECT_EQ(1, GetDIBits(dc, bm, 0, 1, row, info.Ptr(), DIB_RGB_COLORS));
        DWORD masks[3];
        std::memcpy(masks, info.Colors, sizeof masks);
        EXPECT_EQ(bpp == 16 ? 0x7C00u : 0xFF0000u, masks[0]);
        EXPECT_EQ(bpp == 16 ? 0x001Fu : 0xFFu, masks[2]);
        if (bpp == 16)
            EXPECT_EQ(0x7C01u, row[0] >> 16);
        else
            EXPECT_EQ(0x00FF0008u, row[1]);
    }
    DeleteObject(bm);
    DeleteDC(dc);
}

TEST(GdiBitmap, ScanLinesOfBottomUpDibsCountFromTheBottom) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP ddb = CreateBitmap(1, 3, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, ddb);
    Info in = MakeInfo(32, false, 1, 3);
    const std::uint32_t oneLine = 0x00ABCDEF;
    // Scan line 0 of a bottom-up DIB is the bottom row of the picture.
    EXPECT_EQ(1, SetDIBits(dc, ddb, 0, 1, &oneLine, in.Ptr(), DIB_RGB_COLORS));
    EXPECT_EQ(RGB(0xAB, 0xCD, 0xEF), GetPixel(dc, 0, 2));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 0, 0));
    std::uint32_t line = 0;
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    EXPECT_EQ(1, GetDIBits(dc, ddb, 2, 1, &line, in.Ptr(), DIB_RGB_COLORS));
    EXPECT_EQ(0x00010203u, line);
    EXPECT_EQ(0, GetDIBits(dc, ddb, 3, 1, &line, in.Ptr(), DIB_RGB_COLORS)) << "past the end";
    SelectObject(dc, old);
    DeleteObject(ddb);
    DeleteDC(dc);
}

TEST(GdiBitmap, GetDIBitsWritesNoMoreLinesThanItsHeaderDescribes) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP ddb = CreateBitmap(1, 6, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, ddb);
    for (int y = 0; y < 6; ++y)
        SetPixel(dc, 0, y, RGB(0, 0, 10 * y + 1));
    for (bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        Info in = MakeInfo(32, topDown, 1, 2); // a buffer of two lines, the bitmap has six
        std::uint32_t lines[4] = {0xDEAD, 0xDEAD, 0xDEAD, 0xDEAD};
        EXPECT_EQ(2, GetDIBits(dc, ddb, 0, 4, lines, in.Ptr(), DIB_RGB_COLORS));
        // Scan line 0 is the top row of a top-down DIB and the bottom row otherwise.
        EXPECT_EQ(lines[0], topDown ? 1u : 51u);
        EXPECT_EQ(lines[1], topDown ? 11u : 41u);
        EXPECT_EQ(lines[2], 0xDEADu);
        EXPECT_EQ(lines[3], 0xDEADu);
        EXPECT_EQ(0, GetDIBits(dc, ddb, 2, 1, lines, in.Ptr(), DIB_RGB_COLORS));
    }
    SelectObject(dc, old);
    DeleteObject(ddb);
    DeleteDC(dc);
}

struct Canvas32 {
    HDC Dc;
    HBITMAP Bm;
    HGDIOBJ Old;
    std::uint32_t* Bits;
    int Width;
    Canvas32(int w, int h) : Width(w) {
        Info info = MakeInfo(32, true, w, h);
        void* b = nullptr;
        Bm = CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &b, nullptr, 0);
        Bits = static_cast<std::uint32_t*>(b);
        Dc = CreateCompatibleDC(nullptr);
        Old = SelectObject(Dc, Bm);
    }
    ~Canvas32() {
        SelectObject(Dc, Old);
        DeleteDC(Dc);
        DeleteObject(Bm);
    }
    COLORREF At(int x, int y) const {
        std::uint32_t p = Bits[y * Width + x];
        return RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p));
    }
};

TEST(GdiBitmap, StretchDIBitsDrawsEveryFormatScaledAndUpright) {
    for (const Format& f : AllFormats()) {
        SCOPED_TRACE(f.Name());
        Info in = MakeInfo(f.Bpp, f.TopDown);
        std::vector<std::uint8_t> pattern = PatternBits(f.Bpp, f.TopDown);
        Canvas32 c(2 * W, 2 * H);
        SetStretchBltMode(c.Dc, COLORONCOLOR);
        EXPECT_EQ(H, StretchDIBits(c.Dc, 0, 0, 2 * W, 2 * H, 0, 0, W, H, pattern.data(), in.Ptr(),
                                   DIB_RGB_COLORS, SRCCOPY));
        for (int y = 0; y < 2 * H; ++y)
            for (int x = 0; x < 2 * W; ++x)
                EXPECT_EQ(ExpectedColour(f.Bpp, x / 2, y / 2), c.At(x, y)) << x << "," << y;
        Canvas32 d(W, H);
        EXPECT_EQ(H, SetDIBitsToDevice(d.Dc, 0, 0, W, H, 0, 0, 0, H, pattern.data(), in.Ptr(),
                                       DIB_RGB_COLORS));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                EXPECT_EQ(ExpectedColour(f.Bpp, x, y), d.At(x, y)) << x << "," << y;
    }
}

TEST(GdiBitmap, StretchDIBitsSourceOriginIsLowerLeftForBottomUpDibs) {
    Info in = MakeInfo(32, false, 1, 3);
    // Stored bottom row first.
    const std::uint32_t bits[3] = {0x0000AA, 0x00BB00, 0xCC0000};
    Canvas32 c(1, 1);
    EXPECT_EQ(1,
              StretchDIBits(c.Dc, 0, 0, 1, 1, 0, 0, 1, 1, bits, in.Ptr(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(RGB(0, 0, 0xAA), c.At(0, 0)) << "ySrc 0 names the bottom row";
    Info td = MakeInfo(32, true, 1, 3);
    EXPECT_EQ(1,
              StretchDIBits(c.Dc, 0, 0, 1, 1, 0, 0, 1, 1, bits, td.Ptr(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(RGB(0, 0, 0xAA), c.At(0, 0)) << "top-down: ySrc 0 is the first stored row";
    EXPECT_EQ(1,
              StretchDIBits(c.Dc, 0, 0, 1, 1, 0, 2, 1, 1, bits, in.Ptr(), DIB_RGB_COLORS, SRCCOPY));
    EXPECT_EQ(RGB(0xCC, 0, 0), c.At(0, 0));
}

TEST(GdiBitmap, CompatibleBitmapFollowsTheContextsSelectedBitmap) {
    HDC mem = CreateCompatibleDC(nullptr);
    struct Case {
        const char* Name;
        HDC Dc;
        int Bpp;
    };
    std::vector<std::uint32_t> pixels(16, 0);
    platform::Surface s{pixels.data(), 4, 4, 4};
    HDC surface = platform::CreateSurfaceDC(s, POINT{0, 0}, {RECT{0, 0, 4, 4}});
    HDC colourMem = CreateCompatibleDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(surface, 3, 3);
    HGDIOBJ oldColour = SelectObject(colourMem, colour);
    const Case cases[] = {{"default memory context", mem, 1},
                          {"surface context", surface, 32},
                          {"memory context with a colour bitmap", colourMem, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HBITMAP bm = CreateCompatibleBitmap(c.Dc, 20, 2);
        ASSERT_NE(nullptr, bm);
        BITMAP info{};
        EXPECT_EQ(int(sizeof info), GetObjectA(bm, sizeof info, &info));
        EXPECT_EQ(20, info.bmWidth);
        EXPECT_EQ(2, info.bmHeight);
        EXPECT_EQ(c.Bpp, info.bmBitsPixel);
        EXPECT_EQ(1, info.bmPlanes);
        EXPECT_EQ(c.Bpp == 1 ? 4 : 80, info.bmWidthBytes);
        EXPECT_EQ(nullptr, info.bmBits);
        DeleteObject(bm);
    }
    HBITMAP empty = CreateCompatibleBitmap(surface, 0, 5);
    BITMAP info{};
    GetObjectA(empty, sizeof info, &info);
    EXPECT_EQ(1, info.bmWidth);
    EXPECT_EQ(1, info.bmBitsPixel);
    SelectObject(colourMem, oldColour);
    DeleteObject(colour);
    DeleteDC(colourMem);
    DeleteDC(mem);
    platform::DeleteSurfaceDC(surface);
}

TEST(GdiBitmap, MonochromeBitsAreWordAlignedRowsWithOneAsWhite) {
    const std::uint8_t bits[4] = {0x80, 0x00, 0x40, 0x00}; // 2 rows of 9 pixels
    HBITMAP bm = CreateBitmap(9, 2, 1, 1, bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 1, 0));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 1, 1));
    std::uint8_t back[4] = {};
    EXPECT_EQ(4, GetBitmapBits(bm, 4, back));
    EXPECT_EQ(0, std::memcmp(bits, back, 4));
    // Colours drawn on a monochrome bitmap become the nearer of black and white.
    EXPECT_EQ(RGB(255, 255, 255), SetPixel(dc, 2, 0, RGB(200, 190, 180)));
    EXPECT_EQ(RGB(0, 0, 0), SetPixel(dc, 3, 0, RGB(60, 70, 80)));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
}

TEST(GdiBitmap, PalettizedTargetsTakeNearestIndexAndCopyIndicesExactly) {
    Info info = MakeInfo(8, true, 2, 1);
    info.Colors[4] = info.Colors[3]; // a duplicate colour must not collapse on copy
    void* sb = nullptr;
    void* db = nullptr;
    HBITMAP src = CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &sb, nullptr, 0);
    HBITMAP dst = CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &db, nullptr, 0);
    HDC s = CreateCompatibleDC(nullptr), d = CreateCompatibleDC(nullptr);
    HGDIOBJ os = SelectObject(s, src), od = SelectObject(d, dst);
    static_cast<std::uint8_t*>(sb)[0] = 4;
    RGBQUAD e5 = info.Colors[5];
    SetPixel(s, 1, 0, RGB(e5.rgbRed + 1, e5.rgbGreen, e5.rgbBlue));
    EXPECT_EQ(5, static_cast<std::uint8_t*>(sb)[1]);
    ASSERT_TRUE(BitBlt(d, 0, 0, 2, 1, s, 0, 0, SRCCOPY));
    EXPECT_EQ(4, static_cast<std::uint8_t*>(db)[0]);
    EXPECT_EQ(5, static_cast<std::uint8_t*>(db)[1]);
    RGBQUAD table[3];
    EXPECT_EQ(3u, GetDIBColorTable(s, 3, 3, table));
    EXPECT_EQ(0, std::memcmp(&table[2], &e5, sizeof e5));
    RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(1u, SetDIBColorTable(s, 4, 1, &red));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(s, 0, 0));
    EXPECT_EQ(0u, GetDIBColorTable(s, 256, 1, table));
    SelectObject(s, os);
    SelectObject(d, od);
    DeleteDC(s);
    DeleteDC(d);
    DeleteObject(src);
    DeleteObject(dst);
}

TEST(GdiBitmap, InvalidOrOversizedDescriptionsAreRefused) {
    struct Case {
        const char* Name;
        LONG Width, Height;
        WORD Bpp;
        DWORD Compression;
        DWORD Size;
    };
    const Case cases[] = {
        {"zero width", 0, 5, 32, BI_RGB, 40},
        {"negative width", -3, 5, 32, BI_RGB, 40},
        {"zero height", 5, 0, 32, BI_RGB, 40},
        {"odd depth", 5, 5, 7, BI_RGB, 40},
        {"run-length", 5, 5, 8, BI_RLE8, 40},
        {"short header", 5, 5, 32, BI_RGB, 12},
        {"too wide", 1 << 20, 1, 32, BI_RGB, 40},
        {"too many bytes", 60000, 60000, 32, BI_RGB, 40},
        {"most negative height", 5, LONG(0x80000000), 32, BI_RGB, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Info info = MakeInfo(32, false);
        info.Header.biSize = c.Size;
        info.Header.biWidth = c.Width;
        info.Header.biHeight = c.Height;
        info.Header.biBitCount = c.Bpp;
        info.Header.biCompression = c.Compression;
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(nullptr,
                  CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &bits, nullptr, 0));
        EXPECT_EQ(nullptr, bits);
    }
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, CreateBitmap(-1, 4, 1, 1, nullptr));
    EXPECT_EQ(nullptr, CreateBitmap(4, 4, 2, 1, nullptr));
    EXPECT_EQ(nullptr, CreateBitmap(70000, 70000, 1, 32, nullptr));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(nullptr, CreateCompatibleBitmap(dc, -1, 1));
    EXPECT_EQ(nullptr, CreateCompatibleBitmap(nullptr, 1, 1));
    EXPECT_EQ(0, SetDIBits(dc, nullptr, 0, 1, "x", nullptr, DIB_RGB_COLORS));
    EXPECT_EQ(0,
              StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, nullptr, nullptr, DIB_RGB_COLORS, SRCCOPY));
    DeleteDC(dc);
}

TEST(GdiBitmap, FiveFiveFiveDibsRoundColoursToFiveBits) {
    Info info = MakeInfo(16, true, 1, 1);
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, info.Ptr(), DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    EXPECT_EQ(RGB(255, 0, 8), SetPixel(dc, 0, 0, RGB(255, 3, 12)));
    std::uint16_t v;
    std::memcpy(&v, bits, 2);
    EXPECT_EQ(0x7C01, v);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
}

TEST(GdiBitmap, CreateDIBitmapInitialisesADeviceBitmap) {
    std::vector<std::uint32_t> pixels(4, 0);
    platform::Surface s{pixels.data(), 2, 2, 2};
    HDC screen = platform::CreateSurfaceDC(s, POINT{0, 0}, {RECT{0, 0, 2, 2}});
    Info in = MakeInfo(8, false);
    std::vector<std::uint8_t> pattern = PatternBits(8, false);
    HBITMAP bm =
        CreateDIBitmap(screen, &in.Header, CBM_INIT, pattern.data(), in.Ptr(), DIB_RGB_COLORS);
    ASSERT_NE(nullptr, bm);
    BITMAP info{};
    GetObjectA(bm, sizeof info, &info);
    EXPECT_EQ(32, info.bmBitsPixel);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bm);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            EXPECT_EQ(ExpectedColour(8, x, y), GetPixel(dc, x, y)) << x << "," << y;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
    platform::DeleteSurfaceDC(screen);
}

} // namespace
