// The chief header of the graphics library: bitmaps, canvases, fonts, pens, brushes,
// colour helpers and transparent drawing.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Brush.h"
#include "graphics/Canvas.h"
#include "graphics/Colors.h"
#include "graphics/Font.h"
#include "graphics/GraphicsConsts.h"
#include "graphics/GraphicsTypes.h"
#include "graphics/Pen.h"
#include "graphics/TransparentDraw.h"

namespace graphics {

// Registers TBitmap with the picture holder ("bmp", "Bitmaps"; clipboard format
// CF_BITMAP), the colour / cursor / character set identifier maps, and TBitmap, TFont,
// TPen and TBrush as stream classes. Safe to call any number of times.
void RegisterGraphicsUnit();

} // namespace graphics
