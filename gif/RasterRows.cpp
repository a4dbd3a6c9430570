#include "gif/RasterRows.h"

#include <cstring>

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

} // namespace gif
