#include "gif/GifTypes.h"

#include "gif/GifConsts.h"
#include "rtl/Exceptions.h"

namespace gif {

using namespace formstream;

bool GIFLoadCorrupted = true;

std::string_view GIFVersionName(TGIFVersion version) {
    switch (version) {
    case gv87a:
        return "87a";
    case gv89a:
        return "89a";
    default:
        return "";
    }
}

int FindColorIndex(const TGIFColorTable& table, TColor color) {
    const std::uint32_t v = ColorValue(color);
    if (v > 0xFFFFFF)
        return -1;
    const int n = table.Count < 0 ? 0 : (table.Count > 256 ? 256 : table.Count);
    for (int i = 0; i < n; ++i)
        if (ColorValue(ColorOf(table.Colors[i])) == v)
            return i;
    return -1;
}

static std::uint8_t GrayOf(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return std::uint8_t((r * 77 + g * 150 + b * 29) >> 8);
}

TColor GrayColor(TColor color) {
    const std::uint32_t v = ColorValue(color);
    const std::uint32_t g = GrayOf(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    return MakeColor(g | g << 8 | g << 16);
}

void GrayColorItem(TGIFColorItem& item) {
    const std::uint8_t g = GrayOf(item.Red, item.Green, item.Blue);
    item = {g, g, g};
}

int ColorCountToBits(int count) {
    for (int b = 1; b <= 8; ++b)
        if (count == (1 << b))
            return b;
    throw rtl::EInvalidGraphicOperation(SWrongGIFColors);
}

constinit const TClassInfo TExtension::ClassInfo =
    ClassInfoOf<TExtension, TPersistent>("TExtension");

void TExtension::Assign(TPersistent* source) {
    if (auto* ext = DynCast<TExtension>(source)) {
        if (ext == this)
            return;
        ExtType = ext->ExtType;
        ExtRec = ext->ExtRec;
        if (!Data)
            Data = std::make_unique<rtl::TStringList>();
        if (ext->Data)
            Data->Assign(*ext->Data);
        else
            Data->Clear();
        return;
    }
    TPersistent::Assign(source);
}

} // namespace gif
