// Placing decoded pixel indices into the rows of a bitmap file image, for the LZW decoder:
// the interlaced row order and the packing of index bytes into rows of 1, 4 or 8 bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gif {

// The image row decoded after row y of an interlaced frame of `height` rows (passes of
// rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...); height or more when all rows are
// done. `pass` starts at 0.
int NextInterlacedRow(int y, int height, int& pass);

// Packs `count` index bytes into a row of `depth` (1, 4 or 8) bits per pixel, first pixel
// in the highest bits. Bits of a last byte beyond `count` are set to 0. The indices must
// fit the depth.
void PackRow(std::uint8_t* dst, const std::uint8_t* src, int count, int depth);

} // namespace gif
