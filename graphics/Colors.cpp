#include "graphics/Colors.h"

namespace graphics {

COLORREF ColorToRGB(TColor color) {
    const std::uint32_t v = formstream::ColorValue(color);
    if (v & formstream::clSystemColor)
        return GetSysColor(int(v & 0xFF));
    return v & 0xFFFFFF;
}

COLORREF ColorToRGBOrSpecial(TColor color) {
    if (color == clNone)
        return CLR_NONE;
    if (color == clDefault)
        return CLR_DEFAULT;
    return ColorToRGB(color);
}

BYTE GrayLevel(COLORREF rgb) {
    return BYTE((GetRValue(rgb) * 77 + GetGValue(rgb) * 150 + GetBValue(rgb) * 29) >> 8);
}

} // namespace graphics
