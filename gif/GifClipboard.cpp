// Clipboard exchange of GIF images: the bitmap of frame 0 in the caller's format, and the
// whole GIF (with its 32-bit length first) as CF_GIF, "GIF Image".
#include <cstring>

#include "gif/GifImage.h"
#include "platform/winbase.h"
#include "platform/winuser.h"
#include "rtl/Exceptions.h"

namespace gif {

using graphics::TBitmap;

void TGIFImage::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    HANDLE gifData =
        CF_GIF != 0 && IsClipboardFormatAvailable(CF_GIF) ? GetClipboardData(CF_GIF) : nullptr;
    const void* bytes = gifData ? GlobalLock(gifData) : nullptr;
    if (!bytes) {
        TBitmap bitmap;
        bitmap.LoadFromClipboardFormat(format, data, palette);
        Assign(&bitmap);
        return;
    }
    rtl::TMemoryStream stream;
    try {
        stream.WriteBuffer(bytes, GlobalSize(gifData));
    } catch (...) {
        GlobalUnlock(gifData);
        throw;
    }
    GlobalUnlock(gifData);
    stream.SetPosition(0);
    std::int32_t size;
    stream.ReadBuffer(&size, 4);
    ReadStream(size, stream, false);
    if (Count() > 0) {
        FFrameIndex = 0;
        if (IsClipboardFormatAvailable(CF_BITMAP)) {
            TGIFFrame& frame = *FFrames[0];
            frame.NewBitmap();
            frame.FBitmap->LoadFromClipboardFormat(CF_BITMAP, GetClipboardData(CF_BITMAP), palette);
        }
    }
}

void TGIFImage::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    if (FFrames.empty())
        return;
    FFrames[0]->GetBitmap()->SaveToClipboardFormat(format, data, palette);
    for (const auto& frame : FFrames)
        if (!frame->FImage->HasData())
            return;
    rtl::TMemoryStream stream;
    WriteStream(stream, true);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(stream.Size()));
    if (!memory)
        return;
    if (void* p = GlobalLock(memory)) {
        std::memcpy(p, stream.Memory(), std::size_t(stream.Size()));
        GlobalUnlock(memory);
        if (CF_GIF != 0 && SetClipboardData(CF_GIF, memory))
            return;
    }
    GlobalFree(memory);
}

} // namespace gif
