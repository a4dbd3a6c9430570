#include "graphics/BmpCodec.h"

#include <bit>
#include <cstring>

#include "graphics/BmpHeaders.h"
#include "graphics/GraphicsConsts.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace graphics {

namespace {

constexpr std::uint32_t kFileHeaderSize = BmpFileHeaderSize;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kOs2HeaderSize = 64;
constexpr std::uint32_t kMaxHeaderSize = 124; // V5

[[noreturn]] void Invalid() {
    throw rtl::EInvalidGraphic(SInvalidBitmap);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// Reads exactly `count` bytes or reports the image as damaged.
void ReadExact(rtl::TStream& stream, void* buffer, std::size_t count) {
    if (stream.Read(buffer, count) != count)
        Invalid();
}

// One colour channel of a bit-field layout.
struct TChannel {
    std::uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;
    BYTE Extract(std::uint32_t v) const {
        if (Bits == 0)
            return 0;
        const std::uint32_t c = (v & Mask) >> Shift;
        if (Bits >= 8)
            return BYTE(c >> (Bits - 8));
        return BYTE(c * 255 / ((1u << Bits) - 1));
    }
};

TChannel ChannelOf(std::uint32_t mask) {
    TChannel c;
    c.Mask = mask;
    if (mask) {
        c.Shift = std::countr_zero(mask);
        c.Bits = std::popcount(mask);
        // Channels must be one run of bits.
        if ((mask >> c.Shift) != ((c.Bits == 32) ? 0xFFFFFFFFu : ((1u << c.Bits) - 1)))
            Invalid();
    }
    return c;
}

// Rewrites pixels of an arbitrary bit-field layout (16 or 32 bits) as 24 or standard
// 32-bit pixels.
std::unique_ptr<TDibImage> UnpackBitfields(const TDibImage& packed, const std::uint32_t masks[3],
                                           int targetBits) {
    const TChannel r = ChannelOf(masks[0]), g = ChannelOf(masks[1]), b = ChannelOf(masks[2]);
    auto out = std::make_unique<TDibImage>();
    out->Width = packed.Width;
    out->Height = packed.Height;
    out->BitCount = targetBits;
    out->TopDown = packed.TopDown;
    out->XPelsPerMeter = packed.XPelsPerMeter;
    out->YPelsPerMeter = packed.YPelsPerMeter;
    out->Colors = packed.Colors;
    out->Allocate();
    const int inBytes = packed.BitCount / 8;
    const int outBytes = targetBits / 8;
    for (int y = 0; y < packed.Height; ++y) {
        const std::uint8_t* in = packed.Row(y);
        std::uint8_t* o = out->Row(y);
        for (int x = 0; x < packed.Width; ++x) {
            const std::uint32_t v = inBytes == 2 ? Get16(in + 2 * x) : Get32(in + 4 * x);
            std::uint8_t* px = o + outBytes * x;
            px[0] = b.Extract(v);
            px[1] = g.Extract(v);
            px[2] = r.Extract(v);
        }
    }
    return out;
}

// What the file and information headers say, in one place for the steps that follow.
struct TBmpLayout {
    std::uint32_t OffBits = 0;
    std::uint32_t HeaderSize = 0;
    bool Core = false;
    std::int64_t Width = 0, Height = 0;
    std::uint32_t Planes = 0, BitCount = 0, Compression = BI_RGB, ColorsUsed = 0;
    std::uint8_t Header[kMaxHeaderSize] = {};
};

bool KnownHeaderSize(std::uint32_t size) {
    return size == kCoreHeaderSize || size == kInfoHeaderSize || size == 52 || size == 56 ||
           size == kOs2HeaderSize || size == 108 || size == kMaxHeaderSize;
}

// Reads the file header and the information header of any known size.
void ReadHeaders(rtl::TStream& stream, std::uint64_t available, TBmpLayout& l) {
    if (available < kFileHeaderSize + kCoreHeaderSize)
        Invalid();
    std::uint8_t fileHeader[kFileHeaderSize];
    ReadExact(stream, fileHeader, sizeof fileHeader);
    if (Get16(fileHeader) != BmpSignature)
        Invalid();
    l.OffBits = Get32(fileHeader + 10);
    ReadExact(stream, l.Header, 4);
    l.HeaderSize = Get32(l.Header);
    l.Core = l.HeaderSize == kCoreHeaderSize;
    if (!KnownHeaderSize(l.HeaderSize))
        Invalid();
    if (kFileHeaderSize + std::uint64_t(l.HeaderSize) > available)
        Invalid();
    ReadExact(stream, l.Header + 4, l.HeaderSize - 4);
}

// Takes the size, depth and compression out of the header and checks them.
void ParseHeader(TBmpLayout& l, TDibImage& image) {
    const std::uint8_t* h = l.Header;
    if (l.Core) {
        l.Width = Get16(h + 4);
        l.Height = Get16(h + 6);
        l.Planes = Get16(h + 8);
        l.BitCount = Get16(h + 10);
        if (l.BitCount != 1 && l.BitCount != 4 && l.BitCount != 8 && l.BitCount != 24)
            Invalid();
    } else {
        l.Width = std::int32_t(Get32(h + 4));
        l.Height = std::int32_t(Get32(h + 8));
        l.Planes = Get16(h + 12);
        l.BitCount = Get16(h + 14);
        l.Compression = Get32(h + 16);
        image.XPelsPerMeter = LONG(Get32(h + 24));
        image.YPelsPerMeter = LONG(Get32(h + 28));
        l.ColorsUsed = Get32(h + 32);
    }
    if (l.Planes != 1)
        Invalid();
    const std::uint32_t b = l.BitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
        Invalid();
    if (l.Height < 0) {
        image.TopDown = true;
        l.Height = -l.Height;
    }
    if (l.Width <= 0 || l.Height <= 0 || l.Width > MaxBitmapDimension ||
        l.Height > MaxBitmapDimension)
        Invalid();
}

// Channel masks: after a 40-byte header for BI_BITFIELDS, inside longer headers. Returns
// where the colour table starts.
std::uint64_t ReadMasks(rtl::TStream& stream, std::uint64_t available, const TBmpLayout& l,
                        std::uint32_t masks[3]) {
    std::uint64_t tablePos = kFileHeaderSize + std::uint64_t(l.HeaderSize);
    if (l.Compression == BI_RGB)
        return tablePos;
    if (l.Compression != BI_BITFIELDS || (l.BitCount != 16 && l.BitCount != 32) ||
        l.HeaderSize == kOs2HeaderSize)
        Invalid();
    const std::uint8_t* source = l.Header + 40;
    std::uint8_t m[12];
    if (l.HeaderSize == kInfoHeaderSize) {
        if (tablePos + 12 > available)
            Invalid();
        ReadExact(stream, m, sizeof m);
        tablePos += 12;
        source = m;
    }
    for (int i = 0; i < 3; ++i)
        masks[i] = Get32(source + 4 * i);
    return tablePos;
}

// Colour table: 2^depth entries unless fewer are used; deeper images may carry one too.
// Returns where the table ends.
std::uint64_t ReadColorTable(rtl::TStream& stream, std::uint64_t available, const TBmpLayout& l,
                             std::uint64_t tablePos, TDibImage& image) {
    std::uint64_t tableCount = 0;
    if (l.BitCount <= 8) {
        const std::uint64_t full = std::uint64_t(1) << l.BitCount;
        if (l.ColorsUsed > full)
            Invalid();
        tableCount = l.ColorsUsed ? l.ColorsUsed : full;
    } else if (l.ColorsUsed <= 256) {
        tableCount = l.ColorsUsed;
    }
    const std::uint64_t entrySize = l.Core ? 3 : 4;
    const std::uint64_t tableEnd = tablePos + tableCount * entrySize;
    if (tableEnd > available)
        Invalid();
    image.Colors.resize(tableCount);
    if (tableCount) {
        std::vector<std::uint8_t> table(tableCount * entrySize);
        ReadExact(stream, table.data(), table.size());
        for (std::uint64_t i = 0; i < tableCount; ++i) {
            const std::uint8_t* e = table.data() + i * entrySize;
            image.Colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
    }
    return tableEnd;
}

// Pixels: at the file header's offset (0 means right after the colour table).
void ReadPixels(rtl::TStream& stream, std::int64_t start, std::uint64_t available,
                const TBmpLayout& l, std::uint64_t tableEnd, TDibImage& image) {
    const std::uint64_t stride = TDibImage::StrideFor(int(l.Width), int(l.BitCount));
    const std::uint64_t imageSize = stride * std::uint64_t(l.Height);
    if (imageSize > MaxBitmapBytes)
        Invalid();
    const std::uint64_t pixelPos = l.OffBits ? l.OffBits : tableEnd;
    if (pixelPos < tableEnd || pixelPos > available || imageSize > available - pixelPos)
        Invalid();
    image.Width = int(l.Width);
    image.Height = int(l.Height);
    image.BitCount = int(l.BitCount);
    image.Own.resize(std::size_t(imageSize));
    stream.SetPosition(start + std::int64_t(pixelPos));
    ReadExact(stream, image.Own.data(), image.Own.size());
}

// Keeps the two 16-bit layouts and the standard 32-bit one as they are; unpacks any
// other bit-field layout.
std::unique_ptr<TDibImage> ResolveBitfields(std::unique_ptr<TDibImage> image,
                                            const std::uint32_t masks[3]) {
    if (image->BitCount == 16) {
        if (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
            image->Is565 = false;
        else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            image->Is565 = true;
        else if ((masks[0] | masks[1] | masks[2]) > 0xFFFF)
            Invalid();
        else
            return UnpackBitfields(*image, masks, 24);
    } else if (!(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
        return UnpackBitfields(*image, masks, 32);
    }
    return image;
}

} // namespace

std::unique_ptr<TDibImage> ReadBmp(rtl::TStream& stream) {
    const std::int64_t start = stream.Position();
    const std::int64_t size = stream.Size();
    if (start < 0 || size < start)
        Invalid();
    const std::uint64_t available = std::uint64_t(size - start);
    TBmpLayout layout;
    ReadHeaders(stream, available, layout);
    auto image = std::make_unique<TDibImage>();
    ParseHeader(layout, *image);
    std::uint32_t masks[3] = {0, 0, 0};
    const std::uint64_t tablePos = ReadMasks(stream, available, layout, masks);
    const std::uint64_t tableEnd = ReadColorTable(stream, available, layout, tablePos, *image);
    ReadPixels(stream, start, available, layout, tableEnd, *image);
    if (layout.Compression == BI_BITFIELDS)
        image = ResolveBitfields(std::move(image), masks);
    return image;
}

void WriteBmp(const TDibImage& image, rtl::TStream& stream) {
    if (image.Empty()) {
        // An empty bitmap writes nothing, and reads back as empty through ReadData.
        return;
    }
    // A palette image always writes a table, padded when it has none.
    const std::vector<std::uint8_t> info = image.Info(image.BitCount <= 8 && image.Colors.empty());
    const std::uint64_t imageSize = image.ImageSize();
    const std::uint64_t offBits = kFileHeaderSize + info.size();
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = BmpSignature;
    fileHeader.bfSize = DWORD(offBits + imageSize);
    fileHeader.bfOffBits = DWORD(offBits);
    stream.WriteBuffer(&fileHeader, sizeof fileHeader);
    stream.WriteBuffer(info.data(), info.size());
    GdiFlush();
    stream.WriteBuffer(image.Bits(), std::size_t(imageSize));
}

} // namespace graphics
