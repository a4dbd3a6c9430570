// libFuzzer target: the GIF reader and the LZW decoder. The first byte picks the
// GIFLoadCorrupted switch and whether the data come with a length prefix (ReadData) or
// alone (ReadStream); every frame is then decoded, and small images are written back.
#include <cstddef>
#include <cstdint>

#include "gif/GifImage.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

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
