// The arithmetic of the main window's layout on resize, apart from the controls it moves.
//
// The background control is stretched to the window (height first, then width); the clip
// frame, the start picture and the two category pictures are centred on it, and every
// hot-spot and button sits at a fixed offset from the invisible anchor `control`. Halving
// truncates toward zero, so a window smaller than the content gives negative positions
// that are halved as signed numbers (half(-9) is -4).
#pragma once

#include <array>
#include <string_view>

namespace app {

constexpr int Half(int x) {
    return x / 2; // C++ division truncates toward zero
}

// Outer size to the background control's size.
constexpr int BackgroundWidth(int outerWidth) {
    return outerWidth - 9;
}
constexpr int BackgroundHeight(int outerHeight) {
    return outerHeight - 36;
}

struct TSize {
    int Width = 0;
    int Height = 0;
};

// Sizes of the controls that are centred, as they stand on the window.
struct TLayoutSizes {
    TSize Control;
    TSize Start;
    TSize ShowPanel;
    TSize SelectImage; // the Korean category picture; the English one is centred with it
};

struct TPlacement {
    std::string_view Name; // component moved
    int Left = 0;
    int Top = 0;
};

inline constexpr std::size_t LayoutRowCount = 19;
using TLayoutRows = std::array<TPlacement, LayoutRowCount>;

// The rows after the background's size, in the order the window applies them; mw and mh
// are the background control's width and height as they stand after it was sized.
TLayoutRows ComputeLayout(int mw, int mh, const TLayoutSizes& sizes);

} // namespace app
