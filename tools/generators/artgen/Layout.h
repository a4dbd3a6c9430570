// Where the running catalogue puts its pictures and hot-spots. The window opens
// maximised, and its resize handler centres the pictures and places every hot-spot at a
// fixed offset from the anchor control; the artwork draws each choice's label exactly
// under the hot-spot as placed so, in the coordinates of the picture below it.
#pragma once

#include <span>

#include "rtl/Types.h"

namespace artgen {

enum TPictureId { piMain, piStart, piSelect, piSelectEng };

// One hot-spot of a picture: the component's name and its rectangle in the picture's
// own pixels at run time (it may reach past the picture's edge).
struct THotSpot {
    const char* Name;
    rtl::TRect Rect;
};

// The resize handler's arithmetic for a main window of the given outer size.
struct TRunLayout {
    int MainWidth = 0, MainHeight = 0; // the background control
    rtl::TPoint Control;               // the anchor of every hot-spot and button
    rtl::TPoint Start;                 // the start picture
    rtl::TPoint Select;                // both category pictures
};

// x / 2 with the quotient truncated toward zero.
constexpr int Half(int x) {
    return x / 2;
}

TRunLayout RunLayout(int outerWidth, int outerHeight);

// The screen the artwork is laid out for, and the maximised window on it.
inline constexpr int ScreenWidth = 1280;
inline constexpr int ScreenHeight = 1024;
TRunLayout MaximisedLayout();

// The hot-spots lying on a picture, in picture coordinates of the maximised window.
std::span<const THotSpot> HotSpots(TPictureId picture);

struct TPictureSpec {
    const char* File;
    int Width, Height;
};
const TPictureSpec& PictureSpec(TPictureId picture);

} // namespace artgen
