// Colour helpers: TColor values to the drawing system's COLORREF and back. A TColor holds
// red in its low byte, then green, then blue; a system colour is 0x80000000 plus the
// system colour index; clNone (0x1FFFFFFF) means no colour and clDefault (0x20000000) the
// default colour of whatever is drawn.
#pragma once

#include "formstream/IdentTypes.h"
#include "platform/wingdi.h"

namespace graphics {

using formstream::clDefault;
using formstream::clNone;
using formstream::TColor;

// System colours through GetSysColor; other values keep their low three bytes.
COLORREF ColorToRGB(TColor color);
// clNone and clDefault give CLR_NONE and CLR_DEFAULT, others as ColorToRGB.
COLORREF ColorToRGBOrSpecial(TColor color);
constexpr TColor RGBToColor(COLORREF rgb) {
    return formstream::MakeColor(rgb & 0xFFFFFF);
}
// The grey level (red * 77 + green * 150 + blue * 29) >> 8 of a colour.
BYTE GrayLevel(COLORREF rgb);

} // namespace graphics
