// Rectangle and rectangle-list arithmetic, shared by the regions of the drawing code and
// the update and visible areas of the window manager.
#pragma once

#include <vector>

#include "platform/windef.h"

namespace platform::gdi {

// Region arithmetic on disjoint rectangle lists.
std::vector<RECT> RectsIntersect(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> RectsSubtract(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> RectsUnion(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> RectsXor(const std::vector<RECT>& a, const std::vector<RECT>& b);
void RectsCoalesce(std::vector<RECT>& rects);
bool RectEmpty(const RECT& r); // no area (also when inverted)
// The overlap of a and b; inverted (and so empty) when they do not meet.
RECT RectIntersect(const RECT& a, const RECT& b);
RECT BoundingBox(const std::vector<RECT>& rects);

} // namespace platform::gdi
