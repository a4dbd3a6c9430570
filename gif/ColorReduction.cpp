#include "gif/ColorReduction.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "graphics/BmpHeaders.h"

namespace gif {

TMappingMethod DefaultMappingMethod = mmHistogram;

namespace {

struct TRgb {
    std::uint8_t B, G, R;
};

// Up to 256 palette colours for the pixels, and the index of each pixel.
void MapColors(const std::vector<TRgb>& pixels, std::vector<TRgb>& palette,
               std::vector<std::uint8_t>& indices) {
    indices.resize(pixels.size());
    // Exact when there are at most 256 colours.
    std::unordered_map<std::uint32_t, std::uint8_t> exact;
    bool fits = true;
    for (std::size_t i = 0; i < pixels.size() && fits; ++i) {
        const TRgb& p = pixels[i];
        const std::uint32_t key = std::uint32_t(p.R) << 16 | std::uint32_t(p.G) << 8 | p.B;
        auto it = exact.find(key);
        if (it == exact.end()) {
            if (exact.size() == 256) {
                fits = false;
                break;
            }
            it = exact.emplace(key, std::uint8_t(exact.size())).first;
            palette.push_back(p);
        }
        indices[i] = it->second;
    }
    if (fits)
        return;

    // The 256 most used cells of a 5-5-5 histogram, each at the mean of its pixels.
    std::vector<std::uint32_t> count(32768, 0);
    std::vector<std::uint64_t> sum(32768 * 3, 0);
    auto cell = [](const TRgb& p) { return (p.R >> 3) << 10 | (p.G >> 3) << 5 | (p.B >> 3); };
    for (const TRgb& p : pixels) {
        const int c = cell(p);
        ++count[std::size_t(c)];
        sum[std::size_t(c) * 3] += p.R;
        sum[std::size_t(c) * 3 + 1] += p.G;
        sum[std::size_t(c) * 3 + 2] += p.B;
    }
    std::vector<int> cells;
    for (int c = 0; c < 32768; ++c)
        if (count[std::size_t(c)])
            cells.push_back(c);
    std::sort(cells.begin(), cells.end(), [&](int a, int b) {
        return count[std::size_t(a)] != count[std::size_t(b)]
                   ? count[std::size_t(a)] > count[std::size_t(b)]
                   : a < b;
    });
    cells.resize(std::min<std::size_t>(cells.size(), 256));
    palette.clear();
    for (int c : cells) {
        const std::uint64_t n = count[std::size_t(c)];
        palette.push_back({std::uint8_t(sum[std::size_t(c) * 3 + 2] / n),
                           std::uint8_t(sum[std::size_t(c) * 3 + 1] / n),
                           std::uint8_t(sum[std::size_t(c) * 3] / n)});
    }
    std::vector<std::int16_t> nearest(32768, -1);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const int c = cell(pixels[i]);
        if (nearest[std::size_t(c)] < 0) {
            const int r = (c >> 10) << 3 | 4, g = ((c >> 5) & 31) << 3 | 4, b = (c & 31) << 3 | 4;
            int best = 0;
            int bestDist = 1 << 30;
            for (std::size_t k = 0; k < palette.size(); ++k) {
                const int dr = r - palette[k].R, dg = g - palette[k].G, db = b - palette[k].B;
                const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
                if (d < bestDist) {
                    bestDist = d;
                    best = int(k);
                }
            }
            nearest[std::size_t(c)] = std::int16_t(best);
        }
        indices[i] = std::uint8_t(nearest[std::size_t(c)]);
    }
}

} // namespace

void BitmapToMemoryStream(graphics::TBitmap* bitmap, rtl::TMemoryStream& stream,
                          TMappingMethod method) {
    stream.SetSize(0);
    stream.SetPosition(0);
    if (!bitmap || bitmap->Empty())
        return;
    graphics::TBitmap copy;
    copy.Assign(bitmap);
    copy.SetPixelFormat(graphics::pf24bit);
    const int width = copy.Width();
    const int height = copy.Height();
    std::vector<TRgb> pixels(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[std::size_t(y) * std::size_t(width)], copy.ScanLine(y),
                    std::size_t(width) * 3);

    std::vector<TRgb> palette;
    std::vector<std::uint8_t> indices;
    if (method == mmGrayscale) {
        for (int i = 0; i < 256; ++i)
            palette.push_back({std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
        indices.resize(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            indices[i] =
                std::uint8_t((pixels[i].R * 77 + pixels[i].G * 150 + pixels[i].B * 29) >> 8);
    } else {
        MapColors(pixels, palette, indices);
    }

    const std::size_t stride = (std::size_t(width) + 3) & ~std::size_t(3);
    const std::uint32_t imageSize = std::uint32_t(stride * std::size_t(height));
    const std::uint32_t tableEntries = 256;
    const std::uint32_t headers = graphics::BmpFileHeaderSize + graphics::BmpInfoHeaderSize;
    stream.SetSize(std::int64_t(headers + tableEntries * sizeof(RGBQUAD) + imageSize));
    std::uint8_t* p = stream.Memory();
    std::memset(p, 0, std::size_t(stream.Size()));
    const std::uint32_t offset =
        graphics::WriteBmpHeaders(p, width, height, 8, tableEntries, imageSize);
    for (std::size_t i = 0; i < palette.size(); ++i) {
        std::uint8_t* q = p + headers + sizeof(RGBQUAD) * i;
        q[0] = palette[i].B;
        q[1] = palette[i].G;
        q[2] = palette[i].R;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(p + offset + std::size_t(height - 1 - y) * stride,
                    &indices[std::size_t(y) * std::size_t(width)], std::size_t(width));
    stream.SetPosition(0);
}

} // namespace gif
