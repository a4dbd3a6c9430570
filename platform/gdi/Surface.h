// Internal to the platform layer: the meeting point of the window manager and the
// drawing code. The window manager keeps one pixel surface per top-level window (and
// one for the screen) and paints every window into it; drawing code makes device
// contexts that draw onto a part of such a surface.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/windef.h"

namespace platform {

// A 32-bit true-colour pixel buffer. Each pixel is a uint32_t 0x00RRGGBB (in memory
// B, G, R, 0), rows top-down, Stride counted in pixels. The surface does not own Pixels.
struct Surface {
    std::uint32_t* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    int Stride = 0;
};

// A device context that draws onto `target`: the logical point (0, 0) (before any window
// or viewport origin the caller sets) lands on `origin` in surface coordinates, and
// nothing is drawn outside `visible`, a list of non-overlapping rectangles in surface
// coordinates (the visible part of a window; an application clip region selected into
// the context is intersected with it). GetDC, BeginPaint and GetDC(NULL) are built on it.
HDC CreateSurfaceDC(const Surface& target, POINT origin, std::vector<RECT> visible);

// Moves an existing surface context to a new target, origin and visible region (used when
// a window moves or its surface is reallocated while a context is out).
void RetargetSurfaceDC(HDC dc, const Surface& target, POINT origin, std::vector<RECT> visible);

// Frees a context made by CreateSurfaceDC (ReleaseDC and EndPaint call it).
void DeleteSurfaceDC(HDC dc);

} // namespace platform
