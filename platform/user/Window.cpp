// Window classes, window creation and destruction, window data, hierarchy, z-order,
// position, size, show state, text, enabling.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace platform::user {

namespace {

std::string Upper(const char* s) {
    std::string r(s ? s : "");
    for (char& c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
    auto& classes = S().Classes;
    if (!name)
        return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = ATOM(ULONG_PTR(name));
        for (auto& [key, cls] : classes)
            if (cls->Atom == atom)
                return cls;
        return nullptr;
    }
    auto it = classes.find(Upper(name));
    return it == classes.end() ? nullptr : it->second;
}

void RemoveFromParent(Window* w) {
    if (!w->Parent)
        return;
    auto& list = w->Parent->Children;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

// Inserts w into its parent's child list at the place `after` names.
void InsertInZOrder(Window* w, HWND after) {
    auto& list = w->Parent->Children;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    bool topmost = (w->ExStyle & WS_EX_TOPMOST) != 0;
    auto firstNonTopmost = [&] {
        return std::find_if(list.begin(), list.end(),
                            [](Window* o) { return (o->ExStyle & WS_EX_TOPMOST) == 0; });
    };
    if (after == HWND_BOTTOM) {
        list.push_back(w);
    } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        if (topmost || !w->IsTopLevel())
            list.insert(list.begin(), w);
        else
            list.insert(firstNonTopmost(), w);
    } else {
        Window* a = FromHandleQuiet(after);
        auto it = a ? std::find(list.begin(), list.end(), a) : list.end();
        if (it == list.end())
            list.insert(topmost || !w->IsTopLevel() ? list.begin() : firstNonTopmost(), w);
        else
            list.insert(it + 1, w);
    }
}

void BringOwnedAbove(Window* owner) {
    if (!owner->IsTopLevel())
        return;
    std::vector<Window*> owned;
    for (Window* w : S().Desktop->Children)
        if (w->Owner == owner && w->Visible())
            owned.push_back(w);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
        InsertInZOrder(*it, HWND_TOP);
        BringOwnedAbove(*it);
    }
}

void NotifyTop(Window* w, unsigned changes) {
    if (w && w->IsTopLevel() && CurrentBackend())
        GetBackend().TopLevelChanged(w, changes);
}

Window* NextActivationCandidate(Window* leaving) {
    if (leaving && leaving->Owner && leaving->Owner->Visible() && leaving->Owner->Enabled() &&
        !leaving->Owner->Destroying)
        return leaving->Owner;
    for (Window* w : S().Desktop->Children)
        if (w != leaving && w->Visible() && w->Enabled() && !w->Destroying && !w->Minimized() &&
            !(w->ExStyle & WS_EX_TOOLWINDOW) && w->Rect.right > w->Rect.left)
            return w;
    return nullptr;
}

bool IsDescendant(Window* ancestor, Window* w) {
    for (; w; w = w->Parent)
        if (w == ancestor)
            return true;
    return false;
}

// Applies a new position, size, z-order and visibility; sends the position messages.
BOOL SetPos(Window* w, HWND after, int x, int y, int cx, int cy, UINT flags, bool stateChanged) {
    HWND hwnd = w->Handle;
    WINDOWPOS wp{hwnd, after, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
        wp.x = w->Rect.left;
        wp.y = w->Rect.top;
    }
    if (flags & SWP_NOSIZE) {
        wp.cx = w->Rect.right - w->Rect.left;
        wp.cy = w->Rect.bottom - w->Rect.top;
    }
    wp.cx = std::max(wp.cx, 0);
    wp.cy = std::max(wp.cy, 0);
    if (!(flags & SWP_NOSENDCHANGING))
        SendMessageA(hwnd, WM_WINDOWPOSCHANGING, 0, LPARAM(&wp));
    if (!FromHandleQuiet(hwnd))
        return FALSE;
    flags = wp.flags;
    RECT oldRect = w->Rect;
    bool wasVisible = IsReallyVisible(w);
    RECT newRect{wp.x, wp.y, wp.x + std::max(wp.cx, 0), wp.y + std::max(wp.cy, 0)};
    bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;
    bool sized = (newRect.right - newRect.left) != (oldRect.right - oldRect.left) ||
                 (newRect.bottom - newRect.top) != (oldRect.bottom - oldRect.top);
    if (!moved)
        flags |= SWP_NOMOVE;
    if (!sized && !stateChanged)
        flags |= SWP_NOSIZE;
    w->Rect = newRect;
    bool zchanged = false;
    if (!(flags & SWP_NOZORDER)) {
        if (wp.hwndInsertAfter == HWND_TOPMOST)
            w->ExStyle |= WS_EX_TOPMOST;
        else if (wp.hwndInsertAfter == HWND_NOTOPMOST)
            w->ExStyle &= ~WS_EX_TOPMOST;
        InsertInZOrder(w, wp.hwndInsertAfter);
        if (wp.hwndInsertAfter != HWND_BOTTOM)
            BringOwnedAbove(w);
        zchanged = true;
    }
    unsigned changes = 0;
    if (flags & SWP_SHOWWINDOW && !w->Visible()) {
        w->Style |= WS_VISIBLE;
        changes |= Backend::Shown;
    }
    if (flags & SWP_HIDEWINDOW && w->Visible()) {
        w->Style &= ~WS_VISIBLE;
        changes |= Backend::Hidden;
    }
    if (moved)
        changes |= Backend::Moved;
    if (sized)
        changes |= Backend::Resized;
    if (stateChanged)
        changes |= Backend::State;
    if (zchanged)
        changes |= Backend::ZOrder;
    bool nowVisible = IsReallyVisible(w);
    if (w->IsTopLevel()) {
        if (sized || stateChanged || (changes & (Backend::Shown | Backend::Hidden)))
            ResizeSurface(w);
        // A new surface holds nothing worth keeping: it is repainted even with SWP_NOREDRAW.
        if (nowVisible && (sized || stateChanged || (changes & Backend::Shown)))
            InvalidateIn(w, ClientRectOf(w), true, true);
        NotifyTop(w, changes);
    } else {
        Window* top = TopLevelOf(w);
        if (wasVisible && (moved || sized || (changes & Backend::Hidden) || zchanged))
            ExposeArea(w->Parent, oldRect);
        if (nowVisible && (moved || sized || (changes & Backend::Shown) || zchanged) &&
            !(flags & SWP_NOREDRAW))
            ExposeArea(w->Parent, w->Rect);
        if (nowVisible && (flags & SWP_FRAMECHANGED)) {
            w->FrameDirty = true;
            w->InternalPaint = true;
        }
        RetargetDcs(top);
    }
    if (changes & Backend::Hidden) {
        // A hidden window loses the capture and the focus; the active window moves on.
        // (Each step sends messages whose handlers may destroy the window.)
        if (S().Capture && IsDescendant(w, FromHandleQuiet(S().Capture)))
            ReleaseCapture();
        if (!FromHandleQuiet(hwnd))
            return TRUE;
        if (S().Focus && IsDescendant(w, FromHandleQuiet(S().Focus)))
            SetFocus(w->IsTopLevel() ? nullptr : w->Parent->Handle);
        if (!FromHandleQuiet(hwnd))
            return TRUE;
        if (w->IsTopLevel() && S().Active == hwnd) {
            Window* next = NextActivationCandidate(w);
            ActivateWindow(next, WA_ACTIVE);
        }
        if (!FromHandleQuiet(hwnd))
            return TRUE;
    }
    if (!(flags & SWP_NOACTIVATE) && w->IsTopLevel() && nowVisible && !(changes & Backend::Hidden))
        ActivateWindow(w, WA_ACTIVE);
    if (!FromHandleQuiet(hwnd))
        return TRUE;
    wp.x = w->Rect.left;
    wp.y = w->Rect.top;
    wp.cx = w->Rect.right - w->Rect.left;
    wp.cy = w->Rect.bottom - w->Rect.top;
    wp.flags = flags;
    SendMessageA(hwnd, WM_WINDOWPOSCHANGED, 0, LPARAM(&wp));
    return TRUE;
}

RECT MaximizedRect(Window* w) {
    if (w->IsTopLevel())
        return GetBackend().ScreenRect();
    RECT r = ClientRectOf(w->Parent);
    RECT in = FrameInsets(w);
    return RECT{-in.left, -in.top, r.right + in.right, r.bottom + in.bottom};
}

void DestroyTree(Window* w);

} // namespace

namespace {

// WM_ACTIVATEAPP goes to every top-level window of the program, hidden ones included.
void SendActivateApp(BOOL active) {
    std::vector<HWND> tops;
    for (Window* t : S().Desktop->Children)
        tops.push_back(t->Handle);
    for (HWND h : tops)
        if (FromHandleQuiet(h))
            SendMessageA(h, WM_ACTIVATEAPP, active, 0);
}

bool FocusWithin(HWND top) {
    HWND focus = S().Focus;
    return focus && FromHandleQuiet(focus) && (focus == top || IsChild(top, focus));
}

} // namespace

void ActivateWindow(Window* w, WPARAM how) {
    State& s = S();
    HWND newActive = w ? w->Handle : nullptr;
    if (s.Active == newActive)
        return;
    HWND old = s.Active;
    s.Active = newActive;
    if (old && FromHandleQuiet(old)) {
        SendMessageA(old, WM_NCACTIVATE, FALSE, 0);
        if (FromHandleQuiet(old))
            SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, LPARAM(newActive));
    }
    if (!old && newActive)
        SendActivateApp(TRUE);
    if (newActive && FromHandleQuiet(newActive)) {
        InsertInZOrder(w, HWND_TOP);
        BringOwnedAbove(w);
        NotifyTop(w, Backend::ZOrder);
        SendMessageA(newActive, WM_NCACTIVATE, TRUE, 0);
        if (FromHandleQuiet(newActive))
            SendMessageA(newActive, WM_ACTIVATE, how, LPARAM(old));
    } else if (old) {
        SendActivateApp(FALSE);
    }
    // The focus does not stay in a window that is no longer active. (The default
    // procedure of the newly active window has normally moved it already.)
    if (old && s.Active == newActive && FocusWithin(old)) {
        HWND focus = s.Focus;
        s.Focus = nullptr;
        SendMessageA(focus, WM_KILLFOCUS, 0, 0);
    }
}

void DeactivateApplication() {
    State& s = S();
    // Another program takes the keyboard and the pointer: a mode that holds the capture
    // ends, then the active window, the program and the focus are told in that order.
    if (HWND capture = s.Capture) {
        if (FromHandleQuiet(capture))
            SendMessageA(capture, WM_CANCELMODE, 0, 0);
        if (s.Capture)
            ReleaseCapture();
    }
    if (s.Active)
        ActivateWindow(nullptr, WA_INACTIVE);
}

void CloseFromWindowManager(Window* top) {
    if (!top || !top->IsTopLevel())
        return;
    if (!top->Enabled()) {
        // Under a modal window the frame's close button does nothing but bring the modal
        // window forward, as a click on the disabled window would.
        MessageBeep(0);
        if (HWND popup = GetWindow(top->Handle, GW_ENABLEDPOPUP))
            ActivateWindow(FromHandleQuiet(popup), WA_ACTIVE);
        return;
    }
    PostMessageA(top->Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
}

namespace {

void DestroyTree(Window* w) {
    HWND hwnd = w->Handle;
    w->Destroying = true;
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    std::vector<Window*> children = w->Children;
    for (Window* c : children)
        if (FromHandleQuiet(c->Handle) && !c->Destroying)
            DestroyTree(c);
    State& s = S();
    if (s.Capture == hwnd) {
        s.Capture = nullptr;
        SendMessageA(hwnd, WM_CAPTURECHANGED, 0, 0);
    }
    if (s.Focus == hwnd)
        s.Focus = nullptr;
    s.Timers.erase(std::remove_if(s.Timers.begin(), s.Timers.end(),
                                  [&](const Timer& t) { return t.Hwnd == hwnd; }),
                   s.Timers.end());
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    {
        PixelLock lock = LockPixels();
        for (auto it = s.Dcs.begin(); it != s.Dcs.end();) {
            if (it->second.Hwnd == hwnd) {
                DeleteSurfaceDC(it->first);
                it = s.Dcs.erase(it);
            } else {
                ++it;
            }
        }
        // No context draws on its pixels any more.
        w->Surf = platform::Surface{};
        w->Pixels.Release();
    }
    if (w->IsTopLevel())
        NotifyTop(w, Backend::Destroyed);
    RemoveFromParent(w);
    for (auto& [h, o] : s.Windows)
        if (o->Owner == w)
            o->Owner = nullptr;
    if (w->Class)
        w->Class->WindowCount--;
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        Posted().LiveHandles.erase(std::uintptr_t(hwnd));
    }
    s.Windows.erase(std::uintptr_t(hwnd));
}

} // namespace

} // namespace platform::user

using namespace platform::user;

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    EnsureInit();
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbClsExtra < 0 || wc->cbWndExtra < 0 ||
        IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key;
    for (const char* p = wc->lpszClassName; *p; ++p)
        key += char(std::toupper(static_cast<unsigned char>(*p)));
    if (S().Classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->Name = wc->lpszClassName;
    cls->Style = wc->style;
    cls->Proc = wc->lpfnWndProc;
    cls->Instance = wc->hInstance;
    cls->Icon = wc->hIcon;
    cls->IconSmall = wc->hIconSm;
    cls->Cursor = wc->hCursor;
    cls->Background = wc->hbrBackground;
    cls->ClassExtra = wc->cbClsExtra;
    cls->WindowExtra = wc->cbWndExtra;
    if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName))
        cls->MenuName = wc->lpszMenuName;
    cls->Atom = S().NextAtom++;
    S().Classes[key] = cls;
    return cls->Atom;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    EnsureInit();
    auto cls = FindClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->WindowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    S().Classes.erase(Upper(cls->Name.c_str()));
    return TRUE;
}

BOOL GetClassInfoExA(HINSTANCE, LPCSTR className, WNDCLASSEXA* wc) {
    EnsureInit();
    auto cls = FindClass(className);
    if (!cls || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    wc->cbSize = sizeof(WNDCLASSEXA);
    wc->style = cls->Style;
    wc->lpfnWndProc = cls->Proc;
    wc->cbClsExtra = cls->ClassExtra;
    wc->cbWndExtra = cls->WindowExtra;
    wc->hInstance = cls->Instance;
    wc->hIcon = cls->Icon;
    wc->hCursor = cls->Cursor;
    wc->hbrBackground = cls->Background;
    wc->lpszMenuName = cls->MenuName.empty() ? nullptr : cls->MenuName.c_str();
    wc->lpszClassName = cls->Name.c_str();
    wc->hIconSm = cls->IconSmall;
    return cls->Atom;
}

BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wc) {
    WNDCLASSEXA ex{};
    BOOL ok = GetClassInfoExA(instance, className, &ex);
    if (!ok || !wc)
        return FALSE;
    *wc = WNDCLASSA{ex.style, ex.lpfnWndProc, ex.cbClsExtra,    ex.cbWndExtra,   ex.hInstance,
                    ex.hIcon, ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
    return ok;
}

int GetClassNameA(HWND hwnd, LPSTR buffer, int maxCount) {
    Window* w = FromHandle(hwnd);
    if (!w || !buffer || maxCount <= 0)
        return 0;
    int n = std::min<int>(int(w->Class->Name.size()), maxCount - 1);
    std::memcpy(buffer, w->Class->Name.data(), size_t(n));
    buffer[n] = 0;
    return n;
}

ULONG_PTR GetClassLongPtrA(HWND hwnd, int index) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    WindowClass& c = *w->Class;
    switch (index) {
    case GCLP_HBRBACKGROUND:
        return ULONG_PTR(c.Background);
    case GCLP_HCURSOR:
        return ULONG_PTR(c.Cursor);
    case GCLP_HICON:
        return ULONG_PTR(c.Icon);
    case GCLP_HICONSM:
        return ULONG_PTR(c.IconSmall);
    case GCLP_HMODULE:
        return ULONG_PTR(c.Instance);
    case GCLP_WNDPROC:
        return ULONG_PTR(c.Proc);
    case GCL_STYLE:
        return c.Style;
    case GCL_CBWNDEXTRA:
        return ULONG_PTR(c.WindowExtra);
    case GCL_CBCLSEXTRA:
        return ULONG_PTR(c.ClassExtra);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    WindowClass& c = *w->Class;
    ULONG_PTR old = GetClassLongPtrA(hwnd, index);
    switch (index) {
    case GCLP_HBRBACKGROUND:
        c.Background = reinterpret_cast<HBRUSH>(value);
        break;
    case GCLP_HCURSOR:
        c.Cursor = reinterpret_cast<HCURSOR>(value);
        break;
    case GCLP_HICON:
        c.Icon = reinterpret_cast<HICON>(value);
        for (auto& [h, o] : S().Windows)
            if (o->Class.get() == &c)
                NotifyTop(o.get(), Backend::Icon);
        break;
    case GCLP_HICONSM:
        c.IconSmall = reinterpret_cast<HICON>(value);
        break;
    case GCLP_WNDPROC:
        c.Proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GCL_STYLE:
        c.Style = UINT(value);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return old;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    EnsureInit();
    State& s = S();
    auto cls = FindClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    Window* parentWnd = nullptr;
    Window* owner = nullptr;
    if (parent && parent != HWND_MESSAGE) {
        parentWnd = FromHandle(parent);
        if (!parentWnd)
            return nullptr;
    }
    if (style & WS_CHILD) {
        if (!parentWnd) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    } else {
        owner = parentWnd ? TopLevelOf(parentWnd) : nullptr;
        parentWnd = s.Desktop;
    }
    auto holder = std::make_unique<Window>();
    Window* w = holder.get();
    w->Handle = reinterpret_cast<HWND>(s.NextHandle);
    s.NextHandle += 4;
    w->Class = cls;
    w->Proc = cls->Proc;
    w->Parent = parentWnd;
    w->Owner = owner;
    bool wantVisible = (style & WS_VISIBLE) != 0;
    bool wantMax = (style & WS_MAXIMIZE) != 0;
    bool wantMin = (style & WS_MINIMIZE) != 0;
    w->Style = style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    if (!(style & WS_CHILD) && !(style & WS_POPUP))
        w->Style |= WS_CLIPSIBLINGS | WS_CAPTION; // overlapped windows always have a caption
    w->ExStyle = exStyle;
    w->Text = windowName ? windowName : "";
    w->Instance = instance;
    w->Extra.assign(size_t(cls->WindowExtra), 0);
    if (style & WS_CHILD)
        w->Id = LONG_PTR(menu);
    if (!(style & WS_CHILD) && !(style & WS_POPUP)) {
        RECT screen = GetBackend().ScreenRect();
        static int cascade = 0;
        if (x == CW_USEDEFAULT) {
            x = 26 * (cascade % 8);
            y = 26 * (cascade % 8);
            ++cascade;
        }
        if (width == CW_USEDEFAULT) {
            width = (screen.right - screen.left) * 3 / 4;
            height = (screen.bottom - screen.top) * 3 / 4;
        }
    }
    if (x == CW_USEDEFAULT)
        x = y = 0;
    if (width == CW_USEDEFAULT)
        width = height = 0;
    w->Rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->RestoreRect = w->Rect;
    HWND hwnd = w->Handle;
    s.Windows[std::uintptr_t(hwnd)] = std::move(holder);
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        Posted().LiveHandles.insert(std::uintptr_t(hwnd));
    }
    cls->WindowCount++;
    InsertInZOrder(w, HWND_TOP);
    if (w->IsTopLevel()) {
        ResizeSurface(w);
        NotifyTop(w, Backend::Created);
    }
    CREATESTRUCTA cs{param, instance, menu,        parent,     height,    width,
                     y,     x,        LONG(style), windowName, className, exStyle};
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, LPARAM(&cs))) {
        if (FromHandleQuiet(hwnd))
            DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FromHandleQuiet(hwnd))
        return nullptr;
    if (SendMessageA(hwnd, WM_CREATE, 0, LPARAM(&cs)) == -1) {
        if (FromHandleQuiet(hwnd))
            DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FromHandleQuiet(hwnd))
        return nullptr;
    w->Created = true;
    RECT cr = ClientRectOf(w);
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(cr.right), WORD(cr.bottom)));
    POINT co = ClientOriginInParent(w);
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(WORD(co.x), WORD(co.y)));
    if (!FromHandleQuiet(hwnd))
        return nullptr;
    if (wantMax)
        ShowWindow(hwnd, wantVisible ? SW_SHOWMAXIMIZED : SW_MAXIMIZE);
    else if (wantMin)
        ShowWindow(hwnd, SW_SHOWMINNOACTIVE);
    else if (wantVisible)
        ShowWindow(hwnd, SW_SHOW);
    return FromHandleQuiet(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    if (w->Destroying)
        return TRUE;
    // Owned windows go first.
    std::vector<HWND> owned;
    for (Window* o : S().Desktop->Children)
        if (o->Owner == w)
            owned.push_back(o->Handle);
    for (HWND o : owned)
        if (FromHandleQuiet(o))
            DestroyWindow(o);
    if (!FromHandleQuiet(hwnd))
        return TRUE;
    if (w->Visible())
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!FromHandleQuiet(hwnd) || w->Destroying)
        return TRUE;
    Window* parent = w->Parent;
    RECT area = w->Rect;
    bool wasTop = w->IsTopLevel();
    bool wasActive = S().Active == hwnd;
    DestroyTree(w);
    if (!wasTop && FromHandleQuiet(parent->Handle))
        ExposeArea(parent, area);
    if (wasActive && S().Active == hwnd) {
        S().Active = nullptr;
        ActivateWindow(NextActivationCandidate(nullptr), WA_ACTIVE);
    }
    return TRUE;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc)
        return 0;
    return proc(hwnd, msg, wParam, lParam);
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    if (index >= 0) {
        if (size_t(index) + sizeof(LONG_PTR) > w->Extra.size()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        LONG_PTR v;
        std::memcpy(&v, w->Extra.data() + index, sizeof v);
        return v;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return LONG_PTR(w->Proc);
    case GWLP_HINSTANCE:
        return LONG_PTR(w->Instance);
    case GWLP_HWNDPARENT:
        return LONG_PTR(w->IsTopLevel() ? (w->Owner ? w->Owner->Handle : nullptr)
                                        : w->Parent->Handle);
    case GWLP_ID:
        return w->Id;
    case GWL_STYLE:
        return LONG_PTR(LONG(w->Style));
    case GWL_EXSTYLE:
        return LONG_PTR(LONG(w->ExStyle));
    case GWLP_USERDATA:
        return w->UserData;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    LONG_PTR old = GetWindowLongPtrA(hwnd, index);
    if (index >= 0) {
        if (size_t(index) + sizeof(LONG_PTR) > w->Extra.size())
            return 0;
        std::memcpy(w->Extra.data() + index, &value, sizeof value);
        return old;
    }
    switch (index) {
    case GWLP_WNDPROC:
        if (!value) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        w->Proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWLP_HINSTANCE:
        w->Instance = reinterpret_cast<HINSTANCE>(value);
        break;
    case GWLP_HWNDPARENT:
        if (w->IsTopLevel()) {
            Window* o = value ? FromHandleQuiet(reinterpret_cast<HWND>(value)) : nullptr;
            w->Owner = o ? TopLevelOf(o) : nullptr;
        }
        break;
    case GWLP_ID:
        w->Id = value;
        break;
    case GWL_STYLE: {
        DWORD keep = WS_MAXIMIZE | WS_MINIMIZE;
        DWORD nv = (DWORD(value) & ~keep) | (w->Style & keep);
        bool visChange = (nv ^ w->Style) & WS_VISIBLE;
        w->Style = nv;
        if (w->IsTopLevel()) {
            ResizeSurface(w);
            NotifyTop(w, visChange ? (w->Visible() ? Backend::Shown : Backend::Hidden) : 0u);
        } else {
            RetargetDcs(TopLevelOf(w));
        }
        break;
    }
    case GWL_EXSTYLE:
        w->ExStyle = DWORD(value);
        break;
    case GWLP_USERDATA:
        w->UserData = value;
        break;
    default:
        return 0;
    }
    return old;
}

LONG GetWindowLongA(HWND hwnd, int index) {
    return LONG(GetWindowLongPtrA(hwnd, index));
}
LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    return LONG(SetWindowLongPtrA(hwnd, index, value));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* w = FromHandle(hwnd);
    if (!w || w == S().Desktop)
        return FALSE;
    // Unlike ShowWindow, showing or hiding through SetWindowPos sends no WM_SHOWWINDOW.
    if (!(flags & SWP_NOSIZE) || !(flags & SWP_NOMOVE)) {
        // Moving a maximised window by hand makes it a normal one again.
        if (w->Maximized() && !(flags & SWP_NOSIZE)) {
            RECT mr = MaximizedRect(w);
            if (cx != mr.right - mr.left || cy != mr.bottom - mr.top)
                w->Style &= ~WS_MAXIMIZE;
        }
    }
    BOOL ok = SetPos(w, insertAfter, x, y, cx, cy, flags, false);
    if (ok && FromHandleQuiet(hwnd) && !w->Maximized() && !w->Minimized())
        w->RestoreRect = w->Rect;
    return ok;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    Window* w = FromHandle(hwnd);
    if (!w || w == S().Desktop)
        return FALSE;
    BOOL wasVisible = w->Visible() ? TRUE : FALSE;
    UINT flags = SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE;
    bool toMax = false, toMin = false, toRestore = false;
    bool activate = w->IsTopLevel() && !(w->ExStyle & WS_EX_NOACTIVATE);
    switch (cmdShow) {
    case SW_HIDE:
        if (!wasVisible)
            return FALSE;
        flags |= SWP_HIDEWINDOW | SWP_NOACTIVATE;
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
    case SW_RESTORE:
        flags |= SWP_SHOWWINDOW;
        toRestore = w->Maximized() || w->Minimized();
        if (!activate)
            flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWNOACTIVATE:
        flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
        toRestore = w->Maximized() || w->Minimized();
        break;
    case SW_SHOW:
        flags |= SWP_SHOWWINDOW;
        if (!activate)
            flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWNA:
        flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
        break;
    case SW_SHOWMAXIMIZED:
        flags |= SWP_SHOWWINDOW;
        toMax = true;
        if (!activate)
            flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
        toMin = true;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (toMax && w->Maximized())
        toMax = false;
    if (toMin && w->Minimized())
        toMin = false;
    if (flags & SWP_SHOWWINDOW && wasVisible)
        flags &= ~SWP_SHOWWINDOW;
    if (flags & SWP_SHOWWINDOW)
        SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    else if (flags & SWP_HIDEWINDOW)
        SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
    if (!FromHandleQuiet(hwnd))
        return wasVisible;
    RECT target = w->Rect;
    bool stateChanged = false;
    if (toMax) {
        if (!w->Minimized())
            w->RestoreRect = w->Rect;
        w->Style = (w->Style & ~WS_MINIMIZE) | WS_MAXIMIZE;
        target = MaximizedRect(w);
        stateChanged = true;
    } else if (toMin) {
        if (!w->Maximized())
            w->RestoreRect = w->Rect;
        w->WasMaximized = w->Maximized();
        w->Style = (w->Style & ~WS_MAXIMIZE) | WS_MINIMIZE;
        stateChanged = true;
        if (S().Active == hwnd)
            ActivateWindow(NextActivationCandidate(w), WA_ACTIVE);
        if (!FromHandleQuiet(hwnd))
            return wasVisible;
    } else if (toRestore) {
        bool backToMax = w->Minimized() && w->WasMaximized && cmdShow == SW_RESTORE;
        w->Style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        if (backToMax) {
            w->Style |= WS_MAXIMIZE;
            target = MaximizedRect(w);
        } else {
            target = w->RestoreRect;
        }
        stateChanged = true;
    }
    if (stateChanged)
        flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
    if (!(flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) && !stateChanged && wasVisible &&
        (flags & SWP_NOACTIVATE))
        return wasVisible;
    SetPos(w, nullptr, target.left, target.top, target.right - target.left,
           target.bottom - target.top, flags, stateChanged);
    return wasVisible;
}

BOOL IsWindow(HWND hwnd) {
    return FromHandleQuiet(hwnd) != nullptr;
}

BOOL IsWindowVisible(HWND hwnd) {
    Window* w = FromHandleQuiet(hwnd);
    return w && IsReallyVisible(w);
}

BOOL IsWindowEnabled(HWND hwnd) {
    Window* w = FromHandleQuiet(hwnd);
    return w && w->Enabled();
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    BOOL wasDisabled = w->Enabled() ? FALSE : TRUE;
    if (bool(enable) == !wasDisabled)
        return wasDisabled;
    if (!enable) {
        // A window being disabled is told first, so that it can end whatever mode it is in
        // (a drag, a pressed button) while it still has the capture.
        SendMessageA(hwnd, WM_CANCELMODE, 0, 0);
        if (!FromHandleQuiet(hwnd))
            return wasDisabled;
        if (!w->Enabled())
            return wasDisabled; // its handler disabled it already
    }
    if (enable) {
        w->Style &= ~WS_DISABLED;
    } else {
        w->Style |= WS_DISABLED;
        if (S().Focus && IsDescendant(w, FromHandleQuiet(S().Focus)))
            SetFocus(nullptr);
        if (S().Capture && IsDescendant(w, FromHandleQuiet(S().Capture)))
            ReleaseCapture();
        if (!FromHandleQuiet(hwnd))
            return wasDisabled;
    }
    NotifyTop(w, Backend::Enabled);
    SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsIconic(HWND hwnd) {
    Window* w = FromHandleQuiet(hwnd);
    return w && w->Minimized();
}

BOOL IsZoomed(HWND hwnd) {
    Window* w = FromHandleQuiet(hwnd);
    return w && w->Maximized();
}

BOOL IsChild(HWND parent, HWND hwnd) {
    Window* p = FromHandleQuiet(parent);
    Window* w = FromHandleQuiet(hwnd);
    if (!p || !w)
        return FALSE;
    for (; w && (w->Style & WS_CHILD) && w->Parent; w = w->Parent)
        if (w->Parent == p)
            return TRUE;
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return nullptr;
    if (w->Style & WS_CHILD)
        return w->Parent ? w->Parent->Handle : nullptr;
    if ((w->Style & WS_POPUP) && w->Owner)
        return w->Owner->Handle;
    return nullptr;
}

HWND SetParent(HWND child, HWND newParent) {
    Window* w = FromHandle(child);
    if (!w || w == S().Desktop)
        return nullptr;
    Window* p = newParent ? FromHandle(newParent) : S().Desktop;
    if (!p || IsDescendant(w, p))
        return nullptr;
    HWND old = w->Parent ? w->Parent->Handle : nullptr;
    bool wasVisible = IsReallyVisible(w);
    if (wasVisible && !w->IsTopLevel())
        ExposeArea(w->Parent, w->Rect);
    bool wasTop = w->IsTopLevel();
    if (wasTop)
        NotifyTop(w, Backend::Destroyed);
    RemoveFromParent(w);
    w->Parent = p;
    InsertInZOrder(w, HWND_TOP);
    if (w->IsTopLevel()) {
        ResizeSurface(w);
        NotifyTop(w, Backend::Created | (w->Visible() ? Backend::Shown : 0u));
    } else {
        // Its contexts move to the new top-level window's surface before its own pixels go.
        PixelLock lock = LockPixels();
        w->Surf = platform::Surface{};
        RetargetDcs(TopLevelOf(w));
        w->Pixels.Release();
    }
    if (IsReallyVisible(w))
        InvalidateIn(w, ClientRectOf(w), true, true);
    if (old == S().Desktop->Handle)
        return GetDesktopWindow();
    return old;
}

HWND GetDesktopWindow() {
    EnsureInit();
    return S().Desktop->Handle;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return nullptr;
    auto siblings = [&]() -> std::vector<Window*>& { return w->Parent->Children; };
    switch (cmd) {
    case GW_CHILD:
        return w->Children.empty() ? nullptr : w->Children.front()->Handle;
    case GW_OWNER:
        return w->Owner ? w->Owner->Handle : nullptr;
    case GW_HWNDFIRST:
        return w->Parent ? siblings().front()->Handle : nullptr;
    case GW_HWNDLAST:
        return w->Parent ? siblings().back()->Handle : nullptr;
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
        if (!w->Parent)
            return nullptr;
        auto& list = siblings();
        auto it = std::find(list.begin(), list.end(), w);
        if (cmd == GW_HWNDNEXT)
            return (it + 1) != list.end() ? (*(it + 1))->Handle : nullptr;
        return it != list.begin() ? (*(it - 1))->Handle : nullptr;
    }
    case GW_ENABLEDPOPUP:
        for (Window* o : S().Desktop->Children)
            if (o->Owner == w && o->Visible() && o->Enabled())
                return o->Handle;
        return nullptr;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    Window* w = FromHandle(hwnd);
    if (!w || w == S().Desktop)
        return nullptr;
    switch (flags) {
    case GA_PARENT:
        return w->Parent ? w->Parent->Handle : nullptr;
    case GA_ROOT:
        return TopLevelOf(w)->Handle;
    case GA_ROOTOWNER: {
        Window* r = TopLevelOf(w);
        while (r->Owner)
            r = r->Owner;
        return r->Handle;
    }
    default:
        return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    EnsureInit();
    Window* w = hwnd ? FromHandle(hwnd) : S().Desktop;
    if (!w || w->Children.empty())
        return nullptr;
    return w->Children.front()->Handle;
}

BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
    EnsureInit();
    if (!proc)
        return FALSE;
    std::vector<HWND> list;
    for (Window* w : S().Desktop->Children)
        list.push_back(w->Handle);
    for (HWND h : list)
        if (FromHandleQuiet(h) && !proc(h, lParam))
            return FALSE;
    return TRUE;
}

BOOL EnumThreadWindows(DWORD, WNDENUMPROC proc, LPARAM lParam) {
    return EnumWindows(proc, lParam);
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
    EnsureInit();
    Window* p = parent ? FromHandle(parent) : S().Desktop;
    if (!p || !proc)
        return FALSE;
    std::vector<HWND> list;
    std::function<void(Window*)> collect = [&](Window* w) {
        for (Window* c : w->Children) {
            list.push_back(c->Handle);
            collect(c);
        }
    };
    collect(p);
    for (HWND h : list)
        if (FromHandleQuiet(h) && !proc(h, lParam))
            return FALSE;
    return TRUE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    EnsureInit();
    for (Window* w : S().Desktop->Children) {
        if (className && !IS_INTRESOURCE(className) &&
            Upper(className) != Upper(w->Class->Name.c_str()))
            continue;
        if (windowName && w->Text != windowName)
            continue;
        return w->Handle;
    }
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    if (!FromHandle(hwnd))
        return 0;
    if (processId)
        *processId = GetCurrentProcessId();
    return DWORD(Posted().GuiThread);
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!FromHandle(hwnd))
        return FALSE;
    return SendMessageA(hwnd, WM_SETTEXT, 0, LPARAM(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
    if (!FromHandle(hwnd) || !buffer || maxCount <= 0)
        return 0;
    buffer[0] = 0;
    return int(SendMessageA(hwnd, WM_GETTEXT, WPARAM(maxCount), LPARAM(buffer)));
}

int GetWindowTextLengthA(HWND hwnd) {
    if (!FromHandle(hwnd))
        return 0;
    return int(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Window* w = FromHandle(hwnd);
    if (!w || !rect)
        return FALSE;
    *rect = ClientRectOf(w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* w = FromHandle(hwnd);
    if (!w || !rect)
        return FALSE;
    POINT o = ScreenWindowOrigin(w);
    *rect =
        RECT{o.x, o.y, o.x + (w->Rect.right - w->Rect.left), o.y + (w->Rect.bottom - w->Rect.top)};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    Window* w = FromHandle(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ScreenClientOrigin(w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    Window* w = FromHandle(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ScreenClientOrigin(w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    EnsureInit();
    Window* f = from ? FromHandle(from) : S().Desktop;
    Window* t = to ? FromHandle(to) : S().Desktop;
    if (!f || !t) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    POINT fo = ScreenClientOrigin(f), to_ = ScreenClientOrigin(t);
    int dx = fo.x - to_.x, dy = fo.y - to_.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(0);
    return MAKELONG(WORD(SHORT(dx)), WORD(SHORT(dy)));
}

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags) {
    Window* p = FromHandle(parent);
    if (!p)
        return nullptr;
    RECT cr = ClientRectOf(p);
    if (!PtInRect(&cr, point))
        return nullptr;
    for (Window* c : p->Children) {
        if ((flags & CWP_SKIPINVISIBLE) && !c->Visible())
            continue;
        if ((flags & CWP_SKIPDISABLED) && !c->Enabled())
            continue;
        if ((flags & CWP_SKIPTRANSPARENT) && (c->ExStyle & WS_EX_TRANSPARENT))
            continue;
        if (PtInRect(&c->Rect, point))
            return c->Handle;
    }
    return parent;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    return ChildWindowFromPointEx(parent, point, CWP_ALL);
}

HWND WindowFromPoint(POINT point) {
    EnsureInit();
    Window* w = HitTestWindow(point, false);
    return w ? w->Handle : nullptr;
}

namespace platform::user {

void ApplyExternalGeometry(Window* top, int x, int y, int width, int height, UINT flags) {
    SetPos(top, nullptr, x, y, width, height, flags | SWP_NOZORDER | SWP_NOACTIVATE, false);
    if (FromHandleQuiet(top->Handle) && !top->Maximized() && !top->Minimized())
        top->RestoreRect = top->Rect;
}

Window* HitTestWindow(POINT screen, bool skipDisabled, Window* onlyTop) {
    std::function<Window*(Window*, POINT)> descend = [&](Window* w, POINT pt) -> Window* {
        // pt is in w's parent client coordinates and lies in w's rectangle.
        POINT org = ClientOriginInParent(w);
        POINT local{pt.x - org.x, pt.y - org.y};
        RECT cr = ClientRectOf(w);
        if (PtInRect(&cr, local)) {
            for (Window* c : w->Children) {
                if (!c->Visible() || (skipDisabled && !c->Enabled()))
                    continue;
                if (PtInRect(&c->Rect, local))
                    return descend(c, local);
            }
        }
        return w;
    };
    if (onlyTop && onlyTop->Visible() && !onlyTop->Minimized())
        return PtInRect(&onlyTop->Rect, screen) ? descend(onlyTop, screen) : nullptr;
    for (Window* top : S().Desktop->Children) {
        if (!top->Visible() || top->Minimized())
            continue;
        if (PtInRect(&top->Rect, screen))
            return descend(top, screen);
    }
    return nullptr;
}

} // namespace platform::user
