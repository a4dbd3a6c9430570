// Block transfers between contexts and from caller DIB memory, and single pixels.
#include <algorithm>
#include <cstdlib>

#include "platform/gdi/Bitmaps.h"
#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Raster.h"
#include "platform/gdi/Region.h"

namespace platform::gdi {

namespace {

// A rectangle given as origin and signed extent: negative extents run leftwards or
// upwards and include the origin pixel.
void SignedSpan(int origin, int extent, int& start, int& len) {
    if (extent < 0) {
        start = origin + extent + 1;
        len = -extent;
    } else {
        start = origin;
        len = extent;
    }
}

struct SourceInfo {
    const PixelGrid* Grid = nullptr;
    int X = 0, Y = 0, W = 0, H = 0; // grid coordinates, signed extents
    bool DibSemantics = false;
    std::uint32_t BkPix = 0xFFFFFF;
};

BOOL Transfer(DC& dst, int xd, int yd, int wd, int hd, const SourceInfo& src, DWORD rop,
              bool allowCombine) {
    std::uint8_t rop3 = std::uint8_t((rop >> 16) & 0xFF);
    bool usesSrc = RopUsesSource(rop3);
    if (usesSrc && !src.Grid)
        return FALSE;
    if (wd == 0 || hd == 0)
        return TRUE;
    if (std::abs(static_cast<long long>(wd)) > (1 << 16) ||
        std::abs(static_cast<long long>(hd)) > (1 << 16))
        return FALSE;
    POINT p = LogicalToDevice(dst, xd, yd);
    int dl, dw, dt, dh;
    SignedSpan(p.x + dst.Origin.x, wd, dl, dw);
    SignedSpan(p.y + dst.Origin.y, hd, dt, dh);
    RECT drect{dl, dt, dl + dw, dt + dh};
    PixelGrid dg = GridOf(dst);
    std::vector<RECT> clip = TargetClip(dst);

    PatternSource pat;
    bool hasPat = false;
    if (RopUsesPattern(rop3) && dst.St.SelBrush) {
        if (dst.St.SelBrush->Style == BS_NULL) {
            // A null brush leaves the pattern as black, which is what the API does.
            pat = SolidPattern(dg, 0);
        } else {
            pat = BrushPattern(dst, *dst.St.SelBrush, dg);
        }
        hasPat = true;
    }

    StretchMap map;
    Converter conv;
    if (usesSrc) {
        if (src.W == 0 || src.H == 0)
            return FALSE;
        if (std::abs(static_cast<long long>(src.W)) > (1 << 17) ||
            std::abs(static_cast<long long>(src.H)) > (1 << 17))
            return FALSE;
        int sl, sw, st, sh;
        SignedSpan(src.X, src.W, sl, sw);
        SignedSpan(src.Y, src.H, st, sh);
        bool mirrorX = (wd < 0) != (src.W < 0);
        bool mirrorY = (hd < 0) != (src.H < 0);
        int mode = dst.St.StretchMode;
        bool combine =
            allowCombine && (mode == BLACKONWHITE || mode == WHITEONBLACK) && (dw < sw || dh < sh);
        // In a combining mode only a shrinking axis folds pixels; the other keeps its
        // nearest sample (an empty span).
        if (combine)
            map.Combine = mode;
        auto axis = [combine](int d, int from, int span, bool mirror, int limit, auto& nearest,
                              auto& first, auto& last) {
            const bool fold = combine && d < span;
            BuildAxisMap(d, from, span, mirror, limit, nearest, fold ? &first : nullptr,
                         fold ? &last : nullptr);
            if (combine && !fold) {
                first.assign(std::size_t(d), 0);
                last.assign(std::size_t(d), 0);
            }
        };
        axis(dw, sl, sw, mirrorX, src.Grid->Width, map.X, map.X0, map.X1);
        axis(dh, st, sh, mirrorY, src.Grid->Height, map.Y, map.Y0, map.Y1);
        if (src.DibSemantics)
            conv = DibConverter(*src.Grid, dg);
        else
            conv = DcConverter(*src.Grid, dg, src.BkPix, ResolveColor(dst, dst.St.TextColor),
                               ResolveColor(dst, dst.St.BkColor));
    }
    TransferRop(dg, clip, drect, usesSrc ? src.Grid : nullptr, map, conv, hasPat ? &pat : nullptr,
                rop3);
    return TRUE;
}

BOOL DcTransfer(HDC hdest, int xd, int yd, int wd, int hd, HDC hsrc, int xs, int ys, int ws, int hs,
                DWORD rop, bool stretch) {
    GdiLock lock(GdiMutex());
    auto dst = LookupDC(hdest);
    if (!dst)
        return FALSE;
    std::uint8_t rop3 = std::uint8_t((rop >> 16) & 0xFF);
    SourceInfo si;
    PixelGrid sg;
    std::shared_ptr<DC> src;
    if (RopUsesSource(rop3)) {
        src = LookupDC(hsrc);
        if (!src)
            return FALSE;
        sg = GridOf(*src);
        POINT p = LogicalToDevice(*src, xs, ys);
        si.Grid = &sg;
        si.X = p.x + src->Origin.x;
        si.Y = p.y + src->Origin.y;
        si.W = ws;
        si.H = hs;
        si.BkPix = ResolveColor(*src, src->St.BkColor);
    }
    return Transfer(*dst, xd, yd, wd, hd, si, rop, stretch);
}

} // namespace

} // namespace platform::gdi

using namespace platform::gdi;

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
    return DcTransfer(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop, false);
}

BOOL StretchBlt(HDC dest, int xDest, int yDest, int destWidth, int destHeight, HDC src, int xSrc,
                int ySrc, int srcWidth, int srcHeight, DWORD rop) {
    return DcTransfer(dest, xDest, yDest, destWidth, destHeight, src, xSrc, ySrc, srcWidth,
                      srcHeight, rop, true);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    std::uint8_t rop3 = std::uint8_t((rop >> 16) & 0xFF);
    if (RopUsesSource(rop3))
        return FALSE;
    return DcTransfer(hdc, x, y, width, height, nullptr, 0, 0, 0, 0, rop, false);
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !bits || width > (1u << 16) || height > (1u << 16))
        return 0;
    DibDesc d;
    if (!ParseDib(info, usage, dc.get(), d))
        return 0;
    if (startScan >= UINT(d.Height) || lines == 0)
        return 0;
    int rows = int(std::min<UINT>(lines, UINT(d.Height) - startScan));
    int first = d.TopDown ? int(startScan) : d.Height - int(startScan) - rows;
    PixelGrid band = GridOfMemory(d, bits, first, rows);
    int top = d.TopDown ? ySrc : d.Height - ySrc - int(height);
    SourceInfo si;
    si.Grid = &band;
    si.X = xSrc;
    si.Y = top - first;
    si.W = int(width);
    si.H = int(height);
    si.DibSemantics = true;
    if (width == 0 || height == 0)
        return rows;
    if (!Transfer(*dc, xDest, yDest, int(width), int(height), si, SRCCOPY, false))
        return 0;
    return rows;
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return 0;
    std::uint8_t rop3 = std::uint8_t((rop >> 16) & 0xFF);
    SourceInfo si;
    DibDesc d;
    PixelGrid grid;
    if (RopUsesSource(rop3)) {
        if (!bits || !ParseDib(info, usage, dc.get(), d))
            return 0;
        grid = GridOfMemory(d, bits, 0, d.Height);
        si.Grid = &grid;
        si.X = xSrc;
        if (d.TopDown)
            si.Y = ySrc;
        else
            si.Y = srcHeight >= 0 ? d.Height - ySrc - srcHeight : d.Height - ySrc - srcHeight - 2;
        si.W = srcWidth;
        si.H = srcHeight;
        si.DibSemantics = true;
    }
    if (!Transfer(*dc, xDest, yDest, destWidth, destHeight, si, rop, true))
        return 0;
    return srcHeight < 0 ? -srcHeight : srcHeight;
}

namespace {

bool PixelTarget(DC& dc, int x, int y, PixelGrid& g, int& tx, int& ty) {
    POINT p = LogicalToDevice(dc, x, y);
    tx = p.x + dc.Origin.x;
    ty = p.y + dc.Origin.y;
    g = GridOf(dc);
    for (const RECT& r : TargetClip(dc))
        if (tx >= r.left && tx < r.right && ty >= r.top && ty < r.bottom)
            return true;
    return false;
}

} // namespace

COLORREF GetPixel(HDC hdc, int x, int y) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    PixelGrid g;
    int tx, ty;
    if (!dc || !PixelTarget(*dc, x, y, g, tx, ty))
        return CLR_INVALID;
    return ColorrefFromPix(g.ToPix(g.Read(tx, ty)));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    PixelGrid g;
    int tx, ty;
    if (!dc || !PixelTarget(*dc, x, y, g, tx, ty))
        return CLR_INVALID;
    std::uint32_t v = g.FromPix(ResolveColor(*dc, color));
    g.Write(tx, ty, v);
    return ColorrefFromPix(g.ToPix(v));
}

BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color) {
    return SetPixel(hdc, x, y, color) != CLR_INVALID ? TRUE : FALSE;
}
