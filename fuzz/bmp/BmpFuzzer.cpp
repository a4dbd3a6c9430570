// Feeds arbitrary bytes to TBitmap::LoadFromStream. Refusals (EInvalidGraphic) are fine;
// anything else (a crash, a sanitizer report, another exception) is a finding. What
// loads is also saved and drawn, so that the loaded state is exercised too.
#include <cstddef>
#include <cstdint>

#include "graphics/Graphics.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rtl::TMemoryStream stream;
    stream.WriteBuffer(data, size);
    stream.SetPosition(0);
    graphics::TBitmap bitmap;
    try {
        bitmap.LoadFromStream(stream);
    } catch (const rtl::EInvalidGraphic&) {
        return 0;
    }
    rtl::TMemoryStream saved;
    bitmap.SaveToStream(saved);
    saved.SetPosition(0);
    graphics::TBitmap copy;
    copy.LoadFromStream(saved);
    if (bitmap.Width() <= 256 && bitmap.Height() <= 256) {
        graphics::TBitmap target;
        target.SetPixelFormat(graphics::pf24bit);
        target.SetSize(16, 16);
        target.Canvas()->StretchDraw(rtl::Rect(0, 0, 16, 16), &bitmap);
        graphics::StretchBitmapRectTransparent(target.Canvas(), 0, 0, 16, 16, &bitmap, rtl::TRect{},
                                               formstream::clDefault);
    }
    return 0;
}
