#include "gif/RasterRows.h"

#include <cstring>
#include <vector>

namespace gif {

int NextInterlacedRow(int y, int height, int& pass) {
    static constexpr int Step[4] = {8, 8, 4, 2};
    static constexpr int Start[4] = {0, 4, 2, 1};
    int next = y + Step[pass];
    while (next >= height) {
        if (++pass > 3)
            return height;
        next = Start[pass];
    }
    return next;
}

int InterlacedRank(int y, int height) {
    const int pass0 = (height + 7) / 8; // rows 0, 8, 16, ...
    const int pass1 = (height + 3) / 8; // rows 4, 12, 20, ...
    const int pass2 = (height + 1) / 4; // rows 2, 6, 10, ...
    if (y % 8 == 0)
        return y / 8;
    if (y % 8 == 4)
        return pass0 + y / 8;
    if (y % 4 == 2)
        return pass0 + pass1 + y / 4;
    return pass0 + pass1 + pass2 + y / 2;
}

void PackRow(std::uint8_t* dst, const std::uint8_t* src, int count, int depth) {
    int i = 0;
    switch (depth) {
    case 8:
        std::memcpy(dst, src, std::size_t(count));
        return;
    case 4:
        // Eight nibbles at a time: pixel 2k in the high, 2k + 1 in the low half of byte k.
        for (; i + 8 <= count; i += 8, dst += 4) {
            std::uint64_t v;
            std::memcpy(&v, src + i, 8);
            v &= 0x0F0F0F0F0F0F0F0FULL;
            v = (v & 0x000F000F000F000FULL) << 4 | (v >> 8 & 0x000F000F000F000FULL);
            v = (v | v >> 8) & 0x0000FFFF0000FFFFULL;
            v = (v | v >> 16) & 0xFFFFFFFFULL;
            const std::uint32_t packed = std::uint32_t(v);
            std::memcpy(dst, &packed, 4);
        }
        for (; i + 1 < count; i += 2)
            *dst++ = std::uint8_t(src[i] << 4 | src[i + 1]);
        if (i < count)
            *dst = std::uint8_t(src[i] << 4);
        return;
    default: {
        // Eight pixels of 0 or 1 at a time: the multiplication moves the bit of byte j to
        // bit 63 - j, with no two bits meeting.
        for (; i + 8 <= count; i += 8) {
            std::uint64_t v;
            std::memcpy(&v, src + i, 8);
            *dst++ = std::uint8_t(((v & 0x0101010101010101ULL) * 0x8040201008040201ULL) >> 56);
        }
        if (i < count) {
            std::uint8_t b = 0;
            for (int k = 0; i < count; ++i, ++k)
                b |= std::uint8_t(src[i] << (7 - k));
            *dst = b;
        }
        return;
    }
    }
}

namespace {

// Moves rows [from, count) from `width` to `stride` bytes apart, last row first so that no
// row is overwritten before it has moved, zeroing their padding and the bytes the rows
// leave below them.
void SpreadRows(std::uint8_t* pixels, std::size_t width, std::size_t stride, std::size_t from,
                std::size_t count) {
    if (stride == width)
        return;
    for (std::size_t k = count; k-- > from;) {
        std::memmove(pixels + k * stride, pixels + k * width, width);
        std::memset(pixels + k * stride + width, 0, stride - width);
    }
    std::memset(pixels + from * width, 0, from * (stride - width));
}

// Plain frames: decoded row k is image row k, which belongs in slot h - 1 - k. Rows are
// exchanged in pairs from the outside in: the upper slot gets its final place at once (it
// lies above every row still to be moved), the lower one stays at the decoded width and
// the lower half is spread out at the end. A row never decoded meets only zeros, so when
// few rows were decoded only they and their mirror rows are touched.
void FlipRows(std::uint8_t* pixels, std::size_t w, std::size_t h, std::size_t stride,
              std::size_t writtenRows) {
    std::vector<std::uint8_t> hand;
    std::size_t k = 0, j = h - 1;
    for (; k < j && k < writtenRows; ++k, --j) {
        std::uint8_t* const low = pixels + k * w;
        std::uint8_t* const high = pixels + j * stride;
        const std::uint8_t* const rowJ = pixels + j * w;
        if (j >= writtenRows) {
            std::memcpy(high, low, w);
            std::memset(low, 0, w);
        } else if (j * (stride - w) >= w) {
            // The upper slot lies wholly above row j: no row in hand needed.
            std::memcpy(high, low, w);
            std::memcpy(low, rowJ, w);
        } else {
            hand.resize(w);
            std::memcpy(hand.data(), low, w);
            std::memcpy(low, rowJ, w);
            std::memcpy(high, hand.data(), w);
        }
        std::memset(high + w, 0, stride - w);
    }
    // Stopped in the middle: the lower slots (and a middle row, which stays) still have
    // the decoded width. Stopped for lack of rows: the lower slots are all zero.
    if (k >= j)
        SpreadRows(pixels, w, stride, 0, j + 1);
}

// Interlaced frames: the rows are spread out, then slot k holds the k-th decoded row, which
// belongs in slot h - 1 - (its image row). The cycles of that permutation are followed
// through every slot that holds pixels, with one row in hand; a slot that is to receive a
// never decoded row is zeroed only when it held pixels.
void DeinterlaceRows(std::uint8_t* pixels, std::size_t w, std::size_t h, std::size_t stride,
                     std::size_t writtenRows) {
    SpreadRows(pixels, w, stride, 0, writtenRows);
    auto source = [&](std::size_t slot) {
        return std::size_t(InterlacedRank(int(h - 1 - slot), int(h)));
    };
    std::vector<std::uint8_t> done(writtenRows, 0);
    std::vector<std::uint8_t> hand(stride);
    auto row = [&](std::size_t slot) { return pixels + slot * stride; };
    for (std::size_t start = 0; start < writtenRows; ++start) {
        if (done[start])
            continue;
        done[start] = 1;
        if (source(start) == start)
            continue;
        std::memcpy(hand.data(), row(start), stride);
        std::size_t slot = start;
        for (;;) {
            const std::size_t from = source(slot);
            if (from == start) {
                std::memcpy(row(slot), hand.data(), stride);
                break;
            }
            if (from < writtenRows) {
                std::memcpy(row(slot), row(from), stride);
                done[from] = 1;
            } else if (slot < writtenRows) {
                std::memset(row(slot), 0, stride);
            }
            slot = from;
        }
    }
}

} // namespace

void ArrangeDecodedRows(std::uint8_t* pixels, int width, int height, std::size_t stride,
                        bool interlaced, std::size_t writtenRows) {
    if (writtenRows == 0 || height <= 0)
        return;
    if (interlaced)
        DeinterlaceRows(pixels, std::size_t(width), std::size_t(height), stride, writtenRows);
    else
        FlipRows(pixels, std::size_t(width), std::size_t(height), stride, writtenRows);
}

} // namespace gif
