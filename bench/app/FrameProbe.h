// What the timing programs need to know of the catalogue on a screen: where its clip
// frame and the hot-spots they click lie for a given client area, whether a row of
// screen pixels shows a frame of a given clip.
#pragma once

#include <cstdint>
#include <vector>

namespace bench {

struct TScreenPoint {
    int X = 0;
    int Y = 0;
};

struct TScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// Screen positions in the running catalogue: the clip frame, and the centres of the
// English choice on the start screen, of the English "man" choice on the category screen
// and of "Back".
struct TCatalogueSpots {
    TScreenRect ClipFrame;
    TScreenPoint English;
    TScreenPoint ManEnglish;
    TScreenPoint Back;
};

// From the screen position and size of the main window's client area, through the
// catalogue's own layout rules.
TCatalogueSpots CatalogueSpots(int clientLeft, int clientTop, int clientWidth, int clientHeight);

// Row of the clip frame (0 at its top) that crosses the middle of the frame code's squares.
int FrameCodeRow(int frameWidth, int frameHeight);

// Reads a clip frame from `row`, the frame's pixels (0xRRGGBB, left to right) along
// FrameCodeRow: the frame index modulo 4096, or -1 when the row does not show a frame of
// the clip whose background colour is `background` (the empty frame, a picture, another
// clip). Both sides of the code must show the background, within the tolerance of lossy
// compression, so that a dark picture is not read as frame 0.
int ClipFrameInRow(const std::vector<std::uint32_t>& row, int frameHeight,
                   std::uint32_t background);

} // namespace bench
