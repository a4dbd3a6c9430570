// Placing decoded pixel indices into the rows of a bitmap file image, for the LZW decoder:
// the interlaced row order, packing of index bytes into rows of 1, 4 or 8 bits, and the
// rearrangement of 8-bit rows that were decoded in place, in decoding order, into
// bottom-up rows with their padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gif {

// The image row decoded after row y of an interlaced frame of `height` rows (passes of
// rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...); height or more when all rows are
// done. `pass` starts at 0.
int NextInterlacedRow(int y, int height, int& pass);

// Where image row y of an interlaced frame of `height` rows comes in the decoding order.
int InterlacedRank(int y, int height);

// Packs `count` index bytes into a row of `depth` (1, 4 or 8) bits per pixel, first pixel
// in the highest bits. Bits of a last byte beyond `count` are set to 0. The indices must
// fit the depth.
void PackRow(std::uint8_t* dst, const std::uint8_t* src, int count, int depth);

// Turns 8-bit rows decoded in place into the rows of a bitmap. On entry the memory holds
// decoded rows one after another, `width` bytes each, in decoding order; the first
// `writtenRows` of them hold pixels and every byte behind them is 0. On exit it holds
// `height` rows of `stride` bytes, bottom-up (image row 0 last), padding bytes 0, rows
// never decoded 0. Rows never decoded are only touched where a decoded row moves out of
// them, so that a huge frame with little data stays mostly untouched memory.
void ArrangeDecodedRows(std::uint8_t* pixels, int width, int height, std::size_t stride,
                        bool interlaced, std::size_t writtenRows);

} // namespace gif
