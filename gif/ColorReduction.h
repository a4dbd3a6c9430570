// Reduction of bitmaps deeper than 8 bits to an 8-bit palette bitmap file image, for
// encoding them as GIF frames. mmGrayscale maps every pixel to one of 256 grey levels
// ((red * 77 + green * 150 + blue * 29) div 256); every other method keeps the colours
// exactly when there are at most 256 of them and otherwise picks the 256 most used
// colours of a 15-bit histogram, mapping each pixel to the nearest of them.
#pragma once

#include <cstdint>

#include "graphics/Bitmap.h"
#include "rtl/Stream.h"

namespace gif {

enum TMappingMethod : std::uint8_t {
    mmHistogram,
    mmQuantize,
    mmTrunc784,
    mmTrunc666,
    mmTripel,
    mmGrayscale
};

// The method used to encode deep bitmaps; initially mmHistogram.
extern TMappingMethod DefaultMappingMethod;

// Writes the reduced bitmap into `stream` (emptied first, left at position 0). An empty
// bitmap leaves the stream empty.
void BitmapToMemoryStream(graphics::TBitmap* bitmap, rtl::TMemoryStream& stream,
                          TMappingMethod method);

} // namespace gif
