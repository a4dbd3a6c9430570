// The settings of one demonstration clip: what the painter draws and the writer encodes.
// WriteClip (ClipWriter.h) says which values it accepts.
#pragma once

#include <cstdint>
#include <string>

namespace clipgen {

struct TClipSpec {
    std::string Title; // drawn on every frame, with frame number and total
    int Frames = 0;    // exact number of video frames
    int Width = 700, Height = 628;
    int FramesPerSecond = 15;
    int ToneHz = 440;     // the clip's own tone, with a short tick each second
    bool Sound = true;    // false: video only
    std::string Subtitle; // a smaller line under the title (for example the file name)
    std::uint32_t Background = 0x1E2A3C; // 0xRRGGBB
};

} // namespace clipgen
