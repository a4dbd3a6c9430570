// Icon resources (.ico data): picks the largest entry and decodes its 32- or 24-bit DIB
// (with the AND mask as transparency) or its PNG image.
#include <cstdint>
#include <cstring>
#include <png.h>

#include "platform/user/IconDecoder.h"

namespace platform::user {

namespace {

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

bool DecodePng(const unsigned char* data, std::size_t size, int& width, int& height,
               std::vector<std::uint32_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return false;
    if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB
    pixels.assign(std::size_t(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = int(image.width);
    height = int(image.height);
    return true;
}

bool DecodeDib(const unsigned char* data, std::size_t size, int& width, int& height,
               std::vector<std::uint32_t>& pixels) {
    if (size < 40 || Le32(data) < 40 || Le32(data) > size)
        return false;
    auto w = std::int32_t(Le32(data + 4)), h2 = std::int32_t(Le32(data + 8));
    int bits = data[14] | data[15] << 8;
    if (w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048 || (bits != 32 && bits != 24))
        return false;
    int h = h2 / 2;
    std::size_t offset = Le32(data);
    std::size_t stride = ((std::size_t(w) * std::size_t(bits) + 31) / 32) * 4;
    std::size_t maskStride = ((std::size_t(w) + 31) / 32) * 4;
    if (offset + stride * std::size_t(h) > size)
        return false;
    bool haveMask = offset + stride * std::size_t(h) + maskStride * std::size_t(h) <= size;
    pixels.assign(std::size_t(w) * std::size_t(h), 0);
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = data + offset + stride * std::size_t(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = row + std::size_t(x) * std::size_t(bits / 8);
            std::uint32_t a = bits == 32 ? p[3] : 0xFF;
            anyAlpha = anyAlpha || (bits == 32 && a != 0);
            pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                a << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
        }
    }
    if (haveMask && (bits == 24 || !anyAlpha)) {
        const unsigned char* mask = data + offset + stride * std::size_t(h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool transparent =
                    (mask[maskStride * std::size_t(h - 1 - y) + std::size_t(x / 8)] >>
                     (7 - x % 8)) &
                    1;
                std::uint32_t& px = pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)];
                px = (px & 0x00FFFFFF) | (transparent ? 0u : 0xFF000000u);
            }
    }
    width = w;
    height = h;
    return true;
}

} // namespace

bool DecodeIconResource(const unsigned char* d, std::size_t size, int& width, int& height,
                        std::vector<std::uint32_t>& pixels) {
    if (!d || size < 6)
        return false;
    unsigned count = d[4] | d[5] << 8;
    if (d[0] != 0 || d[1] != 0 || d[2] != 1 || d[3] != 0 || count == 0 || 6 + 16 * count > size)
        return false;
    // The largest entry, the deepest among equals.
    int best = -1, bestSize = 0, bestBits = 0;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char* e = d + 6 + 16 * i;
        int w = e[0] ? e[0] : 256;
        int bits = e[6] | e[7] << 8;
        if (w > bestSize || (w == bestSize && bits > bestBits)) {
            best = int(i);
            bestSize = w;
            bestBits = bits;
        }
    }
    const unsigned char* e = d + 6 + 16 * best;
    std::size_t bytes = Le32(e + 8), offset = Le32(e + 12);
    if (offset >= size || bytes > size - offset)
        return false;
    const unsigned char* image = d + offset;
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes >= 8 && std::memcmp(image, pngSignature, 8) == 0)
        return DecodePng(image, bytes, width, height, pixels);
    return DecodeDib(image, bytes, width, height, pixels);
}

} // namespace platform::user
