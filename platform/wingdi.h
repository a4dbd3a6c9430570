// Drawing part of the API subset: device contexts, bitmaps, raster operations,
// pens, brushes, shapes, regions, palettes and text, plus the drawing functions that
// the real API keeps in USER32 (FillRect, FrameRect, DrawTextA, DrawEdge,
// DrawFrameControl, DrawFocusRect, GetSysColor, GetSysColorBrush).
#pragma once

#include "platform/windef.h"
