#include "graphics/Canvas.h"
#include "ui/ExtCtrls.h"

namespace ui {

using namespace formstream;

rtl::TRect ImageDestRect(int w, int h, int cw, int ch, bool stretch, bool proportional,
                         bool center) {
    int width = w, height = h;
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w > 0 && h > 0) {
            const double ratio = double(w) / double(h);
            if (w > h) {
                width = cw;
                height = int(double(cw) / ratio);
                if (height > ch) {
                    height = ch;
                    width = int(ratio * double(ch));
                }
            } else {
                height = ch;
                width = int(ratio * double(ch));
                if (width > cw) {
                    width = cw;
                    height = int(double(cw) / ratio);
                }
            }
        } else {
            width = cw;
            height = ch;
        }
    }
    int left = 0, top = 0;
    if (center) {
        left = (cw - width) / 2;
        top = (ch - height) / 2;
    }
    return rtl::Bounds(left, top, width, height);
}

constinit const TPropInfo TImage::Published[] = {
    Prop<&TImage::AutoSize, &TImage::SetAutoSize>("AutoSize", Default(false)),
    Prop<&TImage::Center, &TImage::SetCenter>("Center", Default(false)),
    Prop<&TImage::IncrementalDisplay, &TImage::SetIncrementalDisplay>("IncrementalDisplay",
                                                                      Default(false)),
    Prop<&TImage::Picture, &TImage::SetPicture>("Picture"),
    Prop<&TImage::Proportional, &TImage::SetProportional>("Proportional", Default(false)),
    Prop<&TImage::Stretch, &TImage::SetStretch>("Stretch", Default(false)),
    Prop<&TImage::Transparent, &TImage::SetTransparent>("Transparent", Default(false)),
    Prop<&TImage::OnProgress, &TImage::OnProgress>("OnProgress"),
};
constinit const TClassInfo TImage::ClassInfo =
    ClassInfoOf<TImage, TGraphicControl>("TImage", TImage::Published);

TImage::TImage(TComponent* owner) : TGraphicControl(owner), FPicture(new TPicture) {
    FControlStyle.Include(csReplicatable);
    FPicture->OnChange = TNotifyEvent::Of<&TImage::PictureChanged>(this);
    FPicture->OnProgress = TProgressEvent::Of<&TImage::PictureProgress>(this);
    FWidth = 105;
    FHeight = 105;
}

TImage::~TImage() = default;

void TImage::SetPicture(TPicture* value) {
    FPicture->Assign(value);
}

void TImage::SetAutoSize(bool value) {
    if (FAutoSize == value)
        return;
    FAutoSize = value;
    if (value)
        PictureChanged(this);
}

void TImage::SetCenter(bool value) {
    if (FCenter == value)
        return;
    FCenter = value;
    PictureChanged(this);
}

void TImage::SetStretch(bool value) {
    if (FStretch == value)
        return;
    FStretch = value;
    PictureChanged(this);
}

void TImage::SetProportional(bool value) {
    if (FProportional == value)
        return;
    FProportional = value;
    PictureChanged(this);
}

void TImage::SetTransparent(bool value) {
    if (FTransparent == value)
        return;
    FTransparent = value;
    PictureChanged(this);
}

rtl::TRect TImage::DestRect() const {
    return ImageDestRect(FPicture->Width(), FPicture->Height(), ClientWidth(), ClientHeight(),
                         FStretch, FProportional, FCenter);
}

void TImage::PictureChanged(TObject*) {
    if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0)
        SetBounds(FLeft, FTop, FPicture->Width(), FPicture->Height());
    if (TGraphic* g = FPicture->Graphic()) {
        const std::string_view cls = g->ClassName();
        // Setting the flag signals a change, which comes back here once with nothing to do.
        if (cls != "TMetafile" && cls != "TIcon" && g->Transparent() != FTransparent)
            g->SetTransparent(FTransparent);
        if (!g->Transparent() && FStretch && !FProportional)
            FControlStyle.Include(csOpaque);
        else
            FControlStyle.Exclude(csOpaque);
    } else {
        FControlStyle.Exclude(csOpaque);
    }
    DoPaletteChange();
    if (!FDrawing)
        Invalidate();
}

bool TImage::DoPaletteChange() {
    TGraphic* g = FPicture->Graphic();
    if (!FVisible || IsLoading() || !g || !g->PaletteModified())
        return false;
    g->SetPaletteModified(false);
    if (!g->GetPalette())
        return false;
    // The screen is true colour: realising the palette only maps indices, so the image
    // is simply brought up to date.
    if (!FDrawing)
        Update();
    return true;
}

void TImage::PictureProgress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                             bool redrawNow, const rtl::TRect& r, const std::string& msg) {
    if (FIncrementalDisplay && redrawNow) {
        if (DoPaletteChange())
            Update();
        else
            Repaint();
    }
    OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}

void TImage::Paint() {
    TGraphic* g = FPicture->Graphic();
    if (!g || FWidth <= 0 || FHeight <= 0)
        return;
    const bool wasDrawing = FDrawing;
    FDrawing = true;
    struct TDone {
        bool& Flag;
        bool Old;
        ~TDone() { Flag = Old; }
    } done{FDrawing, wasDrawing};
    Canvas()->StretchDraw(DestRect(), g);
}

} // namespace ui
