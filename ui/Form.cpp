#include <algorithm>
#include <mutex>

#include "formstream/ClassRegistry.h"
#include "formstream/FormResources.h"
#include "formstream/IdentMaps.h"
#include "formstream/Reader.h"
#include "formstream/Writer.h"
#include "graphics/Graphics.h"
#include "ui/Forms.h"

namespace ui {

using namespace formstream;

// --- TCustomForm

constinit const TPropInfo TCustomForm::Published[] = {
    Prop<&TCustomForm::GetClientWidthProp, &TCustomForm::SetClientWidthProp>("ClientWidth",
                                                                             NotStored),
    Prop<&TCustomForm::GetClientHeightProp, &TCustomForm::SetClientHeightProp>("ClientHeight",
                                                                               NotStored),
    Prop<&TCustomForm::WindowState, &TCustomForm::SetWindowState>("WindowState", Default(wsNormal)),
    Prop<&TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle>("BorderStyle",
                                                                  Default(bsSizeable)),
    Prop<&TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons>("BorderIcons"),
    Prop<&TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder>("OldCreateOrder"),
    Prop<&TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch>("PixelsPerInch"),
    Prop<&TCustomForm::Scaled, &TCustomForm::SetScaled>("Scaled", Default(true)),
    Prop<&TCustomForm::OnActivate, &TCustomForm::OnActivate>("OnActivate"),
    Prop<&TCustomForm::OnClose, &TCustomForm::OnClose>("OnClose"),
    Prop<&TCustomForm::OnCloseQuery, &TCustomForm::OnCloseQuery>("OnCloseQuery"),
    Prop<&TCustomForm::OnCreate, &TCustomForm::OnCreate>("OnCreate"),
    Prop<&TCustomForm::OnDeactivate, &TCustomForm::OnDeactivate>("OnDeactivate"),
    Prop<&TCustomForm::OnDestroy, &TCustomForm::OnDestroy>("OnDestroy"),
    Prop<&TCustomForm::OnHide, &TCustomForm::OnHide>("OnHide"),
    Prop<&TCustomForm::OnPaint, &TCustomForm::OnPaint>("OnPaint"),
    Prop<&TCustomForm::OnResize, &TCustomForm::OnResize>("OnResize"),
    Prop<&TCustomForm::OnShow, &TCustomForm::OnShow>("OnShow"),
};
constinit const TClassInfo TCustomForm::ClassInfo =
    ClassInfoOf<TCustomForm, TWinControl>("TCustomForm", TCustomForm::Published);
constinit const TClassInfo TForm::ClassInfo = ClassInfoOf<TForm, TCustomForm>("TForm");

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner), FCanvas(new TControlCanvas) {
    FCanvas->SetControl(this);
    FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                     csDoubleClicks};
    FVisible = false;
    FParentFont = false;
    FParentColor = false;
    FColor = clBtnFace;
    FWidth = 320;
    FHeight = 240;
    if (Screen)
        Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
    if (Screen)
        Screen->RemoveForm(this);
}

void TCustomForm::BeforeDestruction() {
    if (FCreated) {
        FCreated = false; // OnDestroy runs once, for a form whose OnCreate ran
        OnDestroy(this);
    }
    if (Screen)
        Screen->RemoveForm(this);
    TWinControl::BeforeDestruction();
}

void TCustomForm::AfterConstruction() {
    if (!FCreated) {
        FCreated = true;
        OnCreate(this);
    }
    // A stream that made the form visible shows it once it is whole.
    if (FVisible && !(FHandle && ::IsWindowVisible(FHandle)))
        UpdateShowing();
}

void TCustomForm::ReadFormResource() {
    InitInheritedComponent(this, &TForm::ClassInfo);
    if (FOldCreateOrder && !FCreated) {
        FCreated = true;
        OnCreate(this);
    }
}

void TCustomForm::CreateParams(TCreateParams& params) {
    params.Caption = FText;
    params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.ExStyle = 0;
    switch (FBorderStyle) {
    case bsNone:
        params.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION;
        params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin)
        params.ExStyle |= WS_EX_TOOLWINDOW;
    if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
        params.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderStyle != bsToolWindow &&
            FBorderStyle != bsSizeToolWin) {
            if (FBorderIcons.Contains(biMinimize))
                params.Style |= WS_MINIMIZEBOX;
            if (FBorderIcons.Contains(biMaximize))
                params.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (!FEnabled)
        params.Style |= WS_DISABLED;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
    params.WndParent = Application ? Application->Handle() : nullptr;
    params.WinClassName = std::string(ClassName());
    params.ClassCursor = ::LoadCursorA(nullptr, IDC_ARROW);
}

rtl::TRect TCustomForm::ClientRect() const {
    if (FHandle)
        return TWinControl::ClientRect();
    TCreateParams params;
    const_cast<TCustomForm*>(this)->CreateParams(params);
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
    return rtl::Rect(0, 0, std::max(0, FWidth - (frame.right - frame.left)),
                     std::max(0, FHeight - (frame.bottom - frame.top)));
}

void TCustomForm::SetClientSize(int width, int height) {
    TWinControl::SetClientSize(width, height);
}

void TCustomForm::SetClientWidthProp(int value) {
    if (IsReading())
        FStoredClientWidth = value;
    else
        SetClientWidth(value);
}

void TCustomForm::SetClientHeightProp(int value) {
    if (IsReading())
        FStoredClientHeight = value;
    else
        SetClientHeight(value);
}

bool TCustomForm::Showing() const {
    return FHandle && ::IsWindowVisible(FHandle);
}

void TCustomForm::Show() {
    SetVisible(true);
    if (FHandle)
        ::BringWindowToTop(FHandle);
}

void TCustomForm::Hide() {
    SetVisible(false);
}

void TCustomForm::VisibleChanged() {
    UpdateShowing();
}

void TCustomForm::UpdateShowing() {
    if (IsLoading())
        return;
    if (FVisible) {
        Handle();
        DoShow();
        ApplyWindowState();
    } else if (FHandle) {
        DoHide();
        ::ShowWindow(FHandle, SW_HIDE);
    }
}

namespace {

int ShowCommandOf(TWindowState state) {
    if (state == wsMaximized)
        return SW_SHOWMAXIMIZED;
    if (state == wsMinimized)
        return SW_SHOWMINNOACTIVE; // a form shown minimised takes no activation
    return SW_SHOWNORMAL;
}

} // namespace

void TCustomForm::ApplyWindowState() {
    if (!FHandle || !FVisible)
        return;
    FShowingWindow = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{FShowingWindow};
    if (FFullScreen)
        EnterFullScreen();
    else if (FShownFullScreen)
        LeaveFullScreen();
    else
        ::ShowWindow(FHandle, ShowCommandOf(FWindowState));
}

// The window's frame goes outside the monitor: its normal bounds become the monitor's
// rectangle grown by the frame, in one placement (also from the maximised state).
void TCustomForm::EnterFullScreen() {
    if (!FShownFullScreen) {
        FPlacementBeforeFullScreen.length = sizeof(WINDOWPLACEMENT);
        ::GetWindowPlacement(FHandle, &FPlacementBeforeFullScreen);
        FShownFullScreen = true;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromWindow(FHandle, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT outer = monitor.rcMonitor;
    ::AdjustWindowRectEx(&outer, DWORD(::GetWindowLongA(FHandle, GWL_STYLE)), FALSE,
                         DWORD(::GetWindowLongA(FHandle, GWL_EXSTYLE)));
    WINDOWPLACEMENT full = FPlacementBeforeFullScreen;
    full.showCmd = SW_SHOWNORMAL;
    full.rcNormalPosition = outer;
    ::SetWindowPlacement(FHandle, &full);
}

// Back to the window state, with the normal bounds from before; a maximised or minimised
// state is taken first, so that the normal bounds are only remembered, not shown.
void TCustomForm::LeaveFullScreen() {
    FShownFullScreen = false;
    WINDOWPLACEMENT back = FPlacementBeforeFullScreen;
    back.showCmd = UINT(ShowCommandOf(FWindowState));
    if (FWindowState != wsNormal)
        ::ShowWindow(FHandle, int(back.showCmd));
    ::SetWindowPlacement(FHandle, &back);
}

void TCustomForm::SetFullScreen(bool value) {
    if (FFullScreen == value)
        return;
    FFullScreen = value;
    if (FHandle && ::IsWindowVisible(FHandle))
        ApplyWindowState();
}

void TCustomForm::SetWindowState(TWindowState value) {
    if (FWindowState == value)
        return;
    FWindowState = value;
    if (FHandle && ::IsWindowVisible(FHandle))
        ApplyWindowState();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
    if (FBorderStyle == value)
        return;
    FBorderStyle = value;
    if (FHandle) {
        TCreateParams params;
        CreateParams(params);
        ::SetWindowLongA(FHandle, GWL_STYLE,
                         LONG((params.Style) | (::IsWindowVisible(FHandle) ? WS_VISIBLE : 0)));
        ::SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
    FBorderIcons = value;
}

void TCustomForm::SetPixelsPerInch(int value) {
    if (value != FPixelsPerInch && (value == 0 || value >= 36))
        FPixelsPerInch = value;
}

void TCustomForm::UpdateBounds() {
    // Full screen keeps the state the window comes back to.
    if (FHandle && ::IsWindowVisible(FHandle) && !FShowingWindow && !FShownFullScreen)
        FWindowState = ::IsIconic(FHandle)   ? wsMinimized
                       : ::IsZoomed(FHandle) ? wsMaximized
                                             : wsNormal;
    TWinControl::UpdateBounds();
}

void TCustomForm::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case WM_ACTIVATE: {
        const bool active = LOWORD(DWORD(m.WParam)) != WA_INACTIVE;
        if (active != FActive) {
            FActive = active;
            if (Screen && active)
                Screen->FActiveForm = this;
            if (active)
                OnActivate(this);
            else
                OnDeactivate(this);
        }
        break;
    }
    default:
        break;
    }
    TWinControl::WndProc(m);
}

void TCustomForm::PaintWindow(HDC dc) {
    TWinControl::PaintWindow(dc);
    if (!OnPaint)
        return;
    FCanvas->FreeHandle();
    FCanvas->Lock();
    FCanvas->SetHandle(dc);
    struct TDone {
        TControlCanvas* Canvas;
        ~TDone() {
            Canvas->SetHandle(nullptr);
            Canvas->Unlock();
        }
    } done{FCanvas.get()};
    OnPaint(this);
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
    OnClose(this, action);
}

void TCustomForm::Close() {
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application && Application->MainForm() == this)
        Application->RequestTerminate();
    else if (action == caHide)
        Hide();
    else if (action == caMinimize)
        SetWindowState(wsMinimized);
    else
        Release();
}

void TCustomForm::Release() {
    if (Application && Application->Handle())
        ::PostMessageA(Application->Handle(), CM_BASE + 33, 0, reinterpret_cast<LPARAM>(this));
}

int TCustomForm::MeasureTextHeight() {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, Font()->Handle());
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(dc, "0", 1, &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return size.cy;
}

void TCustomForm::ReadStoredState(TReader& reader) {
    FStoredClientWidth = 0;
    FStoredClientHeight = 0;
    FTextHeight = 0;
    TWinControl::ReadStoredState(reader);
    bool scaled = false;
    if (FPixelsPerInch != 0 && FTextHeight > 0) {
        const int screenPpi = Screen ? Screen->PixelsPerInch() : 96;
        if (FScalingFlags.Contains(sfFont) && screenPpi != FPixelsPerInch)
            Font()->SetHeight(::MulDiv(Font()->Height(), screenPpi, FPixelsPerInch));
        FPixelsPerInch = screenPpi;
        const int measured = MeasureTextHeight();
        if (FScaled && measured != FTextHeight) {
            scaled = true;
            for (int i = 0; i < ControlCount(); ++i)
                Controls(i)->ChangeScale(measured, FTextHeight);
            if (FStoredClientWidth > 0)
                FStoredClientWidth = ::MulDiv(FStoredClientWidth, measured, FTextHeight);
            if (FStoredClientHeight > 0)
                FStoredClientHeight = ::MulDiv(FStoredClientHeight, measured, FTextHeight);
        }
        FTextHeight = measured;
    }
    if (FStoredClientWidth > 0 || FStoredClientHeight > 0)
        TWinControl::SetClientSize(FStoredClientWidth > 0 ? FStoredClientWidth : ClientWidth(),
                                   FStoredClientHeight > 0 ? FStoredClientHeight : ClientHeight());
    if (!scaled)
        for (int i = 0; i < ControlCount(); ++i)
            Controls(i)->ClearScalingFlags();
}

void TCustomForm::DefineProperties(TFiler& filer) {
    TWinControl::DefineProperties(filer);
    filer.DeclareProperty("TextHeight", TReaderProc::Of<&TCustomForm::ReadTextHeight>(this),
                          TWriterProc::Of<&TCustomForm::WriteTextHeight>(this), FTextHeight > 0);
    filer.DeclareProperty("IgnoreFontProperty",
                          TReaderProc::Of<&TCustomForm::ReadIgnoreFontProperty>(this),
                          TWriterProc::Of<&TCustomForm::WriteIgnoreFontProperty>(this), false);
}

void TCustomForm::ReadTextHeight(TReader& reader) {
    FTextHeight = reader.ReadIntegerValue();
}
void TCustomForm::WriteTextHeight(TWriter& writer) {
    writer.WriteInteger(FTextHeight);
}
void TCustomForm::ReadIgnoreFontProperty(TReader& reader) {
    if (reader.ReadBoolValue())
        SetParentFont(true);
}
void TCustomForm::WriteIgnoreFontProperty(TWriter& writer) {
    writer.WriteBoolean(false);
}

// --- TScreen

constinit const TClassInfo TScreen::ClassInfo = ClassInfoOf<TScreen, TComponent>("TScreen");

TScreen::TScreen(TComponent* owner) : TComponent(owner) {
    HDC dc = ::GetDC(nullptr);
    if (dc) {
        const int ppi = ::GetDeviceCaps(dc, LOGPIXELSY);
        if (ppi > 0)
            FPixelsPerInch = ppi;
        ::ReleaseDC(nullptr, dc);
    }
}

TScreen::~TScreen() = default;

bool TScreen::HasForm(const TCustomForm* form) const {
    return std::find(FForms.begin(), FForms.end(), form) != FForms.end();
}

void TScreen::AddForm(TCustomForm* form) {
    if (!HasForm(form))
        FForms.push_back(form);
}

void TScreen::RemoveForm(TCustomForm* form) {
    std::erase(FForms, form);
    if (FActiveForm == form)
        FActiveForm = nullptr;
}

HCURSOR TScreen::Cursors(TCursor cursor) const {
    LPCSTR id = IDC_ARROW;
    switch (static_cast<int>(cursor)) {
    case -1:
        return nullptr; // crNone: no cursor
    case -3:
        id = IDC_CROSS;
        break;
    case -4:
        id = IDC_IBEAM;
        break;
    case -6:
        id = IDC_SIZENESW;
        break;
    case -7:
    case -15:
        id = IDC_SIZENS;
        break;
    case -8:
        id = IDC_SIZENWSE;
        break;
    case -9:
    case -14:
        id = IDC_SIZEWE;
        break;
    case -10:
        id = IDC_UPARROW;
        break;
    case -11:
    case -17:
        id = IDC_WAIT;
        break;
    case -13:
    case -18:
        id = IDC_NO;
        break;
    case -19:
        id = IDC_APPSTARTING;
        break;
    case -20:
        id = IDC_HELP;
        break;
    case -21:
        id = IDC_HAND;
        break;
    case -22:
        id = IDC_SIZEALL;
        break;
    default:
        break;
    }
    return ::LoadCursorA(nullptr, id);
}

void TScreen::SetCursor(TCursor value) {
    if (FCursor == value)
        return;
    FCursor = value;
    POINT p{};
    if (!::GetCursorPos(&p))
        return;
    if (value != crDefault) {
        ::SetCursor(Cursors(value));
        return;
    }
    if (HWND h = ::WindowFromPoint(p))
        ::SendMessageA(h, WM_SETCURSOR, WPARAM(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

int TScreen::Width() const {
    return ::GetSystemMetrics(SM_CXSCREEN);
}
int TScreen::Height() const {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

// --- registration

namespace {

TComponent* FindGlobalForm(std::string_view name) {
    if (!Screen)
        return nullptr;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (rtl::SameText(Screen->Forms(i)->Name(), name))
            return Screen->Forms(i);
    return nullptr;
}

} // namespace

void RegisterFormsUnit() {
    static std::once_flag once;
    std::call_once(once, [] {
        graphics::RegisterGraphicsUnit();
        RegisterStreamClasses(
            {&TControl::ClassInfo, &TWinControl::ClassInfo, &TGraphicControl::ClassInfo,
             &TCustomControl::ClassInfo, &TCustomForm::ClassInfo, &TForm::ClassInfo,
             &TImage::ClassInfo, &TCustomPanel::ClassInfo, &TPanel::ClassInfo,
             &TSpeedButton::ClassInfo, &TTimer::ClassInfo, &TSaveDialog::ClassInfo});
        RegisterFindGlobalRoot(&FindGlobalForm);
    });
}

} // namespace ui
