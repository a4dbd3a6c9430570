// 8-bit string helpers of the runtime library: ASCII case-insensitive comparison and
// case conversion, identifiers, integer formatting and Format with the directives the
// framework's messages use (%s, %d, %u, %x, %X, %.Nx, %p, %%).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace rtl {

using String = std::string;

constexpr char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}
constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

// Equal without regard to the case of ASCII letters; lengths are compared first, so a
// lookup by name costs nothing for names of another length.
constexpr bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

// <0, 0, >0 like strcmp, comparing ASCII letters as upper case.
int CompareText(std::string_view a, std::string_view b);

String UpperCase(std::string_view s);
String LowerCase(std::string_view s);

// The characters of identifiers (ASCII): a letter or underscore first, then letters,
// digits or underscores.
bool IsIdentStartChar(char c);
bool IsIdentChar(char c);
// A letter or underscore, then letters, digits or underscores (ASCII). With `dotted`,
// identifiers joined by single dots are accepted too.
bool IsValidIdent(std::string_view s, bool dotted = false);

String IntToStr(std::int64_t value);
// Upper-case hexadecimal, at least `digits` digits.
String IntToHex(std::uint64_t value, int digits);

// One argument of Format: an integer, a string or a pointer.
class TFormatArg {
public:
    enum class TKind { Int, UInt, Str, Ptr };
    template <class T>
    requires std::is_integral_v<T> || std::is_enum_v<T> TFormatArg(T v) {
        if constexpr (std::is_signed_v<T> || std::is_enum_v<T>) {
            FKind = TKind::Int;
            FInt = static_cast<std::int64_t>(v);
        } else {
            FKind = TKind::UInt;
            FInt = static_cast<std::int64_t>(static_cast<std::uint64_t>(v));
        }
    }
    TFormatArg(std::string_view s) : FKind(TKind::Str), FStr(s) {}
    TFormatArg(const String& s) : FKind(TKind::Str), FStr(s) {}
    TFormatArg(const char* s) : FKind(TKind::Str), FStr(s ? s : "") {}
    TFormatArg(const void* p) : FKind(TKind::Ptr), FPtr(p) {}

    TKind Kind() const { return FKind; }
    std::int64_t Int() const { return FInt; }
    std::string_view Str() const { return FStr; }
    const void* Ptr() const { return FPtr; }

private:
    TKind FKind;
    std::int64_t FInt = 0;
    std::string_view FStr;
    const void* FPtr = nullptr;
};

// Fills the directives of `fmt` from `args`, in order. %s takes a string, %d a signed
// and %u an unsigned integer, %x / %X hexadecimal (both upper case, as the framework's
// messages print them), a precision (%.2x) pads with zeros, %p a pointer as 16 hex
// digits, %% a percent sign. A directive without an argument of a fitting kind raises
// EConvertError "Format '%s' invalid or incompatible with argument".
String FormatArgs(std::string_view fmt, const TFormatArg* args, std::size_t count);
// Raises that EConvertError for `fmt`. It lives beside the exception classes (which
// format their messages with Format), so that this unit needs none of their headers.
[[noreturn]] void RaiseFormatError(std::string_view fmt);

template <class... A> String Format(std::string_view fmt, const A&... args) {
    if constexpr (sizeof...(A) == 0) {
        return FormatArgs(fmt, nullptr, 0);
    } else {
        const TFormatArg list[] = {TFormatArg(args)...};
        return FormatArgs(fmt, list, sizeof...(A));
    }
}

} // namespace rtl
