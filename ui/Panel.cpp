#include "graphics/Canvas.h"
#include "graphics/Colors.h"
#include "ui/ExtCtrls.h"

namespace ui {

using namespace formstream;

namespace {

// Draws `width` rings just inside `rect`: top and left edges in `top`, bottom and right
// in `bottom`; the rectangle shrinks by the rings.
void Frame3D(graphics::TCanvas* canvas, rtl::TRect& rect, TColor top, TColor bottom, int width) {
    canvas->Pen()->SetWidth(1);
    --rect.Bottom;
    --rect.Right;
    for (int i = 0; i < width; ++i) {
        canvas->Pen()->SetColor(top);
        const rtl::TPoint topLeft[] = {
            {rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}};
        canvas->Polyline(topLeft, 3);
        canvas->Pen()->SetColor(bottom);
        const rtl::TPoint bottomRight[] = {
            {rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left - 1, rect.Bottom}};
        canvas->Polyline(bottomRight, 3);
        ++rect.Left;
        ++rect.Top;
        --rect.Right;
        --rect.Bottom;
    }
    ++rect.Bottom;
    ++rect.Right;
}

void BevelColors(TBevelCut bevel, TColor& top, TColor& bottom) {
    top = bevel == bvLowered ? clBtnShadow : clBtnHighlight;
    bottom = bevel == bvLowered ? clBtnHighlight : clBtnShadow;
}

} // namespace

constinit const TPropInfo TCustomPanel::Published[] = {
    Prop<&TCustomPanel::Alignment, &TCustomPanel::SetAlignment>("Alignment", Default(taCenter)),
    Prop<&TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner>("BevelInner", Default(bvNone)),
    Prop<&TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter>("BevelOuter", Default(bvRaised)),
    Prop<&TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth>("BevelWidth", Default(1)),
    Prop<&TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth>("BorderWidth", Default(0)),
    Prop<&TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle>("BorderStyle",
                                                                    Default(pbsNone)),
    Prop<&TCustomPanel::FullRepaint, &TCustomPanel::SetFullRepaint>("FullRepaint", Default(true)),
};
constinit const TClassInfo TCustomPanel::ClassInfo =
    ClassInfoOf<TCustomPanel, TCustomControl>("TCustomPanel", TCustomPanel::Published);
constinit const TClassInfo TPanel::ClassInfo = ClassInfoOf<TPanel, TCustomPanel>("TPanel");

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                     csOpaque,          csDoubleClicks, csReplicatable};
    FWidth = 185;
    FHeight = 41;
    FColor = clBtnFace;
    FParentColor = false;
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut value) {
    FBevelInner = value;
    Invalidate();
}
void TCustomPanel::SetBevelWidth(int value) {
    FBevelWidth = value < 1 ? 1 : value;
    Invalidate();
}
void TCustomPanel::SetBorderWidth(int value) {
    FBorderWidth = value < 0 ? 0 : value;
    Invalidate();
}
void TCustomPanel::SetAlignment(TAlignment value) {
    FAlignment = value;
    Invalidate();
}

void TCustomPanel::SetBorderStyle(TPanelBorderStyle value) {
    if (FBorderStyle == value)
        return;
    FBorderStyle = value;
    if (HandleAllocated()) {
        LONG style = ::GetWindowLongA(FHandle, GWL_STYLE);
        style = value == pbsSingle ? (style | LONG(WS_BORDER)) : (style & ~LONG(WS_BORDER));
        ::SetWindowLongA(FHandle, GWL_STYLE, style);
        ::SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
}

void TCustomPanel::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    if (FBorderStyle == pbsSingle)
        params.Style |= WS_BORDER;
}

void TCustomPanel::Paint() {
    graphics::TCanvas* canvas = Canvas();
    rtl::TRect rect = ClientRect();
    TColor top, bottom;
    if (FBevelOuter != bvNone) {
        BevelColors(FBevelOuter, top, bottom);
        Frame3D(canvas, rect, top, bottom, FBevelWidth);
    }
    Frame3D(canvas, rect, FColor, FColor, FBorderWidth);
    if (FBevelInner != bvNone) {
        BevelColors(FBevelInner, top, bottom);
        Frame3D(canvas, rect, top, bottom, FBevelWidth);
    }
    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(FColor);
    canvas->FillRect(rect);
    if (FText.empty())
        return;
    canvas->Brush()->SetStyle(graphics::bsClear);
    canvas->SetFont(Font());
    const int height = canvas->TextHeight("W");
    const int bandTop = (rect.Top + rect.Bottom - height) / 2;
    RECT band{rect.Left, bandTop, rect.Right, bandTop + height};
    UINT format = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    format |= FAlignment == taLeftJustify    ? DT_LEFT
              : FAlignment == taRightJustify ? DT_RIGHT
                                             : DT_CENTER;
    HDC dc = canvas->Handle();
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, graphics::ColorToRGB(Font()->Color()));
    ::DrawTextA(dc, FText.c_str(), int(FText.size()), &band, format);
}

} // namespace ui
