// TMediaPlayer: the bar of nine buttons, its layout, painting, mouse and keys.
#include "media/MPlayer.h"

#include <algorithm>

namespace media {

namespace {

TButtonFlags FlagsOf(TButtonSet set) {
    TButtonFlags flags{};
    for (int i = 0; i < MPButtonCount; ++i)
        flags[i] = set.Contains(static_cast<TMPBtnType>(i));
    return flags;
}

} // namespace

void TMediaPlayer::SetVisibleButtons(TButtonSet value) {
    FVisibleButtons = value;
    FVisible = FlagsOf(value);
    const int n = VisibleButtonCount(FVisible);
    // Before the first layout the buttons have no width yet: they share the current one
    // (sizing the bar from a width of 0 would make it negative).
    if (HasState(formstream::stUpdating) || FButtonWidth == 0)
        FButtonWidth = ButtonWidthFor(Width(), n);
    else
        SetWidth(BarWidthFor(n, FButtonWidth));
    Invalidate();
}

void TMediaPlayer::SetEnabledButtons(TButtonSet value) {
    FEnabledButtons = value;
    FEnabled = FlagsOf(value);
    Invalidate();
}

void TMediaPlayer::SetColoredButtons(TButtonSet value) {
    FColoredButtons = value;
    FColored = FlagsOf(value);
    Invalidate();
}

void TMediaPlayer::SetAutoEnable(bool value) {
    if (value == FAutoEnable)
        return;
    FAutoEnable = value;
    if (value)
        SetAutoButtons(FAutoButtons);
    else
        SetEnabledButtons(FEnabledButtons);
}

void TMediaPlayer::SetAutoButtons(TButtonSet buttons) {
    FAutoButtons = buttons;
    FAutoEnabled = FlagsOf(buttons);
    Invalidate();
}

bool TMediaPlayer::ButtonUsable(TMPBtnType button) const {
    return FAutoEnable ? FAutoEnabled[button] : FEnabled[button];
}

bool TMediaPlayer::HasFocus() const {
    return HandleAllocated() && GetFocus() == FHandle;
}

void TMediaPlayer::Updating() {
    SetState(formstream::stUpdating);
}

void TMediaPlayer::Updated() {
    ClearState(formstream::stUpdating);
    const int n = VisibleButtonCount(FVisible);
    // Before the first layout the buttons have no width yet: they share the current one,
    // as for a change of the visible buttons.
    if (FButtonWidth == 0)
        FButtonWidth = ButtonWidthFor(Width(), n);
    SetWidth(BarWidthFor(n, FButtonWidth));
    Invalidate();
}

// WM_SIZE: the buttons share the width; the bar is made exactly as wide as they are, and
// never narrower or lower than the glyphs need.
void TMediaPlayer::ResizeToFit() {
    const int n = VisibleButtonCount(FVisible);
    FButtonWidth = ButtonWidthFor(Width(), n);
    int width = BarWidthFor(n, FButtonWidth);
    width = std::max(width, BarWidthFor(n, FMinButtonWidth));
    const int height = std::max(Height(), FMinHeight);
    if (width != Width() || height != Height())
        SetBounds(Left(), Top(), width, height);
}

graphics::TBitmap* TMediaPlayer::GlyphFor(TMPBtnType button) const {
    constexpr int normal = 0, disabled = 1, coloured = 2;
    const bool designing = HasState(formstream::stDesigning);
    if (!Enabled() && !designing)
        return FGlyphs[button][disabled].get();
    const bool usable = FAutoEnable && !designing ? FAutoEnabled[button] : FEnabled[button];
    if (!usable)
        return FGlyphs[button][disabled].get();
    return FGlyphs[button][FColored[button] ? coloured : normal].get();
}

void TMediaPlayer::DrawButton(TMPBtnType button, int x) {
    graphics::TCanvas* canvas = Canvas();
    const int bw = FButtonWidth;
    const int h = Height();
    const bool pushedIn = FDown && button == FCurrentButton;

    canvas->Brush()->SetStyle(graphics::bsSolid);
    canvas->Brush()->SetColor(formstream::clBtnFace);
    canvas->Pen()->SetColor(formstream::clWindowFrame);
    canvas->Pen()->SetWidth(1);
    canvas->Rectangle(x, 0, x + bw, h);

    if (pushedIn) {
        canvas->Pen()->SetColor(formstream::clBtnShadow);
        canvas->MoveTo(x + 1, h - 2);
        canvas->LineTo(x + 1, 1);
        canvas->LineTo(x + bw - 1, 1);
    } else {
        canvas->Pen()->SetColor(formstream::clBtnHighlight);
        canvas->MoveTo(x + 1, h - 2);
        canvas->LineTo(x + 1, 1);
        canvas->LineTo(x + bw - 1, 1);
        canvas->Pen()->SetColor(formstream::clBtnShadow);
        canvas->MoveTo(x + 2, h - 2);
        canvas->LineTo(x + bw - 2, h - 2);
        canvas->LineTo(x + bw - 2, 1);
    }

    graphics::TBitmap* glyph = GlyphFor(button);
    if (glyph && !glyph->GetEmpty()) {
        const int gw = glyph->GetWidth();
        const int gh = glyph->GetHeight();
        const rtl::TPoint at = GlyphOrigin(x, bw, h, gw, gh, pushedIn);
        canvas->BrushCopy(rtl::Bounds(at.X, at.Y, gw, gh), glyph, rtl::Rect(0, 0, gw, gh),
                          formstream::clOlive);
    }

    if (HasFocus() && button == FFocusedButton) {
        rtl::TRect r = rtl::Rect(x + 3, 3, x + bw - 3, h - 3);
        if (pushedIn)
            r = rtl::Rect(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
        canvas->DrawFocusRect(r);
    }
}

void TMediaPlayer::Paint() {
    graphics::TCanvas* canvas = Canvas();
    canvas->Brush()->SetStyle(graphics::bsClear);
    canvas->Pen()->SetColor(formstream::clWindowFrame);
    canvas->Pen()->SetWidth(1);
    canvas->Rectangle(0, 0, Width(), Height());
    const auto lefts = ButtonLefts(FVisible, FButtonWidth);
    for (int i = 0; i < MPButtonCount; ++i)
        if (lefts[i])
            DrawButton(static_cast<TMPBtnType>(i), *lefts[i]);
}

// Draws one button straight onto the window (outside a paint cycle).
void TMediaPlayer::DrawButtonNow(TMPBtnType button) {
    const auto lefts = ButtonLefts(FVisible, FButtonWidth);
    if (!lefts[button] || !HandleAllocated())
        return;
    DrawButton(button, *lefts[button]);
    Canvas()->FreeHandle();
}

void TMediaPlayer::BarMouseDown(int x) {
    const auto hit = HitButton(FVisible, FButtonWidth, x);
    if (!hit || !ButtonUsable(hit->Button))
        return;
    FCurrentButton = hit->Button;
    if (FCurrentButton != FFocusedButton) {
        FFocusedButton = FCurrentButton;
        Repaint();
    }
    FCurrentRect = rtl::Rect(hit->Left, 0, hit->Left + FButtonWidth, Height());
    FPressed = true;
    FDown = true;
    DrawButtonNow(FCurrentButton);
    SetCapture(Handle());
}

void TMediaPlayer::BarMouseMove(int x, int y) {
    if (!FPressed)
        return;
    const bool inside = FCurrentRect.Contains({x, y});
    if (inside != FDown) {
        FDown = inside;
        DrawButtonNow(FCurrentButton);
    }
}

void TMediaPlayer::BarMouseUp() {
    ReleaseCapture();
    if (FPressed && FDown) {
        FDown = false;
        DrawButtonNow(FCurrentButton);
        Click(FCurrentButton);
        if (FAutoEnable && FError == 0 && FOpen) {
            AdjustAutoButtons(FCurrentButton);
            SetAutoButtons(FAutoButtons);
        }
    }
    FPressed = false;
}

void TMediaPlayer::Click(TMPBtnType button) {
    FCurrentButton = button;
    bool doDefault = true;
    OnClick(this, button, doDefault);
    if (doDefault) {
        switch (button) {
        case btPlay:
            Play();
            break;
        case btPause:
            Pause();
            break;
        case btStop:
            Stop();
            break;
        case btNext:
            Next();
            break;
        case btPrev:
            Previous();
            break;
        case btStep:
            Step();
            break;
        case btBack:
            Back();
            break;
        case btRecord:
            Record();
            break;
        case btEject:
            Eject();
            break;
        }
    }
    OnPostClick(this, FCurrentButton);
}

void TMediaPlayer::BarKeyDown(WORD key) {
    switch (key) {
    case VK_SPACE:
        if (FEnabled[FFocusedButton]) {
            Click(FFocusedButton);
            if (FAutoEnable) {
                AdjustAutoButtons(FCurrentButton);
                SetAutoButtons(FAutoButtons);
            }
        }
        break;
    case VK_LEFT:
    case VK_RIGHT: {
        const TMPBtnType target = ArrowTarget(FVisible, FFocusedButton, key == VK_RIGHT);
        if (target != FFocusedButton) {
            FFocusedButton = target;
            Invalidate();
        }
        break;
    }
    default:
        break;
    }
}

void TMediaPlayer::WndProc(ui::TMessage& message) {
    const auto x = static_cast<short>(LOWORD(message.LParam));
    const auto y = static_cast<short>(HIWORD(message.LParam));
    switch (message.Msg) {
    case MM_MCINOTIFY:
        MMNotify(message.WParam);
        message.Result = 0;
        return;
    case WM_SIZE:
        ui::TCustomControl::WndProc(message);
        if (!HasState(formstream::stUpdating))
            ResizeToFit();
        message.Result = 0;
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        BarMouseDown(x);
        message.Result = 0;
        return;
    case WM_MOUSEMOVE:
        BarMouseMove(x, y);
        break;
    case WM_LBUTTONUP:
        BarMouseUp();
        message.Result = 0;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ui::TCustomControl::WndProc(message);
        Repaint();
        return;
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS; // the arrow keys reach the bar
        return;
    case WM_KEYDOWN:
        BarKeyDown(static_cast<WORD>(message.WParam));
        break;
    default:
        break;
    }
    ui::TCustomControl::WndProc(message);
}

} // namespace media
