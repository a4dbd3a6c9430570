#include "tools/generators/artgen/Output.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "gif/GifImage.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace artgen {

using graphics::TBitmap;

namespace {

struct TEntry {
    std::uint32_t Rgb;
    std::uint32_t Count;
};

int Channel(std::uint32_t rgb, int ch) {
    return int((rgb >> (16 - 8 * ch)) & 0xFF);
}

struct TBox {
    std::size_t Begin, End;
    std::uint64_t Count = 0;
    int Range = 0, Axis = 0;
};

void Measure(const std::vector<TEntry>& e, TBox& box) {
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    box.Count = 0;
    for (std::size_t i = box.Begin; i < box.End; ++i) {
        box.Count += e[i].Count;
        for (int ch = 0; ch < 3; ++ch) {
            lo[ch] = std::min(lo[ch], Channel(e[i].Rgb, ch));
            hi[ch] = std::max(hi[ch], Channel(e[i].Rgb, ch));
        }
    }
    box.Range = 0;
    for (int ch = 0; ch < 3; ++ch)
        if (hi[ch] - lo[ch] > box.Range) {
            box.Range = hi[ch] - lo[ch];
            box.Axis = ch;
        }
}

// Median cut: split the box with the largest count times extent along its longest axis
// at the weighted median, until there are `wanted` boxes or nothing left to split.
std::vector<std::uint32_t> MedianCut(std::vector<TEntry>& e, std::size_t wanted) {
    std::vector<TBox> boxes;
    if (!e.empty()) {
        boxes.push_back({0, e.size()});
        Measure(e, boxes[0]);
    }
    while (boxes.size() < wanted) {
        std::size_t best = boxes.size();
        std::uint64_t bestScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const std::uint64_t score = boxes[i].Count * std::uint64_t(boxes[i].Range);
            if (boxes[i].End - boxes[i].Begin > 1 && score > bestScore) {
                best = i;
                bestScore = score;
            }
        }
        if (best == boxes.size())
            break;
        TBox box = boxes[best];
        const int axis = box.Axis;
        std::sort(e.begin() + std::ptrdiff_t(box.Begin), e.begin() + std::ptrdiff_t(box.End),
                  [axis](const TEntry& a, const TEntry& b) {
                      const int ca = Channel(a.Rgb, axis), cb = Channel(b.Rgb, axis);
                      return ca != cb ? ca < cb : a.Rgb < b.Rgb;
                  });
        std::uint64_t acc = 0;
        std::size_t cut = box.Begin;
        while (cut < box.End - 1 && acc + e[cut].Count <= box.Count / 2)
            acc += e[cut++].Count;
        if (cut == box.Begin)
            ++cut;
        TBox low{box.Begin, cut}, high{cut, box.End};
        Measure(e, low);
        Measure(e, high);
        boxes[best] = low;
        boxes.push_back(high);
    }
    std::vector<std::uint32_t> palette;
    for (const TBox& box : boxes) {
        std::uint64_t sum[3] = {0, 0, 0};
        for (std::size_t i = box.Begin; i < box.End; ++i)
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += std::uint64_t(Channel(e[i].Rgb, ch)) * e[i].Count;
        std::uint32_t rgb = 0;
        for (int ch = 0; ch < 3; ++ch)
            rgb |= std::uint32_t((sum[ch] + box.Count / 2) / box.Count) << (16 - 8 * ch);
        palette.push_back(rgb);
    }
    return palette;
}

int Distance(std::uint32_t a, std::uint32_t b) {
    int d = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const int v = Channel(a, ch) - Channel(b, ch);
        d += v * v;
    }
    return d;
}

} // namespace

std::unique_ptr<TBitmap> ToIndexed(TBitmap& picture) {
    if (picture.PixelFormat() != graphics::pf24bit)
        picture.SetPixelFormat(graphics::pf24bit);
    const int w = picture.Width(), h = picture.Height();
    std::unordered_map<std::uint32_t, std::uint32_t> counts;
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(picture.ScanLine(y));
        for (int x = 0; x < w; ++x)
            ++counts[std::uint32_t(row[x * 3 + 2]) << 16 | row[x * 3 + 1] << 8 | row[x * 3]];
    }
    std::vector<TEntry> entries;
    entries.reserve(counts.size());
    for (const auto& [rgb, count] : counts)
        entries.push_back({rgb, count});
    std::sort(entries.begin(), entries.end(),
              [](const TEntry& a, const TEntry& b) { return a.Rgb < b.Rgb; });

    std::vector<std::uint32_t> palette = {0x000000, 0xFFFFFF};
    for (std::uint32_t rgb : MedianCut(entries, 254))
        palette.push_back(rgb);
    palette.resize(256, 0x000000);

    std::unordered_map<std::uint32_t, std::uint8_t> nearest;
    for (const TEntry& entry : entries) {
        int best = 0, bestDistance = Distance(entry.Rgb, palette[0]);
        for (int i = 2; i < 256 && bestDistance > 0; ++i) {
            const int d = Distance(entry.Rgb, palette[std::size_t(i)]);
            if (d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        nearest[entry.Rgb] = std::uint8_t(best);
    }

    auto out = std::make_unique<TBitmap>();
    out->SetPixelFormat(graphics::pf8bit);
    out->SetSize(w, h);
    std::vector<RGBQUAD> table;
    for (std::uint32_t rgb : palette)
        table.push_back(RGBQUAD{BYTE(rgb & 0xFF), BYTE((rgb >> 8) & 0xFF), BYTE(rgb >> 16), 0});
    out->SetPaletteEntries(table);
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(picture.ScanLine(y));
        auto* dest = static_cast<std::uint8_t*>(out->ScanLine(y));
        for (int x = 0; x < w; ++x)
            dest[x] =
                nearest[std::uint32_t(row[x * 3 + 2]) << 16 | row[x * 3 + 1] << 8 | row[x * 3]];
    }
    return out;
}

std::string EncodeGif(TBitmap& indexed) {
    gif::TGIFImage image;
    image.SetVersion(gif::gv89a);
    image.AddFrame(&indexed);
    image.Frames(0)->SetTransparentColor(formstream::clWhite);
    rtl::TMemoryStream stream;
    image.SaveToStream(stream);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.Size()));
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        throw rtl::Exception("cannot write " + path);
    if (!ok)
        throw rtl::Exception("cannot write " + path);
}

} // namespace artgen
