// Clipboard exchange of GIF images.
#include "gif/GifImage.h"

namespace gif {

using graphics::TBitmap;

void TGIFImage::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(format, data, palette);
    Assign(&bitmap);
}

void TGIFImage::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    if (FFrames.empty())
        return;
    FFrames[0]->GetBitmap()->SaveToClipboardFormat(format, data, palette);
}

} // namespace gif
