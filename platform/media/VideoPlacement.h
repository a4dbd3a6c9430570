// Where the digital-video device shows its pictures in its window, as MCI_PUT sets it:
// the part of each frame it takes (the source) and the part of the window's client area
// it fills (the destination). Rectangles are as the media control interface gives them:
// left, top, width, height.
#pragma once

#include <memory>
#include <optional>

#include "platform/user/VideoOverlay.h"
#include "platform/windef.h"

namespace platform::media {

struct VideoPlacement {
    std::optional<RECT> Source;      // none: the whole frame
    std::optional<RECT> Destination; // none: the frame's own size at the client's corner
    bool IsDefault() const { return !Source && !Destination; }
};

// The source rectangle in effect for a frame of the given size.
RECT SourceOf(const VideoPlacement& placement, int width, int height);
// The destination rectangle in effect for a frame of the given size.
RECT DestinationOf(const VideoPlacement& placement, int width, int height);

// The picture as placed: the source part of `frame`, scaled to the destination's size
// (each pixel takes the nearest source pixel), standing at the destination's corner.
// `reuse`, when given and not shared, lends its memory. Null when nothing is left to show.
std::shared_ptr<user::VideoFrame> PlacePicture(const user::VideoFrame& frame,
                                               const VideoPlacement& placement,
                                               std::shared_ptr<user::VideoFrame> reuse = {});

} // namespace platform::media
