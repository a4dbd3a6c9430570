// What the artwork becomes: a true-colour picture reduced to the 256 colours of a GIF
// frame, the GIF stream, and files.
#pragma once

#include <memory>
#include <string>

#include "graphics/Bitmap.h"

namespace artgen {

// A 256-colour bitmap of a 24-bit picture: index 0 black, index 1 white (kept out of the
// picture, so that white may serve as the transparent colour), 254 colours chosen by
// median cut of the picture's own colours, every pixel mapped to its nearest entry.
std::unique_ptr<graphics::TBitmap> ToIndexed(graphics::TBitmap& picture);

// The GIF stream of a 256-colour bitmap: GIF89a, its colour table as the global table,
// one graphic control extension with white transparent, one frame of the screen's size.
std::string EncodeGif(graphics::TBitmap& indexed);

// Writes `bytes` to `path`; raises rtl::Exception with the path when that fails.
void WriteFile(const std::string& path, const std::string& bytes);

} // namespace artgen
