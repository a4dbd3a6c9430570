// Invalid regions, WM_PAINT bookkeeping, window surfaces and device contexts.
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/phases.h"
#include "platform/user/WindowManager.h"
#include "platform/wingdi.h"

namespace platform::user {

PixelLock LockPixels() {
    return PixelLock(gdi::GdiMutex());
}

Backend::WindowPixels Backend::PixelsFor(Window*, int, int) {
    return WindowPixels{};
}

namespace {

// Gives `top` new client-area pixels of w x h: the backend's when it offers them, else a
// store of its own. With `keep` (same size) the content so far is carried over, otherwise
// the pixels are white. Another thread may be drawing through a context of this window:
// the new pixels go in and every context moves to them before the old ones are freed, all
// under the lock.
void InstallSurface(Window* top, int w, int h, bool keep) {
    PixelLock lock = LockPixels();
    Backend::WindowPixels given;
    if (CurrentBackend() && w > 0 && h > 0)
        given = GetBackend().PixelsFor(top, w, h);
    PixelStore fresh;
    Surface next;
    if (given.Pixels) {
        next = Surface{given.Pixels, w, h, given.Stride};
    } else if (given.Later) {
        // Nothing draws before the backend's pixels arrive (RebindSurface).
        next = Surface{nullptr, w, h, w};
    } else if (fresh.Assign(size_t(w) * size_t(h), 0x00FFFFFFu)) {
        next = Surface{fresh.Data(), w, h, w};
    } else {
        w = h = 0; // out of memory: the window shows nothing rather than failing
        next = Surface{};
    }
    const Surface& old = top->Surf;
    const bool copy = keep && old.Pixels && next.Pixels && old.Pixels != next.Pixels &&
                      old.Width == w && old.Height == h;
    if (next.Pixels && (copy || given.Pixels) && !(keep && old.Pixels == next.Pixels))
        for (int y = 0; y < h; ++y) {
            std::uint32_t* row = next.Pixels + size_t(y) * size_t(next.Stride);
            if (copy)
                std::memcpy(row, old.Pixels + size_t(y) * size_t(old.Stride), size_t(w) * 4);
            else
                std::fill_n(row, w, 0x00FFFFFFu);
        }
    top->Pixels.Swap(fresh);
    top->Surf = next;
    top->Dirty.clear();
    top->Dirty.push_back(RECT{0, 0, w, h});
    RetargetDcs(top);
    fresh.Release();
}

} // namespace

void ResizeSurface(Window* top) {
    // Hidden windows keep no pixels; a new size is repainted as a whole, so the old
    // content is not carried over.
    RECT cr = top->Visible() ? ClientRectOf(top) : RECT{};
    int w = cr.right, h = cr.bottom;
    if (w == top->Surf.Width && h == top->Surf.Height)
        return;
    InstallSurface(top, w, h, false);
}

void RebindSurface(Window* top, bool keep) {
    PixelLock lock = LockPixels();
    InstallSurface(top, top->Surf.Width, top->Surf.Height, keep);
}

void RetargetDcs(Window* top) {
    PixelLock lock = LockPixels();
    for (auto& [dc, info] : Windows().Dcs) {
        Window* w = FromHandleQuiet(info.Hwnd);
        if (!w || TopLevelOf(w) != top)
            continue;
        POINT org = SurfaceClientOrigin(w);
        if (info.WholeWindow && !w->IsTopLevel()) {
            RECT in = FrameInsets(w);
            org.x -= in.left;
            org.y -= in.top;
        } else if (info.WholeWindow) {
            RECT in = FrameInsets(w);
            org.x -= in.left;
            org.y -= in.top;
        }
        std::vector<RECT> vis = VisibleRects(w, info.WholeWindow);
        if (info.Paint) {
            POINT co = SurfaceClientOrigin(w);
            RECT clip = Offset(info.PaintClip, co.x, co.y);
            for (RECT& r : vis)
                r = Intersect(r, clip);
            vis.erase(std::remove_if(vis.begin(), vis.end(), RectEmpty), vis.end());
        }
        RetargetSurfaceDC(dc, top->Surf, org, std::move(vis));
    }
}

void MarkDirty(Window* top, const RECT& r) {
    PixelLock lock = LockPixels();
    RECT b{0, 0, top->Surf.Width, top->Surf.Height};
    RECT c = Intersect(r, b);
    if (RectEmpty(c))
        return;
    for (RECT& d : top->Dirty) {
        RECT in = Intersect(d, c);
        if (in.left == c.left && in.top == c.top && in.right == c.right && in.bottom == c.bottom)
            return;
    }
    if (top->Dirty.size() >= 32) {
        RECT u = c;
        for (const RECT& d : top->Dirty)
            u = Union(u, d);
        top->Dirty.assign(1, u);
        return;
    }
    top->Dirty.push_back(c);
}

void InvalidateIn(Window* w, const RECT& rect, bool erase, bool allChildren) {
    RECT cr = ClientRectOf(w);
    RECT r = Intersect(rect, cr);
    if (!RectEmpty(r)) {
        w->Update = w->HasUpdate ? Union(w->Update, r) : r;
        w->HasUpdate = true;
        w->Erase = w->Erase || erase;
        if (CurrentBackend())
            GetBackend().Wake();
    }
    if (!allChildren && (w->Style & WS_CLIPCHILDREN))
        return;
    for (Window* c : w->Children) {
        if (!c->Visible())
            continue;
        RECT in = Intersect(r, c->Rect);
        if (RectEmpty(in))
            continue;
        RECT frame = FrameInsets(c);
        if (frame.left || frame.top || frame.right || frame.bottom) {
            // The parent paints over the child's border too: it is drawn again.
            c->FrameDirty = true;
            c->InternalPaint = true;
        }
        POINT org = ClientOriginInParent(c);
        InvalidateIn(c, Offset(in, -org.x, -org.y), erase, allChildren);
    }
}

void ExposeArea(Window* parent, const RECT& rect) {
    if (!parent || parent == Windows().Desktop)
        return;
    InvalidateIn(parent, rect, true, true);
}

} // namespace platform::user

using namespace platform::user;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    EnsureInit();
    if (!hwnd) {
        for (Window* top : Windows().Desktop->Children)
            InvalidateIn(top, ClientRectOf(top), erase, true);
        return TRUE;
    }
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    InvalidateIn(w, rect ? *rect : ClientRectOf(w), erase != FALSE, false);
    return TRUE;
}

// Validates the rectangles `rects` (client coordinates) of w, keeping the bounding box of
// what is left invalid.
void platform::user::ValidateRects(Window* w, const std::vector<RECT>& rects) {
    if (!w->HasUpdate)
        return;
    std::vector<RECT> rest{w->Update};
    for (const RECT& r : rects)
        Subtract(rest, r);
    RECT left{};
    for (const RECT& r : rest)
        left = Union(left, r);
    w->HasUpdate = !RectEmpty(left);
    w->Update = left;
    if (!w->HasUpdate)
        w->Erase = false;
}

namespace {

void ValidateIn(Window* w, const RECT& rect, bool children) {
    ValidateRects(w, {rect});
    if (!children)
        return;
    for (Window* c : w->Children) {
        POINT org = ClientOriginInParent(c);
        ValidateIn(c, Offset(rect, -org.x, -org.y), children);
    }
}

} // namespace

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    ValidateIn(w, rect ? *rect : ClientRectOf(w), false);
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    std::vector<HWND> order;
    std::function<void(Window*)> collect = [&](Window* x) {
        order.push_back(x->Handle);
        for (auto it = x->Children.rbegin(); it != x->Children.rend(); ++it)
            collect(*it);
    };
    collect(w);
    for (HWND h : order) {
        Window* x = FromHandleQuiet(h);
        if (x && IsReallyVisible(x) && (x->HasUpdate || x->InternalPaint)) {
            x->InternalPaint = false;
            SendMessageA(h, WM_PAINT, 0, 0);
        }
    }
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags) {
    EnsureInit();
    RECT box{};
    if (!rect && region && GetRgnBox(region, &box) != ERROR)
        rect = &box;
    Window* w = hwnd ? FromHandle(hwnd) : nullptr;
    if (hwnd && !w)
        return FALSE;
    std::vector<Window*> targets;
    if (w)
        targets.push_back(w);
    else
        targets = Windows().Desktop->Children;
    for (Window* t : targets) {
        RECT r = rect ? *rect : ClientRectOf(t);
        bool children = (flags & RDW_ALLCHILDREN) != 0;
        if (flags & RDW_INVALIDATE) {
            if (flags & RDW_NOCHILDREN) {
                RECT in = Intersect(r, ClientRectOf(t));
                if (!RectEmpty(in)) {
                    t->Update = t->HasUpdate ? Union(t->Update, in) : in;
                    t->HasUpdate = true;
                    t->Erase = t->Erase || (flags & RDW_ERASE);
                }
            } else {
                InvalidateIn(t, r, (flags & RDW_ERASE) != 0, children);
            }
        }
        if (flags & RDW_INTERNALPAINT)
            t->InternalPaint = true;
        if (flags & RDW_NOINTERNALPAINT)
            t->InternalPaint = false;
        if (flags & RDW_VALIDATE)
            ValidateIn(t, r, children);
        if (flags & RDW_NOERASE)
            t->Erase = false;
        if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
            UpdateWindow(t->Handle);
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = w->HasUpdate ? w->Update : RECT{};
    if (erase && w->HasUpdate && w->Erase) {
        HDC dc = GetDC(hwnd);
        w->Erase = SendMessageA(hwnd, WM_ERASEBKGND, WPARAM(dc), 0) == 0;
        ReleaseDC(hwnd, dc);
    }
    return w->HasUpdate ? TRUE : FALSE;
}

namespace {

// The parts of the surface a context of w draws on, in surface coordinates: the visible
// parts of its client area (or whole window), cut to the paint clip for BeginPaint.
std::vector<RECT> DcVisibleRects(Window* w, bool whole, bool paint, const RECT& paintClip) {
    std::vector<RECT> vis = VisibleRects(w, whole);
    if (paint) {
        POINT co = SurfaceClientOrigin(w);
        RECT clip = Offset(paintClip, co.x, co.y);
        for (RECT& r : vis)
            r = Intersect(r, clip);
        vis.erase(std::remove_if(vis.begin(), vis.end(), RectEmpty), vis.end());
    }
    return vis;
}

HDC MakeDc(Window* w, bool whole, bool paint, RECT paintClip) {
    Window* top = TopLevelOf(w);
    POINT org = SurfaceClientOrigin(w);
    if (whole) {
        RECT in = FrameInsets(w);
        org.x -= in.left;
        org.y -= in.top;
    }
    std::vector<RECT> vis = DcVisibleRects(w, whole, paint, paintClip);
    PixelLock lock = LockPixels();
    HDC dc = platform::CreateSurfaceDC(top->Surf, org, std::move(vis));
    if (dc)
        Windows().Dcs[dc] = WindowTable::DcInfo{w->Handle, whole, paint, paintClip};
    return dc;
}

void FinishDc(HDC dc) {
    PixelLock lock = LockPixels();
    auto it = Windows().Dcs.find(dc);
    if (it == Windows().Dcs.end())
        return;
    Window* w = FromHandleQuiet(it->second.Hwnd);
    if (w) {
        Window* top = TopLevelOf(w);
        const WindowTable::DcInfo& info = it->second;
        for (const RECT& r : DcVisibleRects(w, info.WholeWindow, info.Paint, info.PaintClip))
            MarkDirty(top, r);
        if (CurrentBackend())
            GetBackend().Wake();
    }
    platform::DeleteSurfaceDC(dc);
    Windows().Dcs.erase(it);
}

} // namespace

HDC GetDC(HWND hwnd) {
    EnsureInit();
    if (!hwnd) {
        RECT sr = GetBackend().ScreenRect();
        int w = sr.right - sr.left, h = sr.bottom - sr.top;
        PixelLock lock = LockPixels();
        if (Windows().ScreenSurface.Width != w || Windows().ScreenSurface.Height != h) {
            // Most screen contexts only ask for the display's properties: the pixels are
            // taken untouched and become resident only where something draws.
            if (!Windows().ScreenPixels.Assign(size_t(std::max(w, 0)) * size_t(std::max(h, 0)), 0))
                w = h = 0;
            Windows().ScreenSurface = platform::Surface{Windows().ScreenPixels.Data(), w, h, w};
        }
        HDC dc = platform::CreateSurfaceDC(Windows().ScreenSurface, POINT{0, 0},
                                           std::vector<RECT>{RECT{0, 0, w, h}});
        if (dc)
            Windows().Dcs[dc] = WindowTable::DcInfo{nullptr, false, false, RECT{}};
        return dc;
    }
    Window* w = FromHandle(hwnd);
    if (!w || w == Windows().Desktop)
        return w ? GetDC(nullptr) : nullptr;
    return MakeDc(w, false, false, RECT{});
}

HDC GetWindowDC(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return nullptr;
    if (w == Windows().Desktop)
        return GetDC(nullptr);
    return MakeDc(w, true, false, RECT{});
}

int ReleaseDC(HWND, HDC dc) {
    PixelLock lock = LockPixels();
    if (!dc || !Windows().Dcs.count(dc))
        return 0;
    FinishDc(dc);
    return 1;
}

HWND WindowFromDC(HDC dc) {
    PixelLock lock = LockPixels();
    auto it = Windows().Dcs.find(dc);
    return it == Windows().Dcs.end() ? nullptr : it->second.Hwnd;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Window* w = FromHandle(hwnd);
    if (!w || !paint)
        return nullptr;
    RECT update = w->HasUpdate ? Intersect(w->Update, ClientRectOf(w)) : RECT{};
    bool erase = w->HasUpdate && w->Erase;
    w->HasUpdate = false;
    w->Erase = false;
    w->InternalPaint = false;
    w->Update = RECT{};
    if (w->FrameDirty) {
        w->FrameDirty = false;
        SendMessageA(hwnd, WM_NCPAINT, 1, 0);
        if (!FromHandleQuiet(hwnd))
            return nullptr;
    }
    HDC dc = MakeDc(w, false, true, update);
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->rcPaint = update;
    // The caller erases only what was due to be erased and WM_ERASEBKGND left alone.
    paint->fErase = erase ? TRUE : FALSE;
    if (erase && dc)
        paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, WPARAM(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint || !paint->hdc)
        return TRUE;
    PixelLock lock = LockPixels();
    if (Windows().Dcs.count(paint->hdc))
        FinishDc(paint->hdc);
    platform::MarkPhase("paint");
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
    if (!region)
        return InvalidateRect(hwnd, nullptr, erase);
    RECT box{};
    if (GetRgnBox(region, &box) == ERROR)
        return FALSE;
    return InvalidateRect(hwnd, &box, erase);
}

BOOL ValidateRgn(HWND hwnd, HRGN region) {
    if (!region)
        return ValidateRect(hwnd, nullptr);
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    std::vector<RECT> rects;
    {
        platform::gdi::GdiLock lock(platform::gdi::GdiMutex());
        auto rgn = platform::gdi::Lookup<platform::gdi::Region>(region, OBJ_REGION);
        if (!rgn)
            return FALSE;
        rects = rgn->Rects;
    }
    // The region itself: its bounding box may hold parts that are still to be painted.
    ValidateRects(w, rects);
    return TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase) {
    RECT r{};
    if (!FromHandle(hwnd) || !region)
        return ERROR;
    BOOL any = GetUpdateRect(hwnd, &r, erase);
    SetRectRgn(region, r.left, r.top, r.right, r.bottom);
    return any ? SIMPLEREGION : NULLREGION;
}
