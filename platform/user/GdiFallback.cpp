// Weak stand-ins for the drawing functions that the window manager calls, used only
// while the drawing code is not linked in (the real definitions replace them). They draw
// nothing and report failure where the API has a failure value.
#include <cstdint>

#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

#define QUILLOT_WEAK __attribute__((weak))

namespace platform {

QUILLOT_WEAK HDC CreateSurfaceDC(const Surface&, POINT, std::vector<RECT>) {
    static std::uintptr_t next = 0x7F000000;
    next += 16;
    return reinterpret_cast<HDC>(next);
}
QUILLOT_WEAK void RetargetSurfaceDC(HDC, const Surface&, POINT, std::vector<RECT>) {}
QUILLOT_WEAK void DeleteSurfaceDC(HDC) {}

} // namespace platform

QUILLOT_WEAK HGDIOBJ SelectObject(HDC, HGDIOBJ) {
    return nullptr;
}
QUILLOT_WEAK BOOL DeleteObject(HGDIOBJ) {
    return FALSE;
}
QUILLOT_WEAK COLORREF SetTextColor(HDC, COLORREF) {
    return 0;
}
QUILLOT_WEAK int SetBkMode(HDC, int) {
    return 0;
}
QUILLOT_WEAK HBITMAP CreateDIBitmap(HDC, const BITMAPINFOHEADER*, DWORD, const void*,
                                    const BITMAPINFO*, UINT) {
    return nullptr;
}
QUILLOT_WEAK int StretchDIBits(HDC, int, int, int, int, int, int, int, int, const void*,
                               const BITMAPINFO*, UINT, DWORD) {
    return 0;
}
QUILLOT_WEAK HBRUSH CreateSolidBrush(COLORREF) {
    return nullptr;
}
QUILLOT_WEAK HBRUSH GetSysColorBrush(int) {
    return nullptr;
}
QUILLOT_WEAK DWORD GetSysColor(int) {
    return 0;
}
QUILLOT_WEAK int FillRect(HDC, const RECT*, HBRUSH) {
    return 0;
}
QUILLOT_WEAK BOOL DrawFrameControl(HDC, LPRECT, UINT, UINT) {
    return FALSE;
}
QUILLOT_WEAK HFONT CreateFontIndirectA(const LOGFONTA*) {
    return nullptr;
}
QUILLOT_WEAK BOOL TextOutA(HDC, int, int, LPCSTR, int) {
    return FALSE;
}
QUILLOT_WEAK int DrawTextA(HDC, LPCSTR, int, LPRECT, UINT) {
    return 0;
}
