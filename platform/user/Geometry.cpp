// Rectangles, frame metrics, coordinate mapping and visible regions.
#include <algorithm>

#include "platform/gdi/GdiObjects.h"
#include "platform/user/WindowManager.h"

namespace platform::user {

namespace {
constexpr int FrameWidth = 4;
constexpr int CaptionHeight = 26;
constexpr int SmallCaptionHeight = 20;
} // namespace

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r = gdi::RectIntersect(a, b);
    return RectEmpty(r) ? RECT{} : r;
}

RECT Union(const RECT& a, const RECT& b) {
    if (RectEmpty(a))
        return b;
    if (RectEmpty(b))
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT Offset(RECT r, int dx, int dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
    return r;
}

void Subtract(std::vector<RECT>& rects, const RECT& cut) {
    if (RectEmpty(cut))
        return;
    // The drawing code's region arithmetic does the cutting.
    rects = gdi::RectsSubtract(rects, {cut});
}

bool Window::IsTopLevel() const {
    return Parent != nullptr && Parent == Windows().Desktop;
}

RECT FrameInsets(const Window* w) {
    return [&] {
        RECT in{};
        DWORD style = w->Style;
        int frame = 0;
        if ((style & WS_THICKFRAME) || (style & WS_CAPTION) == WS_CAPTION ||
            (style & WS_DLGFRAME) || (w->ExStyle & WS_EX_DLGMODALFRAME))
            frame = FrameWidth;
        else if (style & WS_BORDER)
            frame = 1;
        if (w->ExStyle & WS_EX_CLIENTEDGE)
            frame += 2;
        else if (w->ExStyle & WS_EX_STATICEDGE)
            frame += 1;
        in = RECT{frame, frame, frame, frame};
        if ((style & WS_CAPTION) == WS_CAPTION)
            in.top += (w->ExStyle & WS_EX_TOOLWINDOW) ? SmallCaptionHeight : CaptionHeight;
        return in;
    }();
}

RECT ClientRectOf(const Window* w) {
    if (w == Windows().Desktop)
        return RECT{0, 0, w->Rect.right - w->Rect.left, w->Rect.bottom - w->Rect.top};
    if (w->Minimized() && w->IsTopLevel())
        return RECT{};
    RECT in = FrameInsets(w);
    LONG cw = (w->Rect.right - w->Rect.left) - in.left - in.right;
    LONG ch = (w->Rect.bottom - w->Rect.top) - in.top - in.bottom;
    return RECT{0, 0, std::max<LONG>(cw, 0), std::max<LONG>(ch, 0)};
}

POINT ClientOriginInParent(const Window* w) {
    RECT in = FrameInsets(w);
    return POINT{w->Rect.left + in.left, w->Rect.top + in.top};
}

POINT ScreenWindowOrigin(const Window* w) {
    POINT p{w->Rect.left, w->Rect.top};
    if (w->Parent && w->Parent != Windows().Desktop) {
        POINT o = ScreenClientOrigin(w->Parent);
        p.x += o.x;
        p.y += o.y;
    }
    return p;
}

POINT ScreenClientOrigin(const Window* w) {
    if (w == Windows().Desktop)
        return POINT{0, 0};
    POINT p = ClientOriginInParent(w);
    if (w->Parent && w->Parent != Windows().Desktop) {
        POINT o = ScreenClientOrigin(w->Parent);
        p.x += o.x;
        p.y += o.y;
    }
    return p;
}

POINT SurfaceClientOrigin(const Window* w) {
    if (w->IsTopLevel() || w == Windows().Desktop)
        return POINT{0, 0};
    POINT p = ClientOriginInParent(w);
    POINT o = SurfaceClientOrigin(w->Parent);
    return POINT{p.x + o.x, p.y + o.y};
}

Window* TopLevelOf(Window* w) {
    while (w && w->Parent && w->Parent != Windows().Desktop)
        w = w->Parent;
    return w;
}

bool IsReallyVisible(const Window* w) {
    for (; w && w != Windows().Desktop; w = w->Parent)
        if (!w->Visible())
            return false;
    return true;
}

std::vector<RECT> VisibleRects(const Window* w, bool wholeWindow) {
    std::vector<RECT> rects;
    if (!w || w == Windows().Desktop || !IsReallyVisible(w))
        return rects;
    const Window* top = TopLevelOf(const_cast<Window*>(w));
    if (top->Minimized())
        return rects;
    RECT area;
    POINT org = SurfaceClientOrigin(w);
    RECT client = ClientRectOf(w);
    area = Offset(client, org.x, org.y);
    if (wholeWindow && !w->IsTopLevel()) {
        RECT in = FrameInsets(w);
        area = RECT{area.left - in.left, area.top - in.top, area.right + in.right,
                    area.bottom + in.bottom};
    }
    RECT bounds{0, 0, top->Surf.Width, top->Surf.Height};
    area = Intersect(area, bounds);
    // Clip by every ancestor's client area, and cut out siblings above at each level.
    for (const Window* c = w; c != top; c = c->Parent) {
        const Window* p = c->Parent;
        POINT po = SurfaceClientOrigin(p);
        area = Intersect(area, Offset(ClientRectOf(p), po.x, po.y));
    }
    if (RectEmpty(area))
        return rects;
    rects.push_back(area);
    for (const Window* c = w; c != top; c = c->Parent) {
        const Window* p = c->Parent;
        POINT po = SurfaceClientOrigin(p);
        for (const Window* sib : p->Children) {
            if (sib == c)
                break;
            if (sib->Visible())
                Subtract(rects, Offset(sib->Rect, po.x, po.y));
        }
    }
    if (w->Style & WS_CLIPCHILDREN) {
        for (const Window* ch : w->Children)
            if (ch->Visible())
                Subtract(rects, Offset(ch->Rect, org.x, org.y));
    }
    return rects;
}

} // namespace platform::user

using namespace platform::user;

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT dst, const RECT* src) {
    if (!dst || !src)
        return FALSE;
    *dst = *src;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || RectEmpty(*rect);
}

BOOL PtInRect(const RECT* rect, POINT p) {
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    *rect = Offset(*rect, dx, dy);
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b)
        return FALSE;
    *dst = Intersect(*a, *b);
    return !RectEmpty(*dst);
}

BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b)
        return FALSE;
    *dst = Union(*a, *b);
    if (RectEmpty(*dst)) {
        *dst = RECT{};
        return FALSE;
    }
    return TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD exStyle) {
    if (!rect)
        return FALSE;
    Window probe;
    probe.Style = style;
    probe.ExStyle = exStyle;
    RECT in = FrameInsets(&probe);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

int GetSystemMetrics(int index) {
    RECT screen = GetBackend().ScreenRect();
    int sw = screen.right - screen.left, sh = screen.bottom - screen.top;
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED:
    case SM_CXVIRTUALSCREEN:
        return sw;
    case SM_CYSCREEN:
    case SM_CYMAXIMIZED:
    case SM_CYVIRTUALSCREEN:
        return sh;
    case SM_CYFULLSCREEN:
        return sh - CaptionHeight;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
        return 0;
    case SM_CYCAPTION:
        return CaptionHeight;
    case SM_CYSMCAPTION:
        return SmallCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXFRAME:
    case SM_CYFRAME:
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return FrameWidth;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 17;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return 20;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return CaptionHeight - 2;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return CaptionHeight + 2 * FrameWidth;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS:
        return 1;
    case SM_CMOUSEBUTTONS:
        return 3;
    default:
        return 0;
    }
}
