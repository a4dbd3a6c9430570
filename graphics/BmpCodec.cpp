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

} // namespace

std::unique_ptr<TDibImage> ReadBmp(rtl::TStream& stream) {
    const std::int64_t start = stream.Position();
    const std::int64_t size = stream.Size();
    if (start < 0 || size < start)
        Invalid();
    const std::uint64_t available = std::uint64_t(size - start);
    if (available < kFileHeaderSize + kCoreHeaderSize)
        Invalid();

    std::uint8_t fileHeader[kFileHeaderSize];
    ReadExact(stream, fileHeader, sizeof fileHeader);
    if (Get16(fileHeader) != BmpSignature)
        Invalid();
    const std::uint32_t offBits = Get32(fileHeader + 10);

    std::uint8_t header[kMaxHeaderSize] = {};
    ReadExact(stream, header, 4);
    const std::uint32_t headerSize = Get32(header);
    const bool core = headerSize == kCoreHeaderSize;
    if (!core && headerSize != kInfoHeaderSize && headerSize != 52 && headerSize != 56 &&
        headerSize != kOs2HeaderSize && headerSize != 108 && headerSize != kMaxHeaderSize)
        Invalid();
    if (kFileHeaderSize + std::uint64_t(headerSize) > available)
        Invalid();
    ReadExact(stream, header + 4, headerSize - 4);

    auto image = std::make_unique<TDibImage>();
    std::int64_t width, height;
    std::uint32_t planes, bitCount, compression = BI_RGB, colorsUsed = 0;
    if (core) {
        width = Get16(header + 4);
        height = Get16(header + 6);
        planes = Get16(header + 8);
        bitCount = Get16(header + 10);
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
            Invalid();
    } else {
        width = std::int32_t(Get32(header + 4));
        height = std::int32_t(Get32(header + 8));
        planes = Get16(header + 12);
        bitCount = Get16(header + 14);
        compression = Get32(header + 16);
        image->XPelsPerMeter = LONG(Get32(header + 24));
        image->YPelsPerMeter = LONG(Get32(header + 28));
        colorsUsed = Get32(header + 32);
    }
    if (planes != 1)
        Invalid();
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        Invalid();
    if (height < 0) {
        image->TopDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0 || width > MaxBitmapDimension || height > MaxBitmapDimension)
        Invalid();

    // Channel masks: after a 40-byte header for BI_BITFIELDS, inside longer headers.
    std::uint32_t masks[3] = {0, 0, 0};
    std::uint64_t tablePos = kFileHeaderSize + std::uint64_t(headerSize);
    if (compression == BI_BITFIELDS) {
        if ((bitCount != 16 && bitCount != 32) || headerSize == kOs2HeaderSize)
            Invalid();
        if (headerSize == kInfoHeaderSize) {
            if (tablePos + 12 > available)
                Invalid();
            std::uint8_t m[12];
            ReadExact(stream, m, sizeof m);
            tablePos += 12;
            for (int i = 0; i < 3; ++i)
                masks[i] = Get32(m + 4 * i);
        } else {
            for (int i = 0; i < 3; ++i)
                masks[i] = Get32(header + 40 + 4 * i);
        }
    } else if (compression != BI_RGB) {
        Invalid();
    }

    // Colour table: 2^depth entries unless fewer are used; deeper images may carry one too.
    std::uint64_t tableCount = 0;
    if (bitCount <= 8) {
        const std::uint64_t full = std::uint64_t(1) << bitCount;
        if (colorsUsed > full)
            Invalid();
        tableCount = colorsUsed ? colorsUsed : full;
    } else if (colorsUsed <= 256) {
        tableCount = colorsUsed;
    }
    const std::uint64_t entrySize = core ? 3 : 4;
    const std::uint64_t tableEnd = tablePos + tableCount * entrySize;
    if (tableEnd > available)
        Invalid();
    image->Colors.resize(tableCount);
    if (tableCount) {
        std::vector<std::uint8_t> table(tableCount * entrySize);
        ReadExact(stream, table.data(), table.size());
        for (std::uint64_t i = 0; i < tableCount; ++i) {
            const std::uint8_t* e = table.data() + i * entrySize;
            image->Colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
        }
    }

    // Pixels: at the file header's offset (0 means right after the colour table).
    const std::uint64_t stride = TDibImage::StrideFor(int(width), int(bitCount));
    const std::uint64_t imageSize = stride * std::uint64_t(height);
    if (imageSize > MaxBitmapBytes)
        Invalid();
    const std::uint64_t pixelPos = offBits ? offBits : tableEnd;
    if (pixelPos < tableEnd || pixelPos > available || imageSize > available - pixelPos)
        Invalid();

    image->Width = int(width);
    image->Height = int(height);
    image->BitCount = int(bitCount);
    image->Own.resize(std::size_t(imageSize));
    stream.SetPosition(start + std::int64_t(pixelPos));
    ReadExact(stream, image->Own.data(), image->Own.size());

    if (compression == BI_BITFIELDS) {
        if (bitCount == 16) {
            if (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
                image->Is565 = false;
            else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
                image->Is565 = true;
            else if ((masks[0] | masks[1] | masks[2]) > 0xFFFF)
                Invalid();
            else
                image = UnpackBitfields(*image, masks, 24);
        } else if (!(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
            image = UnpackBitfields(*image, masks, 32);
        }
    }
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
