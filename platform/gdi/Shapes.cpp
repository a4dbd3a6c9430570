// Pens, brushes, system colours, and the shapes drawn with them: rectangles, frames,
// lines, ellipses, polygons, 3-D edges, push-button frames and focus rectangles.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Raster.h"
#include "platform/gdi/Region.h"

namespace platform::gdi {

namespace {

// Classic desktop scheme.
constexpr COLORREF SysColors[31] = {
    RGB(212, 208, 200), // COLOR_SCROLLBAR
    RGB(58, 110, 165),  // COLOR_BACKGROUND
    RGB(10, 36, 106),   // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(212, 208, 200), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(212, 208, 200), // COLOR_ACTIVEBORDER
    RGB(212, 208, 200), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(10, 36, 106),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(212, 208, 200), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),    // COLOR_3DDKSHADOW
    RGB(212, 208, 200), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(181, 181, 181), // 25: unused
    RGB(0, 0, 128),     // COLOR_HOTLIGHT
    RGB(166, 202, 240), // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192), // COLOR_GRADIENTINACTIVECAPTION
    RGB(10, 36, 106),   // COLOR_MENUHILIGHT
    RGB(212, 208, 200), // COLOR_MENUBAR
};

std::shared_ptr<Brush> g_sysBrushes[31];

std::shared_ptr<Brush> SysBrush(int index) {
    if (index < 0 || index > 30)
        return nullptr;
    if (!g_sysBrushes[index]) {
        auto b = std::make_shared<Brush>();
        b->Style = BS_SOLID;
        b->Color = SysColors[index];
        b->Stock = true;
        AddObject(b);
        g_sysBrushes[index] = b;
    }
    return g_sysBrushes[index];
}

// A brush argument: a handle, or a system colour index + 1 as the API accepts.
std::shared_ptr<Brush> BrushArg(HBRUSH h) {
    std::uintptr_t v = reinterpret_cast<std::uintptr_t>(h);
    if (v >= 1 && v <= 31)
        return SysBrush(int(v) - 1);
    return Lookup<Brush>(h, OBJ_BRUSH);
}

// Logical points in target coordinates.
std::vector<POINT> TargetPoints(const DC& dc, const POINT* points, int count) {
    std::vector<POINT> pts;
    pts.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        pts.push_back(TargetPoint(dc, points[i].x, points[i].y));
    return pts;
}

// A target rectangle with left above right and top above bottom, as the shapes take
// their box.
RECT OrderedTarget(const DC& dc, int l, int t, int r, int b) {
    RECT box = TargetRect(dc, l, t, r, b);
    if (box.left > box.right)
        std::swap(box.left, box.right);
    if (box.top > box.bottom)
        std::swap(box.top, box.bottom);
    return box;
}

// Draws pixels and spans with one pattern and raster operation, clipped.
struct Painter {
    PixelGrid G;
    std::vector<RECT> Clip;
    PatternSource Pat;
    std::uint8_t Rop = 0xF0;

    Painter(DC& dc) : G(GridOf(dc)), Clip(TargetClip(dc)) {}
    void Span(int x0, int x1, int y) { FillRop(G, Clip, RECT{x0, y, x1, y + 1}, Pat, Rop); }
    void Rect(const RECT& r) { FillRop(G, Clip, r, Pat, Rop); }
    void Pixel(int x, int y) {
        for (const RECT& c : Clip)
            if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) {
                std::uint32_t d = G.Read(x, y);
                G.Write(x, y, EvalRop3(Rop, Pat.At(x, y), 0, d) & G.Mask());
                return;
            }
    }
};

bool SetupPen(DC& dc, Painter& p, Pen*& pen) {
    pen = dc.St.SelPen.get();
    if (!pen || (pen->Log.lopnStyle & PS_STYLE_MASK) == PS_NULL)
        return false;
    p.Pat = SolidPattern(p.G, ResolveColor(dc, pen->Log.lopnColor));
    p.Rop = Rop3FromRop2(dc.St.Rop2);
    return true;
}

bool SetupBrush(DC& dc, Painter& p) {
    Brush* b = dc.St.SelBrush.get();
    if (!b || b->Style == BS_NULL)
        return false;
    p.Pat = BrushPattern(dc, *b, p.G);
    p.Rop = Rop3FromRop2(dc.St.Rop2);
    return true;
}

// Dash lengths (on, off, on, off ...) of the styled cosmetic pens.
const std::vector<int>& DashPattern(int style) {
    static const std::vector<int> dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6},
        dashDotDot{9, 3, 3, 3, 3, 3}, none{};
    switch (style) {
    case PS_DASH:
        return dash;
    case PS_DOT:
        return dot;
    case PS_DASHDOT:
        return dashDot;
    case PS_DASHDOTDOT:
        return dashDotDot;
    default:
        return none;
    }
}

struct LineState {
    long long DashPos = 0; // position in the dash pattern, carried across segments
};

// Axis-parallel solid segment from a to b as one rectangle, end point excluded.
void DrawAxisSegment(Painter& p, POINT a, POINT b, int width) {
    int half = (width - 1) / 2;
    RECT r;
    if (a.y == b.y) {
        int x0 = b.x > a.x ? a.x : b.x + 1, x1 = b.x > a.x ? b.x : a.x + 1;
        r = RECT{x0, a.y - half, x1, a.y - half + width};
    } else {
        int y0 = b.y > a.y ? a.y : b.y + 1, y1 = b.y > a.y ? b.y : a.y + 1;
        r = RECT{a.x - half, y0, a.x - half + width, y1};
    }
    p.Rect(r);
}

// The steps [first, last) of a segment of `steps` steps whose major coordinate lies
// near the clip: only those can draw anything.
std::pair<int, int> VisibleSteps(const std::vector<RECT>& clip, POINT a, POINT b, int width,
                                 int steps) {
    if (clip.empty())
        return {steps, steps};
    RECT box = BoundingBox(clip);
    bool xMajor = std::abs(b.x - a.x) >= std::abs(b.y - a.y);
    long long lo = (xMajor ? box.left : box.top) - width;
    long long hi = (xMajor ? box.right : box.bottom) + width;
    long long start = xMajor ? a.x : a.y;
    bool forward = xMajor ? a.x < b.x : a.y < b.y;
    long long i0 = forward ? lo - start : start - hi;
    long long i1 = forward ? hi - start : start - lo;
    int first = int(std::clamp<long long>(i0, 0, steps));
    int last = int(std::clamp<long long>(i1 + 1, 0, steps));
    return {first, std::max(first, last)};
}

// Whether position `pos` of the dash pattern falls on a dash (not a gap).
bool DashOn(const std::vector<int>& dashes, int period, long long pos) {
    if (!period)
        return true;
    int at = int(pos % period), acc = 0;
    for (std::size_t k = 0; k < dashes.size(); ++k) {
        acc += dashes[k];
        if (at < acc)
            return (k % 2) == 0;
    }
    return true;
}

// Draws from a to b (target coordinates), excluding b.
void DrawSegment(DC& dc, Painter& p, const Pen& pen, POINT a, POINT b, LineState& ls) {
    int width = std::max<int>(1, pen.Log.lopnWidth.x);
    int style = int(pen.Log.lopnStyle & PS_STYLE_MASK);
    const std::vector<int>& dashes = width == 1 ? DashPattern(style) : DashPattern(PS_SOLID);
    if (a.x == b.x && a.y == b.y)
        return;
    if (dashes.empty() && (a.x == b.x || a.y == b.y)) {
        DrawAxisSegment(p, a, b, width);
        return;
    }
    int period = 0;
    for (int d : dashes)
        period += d;
    PatternSource penPat = p.Pat;
    PatternSource gapPat = SolidPattern(p.G, ResolveColor(dc, dc.St.BkColor));
    bool gapsOpaque = dc.St.BkMode == OPAQUE;
    int half = (width - 1) / 2;
    // Pixels nearest to the ideal line; exact halves round towards the start point.
    int adx = std::abs(b.x - a.x), ady = std::abs(b.y - a.y);
    int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int steps = std::max(adx, ady);
    auto [first, last] = VisibleSteps(p.Clip, a, b, width, steps);
    ls.DashPos += first;
    for (int i = first; i < last; ++i) {
        int x, y;
        if (adx >= ady) {
            x = a.x + sx * i;
            y = a.y + sy * int((2LL * i * ady + adx - 1) / (2LL * adx));
        } else {
            y = a.y + sy * i;
            x = a.x + sx * int((2LL * i * adx + ady - 1) / (2LL * ady));
        }
        bool on = DashOn(dashes, period, ls.DashPos++);
        if (on || gapsOpaque) {
            p.Pat = on ? penPat : gapPat;
            if (width == 1)
                p.Pixel(x, y);
            else
                p.Rect(RECT{x - half, y - half, x - half + width, y - half + width});
        }
    }
    ls.DashPos += steps - last;
    p.Pat = penPat;
}

void PolylineTarget(DC& dc, const std::vector<POINT>& pts, bool includeLast) {
    Painter p(dc);
    Pen* pen;
    if (!SetupPen(dc, p, pen) || pts.empty())
        return;
    LineState ls;
    for (std::size_t i = 1; i < pts.size(); ++i)
        DrawSegment(dc, p, *pen, pts[i - 1], pts[i], ls);
    if (includeLast) {
        POINT last = pts.back();
        int width = std::max<int>(1, pen->Log.lopnWidth.x);
        int half = (width - 1) / 2;
        p.Rect(RECT{last.x - half, last.y - half, last.x - half + width, last.y - half + width});
    }
}

void EdgeRing(Painter& p, RECT& r, UINT flags, std::uint32_t tl, std::uint32_t br) {
    if (RectEmpty(r))
        return;
    p.Pat = SolidPattern(p.G, tl);
    if (flags & BF_LEFT)
        p.Rect(RECT{r.left, r.top, r.left + 1, r.bottom});
    if (flags & BF_TOP)
        p.Rect(RECT{r.left, r.top, r.right, r.top + 1});
    p.Pat = SolidPattern(p.G, br);
    if (flags & BF_RIGHT)
        p.Rect(RECT{r.right - 1, r.top, r.right, r.bottom});
    if (flags & BF_BOTTOM)
        p.Rect(RECT{r.left, r.bottom - 1, r.right, r.bottom});
    if (flags & BF_LEFT)
        ++r.left;
    if (flags & BF_TOP)
        ++r.top;
    if (flags & BF_RIGHT)
        --r.right;
    if (flags & BF_BOTTOM)
        --r.bottom;
}

std::uint32_t SysPix(int index) {
    return PixFromColorref(SysColors[index]);
}

} // namespace

DWORD SysColor(int index) {
    if (index < 0 || index > 30)
        return 0;
    return SysColors[index];
}

} // namespace platform::gdi

using namespace platform::gdi;

DWORD GetSysColor(int index) {
    return SysColor(index);
}

HBRUSH GetSysColorBrush(int index) {
    GdiLock lock(GdiMutex());
    auto b = SysBrush(index);
    return b ? reinterpret_cast<HBRUSH>(b->Handle) : nullptr;
}

HPEN CreatePen(int style, int width, COLORREF color) {
    GdiLock lock(GdiMutex());
    if ((style & PS_STYLE_MASK) > PS_INSIDEFRAME)
        return nullptr;
    auto pen = std::make_shared<Pen>();
    pen->Log.lopnStyle = UINT(style);
    pen->Log.lopnWidth = POINT{std::clamp(width, 0, 4096), 0};
    pen->Log.lopnColor = color;
    return reinterpret_cast<HPEN>(AddObject(pen));
}

HPEN CreatePenIndirect(const LOGPEN* log) {
    if (!log)
        return nullptr;
    return CreatePen(int(log->lopnStyle), log->lopnWidth.x, log->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    GdiLock lock(GdiMutex());
    auto b = std::make_shared<Brush>();
    b->Style = BS_SOLID;
    b->Color = color;
    return reinterpret_cast<HBRUSH>(AddObject(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
    GdiLock lock(GdiMutex());
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS)
        return nullptr;
    auto b = std::make_shared<Brush>();
    b->Style = BS_HATCHED;
    b->Color = color;
    b->Hatch = hatch;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool on = false;
            switch (hatch) {
            case HS_HORIZONTAL:
                on = y == 4;
                break;
            case HS_VERTICAL:
                on = x == 4;
                break;
            case HS_FDIAGONAL:
                on = x == y;
                break;
            case HS_BDIAGONAL:
                on = x == 7 - y;
                break;
            case HS_CROSS:
                on = x == 4 || y == 4;
                break;
            default:
                on = x == y || x == 7 - y;
                break;
            }
            b->Pattern[std::size_t(y * 8 + x)] = on ? 1 : 0;
        }
    return reinterpret_cast<HBRUSH>(AddObject(b));
}

HBRUSH CreatePatternBrush(HBITMAP hbm) {
    GdiLock lock(GdiMutex());
    auto bm = Lookup<Bitmap>(hbm, OBJ_BITMAP);
    if (!bm)
        return nullptr;
    auto b = std::make_shared<Brush>();
    b->Style = BS_PATTERN;
    b->PatternBitmap = hbm;
    b->MonoPattern = bm->Bpp == 1;
    PixelGrid g = GridOf(*bm);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            std::uint32_t v = g.Read(x % bm->Width, y % bm->Height);
            b->Pattern[std::size_t(y * 8 + x)] = b->MonoPattern ? v : g.ToPix(v);
        }
    return reinterpret_cast<HBRUSH>(AddObject(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* log) {
    if (!log)
        return nullptr;
    switch (log->lbStyle) {
    case BS_SOLID:
        return CreateSolidBrush(log->lbColor);
    case BS_NULL:
        return reinterpret_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_HATCHED:
        return CreateHatchBrush(int(log->lbHatch), log->lbColor);
    case BS_PATTERN:
        return CreatePatternBrush(reinterpret_cast<HBITMAP>(log->lbHatch));
    default:
        return nullptr;
    }
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH hbr) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    auto brush = BrushArg(hbr);
    if (!dc || !rect || !brush)
        return 0;
    if (brush->Style == BS_NULL)
        return 1;
    Painter p(*dc);
    p.Pat = BrushPattern(*dc, *brush, p.G);
    p.Rop = 0xF0;
    p.Rect(TargetRect(*dc, rect->left, rect->top, rect->right, rect->bottom));
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH hbr) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    auto brush = BrushArg(hbr);
    if (!dc || !rect || !brush)
        return 0;
    RECT r = TargetRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    if (RectEmpty(r) || brush->Style == BS_NULL)
        return 1;
    Painter p(*dc);
    p.Pat = BrushPattern(*dc, *brush, p.G);
    p.Rop = 0xF0;
    p.Rect(RECT{r.left, r.top, r.right, r.top + 1});
    if (r.bottom - 1 > r.top)
        p.Rect(RECT{r.left, r.bottom - 1, r.right, r.bottom});
    p.Rect(RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1});
    if (r.right - 1 > r.left)
        p.Rect(RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1});
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect)
        return FALSE;
    Painter p(*dc);
    p.Rop = 0x55;
    p.Rect(TargetRect(*dc, rect->left, rect->top, rect->right, rect->bottom));
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    RECT r = OrderedTarget(*dc, left, top, right, bottom);
    Painter p(*dc);
    Pen* pen;
    bool hasPen = SetupPen(*dc, p, pen);
    PatternSource penPat = p.Pat;
    std::uint8_t penRop = p.Rop;
    if (SetupBrush(*dc, p)) {
        RECT inner = hasPen ? RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}
                            : RECT{r.left, r.top, r.right - 1, r.bottom - 1};
        p.Rect(inner);
    }
    if (!hasPen || r.right - r.left < 1 || r.bottom - r.top < 1)
        return TRUE;
    p.Pat = penPat;
    p.Rop = penRop;
    int style = int(pen->Log.lopnStyle & PS_STYLE_MASK);
    int width = std::max<int>(1, pen->Log.lopnWidth.x);
    if (style == PS_SOLID || style == PS_INSIDEFRAME || width > 1) {
        int w = std::min({width, (r.right - r.left + 1) / 2, (r.bottom - r.top + 1) / 2});
        w = std::max(w, 1);
        p.Rect(RECT{r.left, r.top, r.right, r.top + w});
        if (r.bottom - w > r.top + w - 1)
            p.Rect(RECT{r.left, std::max(r.bottom - w, r.top + w), r.right, r.bottom});
        p.Rect(RECT{r.left, r.top + w, r.left + w, r.bottom - w});
        if (r.right - w >= r.left + w)
            p.Rect(RECT{r.right - w, r.top + w, r.right, r.bottom - w});
        return TRUE;
    }
    std::vector<POINT> pts{{r.left, r.top},
                           {r.right - 1, r.top},
                           {r.right - 1, r.bottom - 1},
                           {r.left, r.bottom - 1},
                           {r.left, r.top}};
    PolylineTarget(*dc, pts, false);
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    RECT r = OrderedTarget(*dc, left, top, right, bottom);
    int h = r.bottom - r.top, w = r.right - r.left;
    if (w <= 0 || h <= 0 || w > (1 << 16) || h > (1 << 16))
        return TRUE;
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    double a = w / 2.0, b = h / 2.0;
    std::vector<int> x0(static_cast<std::size_t>(h)), x1(static_cast<std::size_t>(h));
    for (int i = 0; i < h; ++i) {
        double t = (r.top + i + 0.5 - cy) / b;
        double dx = a * std::sqrt(std::max(0.0, 1.0 - t * t));
        x0[std::size_t(i)] = int(std::lround(cx - dx));
        x1[std::size_t(i)] = std::max(x0[std::size_t(i)] + 1, int(std::lround(cx + dx)));
    }
    Painter p(*dc);
    Pen* pen;
    bool hasPen = SetupPen(*dc, p, pen);
    PatternSource penPat = p.Pat;
    std::uint8_t penRop = p.Rop;
    bool hasBrush = SetupBrush(*dc, p);
    PatternSource brushPat = p.Pat;
    std::uint8_t brushRop = p.Rop;
    for (int i = 0; i < h; ++i) {
        int y = r.top + i;
        int s0 = x0[std::size_t(i)], s1 = x1[std::size_t(i)];
        if (!hasPen) {
            if (hasBrush)
                p.Span(s0, s1, y);
            continue;
        }
        // Outline: the span's ends, widened to meet the neighbouring rows' spans.
        int in0 = s1, in1 = s0;
        if (i > 0 && i < h - 1) {
            in0 = std::max({s0 + 1, x0[std::size_t(i - 1)], x0[std::size_t(i + 1)]});
            in1 = std::min({s1 - 1, x1[std::size_t(i - 1)], x1[std::size_t(i + 1)]});
        }
        p.Pat = penPat;
        p.Rop = penRop;
        if (in0 >= in1) {
            p.Span(s0, s1, y);
            continue;
        }
        p.Span(s0, in0, y);
        p.Span(in1, s1, y);
        if (hasBrush) {
            p.Pat = brushPat;
            p.Rop = brushRop;
            p.Span(in0, in1, y);
        }
    }
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    if (old)
        *old = dc->St.CurPos;
    dc->St.CurPos = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    std::vector<POINT> pts{TargetPoint(*dc, dc->St.CurPos.x, dc->St.CurPos.y),
                           TargetPoint(*dc, x, y)};
    PolylineTarget(*dc, pts, false);
    dc->St.CurPos = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !points || count < 2 || count > (1 << 20))
        return FALSE;
    std::vector<POINT> pts = TargetPoints(*dc, points, count);
    PolylineTarget(*dc, pts, false);
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !points || count < 2 || count > (1 << 20))
        return FALSE;
    std::vector<POINT> pts = TargetPoints(*dc, points, count);
    Painter p(*dc);
    if (SetupBrush(*dc, p)) {
        // Even-odd fill sampled at pixel centres.
        int ymin = pts[0].y, ymax = pts[0].y;
        for (const POINT& q : pts) {
            ymin = std::min<int>(ymin, q.y);
            ymax = std::max<int>(ymax, q.y);
        }
        RECT box = BoundingBox(p.Clip);
        ymin = std::max<int>(ymin, box.top);
        ymax = std::min<int>(ymax, box.bottom);
        std::vector<double> xs;
        for (int y = ymin; y < ymax; ++y) {
            double yc = y + 0.5;
            xs.clear();
            for (std::size_t i = 0; i < pts.size(); ++i) {
                POINT a = pts[i], b = pts[(i + 1) % pts.size()];
                if ((a.y <= yc) != (b.y <= yc))
                    xs.push_back(a.x + (yc - a.y) * double(b.x - a.x) / double(b.y - a.y));
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
                p.Span(int(std::ceil(xs[i] - 0.5)), int(std::ceil(xs[i + 1] - 0.5)), y);
        }
    }
    pts.push_back(pts[0]);
    PolylineTarget(*dc, pts, false);
    return TRUE;
}

BOOL DrawEdge(HDC hdc, LPRECT rect, UINT edge, UINT flags) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect)
        return FALSE;
    RECT r = TargetRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    RECT orig = r;
    Painter p(*dc);
    p.Rop = 0xF0;
    UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    if (flags & BF_MONO) {
        if (outer)
            EdgeRing(p, r, flags, SysPix(COLOR_WINDOWFRAME), SysPix(COLOR_WINDOWFRAME));
        if (inner)
            EdgeRing(p, r, flags, SysPix(COLOR_WINDOW), SysPix(COLOR_WINDOW));
    } else if (flags & BF_FLAT) {
        if (outer)
            EdgeRing(p, r, flags, SysPix(COLOR_BTNSHADOW), SysPix(COLOR_BTNSHADOW));
        if (inner)
            EdgeRing(p, r, flags, SysPix(COLOR_BTNFACE), SysPix(COLOR_BTNFACE));
    } else {
        bool soft = (flags & BF_SOFT) != 0;
        if (outer == BDR_RAISEDOUTER)
            EdgeRing(p, r, flags, SysPix(soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT),
                     SysPix(COLOR_3DDKSHADOW));
        else if (outer == BDR_SUNKENOUTER)
            EdgeRing(p, r, flags, SysPix(soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW),
                     SysPix(COLOR_BTNHIGHLIGHT));
        if (inner == BDR_RAISEDINNER)
            EdgeRing(p, r, flags, SysPix(soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT),
                     SysPix(COLOR_BTNSHADOW));
        else if (inner == BDR_SUNKENINNER)
            EdgeRing(p, r, flags, SysPix(soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW),
                     SysPix(COLOR_3DLIGHT));
    }
    if ((flags & BF_MIDDLE) && !RectEmpty(r)) {
        p.Pat = SolidPattern(p.G, SysPix((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE));
        p.Rect(r);
    }
    if (flags & BF_ADJUST) {
        rect->left = ClampCoord(static_cast<long long>(rect->left) + (r.left - orig.left));
        rect->top = ClampCoord(static_cast<long long>(rect->top) + (r.top - orig.top));
        rect->right = ClampCoord(static_cast<long long>(rect->right) + (r.right - orig.right));
        rect->bottom = ClampCoord(static_cast<long long>(rect->bottom) + (r.bottom - orig.bottom));
    }
    return TRUE;
}

BOOL DrawFrameControl(HDC hdc, LPRECT rect, UINT type, UINT state) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect || type < DFC_CAPTION || type > DFC_BUTTON)
        return FALSE;
    RECT r = TargetRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    Painter p(*dc);
    p.Rop = 0xF0;
    bool pushed = (state & (DFCS_PUSHED | DFCS_CHECKED)) != 0;
    if (state & DFCS_FLAT) {
        EdgeRing(p, r, BF_RECT, SysPix(COLOR_BTNSHADOW), SysPix(COLOR_BTNSHADOW));
    } else if (pushed) {
        EdgeRing(p, r, BF_RECT, SysPix(COLOR_WINDOWFRAME), SysPix(COLOR_WINDOWFRAME));
        EdgeRing(p, r, BF_RECT, SysPix(COLOR_BTNSHADOW), SysPix(COLOR_BTNSHADOW));
    } else {
        EdgeRing(p, r, BF_RECT, SysPix(COLOR_BTNHIGHLIGHT), SysPix(COLOR_3DDKSHADOW));
        EdgeRing(p, r, BF_RECT, SysPix(COLOR_3DLIGHT), SysPix(COLOR_BTNSHADOW));
    }
    if (!(state & DFCS_TRANSPARENT) && !RectEmpty(r)) {
        p.Pat = SolidPattern(p.G, SysPix(COLOR_BTNFACE));
        p.Rect(r);
    }
    if (state & DFCS_ADJUSTRECT) {
        int border = (state & DFCS_FLAT) ? 1 : 2;
        rect->left = ClampCoord(static_cast<long long>(rect->left) + border);
        rect->top = ClampCoord(static_cast<long long>(rect->top) + border);
        rect->right = ClampCoord(static_cast<long long>(rect->right) - border);
        rect->bottom = ClampCoord(static_cast<long long>(rect->bottom) - border);
    }
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect)
        return FALSE;
    RECT r = TargetRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    if (RectEmpty(r))
        return TRUE;
    Painter p(*dc);
    p.Rop = 0x5A; // PATINVERT with a checker of all-ones and zeros
    p.Pat.Solid = false;
    p.Pat.OrgX = r.left;
    p.Pat.OrgY = r.top;
    for (int i = 0; i < 64; ++i)
        p.Pat.Cells[i] = ((i / 8 + i % 8) & 1) ? 0u : 0xFFFFFFFFu;
    p.Rect(RECT{r.left, r.top, r.right, r.top + 1});
    if (r.bottom - 1 > r.top)
        p.Rect(RECT{r.left, r.bottom - 1, r.right, r.bottom});
    p.Rect(RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1});
    if (r.right - 1 > r.left)
        p.Rect(RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1});
    return TRUE;
}
