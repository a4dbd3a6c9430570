// The members of TBrush that handle its pattern bitmap. They live apart from the brush's
// colour and style because they need the whole bitmap class, which sits above the canvas
// and so above the brush; the brush itself only declares TBitmap.
#include "graphics/Bitmap.h"
#include "graphics/Brush.h"

namespace graphics {

using namespace formstream;

TBrush::TBrush() = default;
TBrush::~TBrush() = default;

void TBrush::Assign(TPersistent* source) {
    if (auto* brush = DynCast<TBrush>(source)) {
        FColor = brush->FColor;
        FStyle = brush->FStyle;
        if (brush->FBitmap) {
            FBitmap.reset(new TBitmap());
            FBitmap->Assign(brush->FBitmap.get());
        } else {
            FBitmap.reset();
        }
        Changed();
        return;
    }
    TGraphicsObject::Assign(source);
}

void TBrush::SetBitmap(TBitmap* value) {
    if (value) {
        FBitmap.reset(new TBitmap());
        FBitmap->Assign(value);
    } else {
        FBitmap.reset();
    }
    Changed();
}

HGDIOBJ TBrush::CreateGdiHandle() {
    if (FBitmap && !FBitmap->Empty())
        return reinterpret_cast<HGDIOBJ>(CreatePatternBrush(FBitmap->Handle()));
    return CreateStyleHandle();
}

} // namespace graphics
