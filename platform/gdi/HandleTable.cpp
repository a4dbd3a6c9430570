// The handle table behind every GDI handle, the stock objects, and colour resolution in
// a context. The object functions of the API (Objects.cpp) and every file that makes
// objects (Region.cpp, Bitmaps.cpp ...) build on it.
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
