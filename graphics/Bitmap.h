// TBitmap: a device-independent bitmap graphic. It keeps its pixels and its colour table
// itself, in the layout of a Windows DIB (1, 4, 8, 16, 24 or 32 bits per pixel, rows
// padded to 4 bytes, bottom-up or top-down as loaded), and makes a drawing-system bitmap
// handle, a palette and a canvas on request; drawing on the canvas changes the pixels.
//
// LoadFromStream reads a BMP file image (BITMAPFILEHEADER "BM", then a core, 40-byte, V4
// or V5 information header, the colour table and the pixels at the file header's offset;
// BI_RGB, or BI_BITFIELDS for 16 and 32 bits). Everything is checked against the bytes
// the stream holds before memory is taken; damaged or unsupported data raise
// EInvalidGraphic "Bitmap image is not valid" and leave the bitmap unchanged.
// SaveToStream writes a BMP file image with a 40-byte header, keeping the depth, the
// colour table (its length too), the row order and the 16-bit channel layout.
//
// Pixel formats: pf1bit, pf4bit, pf8bit (palette images), pf15bit (16 bits, 5-5-5),
// pf16bit (16 bits, 5-6-5), pf24bit, pf32bit; pfDevice for a device-dependent bitmap
// (HandleType bmDDB: 32-bit true colour, the screen's format). Other 16-bit channel layouts
// and 32-bit layouts load as pf24bit and standard pf32bit respectively.
//
// A palette bitmap made a device bitmap keeps its palette pixels (at 8 bits a quarter of
// the memory) and is drawn from them, with the same colours; it takes the 32-bit form
// when its rows, handle or canvas are asked for, its size or palette changes, or it is
// saved. Until then only BitsPerPixel and BytesPerScanLine tell of that form.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "formstream/Graphic.h"
#include "graphics/GraphicsTypes.h"
#include "platform/wingdi.h"

namespace graphics {

class TCanvas;
struct TDibImage;

class TBitmap : public formstream::TGraphic {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    TBitmap();
    ~TBitmap() override;

    // TBitmap: a copy of its image; null: empty; another graphic: the graphic's own
    // AssignTo when it has one for bitmaps, else this bitmap becomes a 24-bit image of the
    // graphic's size, filled with the canvas brush, with the graphic drawn on it.
    void Assign(formstream::TPersistent* source) override;
    // Stretches the bitmap onto `rect` of the canvas (with the canvas's copy mode), or with
    // the transparent colour showing the canvas when Transparent is set.
    void Draw(TCanvas* canvas, const rtl::TRect& rect) override;
    bool GetEmpty() const override;
    std::int32_t GetWidth() const override;
    std::int32_t GetHeight() const override;
    // Resizing keeps the pixels of the overlapping part; new pixels are index 0 / black.
    void SetWidth(std::int32_t value) override;
    void SetHeight(std::int32_t value) override;
    void SetSize(std::int32_t width, std::int32_t height);
    HPALETTE GetPalette() const override;
    // Replaces the colour table by the palette's entries (owning `value` from now on).
    void SetPalette(HPALETTE value) override;
    // Picture data: a 32-bit little-endian length, then a BMP file image of that length.
    void ReadData(rtl::TStream& stream) override;
    void WriteData(rtl::TStream& stream) override;
    void LoadFromStream(rtl::TStream& stream) override;
    void SaveToStream(rtl::TStream& stream) override;
    // CF_BITMAP (2): `data` is a bitmap handle (copied; not owned); CF_DIB (8): `data` is
    // global memory holding a packed DIB (checked like a BMP file). `palette`, when given,
    // becomes the colour table. Other formats raise EInvalidGraphic "Unsupported clipboard
    // format".
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
    // Gives CF_BITMAP, a new bitmap handle (the receiver owns it) and a new palette handle
    // (or null).
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;

    // --- pixels and format
    TPixelFormat PixelFormat() const;
    // Converts the pixels (reducing to the nearest colour of the colour table when going to
    // a palette format; a new palette format gets the standard 2/16/256-colour table).
    void SetPixelFormat(TPixelFormat value);
    TBitmapHandleType HandleType() const { return FHandleType; }
    // bmDDB makes the pixels the device's format (32 bits; palette pixels when they are
    // needed, see above), keeping the colour table as the bitmap's palette; bmDIB converts a
    // device bitmap back into a 32-bit DIB.
    void SetHandleType(TBitmapHandleType value);
    // Makes the bitmap a device bitmap (bmDDB) of palette pixels, width x height with
    // `colors` as its colour table, and lets `fill` write them: bottom-up rows of indices,
    // `bitCount` (1, 4 or 8) bits each, padded to 4 bytes and cleared first. When `fill`
    // raises, the bitmap stays as it was.
    void LoadDevicePixels(std::int32_t width, std::int32_t height, int bitCount,
                          std::span<const RGBQUAD> colors,
                          const std::function<void(std::uint8_t* rows)>& fill);
    // 1 bit per pixel with a black-and-white colour table.
    bool Monochrome() const;
    void SetMonochrome(bool value);
    int BitsPerPixel() const;
    // Row `row` (0 = top) in the bitmap's own layout; raises EInvalidGraphicOperation
    // "Scan line index out of range" outside 0 .. Height - 1. The pointer stays valid
    // until the size, format or handle of the bitmap changes (drawing on the canvas keeps
    // it valid, except for pf16bit bitmaps, whose canvas works on a 24-bit copy).
    void* ScanLine(int row);
    int BytesPerScanLine() const;

    // --- colour table (palette formats; the optional colour table of deeper ones)
    int PaletteCount() const;
    RGBQUAD PaletteEntry(int index) const;
    std::span<const RGBQUAD> PaletteEntries() const;
    // Replaces the colour table (at most 256 entries).
    void SetPaletteEntries(std::span<const RGBQUAD> entries);

    // --- handles
    // The bitmap's drawing-system handle (owned by the bitmap; valid until the next change
    // of format or size).
    HBITMAP Handle();
    // Takes `value` over (the bitmap owns it from now on) and reads its pixels: DIB
    // sections keep their depth and colour table, other bitmaps become device bitmaps.
    void SetHandle(HBITMAP value);
    bool HandleAllocated() const;
    // The palette made from the colour table (owned by the bitmap), null without one.
    HPALETTE Palette() const { return GetPalette(); }
    // Gives up the palette handle: the caller owns it; the bitmap makes a new one on demand.
    HPALETTE ReleasePalette();

    // A canvas drawing into the bitmap (made on first use; an empty bitmap gets a 1x1
    // surface that is discarded again).
    TCanvas* Canvas();

    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode value);

    // Frees cached handles (palette, canvas context); pixels stay.
    void Dormant();
    void FreeImage() { Dormant(); }

    void Changed(formstream::TObject* sender) override;

private:
    friend class TBitmapCanvas;
    void NewImage(std::unique_ptr<TDibImage> image);
    void FreeHandles();
    void EnsureSection();
    // A device bitmap still holding palette pixels; DevicePixels gives it its 32-bit form.
    bool DeviceDeferred() const;
    void DevicePixels();
    TColor BottomLeftColor() const;

    std::unique_ptr<TDibImage> FImage;
    TBitmapHandleType FHandleType = bmDDB;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = formstream::clDefault;
    mutable HPALETTE FPalette = nullptr;
    formstream::TOwned<TCanvas> FCanvas;
};

// The pixel format of a bitmap; pfDevice for null.
TPixelFormat GetBitmapPixelFormat(TBitmap* bitmap);

} // namespace graphics
