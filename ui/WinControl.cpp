#include <algorithm>
#include <unordered_map>

#include "graphics/Colors.h"
#include "ui/Forms.h"

namespace ui {

using namespace formstream;

namespace {

std::unordered_map<HWND, TWinControl*>& WindowMap() {
    static std::unordered_map<HWND, TWinControl*> map;
    return map;
}

// Restores a device context's saved state when the scope ends.
class TSavedDC {
public:
    explicit TSavedDC(HDC dc) : FDC(dc), FSaved(::SaveDC(dc)) {}
    ~TSavedDC() { ::RestoreDC(FDC, FSaved); }
    TSavedDC(const TSavedDC&) = delete;
    TSavedDC& operator=(const TSavedDC&) = delete;

private:
    HDC FDC;
    int FSaved;
};

bool IsMouseMessage(UINT msg) {
    return msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
}

// Runs `paint` with the control's canvas drawing on `dc`; the canvas lets go of the
// device context afterwards, also when painting raises.
template <typename TPaint> void PaintThrough(TControlCanvas& canvas, HDC dc, TPaint paint) {
    canvas.FreeHandle();
    canvas.Lock();
    canvas.SetHandle(dc);
    struct TDone {
        TControlCanvas& Canvas;
        ~TDone() {
            Canvas.SetHandle(nullptr);
            Canvas.Unlock();
        }
    } done{canvas};
    paint();
}

} // namespace

// --- TWinControl

constinit const TPropInfo TWinControl::Published[] = {
    Prop<&TWinControl::GetTabOrderProp, &TWinControl::SetTabOrderProp>("TabOrder", Default(-1)),
    Prop<&TWinControl::TabStop, &TWinControl::SetTabStop>("TabStop", Default(false)),
    Prop<&TWinControl::OnKeyDown, &TWinControl::OnKeyDown>("OnKeyDown"),
    Prop<&TWinControl::OnKeyPress, &TWinControl::OnKeyPress>("OnKeyPress"),
    Prop<&TWinControl::OnKeyUp, &TWinControl::OnKeyUp>("OnKeyUp"),
};
constinit const TClassInfo TWinControl::ClassInfo =
    ClassInfoOf<TWinControl, TControl>("TWinControl", TWinControl::Published);

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Destroyed without Free (a constructor further down raised): clean up here.
    DestroyChildren();
    DestroyHandle();
}

void TWinControl::BeforeDestruction() {
    Destroying();
    DestroyChildren();
    DestroyHandle();
    TControl::BeforeDestruction();
}

void TWinControl::DestroyChildren() {
    // The children go with their parent, whoever owns them.
    while (!FControls.empty()) {
        TControl* child = FControls.back();
        RemoveControl(child);
        Free(child);
    }
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    auto it = WindowMap().find(hwnd);
    return it == WindowMap().end() ? nullptr : it->second;
}

HWND TWinControl::Handle() {
    if (!FHandle && !FCreating) {
        FCreating = true;
        try {
            CreateWnd();
        } catch (...) {
            FCreating = false;
            throw;
        }
        FCreating = false;
        CreateHandleDone();
        CreateChildHandles();
    }
    return FHandle;
}

void TWinControl::CreateChildHandles() {
    for (TWinControl* child : std::vector<TWinControl*>(FWinControls))
        if (!child->HandleAllocated())
            child->Handle();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = FText;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (FVisible)
        params.Style |= WS_VISIBLE;
    if (!FEnabled)
        params.Style |= WS_DISABLED;
    if (FTabStop)
        params.Style |= WS_TABSTOP;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
    if (FParent)
        params.WndParent = FParent->Handle();
    params.WinClassName = std::string(ClassName());
    params.ClassCursor = ::LoadCursorA(nullptr, IDC_ARROW);
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw rtl::EInvalidOperation(rtl::Format("Control '%s' has no parent window", Name()));
    WNDCLASSA wc{};
    wc.style = params.ClassStyle;
    wc.lpfnWndProc = &TWinControl::StdWndProc;
    wc.hCursor = params.ClassCursor;
    wc.lpszClassName = params.WinClassName.c_str();
    EnsureWindowClass(wc);
    CreateWindowHandle(params);
    if (!FHandle)
        throw rtl::EOutOfResources(rtl::Format("Error creating window for '%s'", Name()));
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    ::CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                      params.Style, params.X, params.Y, params.Width, params.Height,
                      params.WndParent, nullptr, nullptr, this);
}

void TWinControl::DestroyWnd() {
    if (FHandle)
        ::DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
    if (!FHandle)
        return;
    DestroyWnd();
    if (FHandle) { // the window was not destroyed (already gone): forget it
        WindowMap().erase(FHandle);
        FHandle = nullptr;
    }
}

LRESULT TWinControl::StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* control = FindControl(hwnd);
    if (!control && msg == WM_NCCREATE && lParam) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        control = static_cast<TWinControl*>(cs->lpCreateParams);
        if (control) {
            control->FHandle = hwnd;
            WindowMap()[hwnd] = control;
        }
    }
    if (!control)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    control->MainWndProc(m);
    if (msg == WM_NCDESTROY) {
        WindowMap().erase(hwnd);
        if (control->FHandle == hwnd)
            control->FHandle = nullptr;
    }
    return m.Result;
}

void TWinControl::MainWndProc(TMessage& message) {
    try {
        WndProc(message);
    } catch (...) {
        HandleException(this);
    }
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (FHandle)
        m.Result = ::DefWindowProcA(FHandle, m.Msg, m.WParam, m.LParam);
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT:
        PaintHandler(m);
        return;
    case WM_ERASEBKGND:
        m.Result = 1; // the paint handler draws the background with the controls
        return;
    case WM_SETCURSOR:
        WMSetCursor(m);
        return;
    case WM_SIZE:
    case WM_MOVE:
        DefaultHandler(m);
        UpdateBounds();
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        WORD key = WORD(m.WParam);
        TShiftState shift;
        if (::GetKeyState(VK_SHIFT) < 0)
            shift.Include(ssShift);
        if (::GetKeyState(VK_CONTROL) < 0)
            shift.Include(ssCtrl);
        if (::GetKeyState(VK_MENU) < 0)
            shift.Include(ssAlt);
        if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN)
            KeyDown(key, shift);
        else
            KeyUp(key, shift);
        if (key == 0)
            return; // a handler swallowed it
        m.WParam = key;
        DefaultHandler(m);
        return;
    }
    case WM_CHAR: {
        char key = char(m.WParam);
        KeyPress(key);
        if (key == 0)
            return;
        m.WParam = WPARAM(static_cast<unsigned char>(key));
        DefaultHandler(m);
        return;
    }
    case WM_CANCELMODE: {
        TControl* captured = GetCaptureControl();
        if (captured && captured != this && captured->Parent() == this)
            captured->Perform(WM_CANCELMODE, 0, 0);
        TControl::WndProc(m);
        DefaultHandler(m);
        return;
    }
    default:
        break;
    }
    if (IsMouseMessage(m.Msg)) {
        if (IsControlMouseMsg(m))
            return;
        TControl::WndProc(m);
        DefaultHandler(m);
        return;
    }
    if (m.Msg >= CM_BASE && m.Msg < CM_BASE + 0x1000) {
        TControl::WndProc(m); // the framework's own messages stay with the controls
        return;
    }
    TControl::WndProc(m);
    DefaultHandler(m);
}

bool TWinControl::IsControlMouseMsg(TMessage& m) {
    TControl* target = nullptr;
    TControl* captured = GetCaptureControl();
    const rtl::TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
    if (captured && captured != this) {
        if (captured->Parent() == this && !Isa<TWinControl>(captured))
            target = captured;
    } else if (!captured) {
        target = ControlAtPos(p, false);
    }
    if (!target)
        return false;
    const int x = p.X - target->Left();
    const int y = p.Y - target->Top();
    target->Perform(m.Msg, m.WParam, MAKELPARAM(WORD(SHORT(x)), WORD(SHORT(y))));
    m.Result = 0;
    return true;
}

TControl* TWinControl::ControlAtPos(rtl::TPoint p, bool allowDisabled, bool allowWinControls) {
    auto qualifies = [&](TControl* c) {
        if (!c->Visible() || (!c->Enabled() && !allowDisabled))
            return false;
        const rtl::TPoint local{p.X - c->Left(), p.Y - c->Top()};
        return local.X >= 0 && local.Y >= 0 && local.X < c->Width() && local.Y < c->Height() &&
               c->HitTest(local.X, local.Y);
    };
    if (allowWinControls)
        for (auto it = FWinControls.rbegin(); it != FWinControls.rend(); ++it)
            if (qualifies(*it))
                return *it;
    for (auto it = FGraphics.rbegin(); it != FGraphics.rend(); ++it)
        if (qualifies(*it))
            return *it;
    return nullptr;
}

void TWinControl::WMSetCursor(TMessage& m) {
    if (reinterpret_cast<HWND>(m.WParam) == FHandle && LOWORD(DWORD(m.LParam)) == HTCLIENT) {
        TCursor cursor = Screen ? Screen->Cursor() : crDefault;
        if (cursor == crDefault) {
            POINT p{};
            ::GetCursorPos(&p);
            TControl* control = GetCaptureControl();
            if (!control || control == this)
                control = ControlAtPos(ScreenToClient({p.x, p.y}), false);
            if (control && control != this && control->Parent() == this)
                cursor = control->Cursor();
            if (cursor == crDefault)
                cursor = FCursor;
        }
        if (cursor != crDefault && Screen) {
            ::SetCursor(Screen->Cursors(cursor));
            m.Result = 1;
            return;
        }
    }
    DefaultHandler(m);
}

void TWinControl::PaintHandler(TMessage& m) {
    if (m.WParam) {
        PaintControlsTo(reinterpret_cast<HDC>(m.WParam));
        return;
    }
    PAINTSTRUCT ps{};
    HDC dc = ::BeginPaint(FHandle, &ps);
    struct TEndPaint {
        HWND Wnd;
        PAINTSTRUCT* Ps;
        ~TEndPaint() { ::EndPaint(Wnd, Ps); }
    } endPaint{FHandle, &ps};
    if (dc)
        PaintControlsTo(dc);
}

void TWinControl::PaintControlsTo(HDC dc) {
    {
        TSavedDC saved(dc);
        for (TControl* c : FGraphics)
            if (c->Visible() && c->ControlStyle().Contains(csOpaque))
                ::ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(),
                                  c->Top() + c->Height());
        PaintWindow(dc);
    }
    PaintControls(dc, nullptr);
}

void TWinControl::PaintWindow(HDC dc) {
    RECT r{0, 0, 0, 0};
    if (FHandle)
        ::GetClientRect(FHandle, &r);
    else
        r = RECT{0, 0, FWidth, FHeight};
    HBRUSH brush = ::CreateSolidBrush(graphics::ColorToRGB(FColor));
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
    auto it = FGraphics.begin();
    if (first) {
        it = std::find(FGraphics.begin(), FGraphics.end(), first);
        if (it == FGraphics.end())
            it = FGraphics.begin();
    }
    POINT origin{};
    ::GetViewportOrgEx(dc, &origin);
    // A control may hide or remove others while it paints: work on a copy.
    const std::vector<TControl*> controls(it, FGraphics.end());
    for (TControl* c : controls) {
        if (std::find(FGraphics.begin(), FGraphics.end(), c) == FGraphics.end())
            continue;
        if (!c->Visible() || c->Width() <= 0 || c->Height() <= 0)
            continue;
        const RECT bounds{c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height()};
        if (!::RectVisible(dc, &bounds))
            continue;
        TSavedDC saved(dc);
        ::SetViewportOrgEx(dc, origin.x + c->Left(), origin.y + c->Top(), nullptr);
        ::IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
        c->PaintOn(dc);
    }
}

void TWinControl::UpdateBounds() {
    if (!FHandle)
        return;
    RECT r{};
    ::GetWindowRect(FHandle, &r);
    if (::GetWindowLongA(FHandle, GWL_STYLE) & LONG(WS_CHILD)) {
        HWND parent = ::GetParent(FHandle);
        if (parent)
            ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (r.left == FLeft && r.top == FTop && w == FWidth && h == FHeight)
        return;
    const bool resized = w != FWidth || h != FHeight;
    FLeft = r.left;
    FTop = r.top;
    FWidth = w;
    FHeight = h;
    if (resized)
        Resize();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (!FHandle) {
        TControl::SetBounds(left, top, width, height);
        return;
    }
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
        return;
    ::SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();
}

rtl::TRect TWinControl::ClientRect() const {
    if (FHandle) {
        RECT r{};
        ::GetClientRect(FHandle, &r);
        return rtl::Rect(r.left, r.top, r.right, r.bottom);
    }
    return TControl::ClientRect();
}

rtl::TPoint TWinControl::ClientOrigin() const {
    if (FHandle) {
        POINT p{0, 0};
        ::ClientToScreen(FHandle, &p);
        return {p.x, p.y};
    }
    return TControl::ClientOrigin();
}

bool TWinControl::Showing() const {
    if (FHandle)
        return ::IsWindowVisible(FHandle) != FALSE;
    return TControl::Showing();
}

void TWinControl::Invalidate() {
    if (FHandle)
        ::InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
    if (FHandle)
        ::UpdateWindow(FHandle);
}

void TWinControl::SetFocus() {
    if (CanFocus())
        ::SetFocus(Handle());
}

bool TWinControl::Focused() const {
    return FHandle && ::GetFocus() == FHandle;
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return true;
}

void TWinControl::VisibleChanged() {
    UpdateShowing();
}

void TWinControl::UpdateShowing() {
    if (FHandle)
        ::ShowWindow(FHandle, FVisible ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (!FVisible && GetCaptureControl() == this)
        SetCaptureControl(nullptr);
}

void TWinControl::SetEnabled(bool value) {
    if (FEnabled == value)
        return;
    TControl::SetEnabled(value);
    if (FHandle)
        ::EnableWindow(FHandle, value ? TRUE : FALSE);
}

void TWinControl::TextChanged() {
    if (FHandle)
        ::SetWindowTextA(FHandle, FText.c_str());
    TControl::TextChanged();
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == FParent)
        return;
    TControl::SetParent(parent);
}

void TWinControl::FontChanged() {
    Invalidate();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
    Invalidate();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->ParentColorChanged();
}

void TWinControl::InsertControl(TControl* control) {
    control->FParent = this;
    FControls.push_back(control);
    if (auto* win = DynCast<TWinControl>(control)) {
        FWinControls.push_back(win);
        if (FHandle) {
            if (win->FHandle)
                ::SetParent(win->FHandle, FHandle);
            else if (!win->IsLoading())
                win->Handle();
        }
    } else {
        FGraphics.push_back(control);
        control->Invalidate();
    }
}

void TWinControl::RemoveControl(TControl* control) {
    if (control->FParent != this)
        return;
    if (GetCaptureControl() == control)
        SetCaptureControl(nullptr);
    if (auto* win = DynCast<TWinControl>(control)) {
        win->DestroyHandle();
        std::erase(FWinControls, win);
    } else {
        control->InvalidateControl(control->Visible(), false);
        std::erase(FGraphics, control);
    }
    std::erase(FControls, control);
    control->FParent = nullptr;
}

void TWinControl::ChangeScale(int m, int d) {
    if (m == d)
        return;
    for (TControl* c : std::vector<TControl*>(FControls))
        c->ChangeScale(m, d);
    TControl::ChangeScale(m, d);
}

// --- TGraphicControl

constinit const TClassInfo TGraphicControl::ClassInfo =
    ClassInfoOf<TGraphicControl, TControl>("TGraphicControl");

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), FCanvas(new TControlCanvas) {
    FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC dc) {
    PaintThrough(*FCanvas, dc, [this] { Paint(); });
}

// --- TCustomControl

constinit const TClassInfo TCustomControl::ClassInfo =
    ClassInfoOf<TCustomControl, TWinControl>("TCustomControl");

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(new TControlCanvas) {
    FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
    PaintThrough(*FCanvas, dc, [this] { Paint(); });
}

} // namespace ui
