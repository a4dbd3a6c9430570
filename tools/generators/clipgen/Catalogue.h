// The clips of the catalogue as this tool makes them (the files and frame counts of the
// catalogue's table in app/Clips.h: the shell ends each clip when its position equals its
// frame count) and the writer that makes a set of clips in parallel.
#pragma once

#include <string>
#include <vector>

#include "tools/generators/clipgen/ClipWriter.h"

namespace clipgen {

struct TCatalogueClip {
    std::string FileName; // plain file name, for example "man.avi"
    TClipSpec Spec;
};

// The catalogue's clips: 700 x 628 at 15 frames per second with sound, Korean titles for
// the Korean clips and English ones for the "_eng" clips, each with its own tone and
// background colour.
std::vector<TCatalogueClip> CatalogueClips();

// Writes every clip into `dir` (made if missing) on up to `threads` threads, longest clips
// first. Each clip is written as WriteClip writes it, so the result does not depend on
// the number of threads. When clips fail the others are still written, then a
// std::runtime_error tells every failure, one per line.
void WriteClips(const std::string& dir, const std::vector<TCatalogueClip>& clips, int threads);

} // namespace clipgen
