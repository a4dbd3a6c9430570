// The two headers that start a BMP file image, written and parsed in one place for the
// code that builds or reads such images in memory (the GIF decoder and encoder, colour
// reduction) and for the bitmap class's own BMP codec.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wingdi.h"

namespace graphics {

// Bytes of the file header and of the information header this library writes.
inline constexpr std::uint32_t BmpFileHeaderSize = sizeof(BITMAPFILEHEADER);
inline constexpr std::uint32_t BmpInfoHeaderSize = sizeof(BITMAPINFOHEADER);
// "BM", the signature of the file header.
inline constexpr WORD BmpSignature = 0x4D42;

// Writes at `dest` the file header and a 40-byte information header (uncompressed,
// bottom-up for a positive height) of `width` x `height` pixels of `bitCount` bits,
// followed by `tableEntries` palette entries and then `imageSize` bytes of pixels.
// Returns the offset of the pixels (where the palette ends).
std::uint32_t WriteBmpHeaders(std::uint8_t* dest, std::int32_t width, std::int32_t height,
                              int bitCount, std::uint32_t tableEntries, std::uint32_t imageSize);

// Reads the two headers at the start of `size` bytes; false when the bytes are too few
// or do not start with the signature. Fields are taken as they stand, unchecked.
bool ParseBmpHeaders(const std::uint8_t* bytes, std::size_t size, BITMAPFILEHEADER& file,
                     BITMAPINFOHEADER& info);

} // namespace graphics
