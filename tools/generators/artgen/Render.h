// Drawing helpers of the artwork, all on our own TCanvas: a true-colour sketch drawn at
// a multiple of its size and reduced by averaging (smooth edges for shapes), gradients,
// rounded rectangles and centred text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "rtl/Types.h"

namespace artgen {

// A colour written as 0xRRGGBB, as designers write them.
constexpr formstream::TColor Rgb(std::uint32_t rrggbb) {
    return formstream::MakeColor(((rrggbb & 0xFF) << 16) | (rrggbb & 0xFF00) |
                                 ((rrggbb >> 16) & 0xFF));
}
// The 0xRRGGBB form of a plain colour.
std::uint32_t RgbOf(formstream::TColor color);
// a + (b - a) * t / 255, channel by channel.
formstream::TColor Mix(formstream::TColor a, formstream::TColor b, int t);

// A drawing of Width x Height pixels kept Scale times larger, so that shapes get smooth
// edges when it is reduced. Coordinates given to its operations are in final pixels,
// except for PolygonSub and the canvas itself, which work in the larger pixels.
class TSketch {
public:
    TSketch(int width, int height, int scale);
    ~TSketch();

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Scale() const { return FScale; }
    graphics::TCanvas* Canvas();

    // Fills `rect` with a vertical (or horizontal) blend from `from` to `to`.
    void Gradient(const rtl::TRect& rect, formstream::TColor from, formstream::TColor to,
                  bool horizontal = false);
    void FillRect(const rtl::TRect& rect, formstream::TColor color);
    // A rectangle with quarter-circle corners of `radius`, filled, with an optional edge of
    // `edgeWidth` final pixels.
    void RoundRect(const rtl::TRect& rect, int radius, formstream::TColor fill,
                   formstream::TColor edge = formstream::clNone, int edgeWidth = 1);
    // Same, filled with a vertical gradient.
    void RoundRectGradient(const rtl::TRect& rect, int radius, formstream::TColor top,
                           formstream::TColor bottom);
    void Ellipse(const rtl::TRect& rect, formstream::TColor fill);
    // A polygon of points given in 1/Scale pixels (multiply final coordinates by Scale()).
    void PolygonSub(const rtl::TPoint* points, int count, formstream::TColor fill);

    // The drawing at its final size, as a 24-bit bitmap.
    std::unique_ptr<graphics::TBitmap> Reduce();
    // The drawing at its final size with coverage: pixels of `key` count as empty. Gives
    // 0xAARRGGBB values, row by row from the top.
    std::vector<std::uint32_t> ReduceWithAlpha(formstream::TColor key);

private:
    rtl::TRect Up(const rtl::TRect& r) const;

    int FWidth, FHeight, FScale;
    std::unique_ptr<graphics::TBitmap> FBitmap;
};

struct TTextStyle {
    const char* Face;
    int Height; // character height in pixels
    bool Bold = false;
    formstream::TColor Color = formstream::clBlack;
};

// Text in `style`, its box centred in `rect` (or starting at rect's left when not
// `centred`), transparent background. Returns the text's width.
int DrawText(graphics::TCanvas* canvas, const rtl::TRect& rect, const std::string& text,
             const TTextStyle& style, bool centred = true);
// The width of `text` in `style`.
int TextWidth(graphics::TCanvas* canvas, const std::string& text, const TTextStyle& style);
// Text at (x, y) (its top left).
int DrawTextAt(graphics::TCanvas* canvas, int x, int y, const std::string& text,
               const TTextStyle& style);
// Text with extra space between the characters (ASCII only), starting at (x, y).
int DrawSpaced(graphics::TCanvas* canvas, int x, int y, const std::string& text,
               const TTextStyle& style, int spacing);

int SpacedWidth(graphics::TCanvas* canvas, const std::string& text, const TTextStyle& style,
                int spacing);

} // namespace artgen
