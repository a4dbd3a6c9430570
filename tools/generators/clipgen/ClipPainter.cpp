#include "tools/generators/clipgen/ClipPainter.h"

#include <algorithm>

#include "graphics/Graphics.h"

namespace clipgen {

using formstream::MakeColor;
using formstream::TColor;
using graphics::TBitmap;
using graphics::TCanvas;

namespace {

constexpr int CodeDarkBelow = 80;   // luminance of a square read as 0
constexpr int CodeLightAbove = 176; // luminance of a square read as 1

TColor Rgb(std::uint32_t rgb) {
    // TColor keeps red in its low byte.
    return MakeColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

const TColor TextColor = Rgb(0xFFFFFF);
const TColor DimTextColor = Rgb(0xC8D2DC);
const TColor BallColor = Rgb(0xF0B030);
const TColor BarColor = Rgb(0x50C878);
const TColor TrackColor = Rgb(0x8090A0);

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Face names of packaged fonts, so that frames look the same on every machine.
void SetFace(TCanvas* canvas, const std::string& text, int pixels, bool bold) {
    graphics::TFont* font = canvas->Font();
    if (HasNonAscii(text)) {
        font->SetName("NanumGothic");
        font->SetCharset(formstream::TFontCharset(HANGUL_CHARSET));
    } else {
        font->SetName("DejaVu Sans");
        font->SetCharset(formstream::TFontCharset(DEFAULT_CHARSET));
    }
    font->SetHeight(-std::max(4, pixels));
    font->SetStyle(bold ? graphics::TFontStyles{graphics::fsBold} : graphics::TFontStyles{});
}

// Sets the face at `pixels`, or smaller where `widest` would not fit into `room`.
void SetFittingFace(TCanvas* canvas, const std::string& widest, int pixels, bool bold, int room) {
    SetFace(canvas, widest, pixels, bold);
    const int width = canvas->TextWidth(widest);
    if (width > room && room > 0)
        SetFace(canvas, widest, int(static_cast<long long>(pixels) * room / width), bold);
}

// Centred in the frame and clipped to its margins (on tiny frames even the smallest type
// may not fit).
void CentredText(TCanvas* canvas, int width, int margin, int top, const std::string& text) {
    const rtl::TRect room = rtl::Rect(margin, top, width - margin, top + canvas->TextHeight(text));
    canvas->TextRect(room, (width - canvas->TextWidth(text)) / 2, top, text);
}

std::string FrameText(int index, int frames) {
    return "Frame " + std::to_string(index) + " / " + std::to_string(frames);
}

struct TLayout {
    int Margin, TitleTop, TitleSize, SubtitleTop, SubtitleSize, NumberTop, NumberSize;
    int TrackY, BallRadius, BarTop, BarBottom;
};

TLayout LayoutFor(int w, int h) {
    TLayout l{};
    l.Margin = std::max(1, w / 35);
    l.TitleTop = h * 4 / 100;
    l.TitleSize = h / 11;
    l.SubtitleTop = h * 17 / 100;
    l.SubtitleSize = h / 26;
    l.NumberTop = h * 30 / 100;
    l.NumberSize = h / 8;
    l.TrackY = h * 60 / 100;
    l.BallRadius = std::max(2, h / 22);
    l.BarTop = h * 72 / 100;
    l.BarBottom = h * 78 / 100;
    return l;
}

int Luminance(std::uint32_t rgb) {
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (r * 77 + g * 150 + b * 29) >> 8;
}

} // namespace

TFrameCodeLayout FrameCodeLayout(int width, int height) {
    TFrameCodeLayout code;
    code.Square = std::max(4, std::min(width / 32, height / 16));
    code.Left = std::max(0, (width - TFrameCodeLayout::Bits * code.Square) / 2);
    code.Top = std::max(0, height - code.Square * 2);
    return code;
}

int ReadFrameCode(int width, int height, const std::function<std::uint32_t(int, int)>& pixel) {
    const TFrameCodeLayout code = FrameCodeLayout(width, height);
    if (code.Left + TFrameCodeLayout::Bits * code.Square > width || code.Top + code.Square > height)
        return -1;
    int value = 0;
    for (int bit = 0; bit < TFrameCodeLayout::Bits; ++bit) {
        const int x = code.Left + bit * code.Square + code.Square / 2;
        const int y = code.Top + code.Square / 2;
        const int luma = Luminance(pixel(x, y));
        if (luma > CodeLightAbove)
            value |= 1 << bit;
        else if (luma >= CodeDarkBelow)
            return -1;
    }
    return value;
}

TClipPainter::TClipPainter(const TClipSpec& spec)
    : FSpec(spec), FBitmap(std::make_unique<TBitmap>()) {
    FBitmap->SetPixelFormat(graphics::pf32bit);
    FBitmap->SetSize(spec.Width, spec.Height);
}

TClipPainter::~TClipPainter() = default;

// What stays the same in every frame: background, title, subtitle, the progress bar's
// outline, and the size of the number's type.
void TClipPainter::PaintStill() {
    const int w = FSpec.Width, h = FSpec.Height;
    const TLayout l = LayoutFor(w, h);
    TCanvas* canvas = FBitmap->Canvas();

    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(Rgb(FSpec.Background));
    canvas->FillRect(rtl::Rect(0, 0, w, h));

    canvas->Brush()->SetStyle(graphics::bsClear);
    const int room = w - 2 * l.Margin;
    SetFittingFace(canvas, FSpec.Title, l.TitleSize, true, room);
    canvas->Font()->SetColor(TextColor);
    CentredText(canvas, w, l.Margin, l.TitleTop, FSpec.Title);
    if (!FSpec.Subtitle.empty()) {
        SetFittingFace(canvas, FSpec.Subtitle, l.SubtitleSize, false, room);
        canvas->Font()->SetColor(DimTextColor);
        CentredText(canvas, w, l.Margin, l.SubtitleTop, FSpec.Subtitle);
    }

    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(TextColor);
    canvas->FrameRect(rtl::Rect(l.Margin, l.BarTop, w - l.Margin, l.BarBottom));

    // One size for the whole clip, from the widest number it shows.
    SetFittingFace(canvas, FrameText(FSpec.Frames, FSpec.Frames), l.NumberSize, true, room);
    FNumberPixels = -canvas->Font()->Height();
    FNumberCell = canvas->TextHeight("0");
    FStillPainted = true;
}

// Every frame repaints the same bands (the number, the track, the inside of the bar and
// the code) completely, so a frame looks the same whatever was painted before it.
TBitmap& TClipPainter::Paint(int index) {
    const bool first = !FStillPainted;
    if (first)
        PaintStill();
    const int w = FSpec.Width, h = FSpec.Height;
    const TLayout l = LayoutFor(w, h);
    FChangedRows.clear();
    auto changed = [&](const rtl::TRect& band) {
        if (!first)
            FChangedRows.emplace_back(std::clamp(band.Top, 0, h), std::clamp(band.Bottom, 0, h));
        return band;
    };
    if (first)
        FChangedRows.emplace_back(0, h);
    TCanvas* canvas = FBitmap->Canvas();
    const TColor background = Rgb(FSpec.Background);

    const rtl::TRect numberBand = rtl::Rect(0, l.NumberTop, w, l.NumberTop + FNumberCell);
    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(background);
    canvas->FillRect(changed(numberBand));
    const std::string number = FrameText(index, FSpec.Frames);
    SetFace(canvas, number, FNumberPixels, true);
    canvas->Font()->SetColor(TextColor);
    canvas->Brush()->SetStyle(graphics::bsClear);
    canvas->TextRect(rtl::Rect(l.Margin, numberBand.Top, w - l.Margin, numberBand.Bottom),
                     (w - canvas->TextWidth(number)) / 2, l.NumberTop, number);

    // The ball goes from one end of the track to the other in one second and back in the
    // next.
    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(background);
    canvas->FillRect(
        changed(rtl::Rect(0, l.TrackY - l.BallRadius - 1, w, l.TrackY + l.BallRadius + 2)));
    const int trackLeft = l.Margin + l.BallRadius, trackRight = w - l.Margin - l.BallRadius;
    canvas->Pen()->SetColor(TrackColor);
    canvas->Pen()->SetWidth(std::max(1, std::min(h / 200, l.BallRadius)));
    canvas->MoveTo(trackLeft, l.TrackY);
    canvas->LineTo(trackRight, l.TrackY);
    const int fps = FSpec.FramesPerSecond;
    const int phase = index % (2 * fps);
    const int leg = phase <= fps ? phase : 2 * fps - phase;
    const int ballX = trackLeft + (trackRight - trackLeft) * leg / fps;
    canvas->Pen()->SetColor(BallColor);
    canvas->Pen()->SetWidth(1);
    canvas->Brush()->SetColor(BallColor);
    canvas->Ellipse(ballX - l.BallRadius, l.TrackY - l.BallRadius, ballX + l.BallRadius + 1,
                    l.TrackY + l.BallRadius + 1);

    // Progress: the bar filled to the share of frames shown so far.
    const rtl::TRect inside =
        rtl::Rect(l.Margin + 1, l.BarTop + 1, w - l.Margin - 1, l.BarBottom - 1);
    const int filled =
        int(static_cast<long long>(inside.Right - inside.Left) * (index + 1) / FSpec.Frames);
    canvas->Brush()->SetColor(background);
    canvas->FillRect(changed(inside));
    canvas->Brush()->SetColor(BarColor);
    canvas->FillRect(rtl::Rect(inside.Left, inside.Top, inside.Left + filled, inside.Bottom));

    const TFrameCodeLayout code = FrameCodeLayout(w, h);
    changed(rtl::Rect(0, code.Top, w, code.Top + code.Square));
    for (int bit = 0; bit < TFrameCodeLayout::Bits; ++bit) {
        const int x = code.Left + bit * code.Square;
        canvas->Brush()->SetColor(Rgb((index >> bit) & 1 ? 0xFFFFFF : 0x000000));
        canvas->FillRect(rtl::Rect(x, code.Top, x + code.Square, code.Top + code.Square));
    }
    return *FBitmap;
}

} // namespace clipgen
