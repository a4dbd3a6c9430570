// The 27 glyphs of the media button bar: for each button a normal (black), a disabled
// (outline only) and a coloured (bright green) glyph, on olive, which the bar replaces by
// the button face. Filled symbols have a grey edge line above and left of them and a
// white one below and right, so they look pressed into the face; the disabled outline is
// grey with a white copy one pixel down and right.
#include <algorithm>
#include <vector>

#include "rtl/Stream.h"
#include "tools/generators/artgen/Artgen.h"
#include "tools/generators/artgen/Output.h"
#include "tools/generators/artgen/Render.h"

namespace artgen {

using formstream::TColor;
using graphics::TBitmap;
using graphics::TCanvas;

namespace {

// A symbol as a set of pixels, built from triangles, bars and discs (coordinates
// inclusive).
class TMask {
public:
    TMask(int width, int height)
        : FWidth(width), FHeight(height), FSet(std::size_t(width * height)) {}
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < FWidth && y < FHeight && FSet[std::size_t(y * FWidth + x)];
    }
    void Set(int x, int y) {
        if (x >= 0 && y >= 0 && x < FWidth && y < FHeight)
            FSet[std::size_t(y * FWidth + x)] = true;
    }
    TMask& Bar(int l, int t, int r, int b) {
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x)
                Set(x, y);
        return *this;
    }
    // Pointing right from column `x` (or left from it), rows `t` to `b`.
    TMask& Right(int x, int t, int b) {
        for (int y = t; y <= b; ++y)
            Bar(x, y, x + std::min(y - t, b - y), y);
        return *this;
    }
    TMask& Left(int x, int t, int b) {
        for (int y = t; y <= b; ++y)
            Bar(x - std::min(y - t, b - y), y, x, y);
        return *this;
    }
    // Pointing up, its base on row `b` from column `l` to `r`.
    TMask& Up(int l, int r, int b) {
        for (int y = b; l <= r; --y, ++l, --r)
            Bar(l, y, r, y);
        return *this;
    }
    TMask& Disc(int cx, int cy, int r) {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r + r)
                    Set(x, y);
        return *this;
    }
    // A pixel of the symbol next to one outside it (or to the glyph's edge).
    bool Edge(int x, int y) const {
        return At(x, y) && (!At(x - 1, y) || !At(x + 1, y) || !At(x, y - 1) || !At(x, y + 1));
    }

private:
    int FWidth, FHeight;
    std::vector<bool> FSet;
};

struct TGlyphSize {
    int Width, Height;
};

// Sizes the button bar's layout is built for: play 17 by 16, pause 13 by 16 (the
// disabled one 12), stop 17, next 21, prev 20, step 21, back 21, record 13 by 13,
// eject 19 by 16.
constexpr TGlyphSize Sizes[] = {{17, 16}, {13, 16}, {17, 16}, {21, 16}, {20, 16},
                                {21, 16}, {21, 16}, {13, 13}, {19, 16}};

TMask Symbol(int button, int width, int height) {
    TMask m(width, height);
    switch (button) {
    case 0: // play
        return m.Right(6, 3, 11);
    case 1: // pause
        return m.Bar(3, 3, 5, 11).Bar(7, 3, 9, 11);
    case 2: // stop
        return m.Bar(5, 4, 11, 10);
    case 3: // next: two arrows and a bar
        return m.Right(4, 3, 11).Right(9, 3, 11).Bar(14, 3, 15, 11);
    case 4: // prev: a bar and two arrows
        return m.Bar(4, 3, 5, 11).Left(10, 3, 11).Left(15, 3, 11);
    case 5: // step: one arrow and a bar
        return m.Right(7, 3, 11).Bar(13, 3, 14, 11);
    case 6: // back: a bar and one arrow
        return m.Bar(6, 3, 7, 11).Left(13, 3, 11);
    case 7: // record
        return m.Disc(6, 6, 3);
    default: // eject: an arrow up over a bar
        return m.Up(4, 14, 9).Bar(4, 11, 14, 12);
    }
}

} // namespace

std::unique_ptr<TBitmap> DrawGlyph(int button, TGlyphState state) {
    const TGlyphSize size = Sizes[button];
    // The disabled pause glyph is one column narrower than the others of its button.
    const int width = button == 1 && state == gsDisabled ? size.Width - 1 : size.Width;
    const TMask m = Symbol(button, width, size.Height);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(graphics::pf24bit);
    bitmap->SetSize(width, size.Height);
    TCanvas* c = bitmap->Canvas();
    c->Brush()->SetStyle(graphics::bsSolid);
    auto dot = [&](int x, int y, TColor color) {
        c->Brush()->SetColor(color);
        c->FillRect(rtl::Rect(x, y, x + 1, y + 1));
    };
    const TColor fill = state == gsColored ? formstream::clLime : formstream::clBlack;
    for (int y = 0; y < size.Height; ++y)
        for (int x = 0; x < width; ++x) {
            TColor color = formstream::clOlive;
            if (state == gsDisabled) {
                // The outline in grey, with a white copy one pixel down and right.
                if (m.Edge(x, y))
                    color = formstream::clGray;
                else if (m.Edge(x - 1, y - 1))
                    color = formstream::clWhite;
            } else if (m.At(x, y)) {
                color = fill;
            } else if (m.At(x - 1, y) || m.At(x, y - 1) || m.At(x - 1, y - 1)) {
                color = formstream::clWhite; // lit lower and right edge
            } else if (m.At(x + 1, y) || m.At(x, y + 1) || m.At(x + 1, y + 1)) {
                color = formstream::clGray; // shaded upper and left edge
            }
            dot(x, y, color);
        }
    bitmap->SetPixelFormat(graphics::pf4bit);
    return bitmap;
}

std::string GlyphBmp(int button, TGlyphState state) {
    std::unique_ptr<TBitmap> glyph = DrawGlyph(button, state);
    rtl::TMemoryStream stream;
    glyph->SaveToStream(stream);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.Size()));
}

void WriteGlyphs(const std::string& dir) {
    for (int button = 0; button < 9; ++button)
        for (int state = 0; state < 3; ++state)
            WriteFile(dir + "/" + GlyphStates[state] + "_" + GlyphButtons[button] + ".bmp",
                      GlyphBmp(button, TGlyphState(state)));
}

} // namespace artgen
