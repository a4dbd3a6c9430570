#include "graphics/Colors.h"
#include "graphics/TransparentDraw.h"
#include "ui/Buttons.h"

namespace ui {

using namespace formstream;

constinit const TPropInfo TSpeedButton::Published[] = {
    Prop<&TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp>("AllowAllUp", Default(false)),
    Prop<&TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex>("GroupIndex", Default(0)),
    Prop<&TSpeedButton::Down, &TSpeedButton::SetDown>("Down", Default(false)),
    Prop<&TSpeedButton::Flat, &TSpeedButton::SetFlat>("Flat", Default(false)),
    Prop<&TSpeedButton::Glyph, &TSpeedButton::SetGlyph>("Glyph"),
    Prop<&TSpeedButton::Layout, &TSpeedButton::SetLayout>("Layout", Default(blGlyphLeft)),
    Prop<&TSpeedButton::Margin, &TSpeedButton::SetMargin>("Margin", Default(-1)),
    Prop<&TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs>("NumGlyphs", Default(1)),
    Prop<&TSpeedButton::Spacing, &TSpeedButton::SetSpacing>("Spacing", Default(4)),
    Prop<&TSpeedButton::Transparent, &TSpeedButton::SetTransparent>("Transparent", Default(true)),
};
constinit const TClassInfo TSpeedButton::ClassInfo =
    ClassInfoOf<TSpeedButton, TGraphicControl>("TSpeedButton", TSpeedButton::Published);

TSpeedButton::TSpeedButton(TComponent* owner)
    : TGraphicControl(owner), FGlyph(new graphics::TBitmap) {
    FGlyph->OnChange = TNotifyEvent::Of<&TSpeedButton::GlyphChanged>(this);
    FWidth = 23;
    FHeight = 22;
    FControlStyle = {csCaptureMouse, csDoubleClicks};
    FParentFont = true;
    FColor = clBtnFace;
    FParentColor = false;
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::Loaded() {
    TGraphicControl::Loaded();
    FState = Enabled() ? (FDown && FGroupIndex != 0 ? bsExclusive : bsUp) : bsDisabled;
}

bool TSpeedButton::IsInside(int x, int y) const {
    // The row just below the button still counts as inside.
    return x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled())
        return;
    if (!FDown) {
        FState = bsDown;
        Invalidate();
    }
    FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!FDragging)
        return;
    TButtonState newState = FDown ? bsExclusive : bsUp;
    if (IsInside(x, y))
        newState = FDown ? bsExclusive : bsDown;
    if (newState != FState) {
        FState = newState;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!FDragging || button != mbLeft)
        return;
    FDragging = false;
    const bool doClick = IsInside(x, y);
    if (FGroupIndex == 0) {
        const TButtonState old = FState;
        FState = bsUp;
        FMouseInControl = false;
        if (old != FState)
            Invalidate();
    } else if (doClick) {
        SetDown(!FDown);
        if (FDown)
            Invalidate();
    } else {
        if (FDown)
            FState = bsExclusive;
        Invalidate();
    }
    if (doClick)
        Click();
}

void TSpeedButton::Click() {
    TGraphicControl::Click();
}

void TSpeedButton::MouseEnter() {
    FMouseInControl = true;
    if (FFlat && Enabled())
        Invalidate();
}

void TSpeedButton::MouseLeave() {
    FMouseInControl = false;
    if (FFlat && Enabled())
        Invalidate();
}

void TSpeedButton::CancelMode() {
    if (!FDragging)
        return;
    FDragging = false;
    FState = FDown ? bsExclusive : bsUp;
    Invalidate();
}

void TSpeedButton::EnabledChanged() {
    if (!Enabled()) {
        FDragging = false;
        FState = bsDisabled;
    } else if (FState == bsDisabled) {
        FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
    }
    Invalidate();
}

void TSpeedButton::SetDown(bool value) {
    if (FGroupIndex == 0)
        value = false;
    if (value == FDown)
        return;
    if (FDown && !FAllowAllUp)
        return; // a group keeps one button down
    FDown = value;
    if (value) {
        FState = bsExclusive;
    } else {
        FState = bsUp;
    }
    Invalidate();
    if (value)
        UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int value) {
    if (FGroupIndex == value)
        return;
    FGroupIndex = value;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool value) {
    if (FAllowAllUp == value)
        return;
    FAllowAllUp = value;
    UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
    if (FGroupIndex == 0 || !FParent)
        return;
    for (int i = 0; i < FParent->ControlCount(); ++i)
        if (auto* other = DynCast<TSpeedButton>(FParent->Controls(i)))
            if (other != this)
                other->ButtonPressed(FGroupIndex, this);
}

void TSpeedButton::ButtonPressed(int groupIndex, TSpeedButton* sender) {
    if (groupIndex != FGroupIndex)
        return;
    if (sender->FDown && FDown) {
        FDown = false;
        FState = bsUp;
        Invalidate();
    }
    FAllowAllUp = sender->FAllowAllUp;
}

void TSpeedButton::SetFlat(bool value) {
    FFlat = value;
    Invalidate();
}

void TSpeedButton::SetGlyph(graphics::TBitmap* value) {
    FGlyph->Assign(value);
}

void TSpeedButton::GlyphChanged(TObject*) {
    if (FGlyph->Width() > 0 && FGlyph->Height() > 0 && FGlyph->Width() % FGlyph->Height() == 0) {
        const int glyphs = FGlyph->Width() / FGlyph->Height();
        if (glyphs >= 1 && glyphs <= 4)
            FNumGlyphs = glyphs;
    }
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int value) {
    FNumGlyphs = value < 1 ? 1 : value > 4 ? 4 : value;
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
    FLayout = value;
    Invalidate();
}
void TSpeedButton::SetMargin(int value) {
    FMargin = value < -1 ? -1 : value;
    Invalidate();
}
void TSpeedButton::SetSpacing(int value) {
    FSpacing = value < -1 ? -1 : value;
    Invalidate();
}
void TSpeedButton::SetTransparent(bool value) {
    FTransparent = value;
    Invalidate();
}

void TSpeedButton::LayoutContent(const rtl::TRect& client, rtl::TPoint offset,
                                 rtl::TRect& glyphRect, rtl::TRect& textRect) {
    const int cw = client.Width(), ch = client.Height();
    int gw = 0, gh = 0;
    if (!FGlyph->Empty()) {
        gw = FGlyph->Width() / FNumGlyphs;
        gh = FGlyph->Height();
    }
    rtl::TPoint text{0, 0};
    if (!FText.empty())
        text = Canvas()->TextExtent(FText);
    const bool horizontal = FLayout == blGlyphLeft || FLayout == blGlyphRight;
    rtl::TPoint glyphPos{0, 0}, textPos{0, 0};
    if (horizontal) {
        glyphPos.Y = (ch - gh + 1) / 2;
        textPos.Y = (ch - text.Y + 1) / 2;
    } else {
        glyphPos.X = (cw - gw + 1) / 2;
        textPos.X = (cw - text.X + 1) / 2;
    }
    int spacing = FSpacing, margin = FMargin;
    if (FText.empty() || gw == 0)
        spacing = 0;
    const int extent = horizontal ? cw : ch;
    const int glyphSize = horizontal ? gw : gh;
    const int textSize = horizontal ? text.X : text.Y;
    if (margin == -1) {
        if (spacing == -1) {
            const int total = glyphSize + textSize;
            margin = (extent - total) / 3;
            spacing = margin;
        } else {
            const int total = glyphSize + spacing + textSize;
            margin = (extent - total + 1) / 2;
        }
    } else if (spacing == -1) {
        const int total = extent - (margin + glyphSize);
        spacing = (total - textSize) / 2;
    }
    switch (FLayout) {
    case blGlyphLeft:
        glyphPos.X = margin;
        textPos.X = glyphPos.X + gw + spacing;
        break;
    case blGlyphRight:
        glyphPos.X = cw - margin - gw;
        textPos.X = glyphPos.X - spacing - text.X;
        break;
    case blGlyphTop:
        glyphPos.Y = margin;
        textPos.Y = glyphPos.Y + gh + spacing;
        break;
    case blGlyphBottom:
        glyphPos.Y = ch - margin - gh;
        textPos.Y = glyphPos.Y - spacing - text.Y;
        break;
    }
    const int dx = client.Left + offset.X, dy = client.Top + offset.Y;
    glyphRect = rtl::Bounds(glyphPos.X + dx, glyphPos.Y + dy, gw, gh);
    textRect = rtl::Bounds(textPos.X + dx, textPos.Y + dy, text.X, text.Y);
}

rtl::TRect TSpeedButton::CaptionRect() {
    rtl::TRect face = ClientRect();
    if (!FFlat) {
        RECT r{face.Left, face.Top, face.Right, face.Bottom};
        // The face inside a push-button frame: two pixels on every side.
        ::InflateRect(&r, -2, -2);
        face = rtl::Rect(r.left, r.top, r.right, r.bottom);
    } else {
        face = rtl::Rect(face.Left + 1, face.Top + 1, face.Right - 1, face.Bottom - 1);
    }
    const bool pushed = FState == bsDown || FState == bsExclusive;
    Canvas()->SetFont(Font());
    rtl::TRect glyph, text;
    LayoutContent(face, pushed ? rtl::TPoint{1, 1} : rtl::TPoint{0, 0}, glyph, text);
    return text;
}

void TSpeedButton::DrawGlyph(const rtl::TRect& rect) {
    if (FGlyph->Empty() || rect.IsEmpty())
        return;
    int index = 0;
    switch (FState) {
    case bsDisabled:
        index = FNumGlyphs > 1 ? 1 : 0;
        break;
    case bsDown:
        index = FNumGlyphs > 2 ? 2 : 0;
        break;
    case bsExclusive:
        index = FNumGlyphs > 3 ? 3 : 0;
        break;
    default:
        break;
    }
    const int w = rect.Width(), h = rect.Height();
    const rtl::TRect source = rtl::Bounds(index * w, 0, w, h);
    const TColor transparent = FGlyph->TransparentColor();
    graphics::TCanvas* canvas = Canvas();
    if (FState == bsDisabled && FNumGlyphs < 2) {
        // No image of its own for the disabled state: an engraved outline of the glyph.
        const TColor key = graphics::RGBToColor(graphics::ColorToRGB(transparent));
        for (int pass = 0; pass < 2; ++pass) {
            const COLORREF ink = graphics::ColorToRGB(pass == 0 ? clBtnHighlight : clBtnShadow);
            const int shift = pass == 0 ? 1 : 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const TColor c = FGlyph->Canvas()->Pixels(source.Left + x, y);
                    if (graphics::RGBToColor(graphics::ColorToRGB(c)) == key)
                        continue;
                    if (graphics::GrayLevel(graphics::ColorToRGB(c)) > 192)
                        continue;
                    ::SetPixelV(canvas->Handle(), rect.Left + x + shift, rect.Top + y + shift, ink);
                }
        }
        return;
    }
    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(FColor);
    if (FTransparent || FFlat)
        canvas->Brush()->SetStyle(graphics::bsClear);
    graphics::StretchBitmapRectTransparent(canvas, rect.Left, rect.Top, w, h, FGlyph.get(), source,
                                           transparent);
}

void TSpeedButton::Paint() {
    if (!Enabled()) {
        FState = bsDisabled;
        FDragging = false;
    } else if (FState == bsDisabled) {
        FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
    }
    graphics::TCanvas* canvas = Canvas();
    canvas->SetFont(Font());
    const rtl::TRect client = ClientRect();
    RECT face{client.Left, client.Top, client.Right, client.Bottom};
    const bool pushed = FState == bsDown || FState == bsExclusive;
    HDC dc = canvas->Handle();
    if (!FFlat) {
        UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
        if (pushed)
            flags |= DFCS_PUSHED;
        ::DrawFrameControl(dc, &face, DFC_BUTTON, flags);
        if (FState == bsExclusive) {
            // The latched face: a checker of face and highlight colours.
            for (int y = face.top; y < face.bottom; ++y)
                for (int x = face.left; x < face.right; ++x)
                    ::SetPixelV(dc, x, y,
                                graphics::ColorToRGB(((x + y) & 1) ? clBtnHighlight : clBtnFace));
        }
    } else {
        if (pushed || (FMouseInControl && FState != bsDisabled)) {
            RECT edge = face;
            ::DrawEdge(dc, &edge, pushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        } else if (!FTransparent) {
            canvas->Brush()->SetStyle(graphics::bsSolid);
            canvas->Brush()->SetColor(FColor);
            canvas->FillRect(rtl::Rect(face.left, face.top, face.right, face.bottom));
        }
        ::InflateRect(&face, -1, -1);
    }
    rtl::TRect glyphRect, textRect;
    LayoutContent(rtl::Rect(face.left, face.top, face.right, face.bottom),
                  pushed ? rtl::TPoint{1, 1} : rtl::TPoint{0, 0}, glyphRect, textRect);
    DrawGlyph(glyphRect);
    if (FText.empty())
        return;
    dc = canvas->Handle();
    ::SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    RECT r{textRect.Left, textRect.Top, textRect.Right, textRect.Bottom};
    if (FState == bsDisabled) {
        RECT shifted = r;
        ::OffsetRect(&shifted, 1, 1);
        ::SetTextColor(dc, graphics::ColorToRGB(clBtnHighlight));
        ::DrawTextA(dc, FText.c_str(), int(FText.size()), &shifted, format);
        ::SetTextColor(dc, graphics::ColorToRGB(clBtnShadow));
        ::DrawTextA(dc, FText.c_str(), int(FText.size()), &r, format);
    } else {
        ::SetTextColor(dc, graphics::ColorToRGB(Font()->Color()));
        ::DrawTextA(dc, FText.c_str(), int(FText.size()), &r, format);
    }
}

} // namespace ui
