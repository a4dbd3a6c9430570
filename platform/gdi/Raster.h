// Internal to the drawing code: pixel access over bitmaps, surfaces and caller memory,
// colour conversion between formats, and the raster-operation engine that every
// block transfer, fill, line and glyph goes through.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {

// A pixel grid: rows top-down from Row0, Pitch bytes apart (negative for bottom-up
// storage). Native values: 0x00RRGGBB for 16/24/32 bits, the index for 1/4/8 bits.
struct PixelGrid {
    std::uint8_t* Row0 = nullptr;
    std::ptrdiff_t Pitch = 0;
    int Width = 0;
    int Height = 0;
    int Bpp = 32;
    const RGBQUAD* Table = nullptr; // nullptr for monochrome device bitmaps: 0 black, 1 white
    int TableSize = 0;

    std::uint8_t* Row(int y) const { return Row0 + Pitch * y; }
    bool Indexed() const { return Bpp <= 8; }
    std::uint32_t Mask() const { return Bpp <= 8 ? (1u << Bpp) - 1 : 0xFFFFFFu; }
    std::uint32_t Read(int x, int y) const;
    void Write(int x, int y, std::uint32_t v) const;
    void ReadRow(int y, int x0, int count, std::uint32_t* out) const;
    void WriteRow(int y, int x0, int count, const std::uint32_t* in) const;
    // Colour of a native value, and the native value that best shows a colour.
    std::uint32_t ToPix(std::uint32_t v) const;
    std::uint32_t FromPix(std::uint32_t pix) const;
    std::uint32_t TableEntry(int i) const;
};

PixelGrid GridOf(Bitmap& bm);
PixelGrid GridOf(const Surface& s);
// The grid a context draws on (its selected bitmap or its surface).
PixelGrid GridOf(DC& dc);

std::uint32_t NearestIndex(const RGBQUAD* table, int count, std::uint32_t pix);

// Converts native values of one grid into native values of another.
struct Converter {
    enum Kind { Identity, Lut, ToMono, Nearest } K = Identity;
    std::uint32_t LutValues[256] = {};
    std::uint32_t MonoBk = 0; // native source value that becomes 1
    const PixelGrid* Dst = nullptr;
    void Row(std::uint32_t* v, int n) const;
};
// Block-transfer semantics between contexts: monochrome device bitmaps as sources take
// the destination's text (0) and background (1) colours (DIB sections, 1-bit included,
// go through their colour tables); colour sources going to monochrome give 1 where they
// equal the source context's background colour.
Converter DcConverter(const PixelGrid& src, const PixelGrid& dst, std::uint32_t srcBkPix,
                      std::uint32_t dstTextPix, std::uint32_t dstBkPix);
// Device-independent semantics: every value goes through its colour (colour tables are
// used for 1-bit sources too); equal tables copy indices unchanged.
Converter DibConverter(const PixelGrid& src, const PixelGrid& dst);

// A brush ready to draw on a grid: native values per pattern cell.
struct PatternSource {
    bool Solid = true;
    std::uint32_t Value = 0;
    std::uint32_t Cells[64] = {};
    int OrgX = 0; // target coordinates of the pattern's (0, 0)
    int OrgY = 0;
    std::uint32_t At(int x, int y) const {
        return Solid ? Value : Cells[((y - OrgY) & 7) * 8 + ((x - OrgX) & 7)];
    }
};
PatternSource SolidPattern(const PixelGrid& g, std::uint32_t pix);
// The context's selected brush (null brushes give Solid with Value 0; callers check).
PatternSource BrushPattern(DC& dc, const Brush& brush, const PixelGrid& g);

constexpr bool RopUsesSource(std::uint8_t rop3) {
    return ((rop3 >> 2) & 0x33) != (rop3 & 0x33);
}
constexpr bool RopUsesPattern(std::uint8_t rop3) {
    return ((rop3 >> 4) & 0x0F) != (rop3 & 0x0F);
}
constexpr bool RopUsesDest(std::uint8_t rop3) {
    return ((rop3 >> 1) & 0x55) != (rop3 & 0x55);
}
// The ternary code equivalent to a binary pen mix (R2_*).
std::uint8_t Rop3FromRop2(int rop2);

inline std::uint32_t EvalRop3(std::uint8_t code, std::uint32_t p, std::uint32_t s,
                              std::uint32_t d) {
    std::uint32_t r = 0;
    if (code & 0x01)
        r |= ~p & ~s & ~d;
    if (code & 0x02)
        r |= ~p & ~s & d;
    if (code & 0x04)
        r |= ~p & s & ~d;
    if (code & 0x08)
        r |= ~p & s & d;
    if (code & 0x10)
        r |= p & ~s & ~d;
    if (code & 0x20)
        r |= p & ~s & d;
    if (code & 0x40)
        r |= p & s & ~d;
    if (code & 0x80)
        r |= p & s & d;
    return r;
}

// Applies rop3 to `count` pixels: d[i] = f(p[i], s[i], d[i]) (p or s may be null when
// unused; a null p means the constant pattern `pConst`).
void ApplyRop(std::uint8_t code, std::uint32_t* d, const std::uint32_t* s, const std::uint32_t* p,
              std::uint32_t pConst, int count, std::uint32_t mask);

// Fills `rect` (target coordinates) clipped to `clip` with the pattern under rop3.
void FillRop(const PixelGrid& g, const std::vector<RECT>& clip, RECT rect, const PatternSource& pat,
             std::uint8_t rop3);

// Generic transfer: destination rectangle `dst` (target coordinates, normalised)
// receives samples of `src` through `conv`. xmap/ymap give, for each destination column
// and row of `dst`, the source column/row (or -1: outside the source, left unchanged).
// With a combine mode (BLACKONWHITE / WHITEONBLACK) and spans given, every source pixel
// in [xs0, xs1) x [ys0, ys1) is folded in with AND / OR.
struct StretchMap {
    std::vector<int> X, Y;
    std::vector<int> X0, X1, Y0, Y1; // spans for combining modes, empty otherwise
    int Combine = 0;                 // 0, BLACKONWHITE or WHITEONBLACK
};
void TransferRop(const PixelGrid& dstGrid, const std::vector<RECT>& clip, RECT dst,
                 const PixelGrid* src, const StretchMap& map, const Converter& conv,
                 const PatternSource* pat, std::uint8_t rop3);

// Builds the nearest-pixel map of a destination span of `dstLen` pixels over a source
// span starting at `srcStart` of `srcLen` pixels (mirrored when `mirror`), marking
// samples outside [0, srcLimit) with -1.
void BuildAxisMap(int dstLen, int srcStart, int srcLen, bool mirror, int srcLimit,
                  std::vector<int>& map, std::vector<int>* span0, std::vector<int>* span1);

} // namespace platform::gdi
