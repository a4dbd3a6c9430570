#include "graphics/DibImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace graphics {

namespace {

struct TRgb {
    BYTE R, G, B;
};

// Reads pixel x of a row in any supported layout.
TRgb ReadPixel(const TDibImage& image, const std::uint8_t* row, int x) {
    switch (image.BitCount) {
    case 1:
    case 4:
    case 8: {
        unsigned index;
        if (image.BitCount == 1)
            index = (row[x >> 3] >> (7 - (x & 7))) & 1;
        else if (image.BitCount == 4)
            index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        else
            index = row[x];
        if (index >= image.Colors.size())
            return {0, 0, 0};
        const RGBQUAD& q = image.Colors[index];
        return {q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    case 16: {
        const unsigned v = row[2 * x] | (unsigned(row[2 * x + 1]) << 8);
        if (image.Is565) {
            const unsigned r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
            return {BYTE((r << 3) | (r >> 2)), BYTE((g << 2) | (g >> 4)),
                    BYTE((b << 3) | (b >> 2))};
        }
        const unsigned r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
        return {BYTE((r << 3) | (r >> 2)), BYTE((g << 3) | (g >> 2)), BYTE((b << 3) | (b >> 2))};
    }
    case 24:
        return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    default:
        return {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
    }
}

class TNearestCache {
public:
    explicit TNearestCache(const std::vector<RGBQUAD>& table) : FTable(table) {}
    unsigned Index(TRgb c) {
        const COLORREF key = RGB(c.R, c.G, c.B);
        auto it = FCache.find(key);
        if (it != FCache.end())
            return it->second;
        const unsigned index = unsigned(NearestColorIndex(FTable, key));
        FCache.emplace(key, index);
        return index;
    }

private:
    const std::vector<RGBQUAD>& FTable;
    std::unordered_map<COLORREF, unsigned> FCache;
};

void WritePixel(TDibImage& image, std::uint8_t* row, int x, TRgb c, TNearestCache& nearest) {
    switch (image.BitCount) {
    case 1: {
        const unsigned bit = 7 - (x & 7);
        row[x >> 3] = BYTE((row[x >> 3] & ~(1u << bit)) | ((nearest.Index(c) & 1) << bit));
        break;
    }
    case 4: {
        const unsigned v = nearest.Index(c) & 0x0F;
        std::uint8_t& b = row[x >> 1];
        b = (x & 1) ? BYTE((b & 0xF0) | v) : BYTE((b & 0x0F) | (v << 4));
        break;
    }
    case 8:
        row[x] = BYTE(nearest.Index(c));
        break;
    case 16: {
        unsigned v;
        if (image.Is565)
            v = (unsigned(c.R >> 3) << 11) | (unsigned(c.G >> 2) << 5) | unsigned(c.B >> 3);
        else
            v = (unsigned(c.R >> 3) << 10) | (unsigned(c.G >> 3) << 5) | unsigned(c.B >> 3);
        row[2 * x] = BYTE(v);
        row[2 * x + 1] = BYTE(v >> 8);
        break;
    }
    case 24:
        row[3 * x] = c.B;
        row[3 * x + 1] = c.G;
        row[3 * x + 2] = c.R;
        break;
    default:
        row[4 * x] = c.B;
        row[4 * x + 1] = c.G;
        row[4 * x + 2] = c.R;
        row[4 * x + 3] = 0;
        break;
    }
}

} // namespace

TDibImage::~TDibImage() {
    if (Section)
        DeleteObject(Section);
}

std::size_t TDibImage::StrideFor(int width, int bitCount) {
    return (std::size_t(width) * std::size_t(bitCount) + 31) / 32 * 4;
}

void TDibImage::Allocate(bool zeroed) {
    if (Section) {
        DeleteObject(Section);
        Section = nullptr;
        SectionBits = nullptr;
    }
    const std::size_t size = Empty() ? 0 : ImageSize();
    if (zeroed) {
        Own.assign(size, 0);
    } else {
        Own.clear();
        Own.resize(size);
    }
}

std::unique_ptr<TDibImage> TDibImage::Clone() const {
    auto copy = std::make_unique<TDibImage>();
    copy->Width = Width;
    copy->Height = Height;
    copy->BitCount = BitCount;
    copy->TopDown = TopDown;
    copy->Is565 = Is565;
    copy->XPelsPerMeter = XPelsPerMeter;
    copy->YPelsPerMeter = YPelsPerMeter;
    copy->Colors = Colors;
    if (!Empty()) {
        GdiFlush();
        copy->Own.assign(Bits(), Bits() + ImageSize());
    }
    return copy;
}

std::vector<std::uint8_t> TDibImage::Info(bool fullTable) const {
    std::size_t tableCount = Colors.size();
    if (BitCount <= 8) {
        const std::size_t full = std::size_t(1) << BitCount;
        tableCount = fullTable ? full : std::min(tableCount, full);
    }
    const bool masks = BitCount == 16 && Is565;
    std::vector<std::uint8_t> buffer(sizeof(BITMAPINFOHEADER) + (masks ? 12 : 0) +
                                     tableCount * sizeof(RGBQUAD));
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = Width;
    h.biHeight = TopDown ? -Height : Height;
    h.biPlanes = 1;
    h.biBitCount = WORD(BitCount);
    h.biCompression = masks ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = DWORD(ImageSize());
    h.biXPelsPerMeter = XPelsPerMeter;
    h.biYPelsPerMeter = YPelsPerMeter;
    h.biClrUsed =
        (BitCount <= 8 && tableCount == (std::size_t(1) << BitCount)) ? 0 : DWORD(tableCount);
    std::memcpy(buffer.data(), &h, sizeof h);
    std::size_t pos = sizeof h;
    if (masks) {
        const DWORD m[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(buffer.data() + pos, m, sizeof m);
        pos += sizeof m;
    }
    if (!Colors.empty())
        std::memcpy(buffer.data() + pos, Colors.data(),
                    std::min(Colors.size(), tableCount) * sizeof(RGBQUAD));
    return buffer;
}

bool TDibImage::MakeSection(bool keepPixels) {
    if (Section)
        return true;
    if (Empty())
        return false;
    std::vector<std::uint8_t> buffer;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, InfoPtr(buffer), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        if (section)
            DeleteObject(section);
        return false;
    }
    if (keepPixels)
        std::memcpy(bits, Own.data(), ImageSize());
    Section = section;
    SectionBits = static_cast<std::uint8_t*>(bits);
    decltype(Own)().swap(Own);
    return true;
}

COLORREF TDibImage::PixelColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= Height)
        return CLR_INVALID;
    const TRgb c = ReadPixel(*this, Row(y), x);
    return RGB(c.R, c.G, c.B);
}

namespace {

constexpr std::size_t StreamingBytes = std::size_t(4) << 20;

// One row of 8-bit indices to 32-bit colours through `lut`; with `stream`, the colours
// bypass the cache (the caller fences once at the end).
void LookUpRow(const std::uint8_t* in, std::uint8_t* out, int width, const std::uint32_t* lut,
               bool stream) {
    int x = 0;
#if defined(__SSE2__)
    if (stream) {
        for (; x < width && reinterpret_cast<std::uintptr_t>(out + 4 * x) % 16 != 0; ++x)
            std::memcpy(out + 4 * x, &lut[in[x]], 4);
        for (; x + 4 <= width; x += 4)
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + 4 * x),
                             _mm_setr_epi32(int(lut[in[x]]), int(lut[in[x + 1]]),
                                            int(lut[in[x + 2]]), int(lut[in[x + 3]])));
    }
#else
    (void)stream;
#endif
    for (; x + 4 <= width; x += 4) {
        const std::uint32_t q[4] = {lut[in[x]], lut[in[x + 1]], lut[in[x + 2]], lut[in[x + 3]]};
        std::memcpy(out + 4 * x, q, 16);
    }
    for (; x < width; ++x)
        std::memcpy(out + 4 * x, &lut[in[x]], 4);
}

} // namespace

std::unique_ptr<TDibImage> ConvertDib(const TDibImage& source, int bitCount, bool to565,
                                      const std::vector<RGBQUAD>& table, bool inSection) {
    auto target = std::make_unique<TDibImage>();
    target->Width = source.Width;
    target->Height = source.Height;
    target->BitCount = bitCount;
    target->TopDown = source.TopDown;
    target->Is565 = bitCount == 16 && to565;
    target->XPelsPerMeter = source.XPelsPerMeter;
    target->YPelsPerMeter = source.YPelsPerMeter;
    target->Colors = table;
    // The table conversion below writes every byte of the 32-bit rows.
    const bool lookUp = source.BitCount == 8 && bitCount == 32;
    if (!inSection || !target->MakeSection(false))
        target->Allocate(!lookUp);
    if (source.Empty())
        return target;
    GdiFlush();
    if (lookUp) {
        // The common case of decoded pictures turned into device bitmaps: one table
        // look-up and one 4-byte store per pixel.
        std::uint32_t lut[256] = {};
        for (std::size_t i = 0; i < source.Colors.size() && i < 256; ++i)
            lut[i] = std::uint32_t(source.Colors[i].rgbBlue) |
                     (std::uint32_t(source.Colors[i].rgbGreen) << 8) |
                     (std::uint32_t(source.Colors[i].rgbRed) << 16);
        // Rows far larger than the caches go straight to memory rather than through the
        // cache, which would first have to read every line it is about to overwrite.
        const bool stream = target->ImageSize() >= StreamingBytes;
        for (int y = 0; y < source.Height; ++y)
            LookUpRow(source.Row(y), target->Row(y), source.Width, lut, stream);
#if defined(__SSE2__)
        if (stream)
            _mm_sfence();
#endif
        return target;
    }
    if (source.BitCount <= 8 && (bitCount == 24 || bitCount == 32)) {
        // Palette to true colour through a table of the palette's colours.
        TRgb lut[256] = {};
        for (std::size_t i = 0; i < source.Colors.size() && i < 256; ++i)
            lut[i] = {source.Colors[i].rgbRed, source.Colors[i].rgbGreen, source.Colors[i].rgbBlue};
        const int bytes = bitCount / 8;
        const int shift = source.BitCount;
        const unsigned mask = (1u << shift) - 1;
        for (int y = 0; y < source.Height; ++y) {
            const std::uint8_t* in = source.Row(y);
            std::uint8_t* out = target->Row(y);
            for (int x = 0; x < source.Width; ++x, out += bytes) {
                const int bit = x * shift;
                const unsigned index = (in[bit >> 3] >> (8 - shift - (bit & 7))) & mask;
                const TRgb c = index < source.Colors.size() ? lut[index] : TRgb{0, 0, 0};
                out[0] = c.B;
                out[1] = c.G;
                out[2] = c.R;
            }
        }
        return target;
    }
    TNearestCache nearest(target->Colors);
    for (int y = 0; y < source.Height; ++y) {
        const std::uint8_t* in = source.Row(y);
        std::uint8_t* out = target->Row(y);
        for (int x = 0; x < source.Width; ++x)
            WritePixel(*target, out, x, ReadPixel(source, in, x), nearest);
    }
    return target;
}

std::vector<RGBQUAD> StandardColorTable(int bitCount) {
    std::vector<RGBQUAD> table;
    auto add = [&](BYTE r, BYTE g, BYTE b) { table.push_back(RGBQUAD{b, g, r, 0}); };
    if (bitCount == 1) {
        add(0, 0, 0);
        add(255, 255, 255);
    } else if (bitCount == 4) {
        static constexpr BYTE vga[16][3] = {
            {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
            {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
            {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (const auto& c : vga)
            add(c[0], c[1], c[2]);
    } else if (bitCount == 8) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    add(BYTE(r * 51), BYTE(g * 51), BYTE(b * 51));
        for (int i = 0; table.size() < 256; ++i) {
            const BYTE v = BYTE(8 + i * 6);
            add(v, v, v);
        }
    }
    return table;
}

int NearestColorIndex(const std::vector<RGBQUAD>& table, COLORREF color) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const long dr = long(table[i].rgbRed) - GetRValue(color);
        const long dg = long(table[i].rgbGreen) - GetGValue(color);
        const long db = long(table[i].rgbBlue) - GetBValue(color);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = int(i);
            bestDistance = d;
            if (d == 0)
                break;
        }
    }
    return best;
}

} // namespace graphics
