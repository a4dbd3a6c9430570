// Window creation and destruction, window data, hierarchy, z-order, text, enabling,
// activation.
#include <algorithm>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace platform::user {

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
    for (Window* w : Windows().Desktop->Children)
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
    for (Window* w : Windows().Desktop->Children)
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

namespace {

void DestroyTree(Window* w);

} // namespace

namespace {

// WM_ACTIVATEAPP goes to every top-level window of the program, hidden ones included.
void SendActivateApp(BOOL active) {
    std::vector<HWND> tops;
    for (Window* t : Windows().Desktop->Children)
        tops.push_back(t->Handle);
    for (HWND h : tops)
        if (FromHandleQuiet(h))
            SendMessageA(h, WM_ACTIVATEAPP, active, 0);
}

bool FocusWithin(HWND top) {
    HWND focus = Input().Focus;
    return focus && FromHandleQuiet(focus) && (focus == top || IsChild(top, focus));
}

} // namespace

void ActivateWindow(Window* w, WPARAM how) {
    HWND newActive = w ? w->Handle : nullptr;
    if (Input().Active == newActive)
        return;
    HWND old = Input().Active;
    Input().Active = newActive;
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
    if (old && Input().Active == newActive && FocusWithin(old)) {
        HWND focus = Input().Focus;
        Input().Focus = nullptr;
        SendMessageA(focus, WM_KILLFOCUS, 0, 0);
    }
}

void DeactivateApplication() {
    // Another program takes the keyboard and the pointer: a mode that holds the capture
    // ends, then the active window, the program and the focus are told in that order.
    if (HWND capture = Input().Capture) {
        if (FromHandleQuiet(capture))
            SendMessageA(capture, WM_CANCELMODE, 0, 0);
        if (Input().Capture)
            ReleaseCapture();
    }
    if (Input().Active)
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
    if (Input().Capture == hwnd) {
        Input().Capture = nullptr;
        SendMessageA(hwnd, WM_CAPTURECHANGED, 0, 0);
    }
    if (Input().Focus == hwnd)
        Input().Focus = nullptr;
    Timers().List.erase(std::remove_if(Timers().List.begin(), Timers().List.end(),
                                       [&](const Timer& t) { return t.Hwnd == hwnd; }),
                        Timers().List.end());
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    {
        PixelLock lock = LockPixels();
        for (auto it = Windows().Dcs.begin(); it != Windows().Dcs.end();) {
            if (it->second.Hwnd == hwnd) {
                DeleteSurfaceDC(it->first);
                it = Windows().Dcs.erase(it);
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
    for (auto& [h, o] : Windows().ByHandle)
        if (o->Owner == w)
            o->Owner = nullptr;
    if (w->Class)
        w->Class->WindowCount--;
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        Posted().LiveHandles.erase(std::uintptr_t(hwnd));
    }
    Windows().ByHandle.erase(std::uintptr_t(hwnd));
}

// Replaces CW_USEDEFAULT in a new window's position and size. Overlapped windows
// cascade down and to the right (starting over after a few) and take three quarters of
// the screen; elsewhere CW_USEDEFAULT means 0.
void PlaceByDefault(DWORD style, int& x, int& y, int& width, int& height) {
    if (!(style & WS_CHILD) && !(style & WS_POPUP)) {
        RECT screen = GetBackend().ScreenRect();
        if (x == CW_USEDEFAULT) {
            constexpr int CascadeStep = 26, CascadePlaces = 8;
            x = y = CascadeStep * (Windows().DefaultPlacements % CascadePlaces);
            ++Windows().DefaultPlacements;
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
}

// Makes the window known: to the handle table, to the posting side, to its class, at the
// top of its siblings, and for a top-level window to the backend.
HWND EnterWindow(std::unique_ptr<Window> holder) {
    Window* w = holder.get();
    HWND hwnd = w->Handle;
    Windows().ByHandle[std::uintptr_t(hwnd)] = std::move(holder);
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        Posted().LiveHandles.insert(std::uintptr_t(hwnd));
    }
    w->Class->WindowCount++;
    InsertInZOrder(w, HWND_TOP);
    if (w->IsTopLevel()) {
        ResizeSurface(w);
        NotifyTop(w, Backend::Created);
    }
    return hwnd;
}

// WM_NCCREATE, WM_CREATE, then WM_SIZE and WM_MOVE. False when the window refused to be
// created (it is destroyed then) or was destroyed by its procedure meanwhile.
bool SendCreation(HWND hwnd, CREATESTRUCTA& cs) {
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, LPARAM(&cs))) {
        if (FromHandleQuiet(hwnd))
            DestroyWindow(hwnd);
        return false;
    }
    if (!FromHandleQuiet(hwnd))
        return false;
    if (SendMessageA(hwnd, WM_CREATE, 0, LPARAM(&cs)) == -1) {
        if (FromHandleQuiet(hwnd))
            DestroyWindow(hwnd);
        return false;
    }
    Window* w = FromHandleQuiet(hwnd);
    if (!w)
        return false;
    w->Created = true;
    RECT cr = ClientRectOf(w);
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(WORD(cr.right), WORD(cr.bottom)));
    POINT co = ClientOriginInParent(w);
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(WORD(co.x), WORD(co.y)));
    return FromHandleQuiet(hwnd) != nullptr;
}

} // namespace

} // namespace platform::user

using namespace platform::user;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    EnsureInit();
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
        parentWnd = Windows().Desktop;
    }
    auto holder = std::make_unique<Window>();
    Window* w = holder.get();
    w->Handle = reinterpret_cast<HWND>(Windows().NextHandle);
    Windows().NextHandle += 4;
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
    PlaceByDefault(style, x, y, width, height);
    w->Rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->RestoreRect = w->Rect;
    HWND hwnd = EnterWindow(std::move(holder));
    CREATESTRUCTA cs{param, instance, menu,        parent,     height,    width,
                     y,     x,        LONG(style), windowName, className, exStyle};
    if (!SendCreation(hwnd, cs))
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
    for (Window* o : Windows().Desktop->Children)
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
    bool wasActive = Input().Active == hwnd;
    DestroyTree(w);
    if (!wasTop && FromHandleQuiet(parent->Handle))
        ExposeArea(parent, area);
    if (wasActive && Input().Active == hwnd) {
        Input().Active = nullptr;
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
        if (Input().Focus && IsDescendant(w, FromHandleQuiet(Input().Focus)))
            SetFocus(nullptr);
        if (Input().Capture && IsDescendant(w, FromHandleQuiet(Input().Capture)))
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
    if (!w || w == Windows().Desktop)
        return nullptr;
    Window* p = newParent ? FromHandle(newParent) : Windows().Desktop;
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
    if (old == Windows().Desktop->Handle)
        return GetDesktopWindow();
    return old;
}

HWND GetDesktopWindow() {
    EnsureInit();
    return Windows().Desktop->Handle;
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
        for (Window* o : Windows().Desktop->Children)
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
    if (!w || w == Windows().Desktop)
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
    Window* w = hwnd ? FromHandle(hwnd) : Windows().Desktop;
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
    for (Window* w : Windows().Desktop->Children)
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
    Window* p = parent ? FromHandle(parent) : Windows().Desktop;
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
    for (Window* w : Windows().Desktop->Children) {
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

HWND GetLastActivePopup(HWND hwnd) {
    if (!FromHandle(hwnd))
        return nullptr;
    HWND popup = GetWindow(hwnd, GW_ENABLEDPOPUP);
    return popup ? popup : hwnd;
}

int GetDlgCtrlID(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    return w && (w->Style & WS_CHILD) ? int(w->Id) : 0;
}

HWND GetDlgItem(HWND parent, int id) {
    Window* p = FromHandle(parent);
    if (!p)
        return nullptr;
    for (Window* c : p->Children)
        if (c->Id == id)
            return c->Handle;
    return nullptr;
}
