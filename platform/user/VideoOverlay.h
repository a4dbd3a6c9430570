// Internal to the platform layer: video frames shown in windows. A media device hands
// over finished frames from any thread; the program's thread puts them on screen when
// it presents (and before a capture), after the windows' own painting, clipped to the
// window, to its children and to the windows that cover it. A frame stays on show
// across repaints until its device takes it back; a hidden window shows nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/windef.h"

namespace platform::user {

// A picture kept in its decoder's format, converted as it is drawn: the rows go straight
// from the converter into the window's pixels, a few at a time, with no copy of the
// whole picture in between. Immutable once handed over; ForEachSlice may run on any
// thread, on several at once.
class VideoRows {
public:
    virtual ~VideoRows() = default;
    // A band of converted rows: `Count` rows of 0x00RRGGBB pixels from row `Top`, `Stride`
    // pixels apart, valid only during the call that hands it over.
    struct Band {
        int Top = 0, Count = 0;
        const std::uint32_t* Rows = nullptr;
        std::size_t Stride = 0;
        // With `Compared`, the band was compared with the same band of the earlier
        // picture and its pixels outside `Changed` (picture coordinates, inside the band)
        // are known to equal that picture's; otherwise `Changed` is the whole band.
        RECT Changed{};
        bool Compared = false;
    };
    // Calls `slice` for consecutive bands of rows, top-down, covering the picture. With
    // `same` (an earlier picture, or null), bands whose pixels are known to equal those of
    // the same band of `same` may be left out, and the others may tell where they differ.
    using Slice = std::function<void(const Band& band)>;
    virtual void ForEachSlice(const Slice& slice, const VideoRows* same) const = 0;
};

struct VideoFrame {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;     // 0x00RRGGBB, rows top-down; empty when Rows is set
    std::shared_ptr<const VideoRows> Rows; // the picture, converted as it is drawn
    std::int64_t Number = -1;              // the frame's number in its clip
    int Left = 0, Top = 0;                 // where it stands in the window's client area
};

// Any thread. `owner` identifies the device; a device shows one frame in one window at a
// time (a new call moves it). A null frame keeps the window but shows nothing yet.
void ShowVideoFrame(const void* owner, HWND hwnd, std::shared_ptr<const VideoFrame> frame);
// Any thread: the device's frame leaves its window, which repaints.
void RemoveVideo(const void* owner);
// Program's thread: draws every frame into its window's top-level surface.
void ComposeVideo();
// Any thread: whether the caller's `frame` is the only reference left, so that its memory
// may be written again. The overlay lets go of frames only under the lock this takes, so a
// true answer also means its last reading of the frame is over.
bool SoleHolder(const std::shared_ptr<VideoFrame>& frame);

// For measurements: how many frames have been drawn, and the number of the last one.
struct VideoStats {
    std::uint64_t Drawn = 0;
    std::int64_t LastNumber = -1;
};
VideoStats GetVideoStats();

} // namespace platform::user
