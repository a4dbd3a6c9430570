// Conversions between the program's 8-bit strings (the system code page, UTF-8 here)
// and wide (UTF-16) strings, as form streams need them. Malformed UTF-8 becomes U+FFFD;
// a UTF-16 unit that cannot be converted (a lone surrogate) becomes "?" in 8-bit text.
#pragma once

#include <string>
#include <string_view>

namespace formstream {

std::u16string Utf8ToUtf16(std::string_view s);
// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);
// The 8-bit (system code page) form of a wide string; lone surrogates become "?".
std::string Utf16ToAnsi(std::u16string_view s);
std::u16string AnsiToUtf16(std::string_view s);
// Whether the wide string holds a lone surrogate (which no 8-bit form keeps).
bool HasLoneSurrogate(std::u16string_view s);

} // namespace formstream
