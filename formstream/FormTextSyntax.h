// Internal to the text form library: what the compiler and the decoder share.
#pragma once

#include <string_view>

namespace formstream {

// Deeper nesting of components, lists or collections than this is refused, in the text
// as in the stream.
inline constexpr int MaxNesting = 200;

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit, or -1.
inline int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The words that, followed by "(", give a value of an explicit form.
inline bool IsValueForm(std::string_view w) {
    static constexpr std::string_view forms[] = {"int8",   "int16",   "int32",    "int64",
                                                 "single", "date",    "currency", "lstring",
                                                 "utf8",   "wstring", "ident",    "gif"};
    for (std::string_view f : forms)
        if (w == f)
            return true;
    return false;
}

} // namespace formstream
