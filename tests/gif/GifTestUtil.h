// Helpers of the GIF tests: LZW codes packed by hand into sub-blocks, and small
// bitmap file images.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gif/GifImage.h"
#include "rtl/Stream.h"

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// (code, bits) pairs packed least significant bit first.
inline Bytes PackCodes(const std::vector<std::pair<int, int>>& codes) {
    Bytes out;
    std::uint64_t acc = 0;
    int n = 0;
    for (auto [code, bits] : codes) {
        acc |= std::uint64_t(code) << n;
        n += bits;
        while (n >= 8) {
            out.push_back(std::uint8_t(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n > 0)
        out.push_back(std::uint8_t(acc));
    return out;
}

// Minimum code size byte, then `packed` cut into sub-blocks of the given lengths (the
// last length repeats), then the terminator.
inline Bytes Blocks(int minCodeSize, const Bytes& packed, std::vector<int> lengths = {255},
                    bool terminator = true) {
    Bytes out{std::uint8_t(minCodeSize)};
    std::size_t i = 0;
    std::size_t k = 0;
    while (i < packed.size()) {
        const std::size_t len = std::min<std::size_t>(
            std::size_t(lengths[std::min(k, lengths.size() - 1)]), packed.size() - i);
        out.push_back(std::uint8_t(len));
        out.insert(out.end(), packed.begin() + std::ptrdiff_t(i),
                   packed.begin() + std::ptrdiff_t(i + len));
        i += len;
        ++k;
    }
    if (terminator)
        out.push_back(0);
    return out;
}

// The data of the sub-blocks after the minimum code size byte, joined.
inline Bytes Unblock(const Bytes& encoded) {
    Bytes out;
    std::size_t i = 1;
    while (i < encoded.size() && encoded[i] != 0) {
        const std::size_t len = encoded[i];
        out.insert(out.end(), encoded.begin() + std::ptrdiff_t(i + 1),
                   encoded.begin() + std::ptrdiff_t(std::min(encoded.size(), i + 1 + len)));
        i += len + 1;
    }
    return out;
}

inline Bytes StreamBytes(rtl::TMemoryStream& s) {
    return Bytes(s.Memory(), s.Memory() + s.Size());
}

inline rtl::TMemoryStream* NewStream(const Bytes& b) {
    auto* s = new rtl::TMemoryStream;
    if (!b.empty())
        s->WriteBuffer(b.data(), b.size());
    s->SetPosition(0);
    return s;
}

// A GIF image read from bytes with LoadFromStream.
inline std::unique_ptr<gif::TGIFImage> Load(const Bytes& bytes) {
    auto image = std::make_unique<gif::TGIFImage>();
    std::unique_ptr<rtl::TMemoryStream> s(NewStream(bytes));
    image->LoadFromStream(*s);
    return image;
}

inline std::uint32_t LE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Pixel index (x, y) of a bitmap file image (bottom-up, 1, 4 or 8 bits).
inline int BmpPixel(const std::uint8_t* bmp, int x, int y) {
    const int width = int(LE32(bmp + 18));
    const int height = int(LE32(bmp + 22));
    const int depth = bmp[28];
    const int stride = ((width * depth + 31) / 32) * 4;
    const std::uint8_t* row = bmp + LE32(bmp + 10) + std::size_t(height - 1 - y) * stride;
    switch (depth) {
    case 8:
        return row[x];
    case 4:
        return (x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4;
    default:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    }
}

// A bottom-up bitmap file image with a 40-byte header and 2^depth palette entries
// (entry i = (i, 255 - i, i / 2)), with pixel (x, y) = index(x, y).
template <class F> Bytes MakeBmp(int width, int height, int depth, F index) {
    const int stride = ((width * depth + 31) / 32) * 4;
    const int colors = 1 << depth;
    const std::uint32_t offset = 54 + 4 * colors;
    Bytes b(offset + std::size_t(stride) * height, 0);
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[at + i] = std::uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, std::uint32_t(b.size()), 4);
    put(10, offset, 4);
    put(14, 40, 4);
    put(18, std::uint32_t(width), 4);
    put(22, std::uint32_t(height), 4);
    put(26, 1, 2);
    put(28, std::uint32_t(depth), 2);
    put(34, std::uint32_t(stride * height), 4);
    for (int i = 0; i < colors; ++i) {
        b[54 + 4 * i] = std::uint8_t(i / 2);
        b[55 + 4 * i] = std::uint8_t(255 - i);
        b[56 + 4 * i] = std::uint8_t(i);
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.data() + offset + std::size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const int v = index(x, y);
            if (depth == 8)
                row[x] = std::uint8_t(v);
            else if (depth == 4)
                row[x / 2] |= std::uint8_t((x & 1) ? v : v << 4);
            else
                row[x / 8] |= std::uint8_t(v << (7 - x % 8));
        }
    }
    return b;
}

} // namespace giftest
