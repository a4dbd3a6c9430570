// Fonts and text output: face mapping and metrics, extents, DrawTextA layout (single
// line, centring, word breaks, prefixes, DT_CALCRECT), background modes, Korean text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "DibCanvas.h"
#include "platform/wingdi.h"

namespace {

// A white DIB canvas with a font selected.
struct Canvas : DibCanvas {
    HGDIOBJ OldFont = nullptr;
    HFONT Font = nullptr;

    Canvas(int w, int h, const char* face = "MS Sans Serif", int height = -11,
           int weight = FW_NORMAL)
        : DibCanvas(w, h, RGB(255, 255, 255)) {
        Font = CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
        OldFont = SelectObject(Dc, Font);
    }
    ~Canvas() {
        SelectObject(Dc, OldFont);
        DeleteObject(Font);
    }
    // Bounding box of pixels that are not white.
    RECT Ink() const {
        RECT r{W, H, -1, -1};
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (Bits[y * W + x] != 0x00FFFFFFu) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
    int InkCount() const {
        int n = 0;
        for (int i = 0; i < W * H; ++i)
            n += Bits[i] != 0x00FFFFFFu;
        return n;
    }
    TEXTMETRICA Metrics() const {
        TEXTMETRICA tm{};
        GetTextMetricsA(Dc, &tm);
        return tm;
    }
    SIZE Extent(const char* s) const {
        SIZE sz{};
        GetTextExtentPoint32A(Dc, s, int(std::strlen(s)), &sz);
        return sz;
    }
};

TEST(Text, MsSansSerifAtMinusElevenMeasuresThirteenPixels) {
    Canvas c(10, 10);
    TEXTMETRICA tm = c.Metrics();
    EXPECT_EQ(13, tm.tmHeight);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(2, tm.tmInternalLeading) << "em 11 in a 13-pixel cell";
    EXPECT_GT(tm.tmAveCharWidth, 3);
    EXPECT_LT(tm.tmAveCharWidth, 9);
    EXPECT_EQ(FW_NORMAL, tm.tmWeight);
    EXPECT_EQ(13, c.Extent("W").cy);
}

TEST(Text, FacesOfTheFormMapToReasonableSansFaces) {
    struct Case {
        const char* Face;
        int Height;
        int MinCell, MaxCell;
    };
    const Case cases[] = {
        {"Franklin Gothic Medium", -19, 21, 25}, {"Arial", -12, 13, 16}, {"Tahoma", -11, 13, 14},
        {"No Such Face At All", -11, 12, 15},    {"", -11, 12, 15},      {"Arial", 20, 20, 20},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.Face) + " " + std::to_string(k.Height));
        Canvas c(40, 30, k.Face, k.Height);
        TEXTMETRICA tm = c.Metrics();
        EXPECT_GE(tm.tmHeight, k.MinCell);
        EXPECT_LE(tm.tmHeight, k.MaxCell);
        SIZE sz = c.Extent("Back");
        EXPECT_GT(sz.cx, 4 * k.MinCell / 5);
        RECT r{0, 0, 40, 30};
        DrawTextA(c.Dc, "Back", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
        EXPECT_GT(c.InkCount(), 10) << "the fallback face draws";
    }
}

TEST(Text, ExtentsAddUpAndDigitsHaveOneWidth) {
    Canvas c(10, 10);
    SIZE zero = c.Extent("0");
    EXPECT_GE(zero.cx, 5);
    EXPECT_LE(zero.cx, 8);
    EXPECT_EQ(2 * zero.cx, c.Extent("00").cx);
    EXPECT_EQ(zero.cx, c.Extent("7").cx) << "tabular digits";
    EXPECT_EQ(0, c.Extent("").cx);
    EXPECT_EQ(13, c.Extent("").cy);
    SIZE sz{};
    EXPECT_FALSE(GetTextExtentPoint32A(c.Dc, "abc", -1, &sz));
    EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "abc", 3, &sz));
}

TEST(Text, BoldIsWiderThanRegular) {
    Canvas regular(10, 10, "MS Sans Serif", -11, FW_NORMAL);
    Canvas bold(10, 10, "MS Sans Serif", -11, FW_BOLD);
    EXPECT_GT(bold.Extent("Hello world").cx, regular.Extent("Hello world").cx);
    EXPECT_EQ(FW_BOLD, bold.Metrics().tmWeight);
}

TEST(Text, DrawTextCalcRectMeasuresWithoutDrawing) {
    Canvas c(100, 60);
    struct Case {
        const char* Text;
        UINT Format;
        int Lines;
        const char* WidestLine;
    };
    const Case cases[] = {
        {"Close", DT_SINGLELINE, 1, "Close"},
        {"one\ntwo words\r\nx", 0, 3, "two words"},
        {"one\ntwo", DT_SINGLELINE, 1, "onetwo"},
        {"&Back", DT_SINGLELINE, 1, "Back"},
        {"&Back", DT_SINGLELINE | DT_NOPREFIX, 1, "&Back"},
        {"a&&b", DT_SINGLELINE, 1, "a&b"},
        // Line ends: CR alone, CR LF, LF; an empty last line still counts.
        {"ab\rc", 0, 2, "ab"},
        {"ab\r\n\r\nc", 0, 3, "ab"},
        {"ab\n", 0, 2, "ab"},
        {"", 0, 1, ""},
        {"x\r\ny", DT_SINGLELINE, 1, "xy"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Text);
        RECT r{5, 7, 5, 7};
        int h = DrawTextA(c.Dc, k.Text, -1, &r, k.Format | DT_CALCRECT);
        EXPECT_EQ(13 * k.Lines, h);
        EXPECT_EQ(5, r.left);
        EXPECT_EQ(7, r.top);
        EXPECT_EQ(5 + c.Extent(k.WidestLine).cx, r.right);
        EXPECT_EQ(7 + 13 * k.Lines, r.bottom);
    }
    EXPECT_EQ(0, c.InkCount());
}

TEST(Text, ExpandTabsAdvanceToMultiplesOfEightAverageWidths) {
    Canvas c(200, 20);
    int stop = 8 * c.Metrics().tmAveCharWidth;
    RECT r{0, 0, 0, 0};
    DrawTextA(c.Dc, "a\tb", -1, &r, DT_SINGLELINE | DT_EXPANDTABS | DT_CALCRECT);
    EXPECT_EQ(stop + c.Extent("b").cx, r.right);
    RECT two{0, 0, 0, 0};
    DrawTextA(c.Dc, "\t\tb", -1, &two, DT_SINGLELINE | DT_EXPANDTABS | DT_CALCRECT);
    EXPECT_EQ(2 * stop + c.Extent("b").cx, two.right);
}

TEST(Text, DrawTextCentresASingleLine) {
    Canvas c(80, 40);
    SetBkMode(c.Dc, TRANSPARENT);
    RECT r{0, 0, 80, 40};
    int h = DrawTextA(c.Dc, "HH", -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EXPECT_EQ((40 - 13) / 2 + 13, h) << "offset to the bottom of the text";
    RECT ink = c.Ink();
    ASSERT_LT(ink.left, ink.right);
    int w = c.Extent("HH").cx;
    int left = (80 - w) / 2;
    EXPECT_GE(ink.left, left);
    EXPECT_LE(ink.right, left + w + 1);
    EXPECT_LE(std::abs((ink.left + ink.right) - 80), 3) << ink.left << ".." << ink.right;
    int top = (40 - 13) / 2;
    EXPECT_GE(ink.top, top);
    EXPECT_LE(ink.bottom, top + 13);
}

TEST(Text, DrawTextAlignsRightAndBottom) {
    Canvas c(80, 40);
    SetBkMode(c.Dc, TRANSPARENT);
    RECT r{0, 0, 80, 40};
    DrawTextA(c.Dc, "HH", -1, &r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    RECT ink = c.Ink();
    EXPECT_LE(ink.right, 80);
    EXPECT_GE(ink.right, 80 - 3);
    EXPECT_GT(ink.top, 40 - 13);
}

TEST(Text, WordBreakWrapsAtSpacesWithinTheWidth) {
    Canvas c(200, 100);
    int wordWidth = c.Extent("word").cx;
    RECT r{0, 0, wordWidth * 2 + wordWidth / 2, 0};
    int h = DrawTextA(c.Dc, "word word word word word", -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(3 * 13, h);
    EXPECT_LE(r.right, wordWidth * 2 + wordWidth / 2);
    RECT narrow{0, 0, 3, 0};
    EXPECT_EQ(2 * 13, DrawTextA(c.Dc, "unbreakable word", -1, &narrow, DT_WORDBREAK | DT_CALCRECT))
        << "a word wider than the rectangle keeps its own line";
}

TEST(Text, PrefixCharacterIsUnderlinedNotDrawn) {
    Canvas plain(60, 20), prefixed(60, 20);
    RECT r{0, 0, 60, 20};
    DrawTextA(plain.Dc, "Back", -1, &r, DT_SINGLELINE);
    DrawTextA(prefixed.Dc, "&Back", -1, &r, DT_SINGLELINE);
    RECT a = plain.Ink(), b = prefixed.Ink();
    EXPECT_EQ(a.left, b.left);
    EXPECT_GT(b.bottom, a.bottom - 1) << "underline under the B";
    EXPECT_GT(prefixed.InkCount(), plain.InkCount());
    Canvas one(90, 20), two(90, 20);
    RECT wide{0, 0, 90, 20};
    DrawTextA(one.Dc, "&File Exit", -1, &wide, DT_SINGLELINE);
    DrawTextA(two.Dc, "&File E&xit", -1, &wide, DT_SINGLELINE);
    EXPECT_GT(two.InkCount(), one.InkCount()) << "every prefixed character is underlined";
}

TEST(Text, OpaqueModeFillsTheCellWithTheBackgroundColour) {
    Canvas c(60, 20);
    SetBkMode(c.Dc, OPAQUE);
    SetBkColor(c.Dc, RGB(0, 0, 255));
    SetTextColor(c.Dc, RGB(255, 0, 0));
    ASSERT_TRUE(TextOutA(c.Dc, 2, 3, "i i", 3));
    int w = c.Extent("i i").cx;
    EXPECT_EQ(0x0000FFu, c.Bits[3 * 60 + 2]) << "top-left of the cell";
    EXPECT_EQ(0x0000FFu, c.Bits[(3 + 12) * 60 + 2 + w - 1]) << "bottom-right of the cell";
    EXPECT_EQ(0xFFFFFFu, c.Bits[(3 + 13) * 60 + 2]) << "below the cell";
    bool red = false;
    for (int i = 0; i < 60 * 20; ++i)
        red |= (c.Bits[i] & 0xFF0000u) == 0xFF0000u && (c.Bits[i] & 0xFFu) < 0x80;
    EXPECT_TRUE(red) << "glyph pixels in the text colour";
}

TEST(Text, TransparentModeBlendsAntiAliasedGlyphsOverTheBackground) {
    Canvas c(60, 20);
    SetBkMode(c.Dc, TRANSPARENT);
    SetTextColor(c.Dc, RGB(0, 0, 0));
    TextOutA(c.Dc, 0, 0, "Wo", 2);
    bool grey = false, black = false;
    for (int i = 0; i < 60 * 20; ++i) {
        std::uint32_t p = c.Bits[i];
        black |= p == 0;
        grey |= p != 0 && p != 0xFFFFFF && (p & 0xFF) == ((p >> 8) & 0xFF);
    }
    EXPECT_TRUE(black);
    EXPECT_TRUE(grey) << "edges are blended";
    EXPECT_EQ(0xFFFFFFu, c.Bits[0]) << "no cell fill";
}

TEST(Text, TextAlignmentAndClippingOfExtTextOut) {
    Canvas c(60, 30);
    SetBkMode(c.Dc, TRANSPARENT);
    SetTextAlign(c.Dc, TA_BASELINE | TA_RIGHT);
    ExtTextOutA(c.Dc, 50, 20, 0, nullptr, "H", 1, nullptr);
    RECT ink = c.Ink();
    EXPECT_LE(ink.right, 50);
    EXPECT_EQ(20, ink.bottom) << "H sits on the baseline";
    std::fill(c.Bits, c.Bits + 60 * 30, 0xFFFFFFu);
    SetTextAlign(c.Dc, TA_LEFT | TA_TOP);
    SetBkColor(c.Dc, RGB(0, 0, 255));
    RECT clip{0, 0, 60, 5};
    ExtTextOutA(c.Dc, 0, 0, ETO_CLIPPED | ETO_OPAQUE, &clip, "HHHH", 4, nullptr);
    ink = c.Ink();
    EXPECT_EQ(0, ink.top);
    EXPECT_LE(ink.bottom, 5);
}

TEST(Text, KoreanTextRendersWithAKoreanFace) {
    Canvas c(120, 30);
    SetBkMode(c.Dc, TRANSPARENT);
    const char* korean = "\xed\x95\x9c\xea\xb5\xad\xec\x96\xb4"; // "Korean language" in Hangul
    SIZE sz = c.Extent(korean);
    EXPECT_GE(sz.cx, 3 * 8) << "three full-width syllables";
    RECT r{0, 0, 120, 30};
    DrawTextA(c.Dc, korean, -1, &r, DT_SINGLELINE);
    EXPECT_GT(c.InkCount(), 40);
    RECT ink = c.Ink();
    EXPECT_GE(ink.right - ink.left, 20);
    // Hangul face names of the original desktop map to a Korean face too.
    Canvas gulim(120, 30, "\xea\xb5\xb4\xeb\xa6\xbc", -12);
    DrawTextA(gulim.Dc, korean, -1, &r, DT_SINGLELINE);
    EXPECT_GT(gulim.InkCount(), 40);
}

TEST(Text, MalformedUtf8StillDrawsAndNeverCrashes) {
    Canvas c(100, 20);
    const char bad[] = {'A', char(0xC3), char(0x28), char(0xE2), char(0x82), 'B', char(0xF0), 0};
    SIZE sz = c.Extent(bad);
    EXPECT_GT(sz.cx, c.Extent("AB").cx);
    RECT r{0, 0, 100, 20};
    EXPECT_EQ(13, DrawTextA(c.Dc, bad, -1, &r, DT_SINGLELINE));
    EXPECT_EQ(0, DrawTextA(nullptr, "x", 1, &r, 0));
    EXPECT_EQ(0, DrawTextA(c.Dc, "x", 1, nullptr, 0));
    EXPECT_EQ(nullptr, CreateFontIndirectA(nullptr));
    TEXTMETRICA tm;
    EXPECT_FALSE(GetTextMetricsA(nullptr, &tm));
    EXPECT_FALSE(TextOutA(c.Dc, 0, 0, "x", -1));
}

TEST(Text, FontObjectReportsItsLogFont) {
    LOGFONTA lf{};
    lf.lfHeight = -19;
    lf.lfWeight = FW_NORMAL;
    std::strcpy(lf.lfFaceName, "Franklin Gothic Medium");
    HFONT f = CreateFontIndirectA(&lf);
    LOGFONTA back{};
    EXPECT_EQ(int(sizeof back), GetObjectA(f, sizeof back, &back));
    EXPECT_EQ(-19, back.lfHeight);
    EXPECT_STREQ("Franklin Gothic Medium", back.lfFaceName);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, f);
    char name[LF_FACESIZE];
    EXPECT_EQ(22, GetTextFaceA(dc, sizeof name, name));
    EXPECT_STREQ("Franklin Gothic Medium", name);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(f);
}

// Font files the process holds open or mapped.
int OpenFontFiles() {
    std::ifstream maps("/proc/self/maps");
    int n = 0;
    for (std::string line; std::getline(maps, line);)
        n += line.find(".ttf") != std::string::npos || line.find(".otf") != std::string::npos;
    return n;
}

TEST(Text, ManyFontSizesDoNotKeepFilesOpen) {
    int before = OpenFontFiles();
    HDC dc = CreateCompatibleDC(nullptr);
    for (int size = 5; size < 205; ++size) {
        HFONT f =
            CreateFontA(-size, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
        HGDIOBJ old = SelectObject(dc, f);
        SIZE sz{};
        GetTextExtentPoint32A(dc, "x", 1, &sz);
        SelectObject(dc, old);
        DeleteObject(f);
    }
    DeleteDC(dc);
    EXPECT_LT(OpenFontFiles() - before, 40);
}

} // namespace
