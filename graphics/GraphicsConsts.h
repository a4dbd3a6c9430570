// Message texts of the graphics library.
#pragma once

#include "rtl/Consts.h"

namespace graphics {

inline constexpr rtl::TResStringRec SInvalidBitmap{0, "Bitmap image is not valid"};
inline constexpr rtl::TResStringRec SNoCanvasHandle{0, "Canvas does not allow drawing"};
inline constexpr rtl::TResStringRec SScanLine{0, "Scan line index out of range"};
inline constexpr rtl::TResStringRec SOutOfResources{0, "Out of system resources"};
inline constexpr rtl::TResStringRec SInvalidPixelFormat{0, "Invalid pixel format"};

} // namespace graphics
