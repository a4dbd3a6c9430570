// The handle table, stock objects, and the generic object functions (SelectObject,
// DeleteObject, GetObjectA, GetObjectType, GetStockObject, GetCurrentObject).
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiObjects.h"

namespace platform::gdi {

namespace {

struct Slot {
    std::shared_ptr<GdiObject> Obj;
    std::uint32_t Gen = 1;
};

struct Table {
    std::vector<Slot> Slots;
    std::vector<std::uint32_t> Free;
    std::shared_ptr<GdiObject> Stock[DC_PEN + 1];
    std::shared_ptr<Bitmap> DefaultBitmap;
};

Table& Handles() {
    static Table* table = new Table; // lives to the end of the process
    return *table;
}

// Handle value: generation in the high 32 bits, (slot + 1) << 4 in the low bits, so that
// handles never collide with the small integers the API accepts in their place
// ((HBRUSH)(COLOR_x + 1)).
HGDIOBJ Encode(std::uint32_t index, std::uint32_t gen) {
    std::uintptr_t v = (std::uintptr_t(gen) << 32) | (std::uintptr_t(index + 1) << 4);
    return reinterpret_cast<HGDIOBJ>(v);
}

bool Decode(const void* h, std::uint32_t& index, std::uint32_t& gen) {
    std::uintptr_t v = reinterpret_cast<std::uintptr_t>(h);
    if ((v & 0xF) != 0)
        return false;
    std::uint32_t low = std::uint32_t(v & 0xFFFFFFFF) >> 4;
    if (low == 0)
        return false;
    index = low - 1;
    gen = std::uint32_t(v >> 32);
    return true;
}

std::shared_ptr<GdiObject> MakeStock(int index) {
    auto solidBrush = [](COLORREF c) {
        auto b = std::make_shared<Brush>();
        b->Style = BS_SOLID;
        b->Color = c;
        return std::static_pointer_cast<GdiObject>(b);
    };
    auto pen = [](UINT style, COLORREF c) {
        auto p = std::make_shared<Pen>();
        p->Log.lopnStyle = style;
        p->Log.lopnWidth = POINT{1, 0};
        p->Log.lopnColor = c;
        return std::static_pointer_cast<GdiObject>(p);
    };
    auto font = [](LONG height, const char* face, BYTE pitch) {
        auto f = std::make_shared<Font>();
        f->Log.lfHeight = height;
        f->Log.lfWeight = FW_NORMAL;
        f->Log.lfPitchAndFamily = pitch;
        std::strncpy(f->Log.lfFaceName, face, LF_FACESIZE - 1);
        return std::static_pointer_cast<GdiObject>(f);
    };
    switch (index) {
    case WHITE_BRUSH:
        return solidBrush(RGB(255, 255, 255));
    case LTGRAY_BRUSH:
        return solidBrush(RGB(192, 192, 192));
    case GRAY_BRUSH:
        return solidBrush(RGB(128, 128, 128));
    case DKGRAY_BRUSH:
        return solidBrush(RGB(64, 64, 64));
    case BLACK_BRUSH:
        return solidBrush(RGB(0, 0, 0));
    case NULL_BRUSH: {
        auto b = std::make_shared<Brush>();
        b->Style = BS_NULL;
        return b;
    }
    case DC_BRUSH:
        return solidBrush(RGB(255, 255, 255));
    case WHITE_PEN:
        return pen(PS_SOLID, RGB(255, 255, 255));
    case BLACK_PEN:
    case DC_PEN:
        return pen(PS_SOLID, RGB(0, 0, 0));
    case NULL_PEN:
        return pen(PS_NULL, 0);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
        return font(-13, "Courier New", FIXED_PITCH | FF_MODERN);
    case ANSI_VAR_FONT:
    case DEFAULT_GUI_FONT:
        return font(-11, "MS Sans Serif", VARIABLE_PITCH | FF_SWISS);
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
        return font(16, "System", VARIABLE_PITCH | FF_SWISS);
    case DEFAULT_PALETTE: {
        // The 20 static colours of the system palette.
        static const BYTE colors[20][3] = {
            {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
            {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
            {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
            {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
        auto p = std::make_shared<Palette>();
        for (const auto& c : colors)
            p->Entries.push_back(PALETTEENTRY{c[0], c[1], c[2], 0});
        return p;
    }
    default:
        return nullptr;
    }
}

} // namespace

std::recursive_mutex& GdiMutex() {
    static std::recursive_mutex* m = new std::recursive_mutex;
    return *m;
}

HGDIOBJ AddObject(std::shared_ptr<GdiObject> obj) {
    Table& t = Handles();
    std::uint32_t index;
    if (!t.Free.empty()) {
        index = t.Free.back();
        t.Free.pop_back();
    } else {
        if (t.Slots.size() >= (1u << 27))
            return nullptr;
        index = std::uint32_t(t.Slots.size());
        t.Slots.emplace_back();
    }
    Slot& s = t.Slots[index];
    s.Obj = std::move(obj);
    HGDIOBJ h = Encode(index, s.Gen);
    s.Obj->Handle = h;
    return h;
}

std::shared_ptr<GdiObject> LookupObject(const void* handle) {
    std::uint32_t index, gen;
    if (!handle || !Decode(handle, index, gen))
        return nullptr;
    Table& t = Handles();
    if (index >= t.Slots.size())
        return nullptr;
    Slot& s = t.Slots[index];
    if (s.Gen != gen || !s.Obj)
        return nullptr;
    return s.Obj;
}

std::shared_ptr<DC> LookupDC(HDC hdc) {
    auto obj = LookupObject(hdc);
    if (!obj || (obj->Type != OBJ_DC && obj->Type != OBJ_MEMDC))
        return nullptr;
    return std::static_pointer_cast<DC>(obj);
}

void RemoveObject(const void* handle) {
    std::uint32_t index, gen;
    if (!Decode(handle, index, gen))
        return;
    Table& t = Handles();
    if (index >= t.Slots.size() || t.Slots[index].Gen != gen)
        return;
    t.Slots[index].Obj.reset();
    t.Slots[index].Gen = (t.Slots[index].Gen + 1) & 0x7FFFFFFF;
    if (t.Slots[index].Gen == 0)
        t.Slots[index].Gen = 1;
    t.Free.push_back(index);
}

std::shared_ptr<GdiObject> StockObject(int index) {
    if (index < 0 || index > DC_PEN)
        return nullptr;
    Table& t = Handles();
    if (!t.Stock[index]) {
        auto obj = MakeStock(index);
        if (!obj)
            return nullptr;
        obj->Stock = true;
        AddObject(obj);
        t.Stock[index] = obj;
    }
    return t.Stock[index];
}

std::shared_ptr<Bitmap> DefaultBitmap() {
    Table& t = Handles();
    if (!t.DefaultBitmap) {
        auto bm = std::make_shared<Bitmap>();
        bm->Width = 1;
        bm->Height = 1;
        bm->Bpp = 1;
        bm->Stride = 2;
        bm->BitsSize = 2;
        bm->Bits.reset(new std::uint8_t[2]{0, 0});
        bm->Stock = true;
        AddObject(bm);
        t.DefaultBitmap = bm;
    }
    return t.DefaultBitmap;
}

std::uint32_t ResolveColor(const DC& dc, COLORREF c) {
    switch (c >> 24) {
    case 0x01: {
        std::uint32_t i = c & 0xFFFF;
        const auto& pal = dc.St.SelPalette;
        if (!pal || i >= pal->Entries.size())
            return 0;
        const PALETTEENTRY& e = pal->Entries[i];
        return (std::uint32_t(e.peRed) << 16) | (std::uint32_t(e.peGreen) << 8) | e.peBlue;
    }
    default:
        return PixFromColorref(c & 0xFFFFFF);
    }
}

} // namespace platform::gdi

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
