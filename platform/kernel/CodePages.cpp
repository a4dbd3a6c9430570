// Code pages: the ANSI code page, lead bytes, character stepping and conversion to and
// from UTF-16.
#include <cstring>
#include <string>

#include "platform/kernel/KernelState.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace {

UINT AnsiCodePage = CP_UTF8;

bool IsLead(UINT cp, BYTE b) {
    switch (cp) {
    case 932: // Shift-JIS
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936: // GBK
    case 949: // Unified Hangul Code
    case 950: // Big5
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

UINT ResolveCodePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_OEMCP)
        return AnsiCodePage;
    return cp;
}

} // namespace

namespace platform {

void SetAnsiCodePage(UINT codePage) {
    AnsiCodePage = codePage == 0 ? CP_UTF8 : codePage;
}

} // namespace platform

UINT GetACP() {
    return AnsiCodePage;
}
UINT GetOEMCP() {
    return AnsiCodePage;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar) {
    return IsLead(ResolveCodePage(codePage), testChar) ? TRUE : FALSE;
}

BOOL IsDBCSLeadByte(BYTE testChar) {
    return IsDBCSLeadByteEx(CP_ACP, testChar);
}

LPSTR CharNextExA(WORD codePage, LPCSTR current, DWORD) {
    if (!current || !*current)
        return const_cast<LPSTR>(current);
    UINT cp = ResolveCodePage(codePage);
    auto b = static_cast<unsigned char>(*current);
    if (cp == CP_UTF8) {
        const char* p = current + 1;
        while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80)
            ++p;
        return const_cast<LPSTR>(p);
    }
    if (IsLead(cp, b) && current[1])
        return const_cast<LPSTR>(current + 2);
    return const_cast<LPSTR>(current + 1);
}

LPSTR CharNextA(LPCSTR current) {
    return CharNextExA(CP_ACP, current, 0);
}

LPSTR CharPrevExA(WORD codePage, LPCSTR start, LPCSTR current, DWORD) {
    if (!start || !current || current <= start)
        return const_cast<LPSTR>(start);
    // Walk forward from the start: only that tells lead bytes from trail bytes.
    LPCSTR p = start;
    for (;;) {
        LPCSTR next = CharNextExA(codePage, p, 0);
        if (next >= current || next == p)
            return const_cast<LPSTR>(p);
        p = next;
    }
}

LPSTR CharPrevA(LPCSTR start, LPCSTR current) {
    return CharPrevExA(CP_ACP, start, current, 0);
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multiByte, int multiByteCount, WCHAR* wide,
                        int wideCount) {
    if (!multiByte || multiByteCount == 0 || wideCount < 0 || (wideCount > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = ResolveCodePage(codePage);
    std::size_t len = multiByteCount < 0 ? std::strlen(multiByte) + 1 : std::size_t(multiByteCount);
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(multiByte);
    for (std::size_t i = 0; i < len;) {
        unsigned char b = s[i];
        char32_t c = 0xFFFD;
        std::size_t n = 1;
        if (cp == CP_UTF8) {
            if (b < 0x80) {
                c = b;
            } else if ((b & 0xE0) == 0xC0 && i + 1 < len && (s[i + 1] & 0xC0) == 0x80) {
                c = char32_t((b & 0x1F) << 6 | (s[i + 1] & 0x3F));
                n = c >= 0x80 ? 2 : 1;
                c = n == 2 ? c : 0xFFFD;
            } else if ((b & 0xF0) == 0xE0 && i + 2 < len && (s[i + 1] & 0xC0) == 0x80 &&
                       (s[i + 2] & 0xC0) == 0x80) {
                c = char32_t((b & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F));
                n = 3;
                if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
                    c = 0xFFFD;
            } else if ((b & 0xF8) == 0xF0 && i + 3 < len && (s[i + 1] & 0xC0) == 0x80 &&
                       (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
                c = char32_t((b & 0x07) << 18 | (s[i + 1] & 0x3F) << 12 | (s[i + 2] & 0x3F) << 6 |
                             (s[i + 3] & 0x3F));
                n = 4;
                if (c < 0x10000 || c > 0x10FFFF)
                    c = 0xFFFD;
            }
        } else if (IsLead(cp, b) && i + 1 < len) {
            n = 2; // double-byte characters without a conversion table
        } else {
            c = b < 0x80 ? b : (cp == 1252 || cp == 28591 ? char32_t(b) : char32_t(0xFFFD));
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += n;
    }
    if (wideCount == 0)
        return int(out.size());
    if (int(out.size()) > wideCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(wide, out.data(), out.size() * sizeof(WCHAR));
    return int(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (!wide || wideCount == 0 || multiByteCount < 0 || (multiByteCount > 0 && !multiByte)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = ResolveCodePage(codePage);
    std::size_t len = 0;
    if (wideCount < 0) {
        while (wide[len])
            ++len;
        ++len;
    } else {
        len = std::size_t(wideCount);
    }
    std::string out;
    bool usedDefault = false;
    for (std::size_t i = 0; i < len; ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (cp == CP_UTF8) {
            if (c < 0x80) {
                out += char(c);
            } else if (c < 0x800) {
                out += char(0xC0 | (c >> 6));
                out += char(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += char(0xE0 | (c >> 12));
                out += char(0x80 | ((c >> 6) & 0x3F));
                out += char(0x80 | (c & 0x3F));
            } else {
                out += char(0xF0 | (c >> 18));
                out += char(0x80 | ((c >> 12) & 0x3F));
                out += char(0x80 | ((c >> 6) & 0x3F));
                out += char(0x80 | (c & 0x3F));
            }
        } else if (c < 0x80 || ((cp == 1252 || cp == 28591) && c < 0x100)) {
            out += char(c);
        } else {
            out += defaultChar ? *defaultChar : '?';
            usedDefault = true;
        }
    }
    if (usedDefaultChar)
        *usedDefaultChar = usedDefault ? TRUE : FALSE;
    if (multiByteCount == 0)
        return int(out.size());
    if (int(out.size()) > multiByteCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(multiByte, out.data(), out.size());
    return int(out.size());
}
