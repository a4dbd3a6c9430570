// The bitmaps of GIF frames: the bitmap file image of a frame (headers, palette, decoded
// rows) and the device bitmap decoded straight into its palette pixels.
#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/GifTypes.h"
#include "graphics/Bitmap.h"
#include "graphics/BmpHeaders.h"
#include "rtl/Exceptions.h"

namespace gif {

std::vector<RGBQUAD> FramePalette(const TGIFItem& item, int depth) {
    // Table entries the colour table lacks are grey (128 in all four bytes).
    const int colors = 1 << depth;
    std::vector<RGBQUAD> palette(std::size_t(colors), RGBQUAD{128, 128, 128, 128});
    const int count = std::clamp(item.ColorTable.Count, 0, colors);
    for (int i = 0; i < count; ++i) {
        const TGIFColorItem& c = item.ColorTable.Colors[std::size_t(i)];
        palette[std::size_t(i)] = RGBQUAD{c.Blue, c.Green, c.Red, 0};
    }
    return palette;
}

void CheckFrameSize(std::int64_t width, std::int64_t height, int depth) {
    if (width > MaxFrameDimension || height > MaxFrameDimension ||
        BitmapStride(width, depth) * height > MaxFrameBytes)
        throw rtl::EInvalidGraphicOperation(SGIFImageTooLarge);
}

TDecodeParams FrameParams(const TGIFItem& item, bool interlaced, bool tolerant,
                          const TGIFProgress& progress) {
    TDecodeParams prm;
    prm.Width = std::max(item.Width, 0);
    prm.Height = std::max(item.Height, 0);
    prm.Depth = BitmapDepthFor(item.BitsPerPixel);
    prm.PixelBits = item.BitsPerPixel;
    prm.Interlaced = interlaced;
    prm.Tolerant = tolerant;
    prm.Progress = progress;
    return prm;
}

bool WriteBitmapStream(const TGIFItem& item, bool interlaced, bool tolerant,
                       const TGIFProgress& progress, rtl::TMemoryStream& dest) {
    const int depth = BitmapDepthFor(item.BitsPerPixel);
    const std::int64_t width = std::max(item.Width, 0);
    const std::int64_t height = std::max(item.Height, 0);
    CheckFrameSize(width, height, depth);
    const std::int64_t imageSize = BitmapStride(width, depth) * height;
    const std::vector<RGBQUAD> palette = FramePalette(item, depth);
    const std::int64_t offset = graphics::BmpFileHeaderSize + graphics::BmpInfoHeaderSize +
                                std::int64_t(palette.size() * sizeof(RGBQUAD));

    // The stream starts from fresh zeroed memory, so rows the data never reach are not
    // touched.
    dest.Clear();
    dest.SetSize(offset + imageSize);
    std::uint8_t* const p = dest.Memory();
    graphics::WriteBmpHeaders(p, std::int32_t(width), std::int32_t(height), depth,
                              std::uint32_t(palette.size()), std::uint32_t(imageSize));
    std::memcpy(p + graphics::BmpFileHeaderSize + graphics::BmpInfoHeaderSize, palette.data(),
                palette.size() * sizeof(RGBQUAD));

    const TDecodeParams prm = FrameParams(item, interlaced, tolerant, progress);
    const std::uint8_t* data = item.Data ? item.Data->Memory() : nullptr;
    const std::size_t size = item.Data ? std::size_t(item.Data->Size()) : 0;
    bool corrupted;
    try {
        corrupted = DecodeRaster(data, size, prm, p + offset);
    } catch (...) {
        dest.SetSize(0);
        throw;
    }
    dest.SetPosition(0);
    return corrupted;
}

bool FrameIsMonochrome(const TGIFItem& item) {
    const TGIFColorTable& t = item.ColorTable;
    return item.BitsPerPixel == 1 && t.Count >= 2 && t.Colors[0] == TGIFColorItem{0, 0, 0} &&
           t.Colors[1] == TGIFColorItem{255, 255, 255};
}

bool DecodeDeviceBitmap(const TGIFItem& item, bool interlaced, bool tolerant,
                        const TGIFProgress& progress, graphics::TBitmap& bitmap) {
    const TDecodeParams prm = FrameParams(item, interlaced, tolerant, progress);
    CheckFrameSize(prm.Width, prm.Height, prm.Depth);
    const std::vector<RGBQUAD> palette = FramePalette(item, prm.Depth);
    const std::uint8_t* data = item.Data ? item.Data->Memory() : nullptr;
    const std::size_t size = item.Data ? std::size_t(item.Data->Size()) : 0;
    bool corrupted = false;
    // The device bitmap keeps the palette pixels until something asks for its 32-bit form;
    // drawing takes the colours from the palette.
    bitmap.LoadDevicePixels(prm.Width, prm.Height, prm.Depth, palette, [&](std::uint8_t* rows) {
        corrupted = DecodeRaster(data, size, prm, rows);
    });
    return corrupted;
}

} // namespace gif
