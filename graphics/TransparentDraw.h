// Stretched drawing of a bitmap with one colour left out (transparent), through
// monochrome masks and raster operations:
//
//   mask      = 1 where the source copy has the transparent colour (via its background
//               colour, as a palette-relative colour), else 0;
//   work      = destination AND stretched mask (keeps the destination where transparent);
//   source'   = source AND inverted mask (transparent pixels become 0);
//   work      = work OR stretched source'; copied onto the destination.
//
// TransparentDraw.cpp also defines the two members that draw one of these classes onto
// the other, TBitmap::Draw and TCanvas::BrushCopy (a mask composition as well): they sit
// here, above both classes, so that the canvas does not depend on the bitmap and the
// bitmap does not depend on this unit.
#pragma once

#include "graphics/Bitmap.h"
#include "graphics/Canvas.h"
#include "platform/wingdi.h"
#include "rtl/Types.h"

namespace graphics {

// Draws `source` of `bitmap` stretched onto (x, y, w, h) of `dest`, leaving the pixels of
// `transparentColor` out. A width or height below 1 takes the bitmap's; an empty source
// rectangle the whole bitmap. clNone: a plain stretched copy with the canvas's copy mode;
// clDefault: the colour of the bitmap's bottom-left pixel; a monochrome bitmap always
// leaves out white. The bitmap's canvas stays locked while drawing.
void StretchBitmapRectTransparent(TCanvas* dest, int x, int y, int w, int h, TBitmap* bitmap,
                                  const rtl::TRect& source, TColor transparentColor);

// The mask composition on device contexts; `palette` (may be null) is selected and
// realised in the contexts involved. `transparentColor` is an RGB value.
void StretchBltTransparent(HDC dstDC, int dstX, int dstY, int dstW, int dstH, HDC srcDC, int srcX,
                           int srcY, int srcW, int srcH, HPALETTE palette,
                           COLORREF transparentColor);

} // namespace graphics
