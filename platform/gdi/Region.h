// Internal to the drawing code: the clip of a context, worked out from its target, its
// visible rectangles and its application clip region (Region.cpp).
#pragma once

#include <vector>

#include "platform/windef.h"

namespace platform::gdi {

struct DC;

// The context's effective clip in target coordinates (bitmap or surface pixels).
std::vector<RECT> TargetClip(const DC& dc);

} // namespace platform::gdi
