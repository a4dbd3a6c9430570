#include <utility>

#include "formstream/Reader.h"
#include "formstream/Writer.h"
#include "ui/Forms.h"

namespace ui {

using namespace formstream;

namespace {

TControl* gCaptureControl = nullptr;

} // namespace

// --- capture

TControl* GetCaptureControl() {
    HWND captured = ::GetCapture();
    TWinControl* holder = TWinControl::FindControl(captured);
    if (!holder) {
        gCaptureControl = nullptr;
        return nullptr;
    }
    if (gCaptureControl && (gCaptureControl == holder || gCaptureControl->Parent() == holder))
        return gCaptureControl;
    return holder;
}

void SetCaptureControl(TControl* control) {
    gCaptureControl = nullptr;
    if (!control) {
        ::ReleaseCapture();
        return;
    }
    if (auto* win = DynCast<TWinControl>(control)) {
        ::SetCapture(win->Handle());
    } else if (control->Parent() && control->Parent()->HandleAllocated()) {
        ::SetCapture(control->Parent()->Handle());
    } else {
        ::ReleaseCapture();
        return;
    }
    gCaptureControl = control;
}

TShiftState KeysToShiftState(WPARAM keys) {
    TShiftState s;
    if (keys & MK_SHIFT)
        s.Include(ssShift);
    if (keys & MK_CONTROL)
        s.Include(ssCtrl);
    if (keys & MK_LBUTTON)
        s.Include(ssLeft);
    if (keys & MK_RBUTTON)
        s.Include(ssRight);
    if (keys & MK_MBUTTON)
        s.Include(ssMiddle);
    if (::GetKeyState(VK_MENU) < 0)
        s.Include(ssAlt);
    return s;
}

TControl* FindDragTarget(rtl::TPoint screenPos, bool allowDisabled) {
    POINT p{screenPos.X, screenPos.Y};
    TWinControl* win = TWinControl::FindControl(::WindowFromPoint(p));
    if (!win)
        return nullptr;
    TControl* result = win;
    TControl* child = win->ControlAtPos(win->ScreenToClient(screenPos), allowDisabled);
    if (child)
        result = child;
    return result;
}

// --- TControl

constinit const TPropInfo TControl::Published[] = {
    Prop<&TControl::Left, &TControl::SetLeft>("Left"),
    Prop<&TControl::Top, &TControl::SetTop>("Top"),
    Prop<&TControl::Width, &TControl::SetWidth>("Width"),
    Prop<&TControl::Height, &TControl::SetHeight>("Height"),
    Prop<&TControl::Cursor, &TControl::SetCursor>("Cursor", Default(crDefault)),
    Prop<&TControl::GetCaptionProp, &TControl::SetCaptionProp>("Caption"),
    Prop<&TControl::Color, &TControl::SetColor>("Color", Stored<&TControl::IsColorStored>()),
    Prop<&TControl::Font, &TControl::SetFontProp>("Font", Stored<&TControl::IsFontStored>()),
    Prop<&TControl::ParentColor, &TControl::SetParentColor>("ParentColor", Default(true)),
    Prop<&TControl::ParentFont, &TControl::SetParentFont>("ParentFont", Default(true)),
    Prop<&TControl::HelpType, &TControl::SetHelpType>("HelpType", Default(htContext)),
    Prop<&TControl::GetHintProp, &TControl::SetHintProp>("Hint"),
    Prop<&TControl::ShowHint, &TControl::SetShowHint>("ShowHint",
                                                      Stored<&TControl::IsShowHintStored>()),
    Prop<&TControl::ParentShowHint, &TControl::SetParentShowHint>("ParentShowHint", Default(true)),
    Prop<&TControl::Visible, &TControl::SetVisible>("Visible", Default(true)),
    Prop<&TControl::Enabled, &TControl::SetEnabled>("Enabled", Default(true)),
    Prop<&TControl::OnClick, &TControl::OnClick>("OnClick"),
    Prop<&TControl::OnDblClick, &TControl::OnDblClick>("OnDblClick"),
    Prop<&TControl::OnMouseDown, &TControl::OnMouseDown>("OnMouseDown"),
    Prop<&TControl::OnMouseMove, &TControl::OnMouseMove>("OnMouseMove"),
    Prop<&TControl::OnMouseUp, &TControl::OnMouseUp>("OnMouseUp"),
};
constinit const TClassInfo TControl::ClassInfo =
    ClassInfoOf<TControl, TComponent>("TControl", TControl::Published);

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(new graphics::TFont) {
    FFont->OnChange = TNotifyEvent::Of<&TControl::FontAttrChanged>(this);
    FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
}

TControl::~TControl() {
    // Destroyed without Free (a constructor further down raised): detach here.
    Detach();
}

void TControl::BeforeDestruction() {
    if (gCaptureControl == this)
        SetCaptureControl(nullptr);
    if (Application)
        Application->ControlDestroyed(this);
    TComponent::BeforeDestruction();
    Detach();
}

void TControl::Detach() {
    if (gCaptureControl == this)
        gCaptureControl = nullptr;
    if (Application)
        Application->ControlDestroyed(this);
    if (FParent)
        FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (FParent == parent)
        return;
    if (parent == this)
        throw rtl::EInvalidOperation("A control cannot have itself as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (parent) {
        parent->InsertControl(this);
        ParentFontChanged();
        ParentColorChanged();
    }
}

void TControl::SetLeft(int value) {
    SetBounds(value, FTop, FWidth, FHeight);
    if (IsReading())
        FScalingFlags.Include(sfLeft);
}
void TControl::SetTop(int value) {
    SetBounds(FLeft, value, FWidth, FHeight);
    if (IsReading())
        FScalingFlags.Include(sfTop);
}
void TControl::SetWidth(int value) {
    SetBounds(FLeft, FTop, value, FHeight);
    if (IsReading())
        FScalingFlags.Include(sfWidth);
}
void TControl::SetHeight(int value) {
    SetBounds(FLeft, FTop, FWidth, value);
    if (IsReading())
        FScalingFlags.Include(sfHeight);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
        return;
    const bool resized = width != FWidth || height != FHeight;
    InvalidateControl(FVisible, false);
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    InvalidateControl(FVisible, FControlStyle.Contains(csOpaque));
    if (resized)
        Resize();
}

void TControl::SetClientWidth(int value) {
    SetClientSize(value, ClientHeight());
}
void TControl::SetClientHeight(int value) {
    SetClientSize(ClientWidth(), value);
}
void TControl::SetClientSize(int width, int height) {
    const rtl::TRect client = ClientRect();
    SetBounds(FLeft, FTop, FWidth - client.Width() + width, FHeight - client.Height() + height);
}

rtl::TPoint TControl::ClientOrigin() const {
    if (!FParent)
        return {FLeft, FTop};
    rtl::TPoint p = FParent->ClientOrigin();
    return {p.X + FLeft, p.Y + FTop};
}

rtl::TPoint TControl::ClientToScreen(rtl::TPoint p) const {
    const rtl::TPoint o = ClientOrigin();
    return {p.X + o.X, p.Y + o.Y};
}

rtl::TPoint TControl::ScreenToClient(rtl::TPoint p) const {
    const rtl::TPoint o = ClientOrigin();
    return {p.X - o.X, p.Y - o.Y};
}

void TControl::SetVisible(bool value) {
    if (FVisible == value)
        return;
    VisibleChanging();
    FVisible = value;
    VisibleChanged();
}

void TControl::VisibleChanged() {
    // Repaints the area the control now covers or has just left.
    InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque));
    if (!FVisible && gCaptureControl == this)
        SetCaptureControl(nullptr);
}

void TControl::SetEnabled(bool value) {
    if (FEnabled == value)
        return;
    FEnabled = value;
    if (!FEnabled && gCaptureControl == this)
        SetCaptureControl(nullptr);
    EnabledChanged();
}

bool TControl::Showing() const {
    return FVisible && FParent && FParent->Showing();
}

void TControl::SetCursor(TCursor value) {
    if (FCursor == value)
        return;
    FCursor = value;
    HWND hwnd = ParentWindowHandle();
    POINT p;
    if (hwnd && ::GetCursorPos(&p) && ::WindowFromPoint(p) == hwnd)
        ::SendMessageA(hwnd, WM_SETCURSOR, WPARAM(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void TControl::SetText(const std::string& value) {
    if (FText == value)
        return;
    FText = value;
    TextChanged();
}

void TControl::SetFont(graphics::TFont* value) {
    FFont->Assign(value);
}

void TControl::FontAttrChanged(TObject*) {
    if (FTakingParentFont)
        return; // ParentFontChanged tells FontChanged itself
    FParentFont = false;
    if (IsReading())
        FScalingFlags.Include(sfFont);
    FontChanged();
}

void TControl::FontChanged() {
    Invalidate();
}

void TControl::SetParentFont(bool value) {
    if (FParentFont == value)
        return;
    FParentFont = value;
    if (value)
        ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!FParentFont || !FParent)
        return;
    FTakingParentFont = true;
    FFont->Assign(FParent->Font());
    FTakingParentFont = false;
    FontChanged();
}

void TControl::SetColor(TColor value) {
    FParentColor = false;
    if (FColor == value)
        return;
    FColor = value;
    ColorChanged();
}

void TControl::SetParentColor(bool value) {
    if (FParentColor == value)
        return;
    FParentColor = value;
    if (value)
        ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent || FColor == FParent->Color())
        return;
    FColor = FParent->Color();
    ColorChanged();
}

void TControl::SetShowHint(bool value) {
    FShowHint = value;
    FParentShowHint = false;
}

void TControl::SetParentShowHint(bool value) {
    FParentShowHint = value;
    if (value && FParent)
        FShowHint = FParent->ShowHint();
}

HWND TControl::ParentWindowHandle() const {
    if (auto* self = DynCast<TWinControl>(const_cast<TControl*>(this)))
        return self->HandleAllocated() ? self->Handle() : nullptr;
    return FParent && FParent->HandleAllocated() ? FParent->Handle() : nullptr;
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
    if (!isVisible || !FParent || !FParent->HandleAllocated())
        return;
    const RECT r{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
    ::InvalidateRect(FParent->Handle(), &r, !isOpaque);
}

void TControl::Invalidate() {
    InvalidateControl(FVisible, FControlStyle.Contains(csOpaque));
}

void TControl::Update() {
    if (FParent)
        FParent->Update();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

bool TControl::MouseCapture() const {
    return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool value) {
    if (MouseCapture() == value)
        return;
    SetCaptureControl(value ? this : nullptr);
}

void TControl::SendCancelMode(TControl* sender) {
    TControl* captured = GetCaptureControl();
    if (captured && captured != sender)
        captured->Perform(WM_CANCELMODE, 0, 0);
}

void TControl::DoMouseDownMsg(TMessage& m, TMouseButton button, bool dbl) {
    const int x = GET_X_LPARAM(m.LParam);
    const int y = GET_Y_LPARAM(m.LParam);
    TShiftState shift = KeysToShiftState(m.WParam);
    if (button == mbLeft) {
        SendCancelMode(this);
        if (FControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(true);
        if (dbl) {
            shift.Include(ssDouble);
            if (FControlStyle.Contains(csClickEvents))
                DblClick();
        } else if (FControlStyle.Contains(csClickEvents)) {
            FControlState.Include(csClicked);
        }
    }
    MouseDown(button, shift, x, y);
}

void TControl::DoMouseUpMsg(TMessage& m, TMouseButton button) {
    const int x = GET_X_LPARAM(m.LParam);
    const int y = GET_Y_LPARAM(m.LParam);
    if (button == mbLeft) {
        if (FControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(false);
        if (FControlState.Contains(csClicked)) {
            FControlState.Exclude(csClicked);
            if (ClientRect().Contains({x, y}))
                Click();
        }
    }
    MouseUp(button, KeysToShiftState(m.WParam), x, y);
}

void TControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
        DoMouseDownMsg(m, mbLeft, false);
        break;
    case WM_LBUTTONDBLCLK:
        DoMouseDownMsg(m, mbLeft, FControlStyle.Contains(csDoubleClicks));
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        DoMouseDownMsg(m, mbRight, false);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        DoMouseDownMsg(m, mbMiddle, false);
        break;
    case WM_LBUTTONUP:
        DoMouseUpMsg(m, mbLeft);
        break;
    case WM_RBUTTONUP:
        DoMouseUpMsg(m, mbRight);
        break;
    case WM_MBUTTONUP:
        DoMouseUpMsg(m, mbMiddle);
        break;
    case WM_MOUSEMOVE:
        MouseMove(KeysToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        break;
    case WM_CANCELMODE:
        FControlState.Exclude(csClicked);
        if (gCaptureControl == this)
            SetCaptureControl(nullptr);
        CancelMode();
        break;
    case CM_MOUSEENTER:
        MouseEnter();
        break;
    case CM_MOUSELEAVE:
        MouseLeave();
        break;
    default:
        break;
    }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
    OnMouseMove(this, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
    OnClick(this);
}
void TControl::DblClick() {
    OnDblClick(this);
}

void TControl::Resize() {
    if (IsLoading())
        return;
    OnResize(this);
}

void TControl::PaintOn(HDC) {}

void TControl::ChangeScale(int m, int d) {
    if (m == d)
        return;
    const TScalingFlags flags =
        IsLoading() ? FScalingFlags : TScalingFlags{sfLeft, sfTop, sfWidth, sfHeight, sfFont};
    int left = FLeft, top = FTop, width = FWidth, height = FHeight;
    if (flags.Contains(sfLeft))
        left = ::MulDiv(FLeft, m, d);
    if (flags.Contains(sfTop))
        top = ::MulDiv(FTop, m, d);
    if (!FControlStyle.Contains(csFixedWidth) && flags.Contains(sfWidth))
        width =
            flags.Contains(sfLeft) ? ::MulDiv(FLeft + FWidth, m, d) - left : ::MulDiv(FWidth, m, d);
    if (!FControlStyle.Contains(csFixedHeight) && flags.Contains(sfHeight))
        height =
            flags.Contains(sfTop) ? ::MulDiv(FTop + FHeight, m, d) - top : ::MulDiv(FHeight, m, d);
    SetBounds(left, top, width, height);
    if (!FParentFont && flags.Contains(sfFont)) {
        const bool parentFont = FParentFont;
        FFont->SetSize(::MulDiv(FFont->Size(), m, d));
        FParentFont = parentFont;
    }
}

void TControl::ReadStoredState(TReader& reader) {
    FControlState.Include(csReadingState);
    FScalingFlags = {};
    if (auto* parent = DynCast<TWinControl>(reader.Parent()))
        SetParent(parent);
    reader.ReadComponentData(this);
    FControlState.Exclude(csReadingState);
    if (FParent) {
        ParentFontChanged();
        ParentColorChanged();
        if (FParentShowHint)
            FShowHint = FParent->ShowHint();
    }
}

void TControl::AttachToParent(TComponent* parent) {
    if (auto* p = DynCast<TWinControl>(parent))
        SetParent(p);
}

TComponent* TControl::ParentForReading() {
    return FParent;
}

void TControl::SetComponentName(const std::string& newName) {
    const bool ownerLoading = Owner() && Isa<TControl>(Owner()) && Owner()->HasState(stLoading);
    const bool changeText =
        FControlStyle.Contains(csSetCaption) && !IsLoading() && Name() == FText && !ownerLoading;
    TComponent::SetComponentName(newName);
    if (changeText)
        SetText(newName);
}

void TControl::DefineProperties(TFiler& filer) {
    TComponent::DefineProperties(filer);
    filer.DeclareProperty("IsControl", TReaderProc::Of<&TControl::ReadIsControl>(this),
                          TWriterProc::Of<&TControl::WriteIsControl>(this), FIsControl);
}

void TControl::ReadIsControl(TReader& reader) {
    FIsControl = reader.ReadBoolValue();
}
void TControl::WriteIsControl(TWriter& writer) {
    writer.WriteBoolean(FIsControl);
}

void TControl::Loaded() {
    TComponent::Loaded();
}

// --- TControlCanvas

constinit const TClassInfo TControlCanvas::ClassInfo =
    ClassInfoOf<TControlCanvas, graphics::TCanvas>("TControlCanvas");

TControlCanvas::~TControlCanvas() {
    FreeHandle();
}

void TControlCanvas::SetControl(TControl* control) {
    if (FControl == control)
        return;
    FreeHandle();
    FControl = control;
}

void TControlCanvas::FreeHandle() {
    if (!FDeviceContext)
        return;
    SetHandle(nullptr);
    ::ReleaseDC(FWindowHandle, FDeviceContext);
    FDeviceContext = nullptr;
    FWindowHandle = nullptr;
}

void TControlCanvas::CreateHandle() {
    if (!FControl)
        return;
    HWND hwnd = FControl->ParentWindowHandle();
    if (!hwnd) {
        if (auto* win = DynCast<TWinControl>(FControl))
            hwnd = win->Handle();
        else if (FControl->Parent())
            hwnd = FControl->Parent()->Handle();
    }
    if (!hwnd)
        return;
    HDC dc = ::GetDC(hwnd);
    if (!dc)
        return;
    if (!Isa<TWinControl>(FControl)) {
        ::SetViewportOrgEx(dc, FControl->Left(), FControl->Top(), nullptr);
        ::IntersectClipRect(dc, 0, 0, FControl->Width(), FControl->Height());
    }
    FDeviceContext = dc;
    FWindowHandle = hwnd;
    SetHandle(dc);
}

} // namespace ui
