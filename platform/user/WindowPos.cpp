// Window position, size and show state; coordinate mapping and hit testing.
#include <algorithm>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace platform::user {

namespace {

// Moves w in its parent's z-order (and into or out of the topmost band).
void Restack(Window* w, HWND after) {
    if (after == HWND_TOPMOST)
        w->ExStyle |= WS_EX_TOPMOST;
    else if (after == HWND_NOTOPMOST)
        w->ExStyle &= ~WS_EX_TOPMOST;
    InsertInZOrder(w, after);
    if (after != HWND_BOTTOM)
        BringOwnedAbove(w);
}

// Shows or hides w as the flags ask; returns the backend changes that makes.
unsigned ApplyVisibility(Window* w, UINT flags) {
    unsigned changes = 0;
    if (flags & SWP_SHOWWINDOW && !w->Visible()) {
        w->Style |= WS_VISIBLE;
        changes |= Backend::Shown;
    }
    if (flags & SWP_HIDEWINDOW && w->Visible()) {
        w->Style &= ~WS_VISIBLE;
        changes |= Backend::Hidden;
    }
    return changes;
}

// A child window moved, changed size or z-order, or was shown or hidden: what it
// uncovered and where it is now repaint.
void ExposeMovedChild(Window* w, const RECT& oldRect, bool wasVisible, bool placed,
                      unsigned changes, UINT flags) {
    bool nowVisible = IsReallyVisible(w);
    if (wasVisible && (placed || (changes & Backend::Hidden)))
        ExposeArea(w->Parent, oldRect);
    if (nowVisible && (placed || (changes & Backend::Shown)) && !(flags & SWP_NOREDRAW))
        ExposeArea(w->Parent, w->Rect);
    if (nowVisible && (flags & SWP_FRAMECHANGED)) {
        w->FrameDirty = true;
        w->InternalPaint = true;
    }
    RetargetDcs(TopLevelOf(w));
}

// A hidden window loses the capture and the focus; the active window moves on. Each step
// sends messages whose handlers may destroy the window: false when it is gone.
bool LeaveHidden(Window* w) {
    HWND hwnd = w->Handle;
    if (Input().Capture && IsDescendant(w, FromHandleQuiet(Input().Capture)))
        ReleaseCapture();
    if (!FromHandleQuiet(hwnd))
        return false;
    if (Input().Focus && IsDescendant(w, FromHandleQuiet(Input().Focus)))
        SetFocus(w->IsTopLevel() ? nullptr : w->Parent->Handle);
    if (!FromHandleQuiet(hwnd))
        return false;
    if (w->IsTopLevel() && Input().Active == hwnd)
        ActivateWindow(NextActivationCandidate(w), WA_ACTIVE);
    return FromHandleQuiet(hwnd) != nullptr;
}

} // namespace

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
    bool zchanged = !(flags & SWP_NOZORDER);
    if (zchanged)
        Restack(w, wp.hwndInsertAfter);
    unsigned changes = ApplyVisibility(w, flags);
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
        ExposeMovedChild(w, oldRect, wasVisible, moved || sized || zchanged, changes, flags);
    }
    if ((changes & Backend::Hidden) && !LeaveHidden(w))
        return TRUE;
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

} // namespace platform::user

using namespace platform::user;

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* w = FromHandle(hwnd);
    if (!w || w == Windows().Desktop)
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

namespace {

// What a ShowWindow command does: the SetPos flags and the change of show state.
struct ShowPlan {
    UINT Flags = SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE;
    bool ToMax = false;
    bool ToMin = false;
    bool ToRestore = false;
};

// False for an unknown command (last error set) and for hiding a hidden window.
bool PlanShow(const Window* w, int cmdShow, ShowPlan& p) {
    bool activate = w->IsTopLevel() && !(w->ExStyle & WS_EX_NOACTIVATE);
    switch (cmdShow) {
    case SW_HIDE:
        if (!w->Visible())
            return false;
        p.Flags |= SWP_HIDEWINDOW | SWP_NOACTIVATE;
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
    case SW_RESTORE:
        p.Flags |= SWP_SHOWWINDOW;
        p.ToRestore = w->Maximized() || w->Minimized();
        if (!activate)
            p.Flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWNOACTIVATE:
        p.Flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
        p.ToRestore = w->Maximized() || w->Minimized();
        break;
    case SW_SHOW:
        p.Flags |= SWP_SHOWWINDOW;
        if (!activate)
            p.Flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWNA:
        p.Flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
        break;
    case SW_SHOWMAXIMIZED:
        p.Flags |= SWP_SHOWWINDOW;
        p.ToMax = true;
        if (!activate)
            p.Flags |= SWP_NOACTIVATE;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        p.Flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
        p.ToMin = true;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

} // namespace

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    Window* w = FromHandle(hwnd);
    if (!w || w == Windows().Desktop)
        return FALSE;
    BOOL wasVisible = w->Visible() ? TRUE : FALSE;
    ShowPlan plan;
    if (!PlanShow(w, cmdShow, plan))
        return FALSE;
    UINT flags = plan.Flags;
    bool toMax = plan.ToMax, toMin = plan.ToMin, toRestore = plan.ToRestore;
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
        if (Input().Active == hwnd)
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
    Window* f = from ? FromHandle(from) : Windows().Desktop;
    Window* t = to ? FromHandle(to) : Windows().Desktop;
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
    for (Window* top : Windows().Desktop->Children) {
        if (!top->Visible() || top->Minimized())
            continue;
        if (PtInRect(&top->Rect, screen))
            return descend(top, screen);
    }
    return nullptr;
}

} // namespace platform::user

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
    Window* w = FromHandle(hwnd);
    if (!w || !placement)
        return FALSE;
    placement->flags = 0;
    placement->showCmd = !w->Visible()    ? SW_HIDE
                         : w->Minimized() ? SW_SHOWMINIMIZED
                         : w->Maximized() ? SW_SHOWMAXIMIZED
                                          : SW_SHOWNORMAL;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    placement->rcNormalPosition = (w->Maximized() || w->Minimized()) ? w->RestoreRect : w->Rect;
    return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
    Window* w = FromHandle(hwnd);
    if (!w || !placement)
        return FALSE;
    const RECT& r = placement->rcNormalPosition;
    if (w->Maximized() || w->Minimized())
        w->RestoreRect = r;
    else
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, int(placement->showCmd));
    return TRUE;
}
