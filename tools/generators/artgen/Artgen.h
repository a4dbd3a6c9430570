// artgen: the program's own artwork, drawn with our TCanvas and written with our GIF and
// bitmap code, the same bytes on every run.
//   - the four pictures of the main window (GIF, one 256-colour frame, white transparent);
//   - the 27 glyphs of the media button bar (4-bit BMP, standard 16 colours);
//   - the program icon (ICO of 16, 32, 48 and 256 pixels, and PNGs for icon themes).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "graphics/Bitmap.h"
#include "tools/generators/artgen/Layout.h"

namespace artgen {

// Colours of the labels that lie under the hot-spots: the fill of each label and its text.
formstream::TColor LabelFill();
formstream::TColor LabelInk();
// A label whose hot-spot reaches past its picture ends this many pixels inside the
// picture's edge (the border and a gap stay free); text keeps LabelPadding pixels from
// either end of its label.
inline constexpr int LabelInset = 5;
inline constexpr int LabelPadding = 6;

// A picture at its size in 24 bits, and its GIF stream.
std::unique_ptr<graphics::TBitmap> DrawPicture(TPictureId picture);
std::string PictureGif(TPictureId picture);
// Writes the four GIF files into `dir`.
void WritePictures(const std::string& dir);

// The media bar's glyphs: button names in button order and the three state prefixes.
inline constexpr const char* GlyphButtons[] = {"MPPLAY", "MPPAUSE", "MPSTOP",   "MPNEXT", "MPPREV",
                                               "MPSTEP", "MPBACK",  "MPRECORD", "MPEJECT"};
inline constexpr const char* GlyphStates[] = {"EN", "DI", "CL"};
enum TGlyphState { gsNormal, gsDisabled, gsColored };
// The glyph of button `button` (0..8) in `state` as a 4-bit bitmap.
std::unique_ptr<graphics::TBitmap> DrawGlyph(int button, TGlyphState state);
// Its BMP file image.
std::string GlyphBmp(int button, TGlyphState state);
// Writes "EN_MPPLAY.bmp" ... "CL_MPEJECT.bmp" into `dir`.
void WriteGlyphs(const std::string& dir);

// The icon at `size` pixels: 0xAARRGGBB values row by row from the top.
std::vector<std::uint32_t> DrawIcon(int size);
// The icon file: 16, 32 and 48 pixels as 32-bit images with masks, 256 as PNG.
std::string IconFile();
// PNG of the icon at `size`.
std::string IconPng(int size);
inline constexpr int IconThemeSizes[] = {16, 24, 32, 48, 64, 128, 256};
// Writes `file` and, beside it, "<stem>-<size>.png" for each theme size.
void WriteIcon(const std::string& file);

} // namespace artgen
