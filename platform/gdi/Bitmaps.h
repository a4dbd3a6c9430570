// Internal to the drawing code: bitmap allocation and parsing of caller-supplied
// device-independent bitmap descriptions.
#pragma once

#include <memory>
#include <vector>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Raster.h"

namespace platform::gdi {

// A zero-filled bitmap, or null when the size is invalid or too large.
std::shared_ptr<Bitmap> NewBitmap(int width, int height, int bpp, bool dib, bool topDown);

struct DibDesc {
    int Width = 0;
    int Height = 0; // absolute
    bool TopDown = false;
    int Bpp = 0;
    int Stride = 0;
    std::vector<RGBQUAD> Table; // full 1 << Bpp entries for 8 bits or fewer
};
// Validates a BITMAPINFO (uncompressed, or bit fields equal to the plain layouts) and
// reads its colour table (through the context's palette for DIB_PAL_COLORS).
bool ParseDib(const BITMAPINFO* info, UINT usage, const DC* dc, DibDesc& out);
// A grid over `rows` rows of caller memory in DIB order, grid row 0 being the topmost.
PixelGrid GridOfMemory(const DibDesc& d, const void* bits, int firstRow, int rows);
// The colour table GetDIBits reports for a depth the bitmap does not have.
void StandardTable(int bpp, std::vector<RGBQUAD>& table);

} // namespace platform::gdi
