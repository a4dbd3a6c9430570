#include "graphics/Pen.h"

#include "graphics/Colors.h"

namespace graphics {

using namespace formstream;

constinit const TPropInfo TPen::Published[] = {
    Prop<&TPen::Color, &TPen::SetColor>("Color", Default(clBlack)),
    Prop<&TPen::Mode, &TPen::SetMode>("Mode", Default(pmCopy)),
    Prop<&TPen::Style, &TPen::SetStyle>("Style", Default(psSolid)),
    Prop<&TPen::Width, &TPen::SetWidth>("Width", Default(1)),
};
constinit const TClassInfo TPen::ClassInfo =
    ClassInfoOf<TPen, TGraphicsObject>("TPen", TPen::Published);

int PenModeToRop2(TPenMode mode) {
    static constexpr int rop2[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                                   R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                   R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                                   R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return unsigned(mode) < std::size(rop2) ? rop2[mode] : R2_COPYPEN;
}

void TPen::Assign(TPersistent* source) {
    if (auto* pen = DynCast<TPen>(source)) {
        FColor = pen->FColor;
        FMode = pen->FMode;
        FStyle = pen->FStyle;
        FWidth = pen->FWidth;
        Changed();
        return;
    }
    TGraphicsObject::Assign(source);
}

void TPen::SetColor(TColor value) {
    if (value != FColor) {
        FColor = value;
        Changed();
    }
}

void TPen::SetMode(TPenMode value) {
    if (value != FMode) {
        FMode = value;
        Changed();
    }
}

void TPen::SetStyle(TPenStyle value) {
    if (value != FStyle) {
        FStyle = value;
        Changed();
    }
}

void TPen::SetWidth(int value) {
    if (value >= 0 && value != FWidth) {
        FWidth = value;
        Changed();
    }
}

HGDIOBJ TPen::CreateGdiHandle() {
    static constexpr int styles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                     PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    const int style = unsigned(FStyle) < std::size(styles) ? styles[FStyle] : PS_SOLID;
    return reinterpret_cast<HGDIOBJ>(CreatePen(style, FWidth, ColorToRGB(FColor)));
}

} // namespace graphics
