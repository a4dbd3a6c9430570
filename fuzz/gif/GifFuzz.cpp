// libFuzzer target: the GIF reader and the LZW decoder. The first byte picks the
// GIFLoadCorrupted switch and whether the data come with a length prefix (ReadData) or
// alone (ReadStream); every frame is then decoded, both into a bitmap file image and
// straight into a device bitmap, which must agree pixel for pixel, and small images are
// written back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gif/GifCodec.h"
#include "gif/GifImage.h"
#include "gif/GifTypes.h"
#include "graphics/Bitmap.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The device bitmap of a frame holds the colours of the bitmap file image's indices.
void CheckDeviceBitmap(gif::TGIFFrame& frame, const rtl::TMemoryStream& bmp) {
    const gif::TGIFItem& item = *frame.Item();
    if (gif::FrameIsMonochrome(item) || item.Width <= 0 || item.Height <= 0)
        return;
    graphics::TBitmap device;
    gif::DecodeDeviceBitmap(item, frame.Interlaced(), gif::GIFLoadCorrupted, {}, device);
    const std::uint8_t* b = bmp.Memory();
    const int depth = b[28];
    const std::uint8_t* palette = b + 54;
    const std::uint8_t* rows = b + Le32(b + 10);
    const std::size_t stride = std::size_t(gif::BitmapStride(item.Width, depth));
    for (int y = 0; y < item.Height; ++y) {
        const std::uint8_t* in = rows + std::size_t(item.Height - 1 - y) * stride;
        const auto* out = static_cast<const std::uint32_t*>(device.ScanLine(y));
        for (int x = 0; x < item.Width; ++x) {
            const int bit = x * depth;
            const int index = (in[bit / 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1);
            const std::uint8_t* c = palette + 4 * index;
            if (out[x] !=
                (std::uint32_t(c[0]) | std::uint32_t(c[1]) << 8 | std::uint32_t(c[2]) << 16))
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    gif::GIFLoadCorrupted = (mode & 1) == 0;
    rtl::TMemoryStream in;
    if (size > 1)
        in.WriteBuffer(data + 1, size - 1);
    in.SetPosition(0);
    gif::TGIFImage image;
    try {
        if (mode & 2)
            image.ReadData(in);
        else
            image.ReadStream(std::int32_t(size - 1), in, false);
    } catch (const rtl::Exception&) {
    }
    std::int64_t pixels = 0;
    for (int i = 0; i < image.Count(); ++i) {
        gif::TGIFFrame* frame = image.Frames(i);
        const std::int64_t n = std::int64_t(frame->Item()->Width) * frame->Item()->Height;
        pixels += n;
        if (n > (std::int64_t(1) << 22))
            continue; // keep each run small; sizes up to 65535 x 65535 are legal
        try {
            rtl::TMemoryStream bmp;
            frame->SaveToBitmapStream(bmp);
            CheckDeviceBitmap(*frame, bmp);
        } catch (const rtl::Exception&) {
        }
    }
    if ((mode & 4) && pixels < (1 << 20)) {
        try {
            rtl::TMemoryStream out;
            image.WriteData(out);
        } catch (const rtl::Exception&) {
        }
    }
    return 0;
}
