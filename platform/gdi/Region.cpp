// Regions as lists of disjoint rectangles, and the clip functions of contexts.
#include "platform/gdi/Region.h"

#include <algorithm>

#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {

bool RectEmpty(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

RECT RectIntersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

RECT BoundingBox(const std::vector<RECT>& rects) {
    if (rects.empty())
        return RECT{0, 0, 0, 0};
    RECT b = rects[0];
    for (const RECT& r : rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

std::vector<RECT> RectsIntersect(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> out;
    for (const RECT& x : a)
        for (const RECT& y : b) {
            RECT r = RectIntersect(x, y);
            if (!RectEmpty(r))
                out.push_back(r);
        }
    RectsCoalesce(out);
    return out;
}

namespace {

// Pieces of `a` outside `b` (at most four).
void SubtractOne(const RECT& a, const RECT& b, std::vector<RECT>& out) {
    RECT i = RectIntersect(a, b);
    if (RectEmpty(i)) {
        out.push_back(a);
        return;
    }
    if (a.top < i.top)
        out.push_back(RECT{a.left, a.top, a.right, i.top});
    if (i.bottom < a.bottom)
        out.push_back(RECT{a.left, i.bottom, a.right, a.bottom});
    if (a.left < i.left)
        out.push_back(RECT{a.left, i.top, i.left, i.bottom});
    if (i.right < a.right)
        out.push_back(RECT{i.right, i.top, a.right, i.bottom});
}

} // namespace

std::vector<RECT> RectsSubtract(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> cur;
    for (const RECT& r : a)
        if (!RectEmpty(r))
            cur.push_back(r);
    std::vector<RECT> next;
    for (const RECT& s : b) {
        if (RectEmpty(s))
            continue;
        next.clear();
        for (const RECT& r : cur)
            SubtractOne(r, s, next);
        cur.swap(next);
    }
    RectsCoalesce(cur);
    return cur;
}

std::vector<RECT> RectsUnion(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> out = RectsSubtract(b, a);
    for (const RECT& r : a)
        if (!RectEmpty(r))
            out.push_back(r);
    RectsCoalesce(out);
    return out;
}

std::vector<RECT> RectsXor(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> out = RectsSubtract(a, b);
    std::vector<RECT> other = RectsSubtract(b, a);
    out.insert(out.end(), other.begin(), other.end());
    RectsCoalesce(out);
    return out;
}

void RectsCoalesce(std::vector<RECT>& rects) {
    rects.erase(std::remove_if(rects.begin(), rects.end(), RectEmpty), rects.end());
    bool merged = true;
    while (merged && rects.size() > 1 && rects.size() < 512) {
        merged = false;
        for (std::size_t i = 0; i < rects.size() && !merged; ++i)
            for (std::size_t j = i + 1; j < rects.size() && !merged; ++j) {
                RECT& a = rects[i];
                const RECT& b = rects[j];
                if (a.top == b.top && a.bottom == b.bottom &&
                    (a.right == b.left || b.right == a.left)) {
                    a.left = std::min(a.left, b.left);
                    a.right = std::max(a.right, b.right);
                    merged = true;
                } else if (a.left == b.left && a.right == b.right &&
                           (a.bottom == b.top || b.bottom == a.top)) {
                    a.top = std::min(a.top, b.top);
                    a.bottom = std::max(a.bottom, b.bottom);
                    merged = true;
                }
                if (merged)
                    rects.erase(rects.begin() + std::ptrdiff_t(j));
            }
    }
}

namespace {

int Complexity(const std::vector<RECT>& rects) {
    if (rects.empty())
        return NULLREGION;
    return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT Normalized(long long l, long long t, long long r, long long b) {
    return RECT{ClampCoord(std::min(l, r)), ClampCoord(std::min(t, b)), ClampCoord(std::max(l, r)),
                ClampCoord(std::max(t, b))};
}

void Offset(RECT& r, int dx, int dy) {
    r = Normalized(static_cast<long long>(r.left) + dx, static_cast<long long>(r.top) + dy,
                   static_cast<long long>(r.right) + dx, static_cast<long long>(r.bottom) + dy);
}

std::vector<RECT> One(const RECT& r) {
    if (RectEmpty(r))
        return {};
    return {r};
}

} // namespace

std::vector<RECT> TargetClip(const DC& dc) {
    std::vector<RECT> base;
    if (dc.IsSurface) {
        RECT bounds{0, 0, dc.Target.Pixels ? dc.Target.Width : 0,
                    dc.Target.Pixels ? dc.Target.Height : 0};
        for (const RECT& v : dc.Visible) {
            RECT r = RectIntersect(v, bounds);
            if (!RectEmpty(r))
                base.push_back(r);
        }
    } else if (dc.St.SelBitmap) {
        base = One(RECT{0, 0, dc.St.SelBitmap->Width, dc.St.SelBitmap->Height});
    }
    if (!dc.St.HasClip)
        return base;
    std::vector<RECT> app;
    app.reserve(dc.St.Clip.size());
    for (RECT r : dc.St.Clip) {
        r.left += dc.Origin.x;
        r.right += dc.Origin.x;
        r.top += dc.Origin.y;
        r.bottom += dc.Origin.y;
        app.push_back(r);
    }
    return RectsIntersect(base, app);
}

} // namespace platform::gdi

using namespace platform::gdi;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    GdiLock lock(GdiMutex());
    auto rgn = std::make_shared<Region>();
    rgn->Rects = One(Normalized(left, top, right, bottom));
    return reinterpret_cast<HRGN>(AddObject(rgn));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect)
        return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN h, int left, int top, int right, int bottom) {
    GdiLock lock(GdiMutex());
    auto rgn = Lookup<Region>(h, OBJ_REGION);
    if (!rgn)
        return FALSE;
    rgn->Rects = One(Normalized(left, top, right, bottom));
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    GdiLock lock(GdiMutex());
    auto d = Lookup<Region>(dest, OBJ_REGION);
    auto a = Lookup<Region>(src1, OBJ_REGION);
    if (!d || !a)
        return ERROR;
    if (mode == RGN_COPY) {
        d->Rects = a->Rects;
        return Complexity(d->Rects);
    }
    auto b = Lookup<Region>(src2, OBJ_REGION);
    if (!b)
        return ERROR;
    switch (mode) {
    case RGN_AND:
        d->Rects = RectsIntersect(a->Rects, b->Rects);
        break;
    case RGN_OR:
        d->Rects = RectsUnion(a->Rects, b->Rects);
        break;
    case RGN_XOR:
        d->Rects = RectsXor(a->Rects, b->Rects);
        break;
    case RGN_DIFF:
        d->Rects = RectsSubtract(a->Rects, b->Rects);
        break;
    default:
        return ERROR;
    }
    return Complexity(d->Rects);
}

BOOL PtInRegion(HRGN h, int x, int y) {
    GdiLock lock(GdiMutex());
    auto rgn = Lookup<Region>(h, OBJ_REGION);
    if (!rgn)
        return FALSE;
    for (const RECT& r : rgn->Rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return TRUE;
    return FALSE;
}

BOOL RectInRegion(HRGN h, const RECT* rect) {
    GdiLock lock(GdiMutex());
    auto rgn = Lookup<Region>(h, OBJ_REGION);
    if (!rgn || !rect)
        return FALSE;
    RECT n = Normalized(rect->left, rect->top, rect->right, rect->bottom);
    for (const RECT& r : rgn->Rects)
        if (!RectEmpty(RectIntersect(r, n)))
            return TRUE;
    return FALSE;
}

int GetRgnBox(HRGN h, LPRECT rect) {
    GdiLock lock(GdiMutex());
    auto rgn = Lookup<Region>(h, OBJ_REGION);
    if (!rgn || !rect)
        return ERROR;
    *rect = BoundingBox(rgn->Rects);
    return Complexity(rgn->Rects);
}

int OffsetRgn(HRGN h, int dx, int dy) {
    GdiLock lock(GdiMutex());
    auto rgn = Lookup<Region>(h, OBJ_REGION);
    if (!rgn)
        return ERROR;
    for (RECT& r : rgn->Rects)
        Offset(r, dx, dy);
    return Complexity(rgn->Rects);
}

BOOL EqualRgn(HRGN ha, HRGN hb) {
    GdiLock lock(GdiMutex());
    auto a = Lookup<Region>(ha, OBJ_REGION);
    auto b = Lookup<Region>(hb, OBJ_REGION);
    if (!a || !b)
        return ERROR;
    return RectsXor(a->Rects, b->Rects).empty() ? TRUE : FALSE;
}

int ExtSelectClipRgn(HDC hdc, HRGN h, int mode) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return ERROR;
    auto& st = dc->St;
    if (!h) {
        if (mode != RGN_COPY)
            return ERROR;
        st.HasClip = false;
        st.Clip.clear();
    } else {
        auto rgn = Lookup<Region>(h, OBJ_REGION);
        if (!rgn)
            return ERROR;
        // Without a clip region the whole device is the current clip.
        std::vector<RECT> cur =
            st.HasClip ? st.Clip
                       : std::vector<RECT>{RECT{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28}};
        switch (mode) {
        case RGN_COPY:
            st.Clip = rgn->Rects;
            break;
        case RGN_AND:
            st.Clip = RectsIntersect(cur, rgn->Rects);
            break;
        case RGN_OR:
            st.Clip = RectsUnion(cur, rgn->Rects);
            break;
        case RGN_XOR:
            st.Clip = RectsXor(cur, rgn->Rects);
            break;
        case RGN_DIFF:
            st.Clip = RectsSubtract(cur, rgn->Rects);
            break;
        default:
            return ERROR;
        }
        st.HasClip = true;
    }
    return Complexity(TargetClip(*dc));
}

int SelectClipRgn(HDC hdc, HRGN rgn) {
    return ExtSelectClipRgn(hdc, rgn, RGN_COPY);
}

namespace {

// Logical rectangle to device rectangle (normalised).
RECT DeviceRect(const DC& dc, int l, int t, int r, int b) {
    POINT a = LogicalToDevice(dc, l, t);
    POINT c = LogicalToDevice(dc, r, b);
    return Normalized(a.x, a.y, c.x, c.y);
}

std::vector<RECT> CurrentClip(const DC& dc) {
    if (dc.St.HasClip)
        return dc.St.Clip;
    return {RECT{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28}};
}

} // namespace

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return ERROR;
    dc->St.Clip = RectsIntersect(CurrentClip(*dc), One(DeviceRect(*dc, left, top, right, bottom)));
    dc->St.HasClip = true;
    return Complexity(TargetClip(*dc));
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return ERROR;
    dc->St.Clip = RectsSubtract(CurrentClip(*dc), One(DeviceRect(*dc, left, top, right, bottom)));
    dc->St.HasClip = true;
    return Complexity(TargetClip(*dc));
}

int OffsetClipRgn(HDC hdc, int dx, int dy) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return ERROR;
    if (dc->St.HasClip)
        for (RECT& r : dc->St.Clip)
            Offset(r, dx, dy);
    return Complexity(TargetClip(*dc));
}

int GetClipBox(HDC hdc, LPRECT rect) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect)
        return ERROR;
    std::vector<RECT> clip = TargetClip(*dc);
    RECT b = BoundingBox(clip);
    // Target coordinates back to logical coordinates.
    int dx = dc->Origin.x + dc->St.ViewportOrg.x - dc->St.WindowOrg.x;
    int dy = dc->Origin.y + dc->St.ViewportOrg.y - dc->St.WindowOrg.y;
    if (!clip.empty())
        Offset(b, -dx, -dy);
    *rect = b;
    return Complexity(clip);
}

int GetClipRgn(HDC hdc, HRGN h) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    auto rgn = Lookup<Region>(h, OBJ_REGION);
    if (!dc || !rgn)
        return -1;
    if (!dc->St.HasClip)
        return 0;
    rgn->Rects = dc->St.Clip;
    return 1;
}

BOOL PtVisible(HDC hdc, int x, int y) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return -1;
    POINT p = LogicalToDevice(*dc, x, y);
    p.x += dc->Origin.x;
    p.y += dc->Origin.y;
    for (const RECT& r : TargetClip(*dc))
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
            return TRUE;
    return FALSE;
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect)
        return FALSE;
    RECT d = DeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    d.left += dc->Origin.x;
    d.right += dc->Origin.x;
    d.top += dc->Origin.y;
    d.bottom += dc->Origin.y;
    for (const RECT& r : TargetClip(*dc))
        if (!RectEmpty(RectIntersect(r, d)))
            return TRUE;
    return FALSE;
}
