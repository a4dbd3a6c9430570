// Enumerations and sets of the drawing objects (font styles and pitches, pen styles and
// modes, brush styles, copy modes), with the type information that lets form streams set
// them by name ("fsBold", "psDot" ...). Ordinals are the documented ones.
#pragma once

#include <cstdint>
#include <string_view>

#include "formstream/IdentTypes.h"
#include "formstream/TypeInfo.h"
#include "platform/wingdi.h"

namespace graphics {

using formstream::TColor;
using formstream::TFontCharset;

enum TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
inline constexpr std::string_view TFontStyleNames[] = {"fsBold", "fsItalic", "fsUnderline",
                                                       "fsStrikeOut"};
using TFontStyles = formstream::TSet<TFontStyle>;

enum TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };
inline constexpr std::string_view TFontPitchNames[] = {"fpDefault", "fpVariable", "fpFixed"};

enum TPenStyle : std::uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};
inline constexpr std::string_view TPenStyleNames[] = {
    "psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame"};

// Pen modes; PenModeToRop2 gives the binary raster operation (R2_...) of each.
enum TPenMode : std::uint8_t {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor
};
inline constexpr std::string_view TPenModeNames[] = {
    "pmBlack",       "pmWhite",      "pmNop",         "pmNot",        "pmCopy",  "pmNotCopy",
    "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge",
    "pmMask",        "pmNotMask",    "pmXor",         "pmNotXor"};
int PenModeToRop2(TPenMode mode);

enum TBrushStyle : std::uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
inline constexpr std::string_view TBrushStyleNames[] = {"bsSolid",    "bsClear",     "bsHorizontal",
                                                        "bsVertical", "bsFDiagonal", "bsBDiagonal",
                                                        "bsCross",    "bsDiagCross"};

// A ternary raster operation used by TCanvas::CopyRect and Draw (SRCCOPY ...).
using TCopyMode = std::int32_t;

enum TPixelFormat : std::uint8_t {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};
inline constexpr std::string_view TPixelFormatNames[] = {"pfDevice", "pf1bit",  "pf4bit",
                                                         "pf8bit",   "pf15bit", "pf16bit",
                                                         "pf24bit",  "pf32bit", "pfCustom"};

enum TBitmapHandleType : std::uint8_t { bmDIB, bmDDB };
inline constexpr std::string_view TBitmapHandleTypeNames[] = {"bmDIB", "bmDDB"};

// tmAuto: the transparent colour is the bottom-left pixel's; tmFixed: the stored one.
enum TTransparentMode : std::uint8_t { tmAuto, tmFixed };
inline constexpr std::string_view TTransparentModeNames[] = {"tmAuto", "tmFixed"};

} // namespace graphics

namespace formstream {
template <>
inline constexpr TTypeInfo
    TypeInfoOf<graphics::TFontStyle> = EnumTypeInfo("TFontStyle", graphics::TFontStyleNames);
template <>
inline constexpr TTypeInfo
    TypeInfoOf<graphics::TFontPitch> = EnumTypeInfo("TFontPitch", graphics::TFontPitchNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<graphics::TPenStyle> = EnumTypeInfo("TPenStyle",
                                                                          graphics::TPenStyleNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<graphics::TPenMode> = EnumTypeInfo("TPenMode",
                                                                         graphics::TPenModeNames);
template <>
inline constexpr TTypeInfo
    TypeInfoOf<graphics::TBrushStyle> = EnumTypeInfo("TBrushStyle", graphics::TBrushStyleNames);
template <>
inline constexpr TTypeInfo
    TypeInfoOf<graphics::TPixelFormat> = EnumTypeInfo("TPixelFormat", graphics::TPixelFormatNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<graphics::TBitmapHandleType> =
    EnumTypeInfo("TBitmapHandleType", graphics::TBitmapHandleTypeNames);
template <>
inline constexpr TTypeInfo TypeInfoOf<graphics::TTransparentMode> =
    EnumTypeInfo("TTransparentMode", graphics::TTransparentModeNames);
} // namespace formstream
