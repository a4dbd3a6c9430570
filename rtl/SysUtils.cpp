#include "rtl/SysUtils.h"

namespace rtl {

int CompareText(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiUpper(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

String UpperCase(std::string_view s) {
    String r(s);
    for (char& c : r)
        c = AsciiUpper(c);
    return r;
}

String LowerCase(std::string_view s) {
    String r(s);
    for (char& c : r)
        c = AsciiLower(c);
    return r;
}

bool IsIdentStartChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStartChar(c) || (c >= '0' && c <= '9');
}

bool IsValidIdent(std::string_view s, bool dotted) {
    if (s.empty())
        return false;
    bool atStart = true;
    for (char c : s) {
        if (atStart) {
            if (!IsIdentStartChar(c))
                return false;
            atStart = false;
        } else if (dotted && c == '.') {
            atStart = true;
        } else if (!IsIdentChar(c)) {
            return false;
        }
    }
    return !atStart;
}

String IntToStr(std::int64_t value) {
    return std::to_string(value);
}

String IntToHex(std::uint64_t value, int digits) {
    static constexpr char hex[] = "0123456789ABCDEF";
    String r;
    do {
        r.insert(r.begin(), hex[value & 15]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(r.size()) < digits)
        r.insert(r.begin(), '0');
    return r;
}

String FormatArgs(std::string_view fmt, const TFormatArg* args, std::size_t count) {
    String out;
    out.reserve(fmt.size() + 16 * count);
    std::size_t next = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= fmt.size())
            RaiseFormatError(fmt);
        if (fmt[i] == '%') {
            out += '%';
            continue;
        }
        int precision = -1;
        if (fmt[i] == '.') {
            precision = 0;
            while (++i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9')
                precision = precision * 10 + (fmt[i] - '0');
            if (i >= fmt.size())
                RaiseFormatError(fmt);
        }
        if (next >= count)
            RaiseFormatError(fmt);
        const TFormatArg& a = args[next++];
        String piece;
        switch (AsciiLower(fmt[i])) {
        case 's':
            if (a.Kind() != TFormatArg::TKind::Str)
                RaiseFormatError(fmt);
            piece = String(a.Str());
            if (precision >= 0 && piece.size() > static_cast<std::size_t>(precision))
                piece.resize(static_cast<std::size_t>(precision));
            break;
        case 'd':
            if (a.Kind() != TFormatArg::TKind::Int && a.Kind() != TFormatArg::TKind::UInt)
                RaiseFormatError(fmt);
            piece = a.Kind() == TFormatArg::TKind::Int
                        ? std::to_string(a.Int())
                        : std::to_string(static_cast<std::uint64_t>(a.Int()));
            break;
        case 'u':
            if (a.Kind() != TFormatArg::TKind::Int && a.Kind() != TFormatArg::TKind::UInt)
                RaiseFormatError(fmt);
            piece = std::to_string(static_cast<std::uint32_t>(a.Int()));
            break;
        case 'x':
            if (a.Kind() != TFormatArg::TKind::Int && a.Kind() != TFormatArg::TKind::UInt)
                RaiseFormatError(fmt);
            // A negative 32-bit value prints as its 32-bit pattern, as the messages expect.
            piece =
                IntToHex(a.Int() < 0 && a.Int() >= INT32_MIN ? static_cast<std::uint32_t>(a.Int())
                                                             : static_cast<std::uint64_t>(a.Int()),
                         precision < 0 ? 0 : precision);
            break;
        case 'p':
            if (a.Kind() != TFormatArg::TKind::Ptr)
                RaiseFormatError(fmt);
            piece = IntToHex(reinterpret_cast<std::uintptr_t>(a.Ptr()), 16);
            break;
        default:
            RaiseFormatError(fmt);
        }
        out += piece;
    }
    return out;
}

} // namespace rtl
