// Internal to the drawing code: the objects behind GDI handles, the handle table, and
// the device context state. Every public entry point takes the global drawing lock
// (GdiLock) before it looks a handle up; objects are reference-counted so that a
// context keeps what is selected into it alive even after DeleteObject.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi/Rects.h"
#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

namespace platform::gdi {

using GdiLock = std::lock_guard<std::recursive_mutex>;
std::recursive_mutex& GdiMutex();

// Begins the text engine's start (fontconfig's configuration and caches, FreeType) on a
// thread of its own, so that the first text drawn finds it done or under way.
void StartFontLookup();

struct GdiObject {
    explicit GdiObject(DWORD type) : Type(type) {}
    virtual ~GdiObject() = default;
    DWORD Type;
    bool Stock = false;
    HGDIOBJ Handle = nullptr;
};

struct Palette : GdiObject {
    Palette() : GdiObject(OBJ_PAL) {}
    std::vector<PALETTEENTRY> Entries;
};

// Pixel storage of a bitmap. Bit depths 1, 4, 8, 16 (5-5-5), 24 and 32. Device-dependent
// bitmaps are 1 bit (monochrome, no colour table: 0 black, 1 white) or 32 bits;
// DIB sections keep the layout and colour table they were created with.
struct Bitmap : GdiObject {
    Bitmap() : GdiObject(OBJ_BITMAP) {}
    int Width = 0;
    int Height = 0;
    int Bpp = 32;
    bool Dib = false;
    bool TopDown = true;
    int Stride = 0; // bytes per stored row
    std::unique_ptr<std::uint8_t[]> Bits;
    std::size_t BitsSize = 0;
    std::vector<RGBQUAD> Table; // colour table of DIB sections with 8 bits or fewer
    int SelectedIn = 0;         // number of contexts holding it selected

    std::uint8_t* Row(int y) {
        return Bits.get() + std::size_t(TopDown ? y : Height - 1 - y) * std::size_t(Stride);
    }
};

struct Pen : GdiObject {
    Pen() : GdiObject(OBJ_PEN) {}
    LOGPEN Log{};
};

struct Brush : GdiObject {
    Brush() : GdiObject(OBJ_BRUSH) {}
    UINT Style = BS_SOLID;
    COLORREF Color = 0;
    int Hatch = 0;
    // 8x8 pattern for pattern and hatch brushes: pixels 0x00RRGGBB, or for monochrome
    // patterns 0/1 (0 takes the text colour, 1 the background colour when drawn).
    bool MonoPattern = false;
    std::array<std::uint32_t, 64> Pattern{};
    HBITMAP PatternBitmap = nullptr; // what GetObject reports for a pattern brush
};

struct FontFace; // the text engine's face (Text.cpp); a font shares it with its cache

struct Font : GdiObject {
    Font() : GdiObject(OBJ_FONT) {}
    LOGFONTA Log{};
    std::shared_ptr<FontFace> Face; // resolved on first use
};

struct Region : GdiObject {
    Region() : GdiObject(OBJ_REGION) {}
    std::vector<RECT> Rects; // disjoint, non-empty
};

// Selectable and mode state of a context: what SaveDC saves.
struct DcState {
    std::shared_ptr<Bitmap> SelBitmap;
    std::shared_ptr<Pen> SelPen;
    std::shared_ptr<Brush> SelBrush;
    std::shared_ptr<Font> SelFont;
    std::shared_ptr<Palette> SelPalette;
    COLORREF TextColor = RGB(0, 0, 0);
    COLORREF BkColor = RGB(255, 255, 255);
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    int StretchMode = BLACKONWHITE;
    int MapMode = MM_TEXT;
    UINT TextAlign = TA_LEFT | TA_TOP;
    POINT WindowOrg{0, 0};
    POINT ViewportOrg{0, 0};
    POINT BrushOrg{0, 0};
    POINT CurPos{0, 0};
    bool HasClip = false;
    std::vector<RECT> Clip; // application clip region in device coordinates
};

struct DC : GdiObject {
    DC(DWORD type) : GdiObject(type) {}
    bool IsSurface = false;
    Surface Target;
    POINT Origin{0, 0};        // device (0, 0) in target coordinates
    std::vector<RECT> Visible; // surface contexts: visible rectangles, target coordinates
    DcState St;
    std::vector<DcState> Saved;
};

// Handle table.
HGDIOBJ AddObject(std::shared_ptr<GdiObject> obj);
std::shared_ptr<GdiObject> LookupObject(const void* handle);
template <class T> std::shared_ptr<T> Lookup(const void* handle, DWORD type) {
    auto obj = LookupObject(handle);
    if (!obj || obj->Type != type)
        return nullptr;
    return std::static_pointer_cast<T>(obj);
}
std::shared_ptr<DC> LookupDC(HDC hdc);
void RemoveObject(const void* handle);

std::shared_ptr<GdiObject> StockObject(int index);
std::shared_ptr<Bitmap> DefaultBitmap();

// Colour helpers. "Pix" values are 0x00RRGGBB, COLORREF values 0x00BBGGRR.
constexpr std::uint32_t PixFromColorref(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF ColorrefFromPix(std::uint32_t p) {
    return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}
// Resolves PALETTEINDEX and PALETTERGB references through the context's palette.
std::uint32_t ResolveColor(const DC& dc, COLORREF c);

// Coordinates.
// Logical to device coordinates, clamped so that extreme values cannot overflow later
// arithmetic.
inline LONG ClampCoord(long long v) {
    constexpr long long limit = 1LL << 28;
    return LONG(v < -limit ? -limit : v > limit ? limit : v);
}
inline POINT LogicalToDevice(const DC& dc, int x, int y) {
    return POINT{ClampCoord(static_cast<long long>(x) - dc.St.WindowOrg.x + dc.St.ViewportOrg.x),
                 ClampCoord(static_cast<long long>(y) - dc.St.WindowOrg.y + dc.St.ViewportOrg.y)};
}
// Logical coordinates to target coordinates (bitmap or surface pixels).
inline POINT TargetPoint(const DC& dc, int x, int y) {
    POINT p = LogicalToDevice(dc, x, y);
    return POINT{p.x + dc.Origin.x, p.y + dc.Origin.y};
}
// A logical rectangle in target coordinates, corners mapped as they stand (not reordered).
inline RECT TargetRect(const DC& dc, int l, int t, int r, int b) {
    POINT a = TargetPoint(dc, l, t), c = TargetPoint(dc, r, b);
    return RECT{a.x, a.y, c.x, c.y};
}
inline RECT TargetRect(const DC& dc, const RECT& r) {
    return TargetRect(dc, r.left, r.top, r.right, r.bottom);
}
} // namespace platform::gdi
