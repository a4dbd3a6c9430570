// The generic object functions: SelectObject, DeleteObject, GetObjectA, GetObjectType,
// GetStockObject, GetCurrentObject (over the handle table of HandleTable.cpp).
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiObjects.h"

using namespace platform::gdi;

HGDIOBJ GetStockObject(int index) {
    GdiLock lock(GdiMutex());
    auto obj = StockObject(index);
    return obj ? obj->Handle : nullptr;
}

DWORD GetObjectType(HGDIOBJ h) {
    GdiLock lock(GdiMutex());
    auto obj = LookupObject(h);
    return obj ? obj->Type : 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    auto obj = LookupObject(h);
    if (!dc || !obj)
        return nullptr;
    DcState& st = dc->St;
    switch (obj->Type) {
    case OBJ_BITMAP: {
        if (dc->IsSurface)
            return nullptr;
        auto bm = std::static_pointer_cast<Bitmap>(obj);
        if (bm == st.SelBitmap)
            return h;
        if (!bm->Stock && bm->SelectedIn > 0)
            return nullptr; // a bitmap can be selected into one context only
        auto old = st.SelBitmap;
        if (old && !old->Stock)
            --old->SelectedIn;
        if (!bm->Stock)
            ++bm->SelectedIn;
        st.SelBitmap = bm;
        return old ? old->Handle : nullptr;
    }
    case OBJ_PEN: {
        auto old = st.SelPen;
        st.SelPen = std::static_pointer_cast<Pen>(obj);
        return old ? old->Handle : nullptr;
    }
    case OBJ_BRUSH: {
        auto old = st.SelBrush;
        st.SelBrush = std::static_pointer_cast<Brush>(obj);
        return old ? old->Handle : nullptr;
    }
    case OBJ_FONT: {
        auto old = st.SelFont;
        st.SelFont = std::static_pointer_cast<Font>(obj);
        return old ? old->Handle : nullptr;
    }
    case OBJ_REGION: {
        int r = ExtSelectClipRgn(hdc, reinterpret_cast<HRGN>(h), RGN_COPY);
        if (r == ERROR)
            return HGDI_ERROR;
        return reinterpret_cast<HGDIOBJ>(std::uintptr_t(r));
    }
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ h) {
    GdiLock lock(GdiMutex());
    auto obj = LookupObject(h);
    if (!obj || obj->Type == OBJ_DC || obj->Type == OBJ_MEMDC)
        return FALSE;
    if (obj->Stock)
        return TRUE;
    // A context that still holds the object keeps it alive until it lets go.
    // A font lets go of its face: the face cache frees faces no font uses any more.
    if (obj->Type == OBJ_FONT)
        static_cast<Font&>(*obj).Face.reset();
    RemoveObject(h);
    return TRUE;
}

int GetObjectA(HANDLE h, int size, LPVOID out) {
    GdiLock lock(GdiMutex());
    auto obj = LookupObject(h);
    if (!obj || size < 0)
        return 0;
    auto copyOut = [&](const void* data, int full) {
        if (!out)
            return full;
        int n = std::min(size, full);
        std::memcpy(out, data, std::size_t(n));
        return n;
    };
    switch (obj->Type) {
    case OBJ_BITMAP: {
        auto& bm = static_cast<Bitmap&>(*obj);
        DIBSECTION ds{};
        ds.dsBm.bmType = 0;
        ds.dsBm.bmWidth = bm.Width;
        ds.dsBm.bmHeight = bm.Height;
        ds.dsBm.bmWidthBytes = bm.Stride;
        ds.dsBm.bmPlanes = 1;
        ds.dsBm.bmBitsPixel = WORD(bm.Bpp);
        ds.dsBm.bmBits = bm.Dib ? bm.Bits.get() : nullptr;
        if (bm.Dib) {
            BITMAPINFOHEADER& bi = ds.dsBmih;
            bi.biSize = sizeof(BITMAPINFOHEADER);
            bi.biWidth = bm.Width;
            bi.biHeight = bm.TopDown ? -bm.Height : bm.Height;
            bi.biPlanes = 1;
            bi.biBitCount = WORD(bm.Bpp);
            bi.biCompression = BI_RGB;
            bi.biSizeImage = DWORD(bm.BitsSize);
            bi.biClrUsed = bm.Bpp <= 8 ? DWORD(bm.Table.size()) : 0;
            if (!out)
                return sizeof(DIBSECTION);
            if (size >= int(sizeof(DIBSECTION))) {
                std::memcpy(out, &ds, sizeof ds);
                return sizeof(DIBSECTION);
            }
        }
        if (!out)
            return sizeof(BITMAP);
        if (size < int(sizeof(BITMAP)))
            return 0;
        std::memcpy(out, &ds.dsBm, sizeof(BITMAP));
        return sizeof(BITMAP);
    }
    case OBJ_PEN: {
        auto& p = static_cast<Pen&>(*obj);
        return copyOut(&p.Log, sizeof(LOGPEN));
    }
    case OBJ_BRUSH: {
        auto& b = static_cast<Brush&>(*obj);
        LOGBRUSH lb{b.Style, b.Color, 0};
        if (b.Style == BS_HATCHED)
            lb.lbHatch = ULONG_PTR(b.Hatch);
        else if (b.Style == BS_PATTERN)
            lb.lbHatch = reinterpret_cast<ULONG_PTR>(b.PatternBitmap);
        return copyOut(&lb, sizeof(LOGBRUSH));
    }
    case OBJ_FONT: {
        auto& f = static_cast<Font&>(*obj);
        return copyOut(&f.Log, sizeof(LOGFONTA));
    }
    case OBJ_PAL: {
        auto& p = static_cast<Palette&>(*obj);
        WORD n = WORD(p.Entries.size());
        if (!out)
            return sizeof(WORD);
        if (size < int(sizeof(WORD)))
            return 0;
        std::memcpy(out, &n, sizeof n);
        return sizeof(WORD);
    }
    default:
        return 0;
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc)
        return nullptr;
    const DcState& st = dc->St;
    std::shared_ptr<GdiObject> obj;
    switch (type) {
    case OBJ_PEN:
        obj = st.SelPen;
        break;
    case OBJ_BRUSH:
        obj = st.SelBrush;
        break;
    case OBJ_FONT:
        obj = st.SelFont;
        break;
    case OBJ_PAL:
        obj = st.SelPalette;
        break;
    case OBJ_BITMAP:
        obj = st.SelBitmap;
        break;
    default:
        return nullptr;
    }
    return obj ? obj->Handle : nullptr;
}
