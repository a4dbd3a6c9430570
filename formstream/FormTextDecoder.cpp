// The form stream decoder: turns any binary form stream into the text form (or, for
// listings, a summary of it) without creating components.
#include "formstream/FormText.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <type_traits>
#include <vector>

#include "formstream/FormTextSyntax.h"
#include "formstream/TextCodec.h"
#include "formstream/ValueTags.h"
#include "formstream/Writer.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"
#include "rtl/SysUtils.h"

namespace formstream {

namespace {

class TDecoder {
public:
    TDecoder(std::string_view bytes,
             const std::function<std::string(const std::string&, std::string_view)>& save,
             std::size_t summarizeOver = 0)
        : FBytes(bytes), FSave(save), FSummarizeOver(summarizeOver) {}

    std::string Decode(std::size_t* trailing) {
        if (FBytes.size() < 4 || std::memcmp(FBytes.data(), FilerSignature, 4) != 0)
            Bad("no form stream signature (\"TPF0\")");
        FPos = 4;
        Entry(0);
        if (trailing)
            *trailing = FBytes.size() - FPos;
        return FOut;
    }

private:
    [[noreturn]] void Bad(const std::string& what) const {
        throw EFormTextError(0, what + " at byte " + std::to_string(FPos));
    }
    void Need(std::size_t n) const {
        if (n > FBytes.size() - FPos)
            Bad("stream ends too early");
    }
    std::uint8_t Byte() {
        Need(1);
        return static_cast<std::uint8_t>(FBytes[FPos++]);
    }
    std::uint8_t PeekByte() const {
        Need(1);
        return static_cast<std::uint8_t>(FBytes[FPos]);
    }
    std::uint64_t LE(int n) {
        Need(static_cast<std::size_t>(n));
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v |=
                std::uint64_t(static_cast<std::uint8_t>(FBytes[FPos + static_cast<std::size_t>(i)]))
                << (8 * i);
        FPos += static_cast<std::size_t>(n);
        return v;
    }
    std::string_view Take(std::size_t n) {
        Need(n);
        const std::string_view s = FBytes.substr(FPos, n);
        FPos += n;
        return s;
    }
    std::string ShortStr() { return std::string(Take(Byte())); }

    static std::string Indent(int level) {
        return std::string(static_cast<std::size_t>(level) * 2, ' ');
    }

    // A string literal: printable ASCII quoted, everything else as #code.
    template <class Char> static std::string QuoteChars(std::basic_string_view<Char> s) {
        if (s.empty())
            return "''";
        std::string out;
        bool open = false;
        for (Char ch : s) {
            const auto c = static_cast<std::make_unsigned_t<Char>>(ch);
            if (c >= 0x20 && c < 0x7F) {
                if (!open) {
                    out += '\'';
                    open = true;
                }
                out += static_cast<char>(c);
                if (c == '\'')
                    out += '\'';
            } else {
                if (open) {
                    out += '\'';
                    open = false;
                }
                out += '#' + std::to_string(static_cast<unsigned>(c));
            }
        }
        if (open)
            out += '\'';
        return out;
    }
    static std::string Quote(std::string_view s) { return QuoteChars(s); }
    static std::string Quote(std::u16string_view s) { return QuoteChars(s); }
    static std::string NameText(std::string_view s) {
        return rtl::IsValidIdent(s) ? std::string(s) : Quote(s);
    }
    static std::string PathText(std::string_view s) {
        return rtl::IsValidIdent(s, true) ? std::string(s) : Quote(s);
    }

    static std::string HexText(std::string_view bytes, int level) {
        static const char* digits = "0123456789ABCDEF";
        std::string out = "{";
        const bool multiline = bytes.size() > 32;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (multiline && i % 32 == 0)
                out += "\n" + Indent(level + 1);
            else if (i)
                out += ' ';
            const auto c = static_cast<unsigned char>(bytes[i]);
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        if (multiline)
            out += "\n" + Indent(level);
        out += '}';
        return out;
    }
    std::string Raw(std::size_t start) const {
        return "raw" + HexText(FBytes.substr(start, FPos - start), 0);
    }

    // A property list up to its end marker, one "path = value" line each at `level`.
    std::string Properties(int level) {
        std::string out;
        while (PeekByte() != 0) {
            const std::string path = ShortStr();
            if (path.empty())
                Bad("empty property path");
            FPath = path;
            out += Indent(level) + PathText(path) + " = " + Value(level) + "\n";
        }
        ++FPos;
        return out;
    }

    void Entry(int level) {
        if (level > MaxNesting)
            Bad("components nested too deeply");
        const std::size_t start = FPos;
        TFilerFlags flags = 0;
        bool header = false;
        std::string childPos;
        if ((PeekByte() & 0xF0) == 0xF0) {
            header = true;
            flags = Byte() & 0x0F;
            if (flags & cfChildPos) {
                const std::uint8_t tag = PeekByte();
                if (tag != tagInt8 && tag != tagInt16 && tag != tagInt32)
                    Bad("child position is no integer");
                childPos = Value(level);
            }
        }
        (void)start;
        const std::string className = ShortStr();
        const std::string name = ShortStr();
        const char* keyword = (flags & cfInline)      ? "inline"
                              : (flags & cfInherited) ? "inherited"
                                                      : "object";
        const TFilerFlags canonical =
            static_cast<TFilerFlags>(((flags & cfInline)      ? cfInline
                                      : (flags & cfInherited) ? cfInherited
                                                              : 0) |
                                     (flags & cfChildPos));
        std::string line = Indent(level) + keyword + " ";
        if (name.empty())
            line += NameText(className);
        else
            line += NameText(name) + ": " + NameText(className);
        if (flags & cfChildPos)
            line += " [" + childPos + "]";
        if (header && (canonical != flags || (flags == 0 && className.size() < 0xF0)))
            line += " flags(" + std::to_string(flags) + ")";
        FOut += line + "\n";
        FComponent = name;
        FOut += Properties(level + 1);
        while (PeekByte() != 0)
            Entry(level + 1);
        ++FPos;
        FOut += Indent(level) + "end\n";
    }

    std::string Integer(TValueTag tag) {
        switch (tag) {
        case tagInt8:
            return std::to_string(static_cast<std::int8_t>(LE(1)));
        case tagInt16:
            return std::to_string(static_cast<std::int16_t>(LE(2)));
        default:
            return std::to_string(static_cast<std::int32_t>(LE(4)));
        }
    }
    static TValueTag CanonicalIntTag(long long v) {
        if (v >= -128 && v <= 127)
            return tagInt8;
        if (v >= -32768 && v <= 32767)
            return tagInt16;
        if (v >= INT32_MIN && v <= INT32_MAX)
            return tagInt32;
        return tagInt64;
    }

    // Integers of the three short sizes; a size other than the smallest is kept.
    std::string ShortIntText(TValueTag tag) {
        const std::string text = Integer(tag);
        if (CanonicalIntTag(std::stoll(text)) == tag)
            return text;
        const char* form = tag == tagInt8 ? "int8(" : tag == tagInt16 ? "int16(" : "int32(";
        return form + text + ")";
    }
    std::string Int64Text() {
        const auto v = static_cast<std::int64_t>(LE(8));
        return CanonicalIntTag(v) == tagInt64 ? std::to_string(v)
                                              : "int64(" + std::to_string(v) + ")";
    }
    // Floating-point values are written only when the text reads back to the same bits;
    // otherwise the value's bytes are kept raw.
    std::string ExtendedText(std::size_t start) {
        std::uint8_t b[10];
        std::memcpy(b, Take(10).data(), 10);
        const long double v = ExtendedToLongDouble(b);
        char text[64];
        std::snprintf(text, sizeof text, "%.21Lg", v);
        std::string s = text;
        if (s.find_first_of(".eE") == std::string::npos)
            s += ".0";
        std::uint8_t again[10];
        LongDoubleToExtended(std::strtold(s.c_str(), nullptr), again);
        return std::isfinite(v) && std::memcmp(b, again, 10) == 0 ? s : Raw(start);
    }
    std::string SingleText(std::size_t start) {
        const auto bits = static_cast<std::uint32_t>(LE(4));
        const float v = std::bit_cast<float>(bits);
        char text[64];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
        const float again = std::strtof(text, nullptr);
        return std::isfinite(v) && std::bit_cast<std::uint32_t>(again) == bits
                   ? std::string("single(") + text + ")"
                   : Raw(start);
    }
    std::string DateText(std::size_t start) {
        const std::uint64_t bits = LE(8);
        const double v = std::bit_cast<double>(bits);
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", v);
        const double again = std::strtod(text, nullptr);
        return std::isfinite(v) && std::bit_cast<std::uint64_t>(again) == bits
                   ? std::string("date(") + text + ")"
                   : Raw(start);
    }
    std::string CurrencyText() {
        const auto v = static_cast<std::int64_t>(LE(8));
        const std::uint64_t mag =
            v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        char text[64];
        std::snprintf(text, sizeof text, "%s%llu.%04llu", v < 0 ? "-" : "",
                      static_cast<unsigned long long>(mag / 10000),
                      static_cast<unsigned long long>(mag % 10000));
        return std::string("currency(") + text + ")";
    }
    std::string WideText() {
        const std::uint64_t n = LE(4);
        if (n > (FBytes.size() - FPos) / 2)
            Bad("stream ends too early");
        std::u16string w;
        for (std::uint64_t i = 0; i < n; ++i)
            w += static_cast<char16_t>(LE(2));
        return "wstring(" + Quote(w) + ")";
    }
    // An identifier that could be read as another value is written in its ident() form.
    std::string IdentText() {
        const std::string s = ShortStr();
        const bool special = rtl::SameText(s, "False") || rtl::SameText(s, "True") ||
                             rtl::SameText(s, "Null") || rtl::SameText(s, "nil");
        return rtl::IsValidIdent(s, true) && !special && s != "raw" && !IsValueForm(s)
                   ? s
                   : "ident(" + Quote(s) + ")";
    }
    std::string SetText() {
        std::string out = "[";
        for (std::string n = ShortStr(); !n.empty(); n = ShortStr()) {
            if (out.size() > 1)
                out += ", ";
            out += NameText(n);
        }
        return out + "]";
    }
    std::string ListText(int level) {
        std::string out = "(";
        while (PeekByte() != 0) {
            if (out.size() > 1)
                out += ' ';
            out += Value(level);
        }
        ++FPos;
        return out + ")";
    }
    std::string BinaryText(int level) {
        const auto n = static_cast<std::size_t>(LE(4));
        const std::string_view block = Take(n);
        if (FSummarizeOver && n > FSummarizeOver) {
            const bool gif = n >= 14 && block[0] == 9 && block.substr(1, 9) == "TGIFImage";
            return gif ? "<TGIFImage picture, " + std::to_string(n - 14) + " bytes>"
                       : "<" + std::to_string(n) + " bytes>";
        }
        std::string out = Picture(block);
        return out.empty() ? HexText(block, level) : out;
    }
    std::string CollectionText(int level) {
        std::string out = "<";
        while (PeekByte() != 0) {
            out += "\n" + Indent(level + 1) + "item";
            const std::uint8_t t = PeekByte();
            if (t == tagInt8 || t == tagInt16 || t == tagInt32)
                out += " [" + Value(level + 1) + "]";
            if (Byte() != tagList)
                Bad("collection item without its list begin");
            out += "\n";
            out += Properties(level + 2);
            out += Indent(level + 1) + "end";
        }
        ++FPos;
        return out + ">";
    }

    std::string TaggedValue(TValueTag tag, std::size_t start, int level) {
        switch (tag) {
        case tagNull:
            return "Null";
        case tagFalse:
            return "False";
        case tagTrue:
            return "True";
        case tagNil:
            return "nil";
        case tagInt8:
        case tagInt16:
        case tagInt32:
            return ShortIntText(tag);
        case tagInt64:
            return Int64Text();
        case tagExtended:
            return ExtendedText(start);
        case tagSingle:
            return SingleText(start);
        case tagDate:
            return DateText(start);
        case tagCurrency:
            return CurrencyText();
        case tagString:
            return Quote(ShortStr());
        case tagLString: {
            const std::string_view s = Take(static_cast<std::size_t>(LE(4)));
            return s.size() >= 256 ? Quote(s) : "lstring(" + Quote(s) + ")";
        }
        case tagUtf8String:
            return "utf8(" + Quote(Take(static_cast<std::size_t>(LE(4)))) + ")";
        case tagWString:
            return WideText();
        case tagIdent:
            return IdentText();
        case tagSet:
            return SetText();
        case tagList:
            return ListText(level);
        case tagBinary:
            return BinaryText(level);
        case tagCollection:
            return CollectionText(level);
        default:
            // No value has this tag; keep it as it stands.
            return Raw(start);
        }
    }

    std::string Value(int level) {
        if (++FDepth > MaxNesting)
            Bad("values nested too deeply");
        const std::size_t start = FPos;
        const auto tag = static_cast<TValueTag>(Byte());
        std::string out = TaggedValue(tag, start, level);
        --FDepth;
        return out;
    }

    // gif('file') for a picture block of a GIF image, when the pictures are saved.
    std::string Picture(std::string_view block) {
        if (!FSave || block.size() < 14 || static_cast<unsigned char>(block[0]) != 9 ||
            block.substr(1, 9) != "TGIFImage")
            return {};
        const auto* p = reinterpret_cast<const unsigned char*>(block.data()) + 10;
        const std::uint64_t len = std::uint64_t(p[0]) | (std::uint64_t(p[1]) << 8) |
                                  (std::uint64_t(p[2]) << 16) | (std::uint64_t(p[3]) << 24);
        if (len != block.size() - 14)
            return {};
        std::string base;
        for (char c : FComponent)
            base += rtl::IsIdentChar(c) ? c : '_';
        if (base.empty())
            base = "picture";
        if (FPath != "Picture.Data") {
            base += '_';
            for (char c : FPath)
                base += rtl::IsIdentChar(c) ? c : '_';
        }
        std::string suggested = base + ".gif";
        for (int n = 2; FUsedNames.count(suggested); ++n)
            suggested = base + "_" + std::to_string(n) + ".gif";
        FUsedNames[suggested] = true;
        const std::string file = FSave(suggested, block.substr(14));
        if (file.empty())
            return {};
        return "gif(" + Quote(file) + ")";
    }

    std::string_view FBytes;
    const std::function<std::string(const std::string&, std::string_view)>& FSave;
    std::size_t FPos = 0;
    std::string FOut;
    std::string FComponent;
    std::string FPath;
    std::map<std::string, bool> FUsedNames;
    int FDepth = 0;
    std::size_t FSummarizeOver = 0;
};

} // namespace

std::string DecodeFormStream(
    std::string_view bytes,
    const std::function<std::string(const std::string&, std::string_view)>& savePicture,
    std::size_t* trailing) {
    TDecoder decoder(bytes, savePicture);
    return decoder.Decode(trailing);
}

std::string DescribeFormStream(std::string_view bytes, std::size_t summarizeOver) {
    const std::function<std::string(const std::string&, std::string_view)> none;
    TDecoder decoder(bytes, none, summarizeOver);
    return decoder.Decode(nullptr);
}

} // namespace formstream
