// Integer types whose values have names in form streams: colours (TColor), cursors
// (TCursor) and font character sets (TFontCharset). Each is a type of its own so that a
// property of that type finds its identifier map. A colour holds red in its low byte,
// then green, then blue; system colours are 0x80000000 plus the system colour index.
#pragma once

#include <cstdint>

#include "formstream/TypeInfo.h"

namespace formstream {

enum TColor : std::int32_t {};
enum TCursor : std::int16_t {};
enum TFontCharset : std::uint8_t {};

template <>
inline constexpr TTypeInfo TypeInfoOf<TColor> = IntTypeInfo("TColor", TOrdType::otSLong);
template <>
inline constexpr TTypeInfo TypeInfoOf<TCursor> = IntTypeInfo("TCursor", TOrdType::otSWord);
template <>
inline constexpr TTypeInfo TypeInfoOf<TFontCharset> = IntTypeInfo("TFontCharset",
                                                                  TOrdType::otUByte);

constexpr TColor MakeColor(std::uint32_t v) {
    return static_cast<TColor>(static_cast<std::int32_t>(v));
}
constexpr std::uint32_t ColorValue(TColor c) {
    return static_cast<std::uint32_t>(c);
}

inline constexpr TColor clBlack = MakeColor(0x000000);
inline constexpr TColor clMaroon = MakeColor(0x000080);
inline constexpr TColor clGreen = MakeColor(0x008000);
inline constexpr TColor clOlive = MakeColor(0x008080);
inline constexpr TColor clNavy = MakeColor(0x800000);
inline constexpr TColor clPurple = MakeColor(0x800080);
inline constexpr TColor clTeal = MakeColor(0x808000);
inline constexpr TColor clGray = MakeColor(0x808080);
inline constexpr TColor clSilver = MakeColor(0xC0C0C0);
inline constexpr TColor clRed = MakeColor(0x0000FF);
inline constexpr TColor clLime = MakeColor(0x00FF00);
inline constexpr TColor clYellow = MakeColor(0x00FFFF);
inline constexpr TColor clBlue = MakeColor(0xFF0000);
inline constexpr TColor clFuchsia = MakeColor(0xFF00FF);
inline constexpr TColor clAqua = MakeColor(0xFFFF00);
inline constexpr TColor clWhite = MakeColor(0xFFFFFF);
inline constexpr TColor clMoneyGreen = MakeColor(0xC0DCC0);
inline constexpr TColor clSkyBlue = MakeColor(0xF0CAA6);
inline constexpr TColor clCream = MakeColor(0xF0FBFF);
inline constexpr TColor clMedGray = MakeColor(0xA4A0A0);

inline constexpr std::uint32_t clSystemColor = 0x80000000;
inline constexpr TColor clScrollBar = MakeColor(clSystemColor | 0);
inline constexpr TColor clBackground = MakeColor(clSystemColor | 1);
inline constexpr TColor clActiveCaption = MakeColor(clSystemColor | 2);
inline constexpr TColor clInactiveCaption = MakeColor(clSystemColor | 3);
inline constexpr TColor clMenu = MakeColor(clSystemColor | 4);
inline constexpr TColor clWindow = MakeColor(clSystemColor | 5);
inline constexpr TColor clWindowFrame = MakeColor(clSystemColor | 6);
inline constexpr TColor clMenuText = MakeColor(clSystemColor | 7);
inline constexpr TColor clWindowText = MakeColor(clSystemColor | 8);
inline constexpr TColor clCaptionText = MakeColor(clSystemColor | 9);
inline constexpr TColor clActiveBorder = MakeColor(clSystemColor | 10);
inline constexpr TColor clInactiveBorder = MakeColor(clSystemColor | 11);
inline constexpr TColor clAppWorkSpace = MakeColor(clSystemColor | 12);
inline constexpr TColor clHighlight = MakeColor(clSystemColor | 13);
inline constexpr TColor clHighlightText = MakeColor(clSystemColor | 14);
inline constexpr TColor clBtnFace = MakeColor(clSystemColor | 15);
inline constexpr TColor clBtnShadow = MakeColor(clSystemColor | 16);
inline constexpr TColor clGrayText = MakeColor(clSystemColor | 17);
inline constexpr TColor clBtnText = MakeColor(clSystemColor | 18);
inline constexpr TColor clInactiveCaptionText = MakeColor(clSystemColor | 19);
inline constexpr TColor clBtnHighlight = MakeColor(clSystemColor | 20);
inline constexpr TColor cl3DDkShadow = MakeColor(clSystemColor | 21);
inline constexpr TColor cl3DLight = MakeColor(clSystemColor | 22);
inline constexpr TColor clInfoText = MakeColor(clSystemColor | 23);
inline constexpr TColor clInfoBk = MakeColor(clSystemColor | 24);
inline constexpr TColor clHotLight = MakeColor(clSystemColor | 26);
inline constexpr TColor clGradientActiveCaption = MakeColor(clSystemColor | 27);
inline constexpr TColor clGradientInactiveCaption = MakeColor(clSystemColor | 28);
inline constexpr TColor clMenuHighlight = MakeColor(clSystemColor | 29);
inline constexpr TColor clMenuBar = MakeColor(clSystemColor | 30);
inline constexpr TColor clNone = MakeColor(0x1FFFFFFF);
inline constexpr TColor clDefault = MakeColor(0x20000000);

inline constexpr TCursor crDefault = TCursor(0);
inline constexpr TCursor crNone = TCursor(-1);
inline constexpr TCursor crArrow = TCursor(-2);
inline constexpr TCursor crCross = TCursor(-3);
inline constexpr TCursor crIBeam = TCursor(-4);
inline constexpr TCursor crSizeNESW = TCursor(-6);
inline constexpr TCursor crSizeNS = TCursor(-7);
inline constexpr TCursor crSizeNWSE = TCursor(-8);
inline constexpr TCursor crSizeWE = TCursor(-9);
inline constexpr TCursor crUpArrow = TCursor(-10);
inline constexpr TCursor crHourGlass = TCursor(-11);
inline constexpr TCursor crDrag = TCursor(-12);
inline constexpr TCursor crNoDrop = TCursor(-13);
inline constexpr TCursor crHSplit = TCursor(-14);
inline constexpr TCursor crVSplit = TCursor(-15);
inline constexpr TCursor crMultiDrag = TCursor(-16);
inline constexpr TCursor crSQLWait = TCursor(-17);
inline constexpr TCursor crNo = TCursor(-18);
inline constexpr TCursor crAppStart = TCursor(-19);
inline constexpr TCursor crHelp = TCursor(-20);
inline constexpr TCursor crHandPoint = TCursor(-21);
inline constexpr TCursor crSizeAll = TCursor(-22);
inline constexpr TCursor crSize = TCursor(-22);

// Character sets have no constants here: the platform's wingdi.h names them
// (ANSI_CHARSET ...); the identifier map below gives their stream names.

} // namespace formstream
