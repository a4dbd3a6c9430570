// Message texts of the GIF library, each declared once. Every failure of the GIF
// classes is raised as EInvalidGraphicOperation with one of these texts, except the
// stream read error of the runtime library (rtl::SReadError).
#pragma once

#include "rtl/Consts.h"

namespace gif {

using rtl::TResStringRec;

inline constexpr TResStringRec SGIFImageDesc{0, "CompuServe GIF Image"};
inline constexpr TResStringRec SUnknownGIFVersion{0, "Unknown GIF version"};
inline constexpr TResStringRec SGIFEncodeError{0, "GIF image encoding error"};
inline constexpr TResStringRec SGIFDecodeError{0, "GIF encoded data is corrupt"};
inline constexpr TResStringRec SBadGIFCodeSize{0, "GIF code size not in range 2 to 9"};
inline constexpr TResStringRec SWrongGIFColors{0, "Wrong number of colors; must be a power of 2"};
inline constexpr TResStringRec SUnrecognizedGIFExt{0, "Unrecognized extension block: %.2x"};
inline constexpr TResStringRec SNoGIFData{0, "No GIF Data to write"};
inline constexpr TResStringRec SChangeGIFSize{0, "Cannot change the Size of a GIF image"};
inline constexpr TResStringRec SGIFStreamReadError{0, "Stream read error"};
// A frame too large for a bitmap (a side above 32768 pixels or over 512 MB of pixels).
inline constexpr TResStringRec SGIFImageTooLarge{0, "GIF image is too large"};

// The name under which the GIF clipboard format is registered.
inline constexpr const char* CGIFClipboardFormatName = "GIF Image";

} // namespace gif
