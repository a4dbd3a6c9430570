// Writes the catalogue's demonstration clips: AVI files with MPEG-4 part 2 video and
// 16-bit PCM sound, made entirely by FFmpeg's own encoder and muxer.
//
// Every frame shows the clip's title, the frame's index and the clip's length
// ("Frame 17 / 494", the index counted from 0, so it equals the position at which a
// frame-based player shows it), a progress bar, a ball that moves, and a strip of
// twelve squares that carries the index in binary for machines (see ClipPainter.h). The
// sound is the clip's own tone with a short tick at the start of every second.
//
// The output depends only on the settings: the same bytes on every run (bit-exact encoder
// on one thread, no time stamps or version strings in the file). The file is written
// beside its final name first and renamed into place when complete, so a failed write
// leaves no partial clip and an earlier clip of that name untouched.
//
// Accepted specs: 1 to 1000000 frames; even width and height from 48 x 32 up to
// 4096 x 4096; 1 to 120 frames per second; with sound, a tone from 20 to 11025 Hz (the
// sound is mono at 22050 samples a second, a whole number of samples per frame at the
// usual rates). Anything else is refused with a message that says what and why.
#pragma once

#include <string>

#include "tools/generators/clipgen/ClipSpec.h"

namespace clipgen {

// Writes an AVI (MPEG-4 part 2 video, PCM or ADPCM sound); same bytes on every run.
// Throws std::runtime_error with a clear message on failure.
void WriteClip(const std::string& path, const TClipSpec& spec);

} // namespace clipgen
