// Draws the frames of a demonstration clip with the framework's own canvas.
//
// A frame (of any size from 48 x 32 up) shows, from the top: the title (Hangul titles in
// a Korean face), the subtitle, "Frame N / TOTAL" in large type, a ball that bounces
// along a track with a period of two seconds, a progress bar filled to (N + 1) / TOTAL,
// and the frame code: twelve squares in a row, the lowest bit of N first, white for 1 and
// black for 0, which survive lossy compression and can be read back from any decoded
// frame or screenshot with ReadFrameCode.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tools/generators/clipgen/ClipSpec.h"

namespace graphics {
class TBitmap;
}

namespace clipgen {

// Where the frame code of a clip of this size lies.
struct TFrameCodeLayout {
    int Left = 0, Top = 0; // top left corner of the first square
    int Square = 0;        // side of one square, which is also the step between squares
    static constexpr int Bits = 12;
};
TFrameCodeLayout FrameCodeLayout(int width, int height);

// Reads the frame code from pixels given as 0xRRGGBB by `pixel(x, y)` (x, y within the
// frame). Returns the index modulo 4096, or -1 when a square is neither clearly light
// nor clearly dark (not a clip frame, or not this size).
int ReadFrameCode(int width, int height, const std::function<std::uint32_t(int, int)>& pixel);

class TClipPainter {
public:
    // Checks nothing; WriteClip validates the clip settings first.
    explicit TClipPainter(const TClipSpec& spec);
    ~TClipPainter();
    TClipPainter(const TClipPainter&) = delete;
    TClipPainter& operator=(const TClipPainter&) = delete;

    // Draws frame `index` (0 .. Frames - 1) and returns the bitmap: 32 bits per pixel,
    // bytes blue, green, red, unused; the bitmap stays the painter's and is drawn over
    // by the next call.
    graphics::TBitmap& Paint(int index);

    // The rows [first, second) that the last Paint drew on (the whole frame the first time,
    // then only the bands that change from frame to frame); everything else kept its pixels.
    const std::vector<std::pair<int, int>>& ChangedRows() const { return FChangedRows; }

private:
    void PaintStill();

    TClipSpec FSpec;
    std::unique_ptr<graphics::TBitmap> FBitmap;
    bool FStillPainted = false;
    int FNumberPixels = 0; // type size of the frame number
    int FNumberCell = 0;   // height of its line
    std::vector<std::pair<int, int>> FChangedRows;
};

} // namespace clipgen
