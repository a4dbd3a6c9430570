#include "tools/generators/artgen/Render.h"

#include <algorithm>
#include <vector>

#include "graphics/Colors.h"

namespace artgen {

using formstream::TColor;
using graphics::TBitmap;
using graphics::TCanvas;

std::uint32_t RgbOf(TColor color) {
    const std::uint32_t v = formstream::ColorValue(color);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

TColor Mix(TColor a, TColor b, int t) {
    const std::uint32_t x = RgbOf(a), y = RgbOf(b);
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int ca = int((x >> shift) & 0xFF), cb = int((y >> shift) & 0xFF);
        out |= std::uint32_t(ca + ((cb - ca) * t + (cb >= ca ? 127 : -127)) / 255) << shift;
    }
    return Rgb(out);
}

// ---------------------------------------------------------------- sketch

TSketch::TSketch(int width, int height, int scale)
    : FWidth(width), FHeight(height), FScale(scale), FBitmap(new TBitmap) {
    FBitmap->SetPixelFormat(graphics::pf24bit);
    FBitmap->SetSize(width * scale, height * scale);
}

TSketch::~TSketch() = default;

TCanvas* TSketch::Canvas() {
    return FBitmap->Canvas();
}

rtl::TRect TSketch::Up(const rtl::TRect& r) const {
    return rtl::Rect(r.Left * FScale, r.Top * FScale, r.Right * FScale, r.Bottom * FScale);
}

void TSketch::FillRect(const rtl::TRect& rect, TColor color) {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(graphics::bsSolid);
    c->Brush()->SetColor(color);
    c->FillRect(Up(rect));
}

void TSketch::Gradient(const rtl::TRect& rect, TColor from, TColor to, bool horizontal) {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(graphics::bsSolid);
    const rtl::TRect r = Up(rect);
    const int steps = horizontal ? r.Width() : r.Height();
    for (int i = 0; i < steps; ++i) {
        c->Brush()->SetColor(Mix(from, to, steps > 1 ? i * 255 / (steps - 1) : 0));
        if (horizontal)
            c->FillRect(rtl::Rect(r.Left + i, r.Top, r.Left + i + 1, r.Bottom));
        else
            c->FillRect(rtl::Rect(r.Left, r.Top + i, r.Right, r.Top + i + 1));
    }
}

namespace {

// The rows of a rounded rectangle (in sketch pixels): for row y, the span [left, right).
void RoundSpans(const rtl::TRect& r, int radius, auto&& span) {
    const int rr = std::min({radius, r.Width() / 2, r.Height() / 2});
    for (int y = r.Top; y < r.Bottom; ++y) {
        int inset = 0;
        const int fromTop = y - r.Top, fromBottom = r.Bottom - 1 - y;
        const int d = std::min(fromTop, fromBottom);
        if (d < rr) {
            // Distance from the corner circle's centre, measured at the pixel's middle.
            const double dy = rr - d - 0.5;
            double dx = 0;
            while (dx * dx + dy * dy < double(rr) * rr)
                dx += 1;
            inset = rr - int(dx) + 1;
            if (inset < 0)
                inset = 0;
        }
        span(y, r.Left + inset, r.Right - inset);
    }
}

} // namespace

void TSketch::RoundRect(const rtl::TRect& rect, int radius, TColor fill, TColor edge,
                        int edgeWidth) {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(graphics::bsSolid);
    rtl::TRect r = Up(rect);
    int rad = radius * FScale;
    if (edge != formstream::clNone) {
        c->Brush()->SetColor(edge);
        RoundSpans(r, rad, [&](int y, int l, int rt) { c->FillRect(rtl::Rect(l, y, rt, y + 1)); });
        const int e = edgeWidth * FScale;
        r = rtl::Rect(r.Left + e, r.Top + e, r.Right - e, r.Bottom - e);
        rad = std::max(0, rad - e);
    }
    c->Brush()->SetColor(fill);
    RoundSpans(r, rad, [&](int y, int l, int rt) { c->FillRect(rtl::Rect(l, y, rt, y + 1)); });
}

void TSketch::RoundRectGradient(const rtl::TRect& rect, int radius, TColor top, TColor bottom) {
    TCanvas* c = Canvas();
    c->Brush()->SetStyle(graphics::bsSolid);
    const rtl::TRect r = Up(rect);
    const int h = std::max(1, r.Height() - 1);
    RoundSpans(r, radius * FScale, [&](int y, int l, int rt) {
        c->Brush()->SetColor(Mix(top, bottom, (y - r.Top) * 255 / h));
        c->FillRect(rtl::Rect(l, y, rt, y + 1));
    });
}

void TSketch::Ellipse(const rtl::TRect& rect, TColor fill) {
    TCanvas* c = Canvas();
    c->Pen()->SetStyle(graphics::psClear);
    c->Brush()->SetStyle(graphics::bsSolid);
    c->Brush()->SetColor(fill);
    const rtl::TRect r = Up(rect);
    c->Ellipse(r.Left, r.Top, r.Right + 1, r.Bottom + 1);
    c->Pen()->SetStyle(graphics::psSolid);
}

void TSketch::PolygonSub(const rtl::TPoint* points, int count, TColor fill) {
    TCanvas* c = Canvas();
    c->Pen()->SetStyle(graphics::psClear);
    c->Brush()->SetStyle(graphics::bsSolid);
    c->Brush()->SetColor(fill);
    c->Polygon(points, count);
    c->Pen()->SetStyle(graphics::psSolid);
}

std::unique_ptr<TBitmap> TSketch::Reduce() {
    auto out = std::make_unique<TBitmap>();
    out->SetPixelFormat(graphics::pf24bit);
    out->SetSize(FWidth, FHeight);
    const int n = FScale * FScale;
    std::vector<int> sums(std::size_t(FWidth) * 3);
    for (int y = 0; y < FHeight; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int sy = 0; sy < FScale; ++sy) {
            const auto* row = static_cast<const std::uint8_t*>(FBitmap->ScanLine(y * FScale + sy));
            for (int x = 0; x < FWidth * FScale; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    sums[std::size_t(x / FScale) * 3 + std::size_t(ch)] += row[x * 3 + ch];
        }
        auto* dest = static_cast<std::uint8_t*>(out->ScanLine(y));
        for (std::size_t i = 0; i < sums.size(); ++i)
            dest[i] = std::uint8_t((sums[i] + n / 2) / n);
    }
    return out;
}

std::vector<std::uint32_t> TSketch::ReduceWithAlpha(TColor key) {
    const std::uint32_t k = RgbOf(key);
    std::vector<std::uint32_t> out(std::size_t(FWidth) * std::size_t(FHeight));
    const int n = FScale * FScale;
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x) {
            int sum[3] = {0, 0, 0}, covered = 0;
            for (int sy = 0; sy < FScale; ++sy) {
                const auto* row =
                    static_cast<const std::uint8_t*>(FBitmap->ScanLine(y * FScale + sy));
                for (int sx = 0; sx < FScale; ++sx) {
                    const std::uint8_t* p = row + (x * FScale + sx) * 3;
                    const std::uint32_t rgb = std::uint32_t(p[2]) << 16 | p[1] << 8 | p[0];
                    if (rgb == k)
                        continue;
                    ++covered;
                    for (int ch = 0; ch < 3; ++ch)
                        sum[ch] += p[2 - ch];
                }
            }
            std::uint32_t v = 0;
            if (covered > 0) {
                const std::uint32_t a = std::uint32_t((covered * 255 + n / 2) / n);
                v = a << 24;
                for (int ch = 0; ch < 3; ++ch)
                    v |= std::uint32_t((sum[ch] + covered / 2) / covered) << (16 - 8 * ch);
            }
            out[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] = v;
        }
    return out;
}

// ---------------------------------------------------------------- text

namespace {

void Apply(TCanvas* canvas, const TTextStyle& style) {
    graphics::TFont* f = canvas->Font();
    f->SetName(style.Face);
    f->SetHeight(-style.Height);
    f->SetColor(style.Color);
    graphics::TFontStyles s;
    if (style.Bold)
        s.Include(graphics::fsBold);
    f->SetStyle(s);
    canvas->Brush()->SetStyle(graphics::bsClear);
}

} // namespace

int DrawText(TCanvas* canvas, const rtl::TRect& rect, const std::string& text,
             const TTextStyle& style, bool centred) {
    Apply(canvas, style);
    const rtl::TPoint size = canvas->TextExtent(text);
    const int x = centred ? rect.Left + (rect.Width() - size.X) / 2 : rect.Left;
    const int y = rect.Top + (rect.Height() - size.Y) / 2;
    canvas->TextOut(x, y, text);
    return size.X;
}

int TextWidth(TCanvas* canvas, const std::string& text, const TTextStyle& style) {
    Apply(canvas, style);
    return canvas->TextWidth(text);
}

int DrawTextAt(TCanvas* canvas, int x, int y, const std::string& text, const TTextStyle& style) {
    Apply(canvas, style);
    canvas->TextOut(x, y, text);
    return canvas->TextWidth(text);
}

int DrawSpaced(TCanvas* canvas, int x, int y, const std::string& text, const TTextStyle& style,
               int spacing) {
    Apply(canvas, style);
    int at = x;
    for (char ch : text) {
        const std::string one(1, ch);
        canvas->TextOut(at, y, one);
        at += canvas->TextWidth(one) + spacing;
    }
    return at - spacing - x;
}

int SpacedWidth(TCanvas* canvas, const std::string& text, const TTextStyle& style, int spacing) {
    Apply(canvas, style);
    int width = 0;
    for (char ch : text)
        width += canvas->TextWidth(std::string(1, ch)) + spacing;
    return text.empty() ? 0 : width - spacing;
}

} // namespace artgen
