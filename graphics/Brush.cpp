#include "graphics/Brush.h"

#include "graphics/Colors.h"

namespace graphics {

using namespace formstream;

constinit const TPropInfo TBrush::Published[] = {
    Prop<&TBrush::Color, &TBrush::SetColor>("Color", Default(clWhite)),
    Prop<&TBrush::Style, &TBrush::SetStyle>("Style", Default(bsSolid)),
};
constinit const TClassInfo TBrush::ClassInfo =
    ClassInfoOf<TBrush, TGraphicsObject>("TBrush", TBrush::Published);

void TBrush::SetColor(TColor value) {
    if (value != FColor || FStyle == bsClear) {
        FColor = value;
        if (FStyle == bsClear)
            FStyle = bsSolid;
        Changed();
    }
}

void TBrush::SetStyle(TBrushStyle value) {
    if (value != FStyle) {
        FStyle = value;
        Changed();
    }
}

HGDIOBJ TBrush::CreateStyleHandle() const {
    LOGBRUSH lb{};
    lb.lbColor = ColorToRGB(FColor);
    switch (FStyle) {
    case bsSolid:
        lb.lbStyle = BS_SOLID;
        break;
    case bsClear:
        lb.lbStyle = BS_HOLLOW;
        break;
    default:
        lb.lbStyle = BS_HATCHED;
        lb.lbHatch = ULONG_PTR(int(FStyle) - int(bsHorizontal) + HS_HORIZONTAL);
        break;
    }
    return reinterpret_cast<HGDIOBJ>(CreateBrushIndirect(&lb));
}

} // namespace graphics
