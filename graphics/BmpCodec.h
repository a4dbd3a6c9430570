// Internal to the graphics library: reading and writing BMP file images.
#pragma once

#include <memory>

#include "graphics/DibImage.h"

namespace rtl {
class TStream;
}

namespace graphics {

// Reads a BMP file image from the stream's position; the stream is left after the pixel
// data. Raises EInvalidGraphic "Bitmap image is not valid" for anything damaged or
// unsupported, before taking memory for pixels the stream does not hold.
std::unique_ptr<TDibImage> ReadBmp(rtl::TStream& stream);

// Writes a BMP file image: file header, 40-byte information header (with the 5-6-5 masks
// for such 16-bit images), the colour table, the pixels.
void WriteBmp(const TDibImage& image, rtl::TStream& stream);

} // namespace graphics
