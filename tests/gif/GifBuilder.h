// Builds GIF streams byte by byte for the tests.
#pragma once

#include <string>

#include "GifTestUtil.h"

namespace giftest {

struct TGifBuilder {
    Bytes B;

    TGifBuilder& Raw(std::initializer_list<int> bytes) {
        for (int v : bytes)
            B.push_back(std::uint8_t(v));
        return *this;
    }
    TGifBuilder& Text(const std::string& s) {
        B.insert(B.end(), s.begin(), s.end());
        return *this;
    }
    TGifBuilder& Word(int v) { return Raw({v & 0xFF, (v >> 8) & 0xFF}); }
    // "GIF" + version, screen descriptor, and a global table of 2^bits entries
    // (entry i = (i, i, i) except entry 1 = white when bits > 0); the colour resolution
    // field equals the table's bits, as the writer puts it.
    TGifBuilder& Header(const std::string& version, int width, int height, int tableBits,
                        int background = 0) {
        Text("GIF" + version).Word(width).Word(height);
        Raw({tableBits ? 0x80 | (tableBits - 1) << 4 | (tableBits - 1) : 0, background, 0});
        if (tableBits)
            Table(tableBits);
        return *this;
    }
    TGifBuilder& Table(int bits) {
        for (int i = 0; i < (1 << bits); ++i) {
            const int v = i == 1 ? 255 : i;
            Raw({v, v, v});
        }
        return *this;
    }
    TGifBuilder& GraphicControl(int packed, int delay, int transparentIndex) {
        Raw({0x21, 0xF9, 4, packed}).Word(delay);
        return Raw({transparentIndex, 0});
    }
    TGifBuilder& Comment(std::initializer_list<std::string> lines) {
        Raw({0x21, 0xFE});
        for (const std::string& l : lines) {
            Raw({int(l.size())});
            Text(l);
        }
        return Raw({0});
    }
    TGifBuilder& Loop(int count, const std::string& id = "NETSCAPE2.0") {
        Raw({0x21, 0xFF, 11}).Text(id);
        return Raw({3, 1, count & 0xFF, (count >> 8) & 0xFF, 0});
    }
    TGifBuilder& PlainText() {
        Raw({0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0});
        return Raw({2, 'h', 'i', 0});
    }
    // Image descriptor (no local table unless localBits), then a raster of literals
    // 0, 1, 0, 1 ... at minimum code size max(2, bits).
    TGifBuilder& Image(int left, int top, int width, int height, int bits = 1, int localBits = 0,
                       bool interlaced = false) {
        Raw({','}).Word(left).Word(top).Word(width).Word(height);
        Raw({(localBits ? 0x80 | (localBits - 1) : 0) | (interlaced ? 0x40 : 0)});
        if (localBits)
            Table(localBits);
        return Raster(width * height, std::max(2, localBits ? localBits : bits));
    }
    TGifBuilder& Raster(int pixels, int minSize) {
        const int clear = 1 << minSize;
        std::vector<std::pair<int, int>> codes{{clear, minSize + 1}};
        int next = clear + 2;
        int bits = minSize + 1;
        for (int i = 0; i < pixels; ++i) {
            codes.push_back({i % 2, bits});
            if (i > 0 && next < 4096 && ++next == (1 << bits) && bits < 12)
                ++bits;
        }
        codes.push_back({clear + 1, bits});
        const Bytes data = Blocks(minSize, PackCodes(codes));
        B.insert(B.end(), data.begin(), data.end());
        return *this;
    }
    TGifBuilder& Trailer() { return Raw({';'}); }
};

} // namespace giftest
