// Device contexts: memory contexts, surface contexts for the window manager, saved
// states, modes, colours and coordinate origins.
#include <algorithm>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Screen.h"

namespace platform::gdi {

namespace {

int g_screenWidth = 1280;
int g_screenHeight = 1024;

void InitState(DcState& st) {
    st.SelPen = std::static_pointer_cast<Pen>(StockObject(BLACK_PEN));
    st.SelBrush = std::static_pointer_cast<Brush>(StockObject(WHITE_BRUSH));
    st.SelFont = std::static_pointer_cast<Font>(StockObject(SYSTEM_FONT));
    st.SelPalette = std::static_pointer_cast<Palette>(StockObject(DEFAULT_PALETTE));
}

void ReleaseSelection(DC& dc) {
    if (dc.St.SelBitmap && !dc.St.SelBitmap->Stock)
        --dc.St.SelBitmap->SelectedIn;
    dc.St.SelBitmap.reset();
}

} // namespace

} // namespace platform::gdi

using namespace platform::gdi;

namespace platform {

void SetGdiScreenSize(int width, int height) {
    GdiLock lock(GdiMutex());
    if (width > 0 && height > 0) {
        g_screenWidth = width;
        g_screenHeight = height;
    }
}

HDC CreateSurfaceDC(const Surface& target, POINT origin, std::vector<RECT> visible) {
    GdiLock lock(GdiMutex());
    auto dc = std::make_shared<DC>(OBJ_DC);
    dc->IsSurface = true;
    dc->Target = target;
    dc->Origin = origin;
    dc->Visible = std::move(visible);
    InitState(dc->St);
    return reinterpret_cast<HDC>(AddObject(dc));
}

void RetargetSurfaceDC(HDC hdc, const Surface& target, POINT origin, std::vector<RECT> visible) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !dc->IsSurface)
        return;
    dc->Target = target;
    dc->Origin = origin;
    dc->Visible = std::move(visible);
}

void DeleteSurfaceDC(HDC hdc) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !dc->IsSurface)
        return;
    RemoveObject(hdc);
}

} // namespace platform

HDC CreateCompatibleDC(HDC hdc) {
    GdiLock lock(GdiMutex());
    if (hdc && !LookupDC(hdc))
        return nullptr;
    auto dc = std::make_shared<DC>(OBJ_MEMDC);
    InitState(dc->St);
    dc->St.SelBitmap = DefaultBitmap();
    return reinterpret_cast<HDC>(AddObject(dc));
}

BOOL DeleteDC(HDC hdc) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || dc->IsSurface)
        return FALSE;
    ReleaseSelection(*dc);
    dc->Saved.clear();
    RemoveObject(hdc);
    return TRUE;
}

int SaveDC(HDC hdc) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || dc->Saved.size() >= 4096)
        return 0;
    dc->Saved.push_back(dc->St);
    return int(dc->Saved.size());
}

BOOL RestoreDC(HDC hdc, int saved) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    int depth = int(dc->Saved.size());
    int target = saved < 0 ? depth + saved + 1 : saved;
    if (target < 1 || target > depth)
        return FALSE;
    DcState st = dc->Saved[std::size_t(target - 1)];
    dc->Saved.resize(std::size_t(target - 1));
    if (st.SelBitmap != dc->St.SelBitmap) {
        if (st.SelBitmap && !st.SelBitmap->Stock && st.SelBitmap->SelectedIn > 0)
            st.SelBitmap = dc->St.SelBitmap; // now selected elsewhere: keep the current one
        else {
            ReleaseSelection(*dc);
            if (st.SelBitmap && !st.SelBitmap->Stock)
                ++st.SelBitmap->SelectedIn;
        }
    }
    dc->St = std::move(st);
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    GdiLock lock(GdiMutex());
    if (!LookupDC(hdc))
        return 0;
    switch (index) {
    case DRIVERVERSION:
        return 0x4000;
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZSIZE:
        return g_screenWidth * 254 / 960;
    case VERTSIZE:
        return g_screenHeight * 254 / 960;
    case HORZRES:
        return g_screenWidth;
    case VERTRES:
        return g_screenHeight;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case NUMBRUSHES:
    case NUMPENS:
    case NUMCOLORS:
        return -1;
    case NUMMARKERS:
        return 0;
    case NUMFONTS:
        return 0;
    case PDEVICESIZE:
        return 0;
    case CURVECAPS:
        return 0xFF;
    case LINECAPS:
        return 0xFE;
    case POLYGONALCAPS:
        return 0xFF;
    case TEXTCAPS:
        return 0x7807;
    case CLIPCAPS:
        return 1;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_GDI20_OUTPUT | RC_DI_BITMAP | RC_DIBTODEV |
               RC_STRETCHBLT | RC_STRETCHDIB;
    case ASPECTX:
    case ASPECTY:
        return 36;
    case ASPECTXY:
        return 51;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case SIZEPALETTE:
    case NUMRESERVED:
        return 0;
    case COLORRES:
        return 24;
    default:
        return 0;
    }
}

int SetMapMode(HDC hdc, int mode) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || mode != MM_TEXT)
        return 0;
    int old = dc->St.MapMode;
    dc->St.MapMode = mode;
    return old;
}

int GetMapMode(HDC hdc) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    return dc ? dc->St.MapMode : 0;
}

namespace {

BOOL SetPoint(HDC hdc, POINT DcState::*field, int x, int y, LPPOINT old, bool relative) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    POINT& p = dc->St.*field;
    if (old)
        *old = p;
    // Origins stay within a range where coordinate arithmetic cannot overflow.
    if (relative)
        p = POINT{ClampCoord(static_cast<long long>(p.x) + x),
                  ClampCoord(static_cast<long long>(p.y) + y)};
    else
        p = POINT{ClampCoord(x), ClampCoord(y)};
    return TRUE;
}

BOOL GetPoint(HDC hdc, POINT DcState::*field, LPPOINT out) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !out)
        return FALSE;
    *out = dc->St.*field;
    return TRUE;
}

} // namespace

BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetPoint(hdc, &DcState::WindowOrg, x, y, old, false);
}
BOOL GetWindowOrgEx(HDC hdc, LPPOINT org) {
    return GetPoint(hdc, &DcState::WindowOrg, org);
}
BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetPoint(hdc, &DcState::ViewportOrg, x, y, old, false);
}
BOOL GetViewportOrgEx(HDC hdc, LPPOINT org) {
    return GetPoint(hdc, &DcState::ViewportOrg, org);
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, LPPOINT old) {
    return SetPoint(hdc, &DcState::ViewportOrg, dx, dy, old, true);
}
BOOL OffsetWindowOrgEx(HDC hdc, int dx, int dy, LPPOINT old) {
    return SetPoint(hdc, &DcState::WindowOrg, dx, dy, old, true);
}
BOOL SetBrushOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return SetPoint(hdc, &DcState::BrushOrg, x, y, old, false);
}
BOOL GetBrushOrgEx(HDC hdc, LPPOINT org) {
    return GetPoint(hdc, &DcState::BrushOrg, org);
}
BOOL GetCurrentPositionEx(HDC hdc, LPPOINT pos) {
    return GetPoint(hdc, &DcState::CurPos, pos);
}

BOOL LPtoDP(HDC hdc, LPPOINT points, int count) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || (count > 0 && !points) || count < 0)
        return FALSE;
    for (int i = 0; i < count; ++i)
        points[i] = LogicalToDevice(*dc, points[i].x, points[i].y);
    return TRUE;
}

BOOL DPtoLP(HDC hdc, LPPOINT points, int count) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || (count > 0 && !points) || count < 0)
        return FALSE;
    for (int i = 0; i < count; ++i) {
        points[i].x += dc->St.WindowOrg.x - dc->St.ViewportOrg.x;
        points[i].y += dc->St.WindowOrg.y - dc->St.ViewportOrg.y;
    }
    return TRUE;
}

namespace {

template <class T, class Valid> T SetField(HDC hdc, T DcState::*field, T value, Valid valid) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !valid(value))
        return T(0);
    T old = dc->St.*field;
    dc->St.*field = value;
    return old;
}

template <class T> T GetField(HDC hdc, T DcState::*field, T failure) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    return dc ? dc->St.*field : failure;
}

} // namespace

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    GdiLock lock(GdiMutex());
    if (!LookupDC(hdc))
        return CLR_INVALID;
    return SetField(hdc, &DcState::BkColor, color, [](COLORREF) { return true; });
}
COLORREF GetBkColor(HDC hdc) {
    return GetField(hdc, &DcState::BkColor, CLR_INVALID);
}
COLORREF SetTextColor(HDC hdc, COLORREF color) {
    GdiLock lock(GdiMutex());
    if (!LookupDC(hdc))
        return CLR_INVALID;
    return SetField(hdc, &DcState::TextColor, color, [](COLORREF) { return true; });
}
COLORREF GetTextColor(HDC hdc) {
    return GetField(hdc, &DcState::TextColor, CLR_INVALID);
}
int SetBkMode(HDC hdc, int mode) {
    return SetField(hdc, &DcState::BkMode, mode,
                    [](int m) { return m == TRANSPARENT || m == OPAQUE; });
}
int GetBkMode(HDC hdc) {
    return GetField(hdc, &DcState::BkMode, 0);
}
int SetROP2(HDC hdc, int rop2) {
    return SetField(hdc, &DcState::Rop2, rop2,
                    [](int m) { return m >= R2_BLACK && m <= R2_WHITE; });
}
int GetROP2(HDC hdc) {
    return GetField(hdc, &DcState::Rop2, 0);
}
int SetStretchBltMode(HDC hdc, int mode) {
    return SetField(hdc, &DcState::StretchMode, mode,
                    [](int m) { return m >= BLACKONWHITE && m <= HALFTONE; });
}
int GetStretchBltMode(HDC hdc) {
    return GetField(hdc, &DcState::StretchMode, 0);
}
UINT SetTextAlign(HDC hdc, UINT align) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return GDI_ERROR;
    UINT old = dc->St.TextAlign;
    dc->St.TextAlign = align;
    return old;
}
UINT GetTextAlign(HDC hdc) {
    return GetField(hdc, &DcState::TextAlign, GDI_ERROR);
}

BOOL GdiFlush() {
    return TRUE;
}
