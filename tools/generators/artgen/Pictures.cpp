// The four pictures of the main window: a dark background for the whole window, and
// three cream cards (start, Korean and English categories), each with an illustrated
// panel on the left and its choices on the right, every choice's label lying exactly
// under the hot-spot that the running window puts there (see Layout.cpp).
#include <algorithm>
#include <cstring>

#include "rtl/Exceptions.h"
#include "tools/generators/artgen/Artgen.h"
#include "tools/generators/artgen/Output.h"
#include "tools/generators/artgen/Render.h"

namespace artgen {

using formstream::TColor;
using graphics::TBitmap;
using graphics::TCanvas;
using rtl::TPoint;
using rtl::TRect;

namespace {

// The house colours.
constexpr TColor Night = Rgb(0x1F2735), NightDeep = Rgb(0x0B0E15);
constexpr TColor Cream = Rgb(0xFAF6EF), CreamDeep = Rgb(0xEDE3D3);
constexpr TColor Gold = Rgb(0xB8925A), GoldLight = Rgb(0xD9BD8C);
constexpr TColor Ink = Rgb(0x262B36), Muted = Rgb(0x7A7368);
constexpr TColor Wine = Rgb(0x7E2F46), Paper = Rgb(0xFBF6EE);
constexpr TColor PanelTop = Rgb(0x2B3447), PanelBottom = Rgb(0x141922);

constexpr int Scale = 3;
constexpr int PanelWidth = 262;

const char* const Serif = "Liberation Serif";
const char* const Sans = "Liberation Sans";
const char* const KoreanSans = "NanumGothic";
const char* const KoreanSerif = "NanumMyeongjo";
// Texts are UTF-8, the system code page the text functions take.

enum TFigure { fgMan, fgWoman, fgChild, fgBaby };

// A stylised figure standing on `base`, `height` pixels tall, centred on `cx`; all
// coordinates in sketch pixels so that the shapes come out smooth.
void Figure(TSketch& s, int cx, int base, int height, TFigure kind, TColor body, TColor head) {
    const int k = s.Scale();
    const int x = cx * k, b = base * k, h = height * k;
    const int headD = kind == fgBaby ? h * 34 / 100 : kind == fgChild ? h * 17 / 100 : h * 13 / 100;
    const int headTop = b - h;
    auto poly = [&](std::initializer_list<TPoint> points) {
        s.PolygonSub(points.begin(), int(points.size()), body);
    };
    const int neck = headTop + headD + h / 60;
    switch (kind) {
    case fgMan: {
        const int sh = h * 15 / 100, hip = h * 10 / 100, waist = neck + h * 38 / 100;
        poly({{x - sh, neck}, {x + sh, neck}, {x + hip, waist}, {x - hip, waist}});
        poly({{x - hip, waist}, {x - h / 100, waist}, {x - h * 3 / 100, b}, {x - hip, b}});
        poly({{x + h / 100, waist}, {x + hip, waist}, {x + hip, b}, {x + h * 3 / 100, b}});
        poly({{x - sh, neck},
              {x - sh + h * 4 / 100, neck},
              {x - sh - h / 100, waist + h / 20},
              {x - sh - h * 5 / 100, waist + h / 20}});
        poly({{x + sh - h * 4 / 100, neck},
              {x + sh, neck},
              {x + sh + h * 5 / 100, waist + h / 20},
              {x + sh + h / 100, waist + h / 20}});
        break;
    }
    case fgWoman: {
        const int sh = h * 11 / 100, waist = neck + h * 26 / 100, hem = b - h * 22 / 100;
        poly({{x - sh, neck}, {x + sh, neck}, {x + h * 6 / 100, waist}, {x - h * 6 / 100, waist}});
        poly({{x - h * 6 / 100, waist},
              {x + h * 6 / 100, waist},
              {x + h * 22 / 100, hem},
              {x - h * 22 / 100, hem}});
        poly({{x - h * 6 / 100, hem},
              {x - h * 3 / 100, hem},
              {x - h * 3 / 100, b},
              {x - h * 5 / 100, b}});
        poly({{x + h * 3 / 100, hem},
              {x + h * 6 / 100, hem},
              {x + h * 5 / 100, b},
              {x + h * 3 / 100, b}});
        break;
    }
    case fgChild: {
        const int sh = h * 13 / 100, hem = neck + h * 45 / 100;
        poly({{x - sh, neck},
              {x + sh, neck},
              {x + sh + h * 3 / 100, hem},
              {x - sh - h * 3 / 100, hem}});
        poly({{x - h * 10 / 100, hem},
              {x - h * 2 / 100, hem},
              {x - h * 3 / 100, b},
              {x - h * 10 / 100, b}});
        poly({{x + h * 2 / 100, hem},
              {x + h * 10 / 100, hem},
              {x + h * 10 / 100, b},
              {x + h * 3 / 100, b}});
        break;
    }
    case fgBaby: {
        s.Ellipse(TRect{(x - h * 30 / 100) / k, (neck) / k, (x + h * 30 / 100) / k, b / k}, body);
        break;
    }
    }
    s.Ellipse(TRect{(x - headD / 2) / k, headTop / k, (x + headD / 2) / k, (headTop + headD) / k},
              head);
}

// The dark illustrated panel at the left of a card, with its figures.
void Panel(TSketch& s, int height, std::initializer_list<TFigure> figures) {
    s.Gradient(TRect{0, 0, PanelWidth, height}, PanelTop, PanelBottom);
    // A soft spotlight behind the figures.
    for (int i = 0; i < 16; ++i) {
        const int r = 124 - i * 7;
        s.Ellipse(
            TRect{PanelWidth / 2 - r, height / 2 - r + 20, PanelWidth / 2 + r, height / 2 + r + 20},
            Mix(PanelTop, Rgb(0x46506A), 30 + i * 12));
    }
    const int floor = height * 80 / 100;
    s.FillRect(TRect{24, floor, PanelWidth - 24, floor + 1}, Gold);
    const int n = int(figures.size());
    int i = 0;
    for (TFigure f : figures) {
        // Four figures stand closer and a little smaller than three.
        const int cx = 20 + (PanelWidth - 40) * (2 * i + 1) / (2 * n);
        const int tall = f == fgMan ? 210 : f == fgWoman ? 200 : f == fgChild ? 130 : 76;
        const int h = n > 3 ? tall * 78 / 100 : tall;
        const TColor body = i % 2 ? GoldLight : Rgb(0xE9DFCF);
        Figure(s, cx, floor - 2, std::min(h, floor - 40), f, body, Mix(body, Gold, 120));
        ++i;
    }
}

// The cream card with a fine gold rule at its top; a dim gold border round the whole
// picture sets it off the dark background.
void Card(TSketch& s) {
    s.Gradient(TRect{PanelWidth, 0, s.Width(), s.Height()}, Cream, CreamDeep);
    s.FillRect(TRect{PanelWidth + 12, 12, s.Width() - 12, 13}, GoldLight);
}

void Border(TSketch& s) {
    const TColor edge = Mix(Gold, PanelBottom, 110);
    const int w = s.Width(), h = s.Height();
    s.FillRect(TRect{0, 0, w, 1}, edge);
    s.FillRect(TRect{0, h - 1, w, h}, edge);
    s.FillRect(TRect{0, 0, 1, h}, edge);
    s.FillRect(TRect{w - 1, 0, w, h}, edge);
}

// The part of a hot-spot's rectangle that its label covers: all of it, except that a
// hot-spot reaching past the card's right or bottom edge (the English title does) has
// its label end LabelInset pixels inside the picture, clear of the border.
TRect LabelRect(const TRect& r, int width, int height) {
    return TRect{r.Left, r.Top, std::min(r.Right, width - LabelInset),
                 std::min(r.Bottom, height - LabelInset)};
}

// A label: a flat rounded chip under the hot-spot.
void Chip(TSketch& s, const TRect& r) {
    s.RoundRect(LabelRect(r, s.Width(), s.Height()), std::min(6, r.Height() / 3), LabelFill());
}

// The label's text, centred on the chip as drawn; a size smaller where it would come
// nearer than LabelPadding to the chip's ends.
void ChipText(TBitmap& picture, const TRect& r, const std::string& text, const char* face,
              int height) {
    TCanvas* c = picture.Canvas();
    const TRect label = LabelRect(r, picture.GetWidth(), picture.GetHeight());
    TTextStyle style{face, height, true, LabelInk()};
    while (style.Height > 8 && TextWidth(c, text, style) > label.Width() - 2 * LabelPadding)
        --style.Height;
    DrawText(c, label, text, style);
}

const THotSpot& Spot(TPictureId picture, const char* name) {
    for (const THotSpot& h : HotSpots(picture))
        if (std::strcmp(h.Name, name) == 0)
            return h;
    throw rtl::Exception(std::string("no hot-spot named ") + name);
}

// "QUILLOT" with its volume line, centred on `cx` from `top`.
void Masthead(TCanvas* c, int cx, int top, int size) {
    const TTextStyle brand{Serif, size, true, Ink};
    const int spacing = size / 4;
    const int width = SpacedWidth(c, "QUILLOT", brand, spacing);
    DrawSpaced(c, cx - width / 2, top, "QUILLOT", brand, spacing);
    const int line = top + size * 13 / 10 + 6;
    const TTextStyle vol{Serif, size * 4 / 10, false, Gold};
    DrawText(c, TRect{cx - 150, line, cx + 150, line + size / 2 + 4}, "05  ·  Vol. 1", vol);
}

std::unique_ptr<TBitmap> DrawMain() {
    const TPictureSpec& spec = PictureSpec(piMain);
    TSketch s(spec.Width, spec.Height, 2);
    s.Gradient(TRect{0, 0, spec.Width, spec.Height}, Night, NightDeep);
    // Large, faint rings of light in the corners that stay visible around the cards.
    const struct {
        int X, Y, R, Strength;
    } glows[] = {{140, 900, 260, 26}, {1150, 160, 300, 22}, {1210, 860, 180, 16}};
    for (const auto& g : glows)
        for (int i = 0; i < 32; ++i) {
            const int r = g.R - i * g.R / 32;
            const TColor base = Mix(Night, NightDeep, g.Y * 255 / spec.Height);
            s.Ellipse(TRect{g.X - r, g.Y - r, g.X + r, g.Y + r},
                      Mix(base, Rgb(0x3A4660), g.Strength * (i + 1) * 255 / (32 * 100)));
        }
    s.FillRect(TRect{48, 104, 248, 105}, Gold);
    s.FillRect(TRect{48, 934, 248, 935}, Mix(Gold, NightDeep, 100));
    auto out = s.Reduce();
    TCanvas* c = out->Canvas();
    DrawSpaced(c, 48, 40, "QUILLOT", TTextStyle{Serif, 34, true, GoldLight}, 8);
    DrawTextAt(c, 50, 114, "05  ·  Vol. 1", TTextStyle{Serif, 16, false, Rgb(0xC9C2B4)});
    DrawTextAt(c, 48, 944, "Style Catalogue", TTextStyle{Sans, 13, false, Rgb(0x8E96A6)});
    DrawTextAt(c, 160, 944, "스타일 카탈로그", TTextStyle{KoreanSans, 13, false, Rgb(0x8E96A6)});
    return out;
}

std::unique_ptr<TBitmap> DrawStart() {
    const TPictureSpec& spec = PictureSpec(piStart);
    TSketch s(spec.Width, spec.Height, Scale);
    Card(s);
    Panel(s, spec.Height, {fgWoman, fgMan, fgChild});
    Border(s);
    const TRect kor = Spot(piStart, "b_korean").Rect, eng = Spot(piStart, "b_english").Rect;
    const int cx = (kor.Left + eng.Right) / 2;
    s.FillRect(TRect{cx - 60, 196, cx + 60, 197}, Gold);
    s.FillRect(TRect{cx - 90, 350, cx + 90, 351}, GoldLight);
    Chip(s, kor);
    Chip(s, eng);
    auto out = s.Reduce();
    TCanvas* c = out->Canvas();
    Masthead(c, cx, 70, 46);
    DrawText(c, TRect{cx - 170, 214, cx + 170, 238}, "Style Catalogue",
             TTextStyle{Serif, 20, false, Ink});
    DrawText(c, TRect{cx - 170, 244, cx + 170, 268}, "스타일 카탈로그",
             TTextStyle{KoreanSerif, 18, false, Ink});
    DrawText(c, TRect{cx - 170, 318, cx + 170, 338}, "언어를 선택하세요",
             TTextStyle{KoreanSans, 14, false, Muted});
    DrawText(c, TRect{cx - 170, 358, cx + 170, 376}, "Choose your language",
             TTextStyle{Sans, 13, false, Muted});
    ChipText(*out, kor, "한국어", KoreanSans, 15);
    ChipText(*out, eng, "English", Sans, 15);
    DrawText(c, TRect{PanelWidth + 20, spec.Height - 44, spec.Width - 20, spec.Height - 26},
             "Quillot 05 Vol. 1", TTextStyle{Sans, 11, false, Muted});
    return out;
}

struct TCategoryText {
    const char* Heading;
    const char* HeadingFace;
    const char* Lines[2];
    const char* LineFace;
    const char* Title;
    const char* Choices[4]; // man, woman, child, baby
    const char* ChoiceFace;
    int ChoiceHeight;
};

const TCategoryText KoreanText = {
    "카테고리를 선택하세요",
    KoreanSerif,
    {"보고 싶은 스타일을 고르면", "패션쇼 영상이 시작됩니다."},
    KoreanSans,
    "전체 컬렉션 보기",
    {"남성", "여성", "아동", "유아"},
    KoreanSans,
    12,
};

const TCategoryText EnglishText = {
    "Choose a category",
    Serif,
    {"Pick a line to start", "its runway show."},
    Sans,
    "View the whole collection",
    {"Men", "Women", "Kids", "Baby"},
    Sans,
    11,
};

std::unique_ptr<TBitmap> DrawCategory(TPictureId picture) {
    const bool korean = picture == piSelect;
    const TCategoryText& text = korean ? KoreanText : EnglishText;
    const TPictureSpec& spec = PictureSpec(picture);
    TSketch s(spec.Width, spec.Height, Scale);
    Card(s);
    Panel(s, spec.Height, {fgMan, fgWoman, fgChild, fgBaby});
    Border(s);
    const std::span<const THotSpot> spots = HotSpots(picture);
    const TRect title = spots[0].Rect;
    const int cx = PanelWidth + (spec.Width - PanelWidth) / 2;
    s.FillRect(TRect{cx - 60, 170, cx + 60, 171}, Gold);
    for (const THotSpot& h : spots)
        Chip(s, h.Rect);
    auto out = s.Reduce();
    TCanvas* c = out->Canvas();
    Masthead(c, cx, 52, 34);
    DrawText(c, TRect{cx - 180, 196, cx + 180, 226}, text.Heading,
             TTextStyle{text.HeadingFace, 24, true, Ink});
    for (int i = 0; i < 2; ++i)
        DrawText(c, TRect{cx - 180, 262 + 24 * i, cx + 180, 284 + 24 * i}, text.Lines[i],
                 TTextStyle{text.LineFace, 15, false, Muted});
    ChipText(*out, title, text.Title, korean ? KoreanSans : Sans, 16);
    // Hot-spots after the title: man, woman, child, baby.
    for (std::size_t i = 1; i < spots.size(); ++i)
        ChipText(*out, spots[i].Rect, text.Choices[i - 1], text.ChoiceFace, text.ChoiceHeight);
    return out;
}

} // namespace

TColor LabelFill() {
    return Wine;
}

TColor LabelInk() {
    return Paper;
}

std::unique_ptr<TBitmap> DrawPicture(TPictureId picture) {
    switch (picture) {
    case piMain:
        return DrawMain();
    case piStart:
        return DrawStart();
    case piSelect:
    case piSelectEng:
        return DrawCategory(picture);
    }
    return nullptr;
}

std::string PictureGif(TPictureId picture) {
    std::unique_ptr<TBitmap> drawing = DrawPicture(picture);
    std::unique_ptr<TBitmap> indexed = ToIndexed(*drawing);
    return EncodeGif(*indexed);
}

void WritePictures(const std::string& dir) {
    for (TPictureId p : {piMain, piStart, piSelect, piSelectEng})
        WriteFile(dir + "/" + PictureSpec(p).File, PictureGif(p));
}

} // namespace artgen
