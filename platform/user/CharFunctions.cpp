// The character functions of the ANSI code page: case, classes, OEM conversion.
#include <cctype>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

using namespace platform::user;

namespace {

// Applies `convert` to every single-byte character of `text`, stepping over double-byte
// characters of the ANSI code page.
template <class F> DWORD ForEachSingleByte(LPSTR text, DWORD length, F convert) {
    if (!text)
        return 0;
    UINT cp = GetACP();
    for (DWORD i = 0; i < length; ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsDBCSLeadByteEx(cp, b) && i + 1 < length) {
            ++i;
            continue;
        }
        if (b < 0x80)
            text[i] = char(convert(b));
    }
    return length;
}

} // namespace

DWORD CharLowerBuffA(LPSTR text, DWORD length) {
    return ForEachSingleByte(text, length, [](int c) { return std::tolower(c); });
}

DWORD CharUpperBuffA(LPSTR text, DWORD length) {
    return ForEachSingleByte(text, length, [](int c) { return std::toupper(c); });
}

LPSTR CharLowerA(LPSTR text) {
    if (IS_INTRESOURCE(text)) { // a single character in the low word
        int c = int(ULONG_PTR(text) & 0xFF);
        return reinterpret_cast<LPSTR>(ULONG_PTR(c < 0x80 ? std::tolower(c) : c));
    }
    CharLowerBuffA(text, DWORD(std::strlen(text)));
    return text;
}

LPSTR CharUpperA(LPSTR text) {
    if (IS_INTRESOURCE(text)) {
        int c = int(ULONG_PTR(text) & 0xFF);
        return reinterpret_cast<LPSTR>(ULONG_PTR(c < 0x80 ? std::toupper(c) : c));
    }
    CharUpperBuffA(text, DWORD(std::strlen(text)));
    return text;
}

BOOL IsCharAlphaA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::isalpha(b) ? TRUE : FALSE;
}
BOOL IsCharAlphaNumericA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::isalnum(b) ? TRUE : FALSE;
}
BOOL IsCharUpperA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::isupper(b) ? TRUE : FALSE;
}
BOOL IsCharLowerA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::islower(b) ? TRUE : FALSE;
}

BOOL OemToCharBuffA(LPCSTR source, LPSTR dest, DWORD length) {
    if (!source || !dest)
        return FALSE;
    if (source != dest)
        std::memmove(dest, source, length);
    return TRUE;
}

BOOL OemToCharA(LPCSTR source, LPSTR dest) {
    if (!source || !dest)
        return FALSE;
    return OemToCharBuffA(source, dest, DWORD(std::strlen(source) + 1));
}

BOOL CharToOemBuffA(LPCSTR source, LPSTR dest, DWORD length) {
    return OemToCharBuffA(source, dest, length);
}

BOOL CharToOemA(LPCSTR source, LPSTR dest) {
    return OemToCharA(source, dest);
}
