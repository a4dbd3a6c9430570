// Internal to the graphics library: the pixel storage of a TBitmap. The pixels live in
// memory of the image's own until a drawing-system handle is needed; then they move into
// a DIB section, which stays their storage (so that drawing on the section changes them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/wingdi.h"

namespace graphics {

// Limits on bitmaps taken from outside data: neither side above 32768 pixels and no more
// than 512 MB of pixels.
inline constexpr int MaxBitmapDimension = 32768;
inline constexpr std::uint64_t MaxBitmapBytes = std::uint64_t(512) << 20;

struct TDibImage {
    TDibImage() = default;
    ~TDibImage();
    TDibImage(const TDibImage&) = delete;
    TDibImage& operator=(const TDibImage&) = delete;

    int Width = 0;
    int Height = 0;
    int BitCount = 32;    // 1, 4, 8, 16, 24 or 32
    bool TopDown = false; // rows stored first to last (else last image row first)
    bool Is565 = false;   // 16 bits: 5-6-5 channels (else 5-5-5)
    LONG XPelsPerMeter = 0;
    LONG YPelsPerMeter = 0;
    std::vector<RGBQUAD> Colors; // colour table (palette formats: at most 2^BitCount)

    // Bytes of one row (padded to 4 bytes) and of all rows.
    static std::size_t StrideFor(int width, int bitCount);
    std::size_t Stride() const { return StrideFor(Width, BitCount); }
    std::size_t ImageSize() const { return Stride() * std::size_t(Height); }
    bool Empty() const { return Width <= 0 || Height <= 0; }

    std::uint8_t* Bits() { return Section ? SectionBits : Own.data(); }
    const std::uint8_t* Bits() const { return Section ? SectionBits : Own.data(); }
    // Image row y (0 = top).
    std::uint8_t* Row(int y) { return Bits() + RowOffset(y); }
    const std::uint8_t* Row(int y) const { return Bits() + RowOffset(y); }
    std::size_t RowOffset(int y) const {
        return (TopDown ? std::size_t(y) : std::size_t(Height - 1 - y)) * Stride();
    }

    // Allocates pixel memory for the current size and format (no section), zeroed unless
    // the caller is about to write every byte of it.
    void Allocate(bool zeroed = true);
    // A new image of the same format and colours, with a copy of the pixels.
    std::unique_ptr<TDibImage> Clone() const;

    // The header (and masks) and colour table describing this image, as a BITMAPINFO
    // block; `fullTable` pads a palette format's table to 2^BitCount entries.
    std::vector<std::uint8_t> Info(bool fullTable = false) const;
    const BITMAPINFO* InfoPtr(std::vector<std::uint8_t>& buffer) const {
        buffer = Info(true);
        return reinterpret_cast<const BITMAPINFO*>(buffer.data());
    }

    // Moves the pixels into a DIB section (a no-op when there is one); false when the
    // drawing system refuses the format or the size. Without `keepPixels` the section
    // starts cleared and the image's own memory is not read (it may be unallocated).
    bool MakeSection(bool keepPixels = true);
    HBITMAP SectionHandle() const { return Section; }

    // The colour of pixel (x, y) as COLORREF.
    COLORREF PixelColor(int x, int y) const;

    HBITMAP Section = nullptr;
    std::uint8_t* SectionBits = nullptr;
    // Pixel memory outside a section. Growing it leaves the new bytes as they come, so
    // that memory about to be written in full is not cleared first.
    template <class T> struct TUninitialised : std::allocator<T> {
        template <class U> struct rebind { using other = TUninitialised<U>; };
        TUninitialised() = default;
        template <class U> TUninitialised(const TUninitialised<U>&) noexcept {}
        template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
        template <class U, class... A> void construct(U* p, A&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
        }
    };
    std::vector<std::uint8_t, TUninitialised<std::uint8_t>> Own;
};

// Converts `source` to `bitCount` bits per pixel. Palette targets take `table` (nearest
// colour for each pixel); 16-bit targets are 5-5-5 unless `to565`. With `inSection`, the
// result is written straight into a DIB section when the drawing system makes one.
std::unique_ptr<TDibImage> ConvertDib(const TDibImage& source, int bitCount, bool to565,
                                      const std::vector<RGBQUAD>& table, bool inSection = false);

// The standard colour tables of the palette formats: black and white; the 16 VGA colours;
// a 6x6x6 colour cube followed by grey levels.
std::vector<RGBQUAD> StandardColorTable(int bitCount);

// Index of the entry of `table` nearest to `color` (squared RGB distance); 0 when empty.
int NearestColorIndex(const std::vector<RGBQUAD>& table, COLORREF color);

} // namespace graphics
