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
    switch (depth) {
    case 8:
        std::memcpy(dst, src, std::size_t(count));
        break;
    case 4: {
        int i = 0;
        for (; i + 1 < count; i += 2)
            *dst++ = std::uint8_t(src[i] << 4 | src[i + 1]);
        if (i < count)
            *dst = std::uint8_t(src[i] << 4);
        break;
    }
    default: {
        int i = 0;
        for (; i + 8 <= count; i += 8) {
            const std::uint8_t* s = src + i;
            *dst++ = std::uint8_t(s[0] << 7 | s[1] << 6 | s[2] << 5 | s[3] << 4 | s[4] << 3 |
                                  s[5] << 2 | s[6] << 1 | s[7]);
        }
        if (i < count) {
            std::uint8_t b = 0;
            for (int k = 0; i < count; ++i, ++k)
                b |= std::uint8_t(src[i] << (7 - k));
            *dst = b;
        }
        break;
    }
    }
}

void ArrangeDecodedRows(std::uint8_t* pixels, int width, int height, std::size_t stride,
                        bool interlaced, std::size_t writtenRows) {
    const std::size_t w = std::size_t(width);
    const std::size_t h = std::size_t(height);
    if (writtenRows == 0 || h == 0)
        return;
    // Spread the rows out to their stride, last row first, so that no row is overwritten
    // before it has moved; each moved row gets its padding zeroed.
    if (stride != w)
        for (std::size_t k = writtenRows; k-- > 0;) {
            std::memmove(pixels + k * stride, pixels + k * w, w);
            std::memset(pixels + k * stride + w, 0, stride - w);
        }
    // Now row slot k holds the k-th decoded row, which belongs in slot h - 1 - (its image
    // row). Follow the cycles of that permutation through every slot that holds pixels,
    // with one row in hand; a slot that is to receive a never decoded row is zeroed only
    // when it held pixels.
    auto source = [&](std::size_t slot) {
        const int y = int(h - 1 - slot);
        return interlaced ? std::size_t(InterlacedRank(y, height)) : std::size_t(y);
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

} // namespace gif
