// Logical palettes. The screen is true colour, so a selected palette only gives
// meaning to PALETTEINDEX colours; realising it maps nothing.
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Raster.h"

using namespace platform::gdi;

HPALETTE CreatePalette(const LOGPALETTE* log) {
    GdiLock lock(GdiMutex());
    if (!log || log->palVersion != 0x300 || log->palNumEntries == 0 || log->palNumEntries > 1024)
        return nullptr;
    auto pal = std::make_shared<Palette>();
    pal->Entries.assign(log->palPalEntry, log->palPalEntry + log->palNumEntries);
    return reinterpret_cast<HPALETTE>(AddObject(pal));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE h, BOOL) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    auto pal = Lookup<Palette>(h, OBJ_PAL);
    if (!dc || !pal)
        return nullptr;
    auto old = dc->St.SelPalette;
    dc->St.SelPalette = pal;
    return old ? reinterpret_cast<HPALETTE>(old->Handle) : nullptr;
}

UINT RealizePalette(HDC hdc) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    return dc ? 0 : GDI_ERROR;
}

UINT GetPaletteEntries(HPALETTE h, UINT start, UINT entries, LPPALETTEENTRY out) {
    GdiLock lock(GdiMutex());
    auto pal = Lookup<Palette>(h, OBJ_PAL);
    if (!pal)
        return 0;
    UINT size = UINT(pal->Entries.size());
    if (!out)
        return size;
    if (start >= size)
        return 0;
    UINT n = std::min(entries, size - start);
    std::memcpy(out, pal->Entries.data() + start, n * sizeof(PALETTEENTRY));
    return n;
}

UINT SetPaletteEntries(HPALETTE h, UINT start, UINT entries, const PALETTEENTRY* in) {
    GdiLock lock(GdiMutex());
    auto pal = Lookup<Palette>(h, OBJ_PAL);
    if (!pal || !in || pal->Stock)
        return 0;
    UINT size = UINT(pal->Entries.size());
    if (start >= size)
        return 0;
    UINT n = std::min(entries, size - start);
    std::memcpy(pal->Entries.data() + start, in, n * sizeof(PALETTEENTRY));
    return n;
}

UINT GetSystemPaletteEntries(HDC hdc, UINT, UINT, LPPALETTEENTRY) {
    GdiLock lock(GdiMutex());
    return LookupDC(hdc) ? 0 : 0; // no system palette on a true-colour screen
}

UINT GetNearestPaletteIndex(HPALETTE h, COLORREF color) {
    GdiLock lock(GdiMutex());
    auto pal = Lookup<Palette>(h, OBJ_PAL);
    if (!pal || pal->Entries.empty())
        return CLR_INVALID;
    int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    UINT best = 0;
    int bestDist = 1 << 30;
    for (UINT i = 0; i < pal->Entries.size(); ++i) {
        const PALETTEENTRY& e = pal->Entries[i];
        int dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
        int dist = dr * dr + dg * dg + db * db;
        if (dist < bestDist) {
            bestDist = dist;
            best = i;
        }
    }
    return best;
}

COLORREF GetNearestColor(HDC hdc, COLORREF color) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return CLR_INVALID;
    PixelGrid g = GridOf(*dc);
    return ColorrefFromPix(g.ToPix(g.FromPix(ResolveColor(*dc, color))));
}
