#include "tools/generators/artgen/Layout.h"

#include <array>

namespace artgen {

namespace {

// Stored sizes of the window definition that the layout reads.
constexpr int ControlWidth = 700, ControlHeight = 628;
constexpr int StartWidth = 650, StartHeight = 504;
constexpr int SelectWidth = 650, SelectHeight = 491;

// Nominal frame of a sizeable window with caption: 4 pixels on every side and a 26-pixel
// caption. The resize handler only reads the outer size, though.

struct THotSpotOffset {
    const char* Name;
    TPictureId Picture;
    int Dx, Dy;        // from the anchor control, as the resize handler places it
    int Width, Height; // stored size
};

constexpr THotSpotOffset Offsets[] = {
    {"b_korean", piStart, 326, 448, 144, 29},
    {"b_english", piStart, 493, 448, 147, 29},
    {"title", piSelect, 396, 456, 276, 34},
    {"manImage", piSelect, 369, 507, 45, 18},
    {"womanImage", piSelect, 521, 507, 66, 18},
    {"childbabyImage", piSelect, 369, 535, 50, 18},
    {"childbabyImage1", piSelect, 521, 535, 53, 17},
    {"title_eng", piSelectEng, 409, 461, 268, 32},
    {"manImage_eng", piSelectEng, 457, 504, 40, 16},
    {"womanImage_eng", piSelectEng, 563, 504, 58, 16},
    {"childbabyImage_eng", piSelectEng, 457, 523, 46, 16},
    {"childbabyImage1_eng", piSelectEng, 563, 523, 50, 16},
};

constexpr TPictureSpec Specs[] = {
    {"MainImage.gif", 1280, 1024},
    {"start.gif", StartWidth, StartHeight},
    {"SelectImage.gif", SelectWidth, SelectHeight},
    {"SelectImage_eng.gif", 650, 484},
};

} // namespace

// The resize handler: the background control gets the outer size less 9 by 36, the anchor
// and the pictures are centred on it (the English category picture with the Korean one's
// size), and the hot-spots follow the anchor.
TRunLayout RunLayout(int outerWidth, int outerHeight) {
    TRunLayout l;
    l.MainHeight = outerHeight - 36;
    l.MainWidth = outerWidth - 9;
    l.Control = {Half(l.MainWidth - ControlWidth), Half(l.MainHeight - ControlHeight)};
    l.Start = {Half(l.MainWidth - StartWidth), Half(l.MainHeight - StartHeight)};
    l.Select = {Half(l.MainWidth - SelectWidth), Half(l.MainHeight - SelectHeight)};
    return l;
}

// A maximised top-level window covers the whole screen, frame included, so its outer size
// is the screen's, 1280 by 1024 (its client area is 1272 by 990). Then:
//   background 1271 by 988; anchor at (half(571), half(360)) = (285, 180);
//   start picture at (half(621), half(484)) = (310, 242);
//   category pictures at (half(621), half(497)) = (310, 248).
// A hot-spot at offset (dx, dy) from the anchor lies in its picture at
// (285 + dx - 310, 180 + dy - top), top being 242 or 248: b_korean (326, 448) at
// (301, 386), title (396, 456) at (371, 388), title_eng (409, 461) at (384, 393), and
// so on. These differ by a few pixels from the stored design positions (b_korean's
// design place in the start picture is (298, 381)).
// At other sizes the pictures keep these distances to the anchor (25, 62 for the start
// picture, 25, 68 for the category pictures), except that the category hot-spots come
// one pixel higher on their picture when the background's height is odd (half(MH - 491)
// then loses no half pixel while half(MH - 628) does).
TRunLayout MaximisedLayout() {
    return RunLayout(ScreenWidth, ScreenHeight);
}

std::span<const THotSpot> HotSpots(TPictureId picture) {
    static const auto table = [] {
        std::array<std::array<THotSpot, 5>, 4> spots{};
        std::array<std::size_t, 4> counts{};
        const TRunLayout l = MaximisedLayout();
        for (const THotSpotOffset& o : Offsets) {
            const rtl::TPoint origin = o.Picture == piStart ? l.Start : l.Select;
            const int x = l.Control.X + o.Dx - origin.X;
            const int y = l.Control.Y + o.Dy - origin.Y;
            spots[o.Picture][counts[o.Picture]++] = {o.Name, rtl::Bounds(x, y, o.Width, o.Height)};
        }
        return std::pair(spots, counts);
    }();
    return std::span<const THotSpot>(table.first[picture].data(), table.second[picture]);
}

const TPictureSpec& PictureSpec(TPictureId picture) {
    return Specs[picture];
}

} // namespace artgen
