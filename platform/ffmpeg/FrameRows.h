// Internal to the platform layer: decoded pictures kept in the decoder's own format and
// converted to 0x00RRGGBB a band of rows at a time as they are drawn (user::VideoRows).
// A band fits in the processor's cache, so a frame's pixels are written to memory once,
// into the window, instead of into a picture first and then copied.
#pragma once

#include <memory>

#include "platform/user/VideoOverlay.h"

struct AVFrame;

namespace platform::media {

// Whether pictures of this FFmpeg pixel format and size convert band by band to exactly
// the pixels that converting them whole gives: formats whose converter reads each row on
// its own (planar 4:2:0 and 4:2:2), and an even height.
bool ConvertsInBands(int format, int width, int height);

// The picture in `frame` as rows to draw; holds a new reference to its buffers, which
// the decoder no longer writes. With `previous` (rows made by this function, most usefully
// the picture decoded just before), where the two differ is found now, on the caller's
// thread, so that drawing the new picture over `previous` compares nothing. Null when
// ConvertsInBands does not hold for it.
std::shared_ptr<const user::VideoRows> MakeFrameRows(const AVFrame& frame,
                                                     const user::VideoRows* previous = nullptr);

} // namespace platform::media
