// Basic types of the Windows API subset that the platform layer offers: integer
// types, handles, points, sizes, rectangles and colour references, with the names,
// sizes and values of the real API (64-bit data model: LONG is 32 bits, pointers and
// *_PTR types 64 bits). On Windows this header would include <windows.h> instead.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using CHAR = char;
using WCHAR = char16_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;
using COLORREF = DWORD;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;

#define DECLARE_QUILLOT_HANDLE(name) using name = struct name##__*
DECLARE_QUILLOT_HANDLE(HWND);
DECLARE_QUILLOT_HANDLE(HDC);
DECLARE_QUILLOT_HANDLE(HGDIOBJ);
DECLARE_QUILLOT_HANDLE(HBITMAP);
DECLARE_QUILLOT_HANDLE(HPEN);
DECLARE_QUILLOT_HANDLE(HBRUSH);
DECLARE_QUILLOT_HANDLE(HFONT);
DECLARE_QUILLOT_HANDLE(HPALETTE);
DECLARE_QUILLOT_HANDLE(HRGN);
DECLARE_QUILLOT_HANDLE(HINSTANCE);
DECLARE_QUILLOT_HANDLE(HICON);
DECLARE_QUILLOT_HANDLE(HMENU);
DECLARE_QUILLOT_HANDLE(HRSRC);
DECLARE_QUILLOT_HANDLE(HMONITOR);
#undef DECLARE_QUILLOT_HANDLE
using HANDLE = void*;
using HMODULE = HINSTANCE;
using HCURSOR = HICON;
using HGLOBAL = HANDLE;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;

struct SIZE {
    LONG cx;
    LONG cy;
};
using LPSIZE = SIZE*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
    return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c) {
    return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
    return BYTE(c >> 16);
}
constexpr COLORREF PALETTERGB(BYTE r, BYTE g, BYTE b) {
    return 0x02000000 | RGB(r, g, b);
}
constexpr COLORREF PALETTEINDEX(WORD i) {
    return 0x01000000 | i;
}

constexpr WORD LOWORD(DWORD_PTR v) {
    return WORD(v & 0xFFFF);
}
constexpr WORD HIWORD(DWORD_PTR v) {
    return WORD((v >> 16) & 0xFFFF);
}
constexpr BYTE LOBYTE(DWORD_PTR v) {
    return BYTE(v & 0xFF);
}
constexpr BYTE HIBYTE(DWORD_PTR v) {
    return BYTE((v >> 8) & 0xFF);
}
constexpr LONG MAKELONG(WORD lo, WORD hi) {
    return LONG(DWORD(lo) | (DWORD(hi) << 16));
}
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return LPARAM(MAKELONG(lo, hi));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return WPARAM(DWORD(MAKELONG(lo, hi)));
}
constexpr int GET_X_LPARAM(LPARAM lp) {
    return int(SHORT(LOWORD(DWORD_PTR(lp))));
}
constexpr int GET_Y_LPARAM(LPARAM lp) {
    return int(SHORT(HIWORD(DWORD_PTR(lp))));
}

// Resource names and types given as numbers.
inline LPCSTR MAKEINTRESOURCEA(WORD id) {
    return reinterpret_cast<LPCSTR>(ULONG_PTR(id));
}
constexpr bool IS_INTRESOURCE(LPCSTR p) {
    return (ULONG_PTR(p) >> 16) == 0;
}
