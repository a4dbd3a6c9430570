#include "tools/formc/FormText.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "formstream/TextCodec.h"
#include "formstream/ValueTags.h"
#include "formstream/Writer.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace formc {

using namespace formstream;

namespace {

constexpr int MaxNesting = 200;

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A dotted identifier: identifiers joined by single dots.
bool IsDottedIdent(std::string_view s) {
    if (s.empty())
        return false;
    bool start = true;
    for (char c : s) {
        if (start) {
            if (!IsIdentStart(c))
                return false;
            start = false;
        } else if (c == '.') {
            start = true;
        } else if (!IsIdentChar(c)) {
            return false;
        }
    }
    return !start;
}
bool IsPlainIdent(std::string_view s) {
    return IsDottedIdent(s) && s.find('.') == std::string_view::npos;
}

// ---------------------------------------------------------------- compiling

// The words that, followed by "(", give a value of an explicit form.
bool IsValueForm(std::string_view w) {
    static constexpr std::string_view forms[] = {"int8",   "int16",   "int32",    "int64",
                                                 "single", "date",    "currency", "lstring",
                                                 "utf8",   "wstring", "ident",    "gif"};
    for (std::string_view f : forms)
        if (w == f)
            return true;
    return false;
}

enum class TTok { End, Ident, String, Number, Symbol, Hex };

// A piece of a string literal: text, or a character given by its code (#n).
struct TPiece {
    std::string Text;
    long Code = -1;
};

struct TToken {
    TTok Kind = TTok::End;
    std::string Text; // identifier, number, symbol, or hex digits
    std::vector<TPiece> Pieces;
    int Line = 1;
    bool Is(char sym) const { return Kind == TTok::Symbol && Text.size() == 1 && Text[0] == sym; }
    bool IsWord(std::string_view w) const { return Kind == TTok::Ident && Text == w; }
};

class TLexer {
public:
    explicit TLexer(std::string_view text) : FText(text) {}

    TToken Next() {
        SkipSpace();
        TToken t;
        t.Line = FLine;
        if (FPos >= FText.size())
            return t;
        const char c = FText[FPos];
        if (IsIdentStart(c)) {
            const std::size_t start = FPos;
            while (FPos < FText.size() &&
                   (IsIdentChar(FText[FPos]) || (FText[FPos] == '.' && FPos + 1 < FText.size() &&
                                                 IsIdentStart(FText[FPos + 1]))))
                ++FPos;
            t.Kind = TTok::Ident;
            t.Text = std::string(FText.substr(start, FPos - start));
            return t;
        }
        if (IsDigit(c) || c == '$' ||
            ((c == '-' || c == '+') && FPos + 1 < FText.size() &&
             (IsDigit(FText[FPos + 1]) || FText[FPos + 1] == '$'))) {
            const std::size_t start = FPos++;
            while (FPos < FText.size() &&
                   (IsIdentChar(FText[FPos]) || FText[FPos] == '.' || FText[FPos] == '$' ||
                    ((FText[FPos] == '-' || FText[FPos] == '+') &&
                     (FText[FPos - 1] == 'e' || FText[FPos - 1] == 'E') && FText[start] != '$' &&
                     (start + 1 >= FText.size() || FText[start + 1] != '$'))))
                ++FPos;
            t.Kind = TTok::Number;
            t.Text = std::string(FText.substr(start, FPos - start));
            return t;
        }
        if (c == '\'' || c == '#') {
            t.Kind = TTok::String;
            ReadString(t);
            return t;
        }
        if (c == '{') {
            ++FPos;
            t.Kind = TTok::Hex;
            for (;;) {
                if (FPos >= FText.size())
                    throw EFormTextError(t.Line, "unterminated binary block");
                const char h = FText[FPos++];
                if (h == '}')
                    break;
                if (h == '\n')
                    ++FLine;
                else if (HexValue(h) >= 0)
                    t.Text += h;
                else if (h != ' ' && h != '\t' && h != '\r')
                    throw EFormTextError(FLine, std::string("invalid character '") + h +
                                                    "' in a binary block");
            }
            if (t.Text.size() % 2)
                throw EFormTextError(t.Line, "odd number of hex digits in a binary block");
            return t;
        }
        if (std::strchr("=:[](),<>", c)) {
            ++FPos;
            t.Kind = TTok::Symbol;
            t.Text = std::string(1, c);
            return t;
        }
        throw EFormTextError(FLine, std::string("unexpected character '") + c + "'");
    }

private:
    void SkipSpace() {
        while (FPos < FText.size()) {
            const char c = FText[FPos];
            if (c == '\n') {
                ++FLine;
                ++FPos;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++FPos;
            } else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
                while (FPos < FText.size() && FText[FPos] != '\n')
                    ++FPos;
            } else {
                break;
            }
        }
    }

    void ReadString(TToken& t) {
        for (;;) {
            if (FPos < FText.size() && FText[FPos] == '\'') {
                ++FPos;
                TPiece p;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n')
                        throw EFormTextError(t.Line, "unterminated string");
                    const char c = FText[FPos++];
                    if (c == '\'') {
                        if (FPos < FText.size() && FText[FPos] == '\'') {
                            p.Text += '\'';
                            ++FPos;
                            continue;
                        }
                        break;
                    }
                    p.Text += c;
                }
                t.Pieces.push_back(std::move(p));
            } else if (FPos < FText.size() && FText[FPos] == '#') {
                ++FPos;
                const std::size_t start = FPos;
                while (FPos < FText.size() && IsDigit(FText[FPos]))
                    ++FPos;
                if (start == FPos || FPos - start > 5)
                    throw EFormTextError(FLine, "invalid character code after '#'");
                TPiece p;
                p.Code = std::strtol(std::string(FText.substr(start, FPos - start)).c_str(),
                                     nullptr, 10);
                t.Pieces.push_back(std::move(p));
            } else {
                return;
            }
        }
    }

    std::string_view FText;
    std::size_t FPos = 0;
    int FLine = 1;
};

class TCompiler {
public:
    TCompiler(std::string_view text, const std::function<std::string(const std::string&)>& load,
              TWriter& writer)
        : FLexer(text), FLoad(load), W(writer) {
        Advance();
        Advance();
    }

    void Compile() {
        W.WriteSignature();
        if (!IsEntryStart(FTok))
            Fail(FTok, "expected 'object', 'inherited' or 'inline'");
        Entry();
        if (FTok.Kind != TTok::End)
            Fail(FTok, "text after the end of the form");
    }

private:
    [[noreturn]] static void Fail(const TToken& t, const std::string& message) {
        throw EFormTextError(t.Line, message);
    }
    static std::string Describe(const TToken& t) {
        switch (t.Kind) {
        case TTok::End:
            return "end of text";
        case TTok::String:
            return "a string";
        case TTok::Hex:
            return "a binary block";
        default:
            return "'" + t.Text + "'";
        }
    }
    void Advance() {
        FTok = FNext;
        FNext = FLexer.Next();
    }
    void Expect(char sym) {
        if (!FTok.Is(sym))
            Fail(FTok, std::string("expected '") + sym + "', found " + Describe(FTok));
        Advance();
    }
    static bool IsIntegerValue(const std::string& v) {
        return !v.empty() && (v[0] == tagInt8 || v[0] == tagInt16 || v[0] == tagInt32);
    }
    static bool IsEntryStart(const TToken& t) {
        return t.IsWord("object") || t.IsWord("inherited") || t.IsWord("inline");
    }

    // An 8-bit string from a literal.
    std::string Bytes(const TToken& t) {
        std::string s;
        for (const TPiece& p : t.Pieces) {
            if (p.Code < 0)
                s += p.Text;
            else if (p.Code > 255)
                Fail(t, "character code above 255 in an 8-bit string");
            else
                s += static_cast<char>(p.Code);
        }
        return s;
    }
    std::u16string Wide(const TToken& t) {
        std::u16string s;
        for (const TPiece& p : t.Pieces) {
            if (p.Code < 0)
                s += Utf8ToUtf16(p.Text);
            else if (p.Code > 0xFFFF)
                Fail(t, "character code above 65535 in a wide string");
            else
                s += static_cast<char16_t>(p.Code);
        }
        return s;
    }

    // A name: an identifier or a string, at most 255 bytes.
    std::string Name(const char* what) {
        std::string s;
        if (FTok.Kind == TTok::Ident)
            s = FTok.Text;
        else if (FTok.Kind == TTok::String)
            s = Bytes(FTok);
        else
            Fail(FTok, std::string("expected ") + what + ", found " + Describe(FTok));
        if (s.size() > 255)
            Fail(FTok, std::string(what) + " longer than 255 bytes");
        Advance();
        return s;
    }

    // A class name of 240 bytes or more would read as a header byte.
    static bool LongClassName(const std::string& className) { return className.size() >= 0xF0; }

    void Entry() {
        if (++FDepth > MaxNesting)
            Fail(FTok, "components nested too deeply");
        const TToken start = FTok;
        TFilerFlags flags = start.IsWord("inherited") ? cfInherited
                            : start.IsWord("inline")  ? cfInline
                                                      : 0;
        Advance();
        std::string name;
        std::string className = Name("a component name or class");
        if (FTok.Is(':')) {
            Advance();
            name = std::move(className);
            className = Name("a class name");
        }
        std::optional<std::string> childPos;
        if (FTok.Is('[')) {
            Advance();
            const TToken t = FTok;
            childPos = Capture([this] { Value(); });
            if (!IsIntegerValue(*childPos))
                Fail(t, "a child position must be an integer of 32 bits at most");
            Expect(']');
            flags |= cfChildPos;
        }
        if (FTok.IsWord("flags") && FNext.Is('(')) {
            Advance();
            Advance();
            const long n = Integer(FTok);
            if (n < 0 || n > 15)
                Fail(FTok, "flags must lie in 0..15");
            Advance();
            Expect(')');
            flags = static_cast<TFilerFlags>(n);
            const std::uint8_t b = 0xF0 | flags;
            Out().Write(&b, 1);
            if (flags & cfChildPos) {
                if (!childPos)
                    Fail(start, "flags with a child position need [position]");
                Out().Write(childPos->data(), childPos->size());
            }
        } else if (flags != 0 || LongClassName(className)) {
            // A class name of 240 bytes or more would read as a header byte: give it one.
            const std::uint8_t b = 0xF0 | flags;
            Out().Write(&b, 1);
            if (childPos)
                Out().Write(childPos->data(), childPos->size());
        }
        Out().WriteShortStr(className);
        Out().WriteShortStr(name);
        Properties();
        Out().WriteListEnd();
        while (IsEntryStart(FTok) && !FNext.Is('='))
            Entry();
        if (!FTok.IsWord("end"))
            Fail(FTok, "expected 'end', a property or a component, found " + Describe(FTok));
        Advance();
        Out().WriteListEnd();
        --FDepth;
    }

    void Properties() {
        while ((FTok.Kind == TTok::Ident || FTok.Kind == TTok::String) && FNext.Is('=')) {
            const std::string path = Name("a property path");
            if (path.empty())
                Fail(FTok, "empty property path");
            Expect('=');
            Out().WriteShortStr(path);
            Value();
        }
    }

    // The bytes that `f` writes, without writing them.
    std::string Capture(const std::function<void()>& f) {
        rtl::TMemoryStream capture;
        TWriter inner(capture);
        {
            TWriterSwap swap(this, inner);
            f();
        }
        inner.FlushBuffer();
        return std::string(reinterpret_cast<const char*>(capture.Memory()),
                           static_cast<std::size_t>(capture.Size()));
    }
    struct TWriterSwap {
        TCompiler* C;
        TWriter* Saved;
        TWriterSwap(TCompiler* c, TWriter& w) : C(c), Saved(c->WPtr) { c->WPtr = &w; }
        ~TWriterSwap() { C->WPtr = Saved; }
    };

    static long long ParseInteger(const TToken& t, bool& ok) {
        std::string s = t.Text;
        bool negative = false;
        std::size_t i = 0;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
            negative = s[i] == '-';
            ++i;
        }
        unsigned long long v = 0;
        ok = false;
        if (i < s.size() && s[i] == '$') {
            ++i;
            if (i >= s.size())
                return 0;
            for (; i < s.size(); ++i) {
                const int h = HexValue(s[i]);
                if (h < 0 || v > (~0ull >> 4))
                    return 0;
                v = v * 16 + static_cast<unsigned>(h);
            }
        } else {
            if (i >= s.size())
                return 0;
            for (; i < s.size(); ++i) {
                if (!IsDigit(s[i]) || v > (~0ull - 9) / 10)
                    return 0;
                v = v * 10 + static_cast<unsigned>(s[i] - '0');
            }
        }
        if (negative ? v > (1ull << 63) : v > static_cast<unsigned long long>(INT64_MAX)) {
            // Hex literals may give the two's complement of a 64-bit value.
            if (!negative && t.Text.find('$') != std::string::npos) {
                ok = true;
                return static_cast<long long>(v);
            }
            return 0;
        }
        ok = true;
        return negative ? static_cast<long long>(0 - v) : static_cast<long long>(v);
    }
    long long Integer(const TToken& t) {
        bool ok = false;
        const long long v = ParseInteger(t, ok);
        if (t.Kind != TTok::Number || !ok)
            Fail(t, "expected an integer, found " + Describe(t));
        return v;
    }
    static bool IsFloatText(const std::string& s) {
        return s.find('$') == std::string::npos &&
               (s.find('.') != std::string::npos || s.find('e') != std::string::npos ||
                s.find('E') != std::string::npos);
    }
    long double Float(const TToken& t) {
        if (t.Kind != TTok::Number || t.Text.find('$') != std::string::npos)
            Fail(t, "expected a number, found " + Describe(t));
        errno = 0;
        char* end = nullptr;
        const long double v = std::strtold(t.Text.c_str(), &end);
        // Underflow to a denormal or to zero is fine; overflow is not.
        if (end != t.Text.c_str() + t.Text.size() || (errno == ERANGE && std::isinf(v)))
            Fail(t, "invalid number '" + t.Text + "'");
        return v;
    }

    TWriter& Out() { return WPtr ? *WPtr : W; }

    void Value() {
        if (++FDepth > MaxNesting)
            Fail(FTok, "values nested too deeply");
        TWriter& w = Out();
        const TToken t = FTok;
        switch (t.Kind) {
        case TTok::Number:
            Advance();
            if (IsFloatText(t.Text))
                w.WriteFloat(Float(t));
            else
                w.WriteInteger(Integer(t));
            break;
        case TTok::String:
            Advance();
            w.WriteString(Bytes(t));
            break;
        case TTok::Hex: {
            Advance();
            const std::string bytes = HexBytes(t.Text);
            w.WriteBinary(bytes.data(), bytes.size());
            break;
        }
        case TTok::Symbol:
            if (t.Is('['))
                SetValue();
            else if (t.Is('('))
                ListValue();
            else if (t.Is('<'))
                CollectionValue();
            else
                Fail(t, "expected a value, found " + Describe(t));
            break;
        case TTok::Ident:
            if ((FNext.Is('(') && IsValueForm(t.Text)) ||
                (t.Text == "raw" && FNext.Kind == TTok::Hex))
                TypedValue();
            else {
                Advance();
                w.WriteIdent(t.Text);
            }
            break;
        case TTok::End:
            Fail(t, "expected a value, found end of text");
        }
        --FDepth;
    }

    static std::string HexBytes(const std::string& digits) {
        std::string out;
        out.reserve(digits.size() / 2);
        for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
            out += static_cast<char>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1]));
        return out;
    }

    void SetValue() {
        Advance();
        std::vector<std::string> names;
        while (!FTok.Is(']')) {
            if (!names.empty())
                Expect(',');
            const TToken t = FTok;
            std::string n = Name("a set element");
            if (n.empty())
                Fail(t, "empty set element name");
            names.push_back(std::move(n));
        }
        Advance();
        Out().WriteSetNames(names);
    }

    void ListValue() {
        Advance();
        Out().WriteListBegin();
        while (!FTok.Is(')')) {
            if (FTok.Kind == TTok::End)
                Fail(FTok, "unterminated list");
            Value();
        }
        Advance();
        Out().WriteListEnd();
    }

    void CollectionValue() {
        Advance();
        Out().WriteValueTag(tagCollection);
        while (!FTok.Is('>')) {
            if (!FTok.IsWord("item"))
                Fail(FTok, "expected 'item' or '>', found " + Describe(FTok));
            Advance();
            if (FTok.Is('[')) {
                Advance();
                const TToken t = FTok;
                const std::string index = Capture([this] { Value(); });
                if (!IsIntegerValue(index))
                    Fail(t, "an item index must be an integer of 32 bits at most");
                Out().Write(index.data(), index.size());
                Expect(']');
            }
            Out().WriteListBegin();
            Properties();
            if (!FTok.IsWord("end"))
                Fail(FTok, "expected 'end' or a property, found " + Describe(FTok));
            Advance();
            Out().WriteListEnd();
        }
        Advance();
        Out().WriteListEnd();
    }

    void TypedValue() {
        const TToken kind = FTok;
        TWriter& w = Out();
        Advance();
        if (kind.Text == "raw") {
            const std::string bytes = HexBytes(FTok.Text);
            if (bytes.empty())
                Fail(FTok, "raw{} needs at least a tag byte");
            Advance();
            w.Write(bytes.data(), bytes.size());
            return;
        }
        Expect('(');
        const TToken arg = FTok;
        const std::string& k = kind.Text;
        auto intIn = [&](long long lo, long long hi) {
            const long long v = Integer(arg);
            if (v < lo || v > hi)
                Fail(arg, "value out of range for " + k);
            return v;
        };
        auto stringArg = [&]() {
            if (arg.Kind != TTok::String)
                Fail(arg, k + " needs a string");
        };
        if (k == "int8") {
            w.WriteValueTag(tagInt8);
            WriteLE(w, static_cast<std::uint64_t>(intIn(-128, 127)), 1);
        } else if (k == "int16") {
            w.WriteValueTag(tagInt16);
            WriteLE(w, static_cast<std::uint64_t>(intIn(-32768, 32767)), 2);
        } else if (k == "int32") {
            w.WriteValueTag(tagInt32);
            WriteLE(w, static_cast<std::uint64_t>(intIn(INT32_MIN, INT32_MAX)), 4);
        } else if (k == "int64") {
            w.WriteValueTag(tagInt64);
            WriteLE(w, static_cast<std::uint64_t>(Integer(arg)), 8);
        } else if (k == "single") {
            w.WriteSingle(static_cast<float>(Float(arg)));
        } else if (k == "date") {
            w.WriteDate(static_cast<double>(Float(arg)));
        } else if (k == "currency") {
            w.WriteCurrency(Currency(arg));
        } else if (k == "lstring") {
            stringArg();
            const std::string s = Bytes(arg);
            w.WriteValueTag(tagLString);
            WriteLE(w, s.size(), 4);
            w.Write(s.data(), s.size());
        } else if (k == "utf8") {
            stringArg();
            w.WriteUtf8String(Bytes(arg));
        } else if (k == "wstring") {
            stringArg();
            const std::u16string s = Wide(arg);
            w.WriteValueTag(tagWString);
            WriteLE(w, s.size(), 4);
            for (char16_t c : s)
                WriteLE(w, c, 2);
        } else if (k == "ident") {
            std::string s;
            if (arg.Kind == TTok::String)
                s = Bytes(arg);
            else if (arg.Kind == TTok::Ident)
                s = arg.Text;
            else
                Fail(arg, "ident needs a name");
            if (s.size() > 255)
                Fail(arg, "identifier longer than 255 bytes");
            w.WriteValueTag(tagIdent);
            w.WriteShortStr(s);
        } else if (k == "gif") {
            stringArg();
            const std::string file = Bytes(arg);
            std::string gif;
            try {
                gif = FLoad(file);
            } catch (const EFormTextError& e) {
                Fail(arg, e.what());
            }
            if (gif.size() > 0xFFFFFFFFull - 14)
                Fail(arg, "picture too large: " + file);
            std::string block;
            block += static_cast<char>(9);
            block += "TGIFImage";
            for (int i = 0; i < 4; ++i)
                block += static_cast<char>((gif.size() >> (8 * i)) & 0xFF);
            block += gif;
            w.WriteBinary(block.data(), block.size());
        } else {
            Fail(kind, "unknown value form '" + k + "'");
        }
        Advance();
        Expect(')');
    }

    static void WriteLE(TWriter& w, std::uint64_t v, int n) {
        std::uint8_t b[8];
        for (int i = 0; i < n; ++i)
            b[i] = static_cast<std::uint8_t>(v >> (8 * i));
        w.Write(b, static_cast<std::size_t>(n));
    }

    // A decimal with at most four digits after the point, as ten-thousandths.
    long long Currency(const TToken& t) {
        if (t.Kind != TTok::Number)
            Fail(t, "currency needs a number");
        std::string s = t.Text;
        const std::size_t dot = s.find('.');
        std::string whole = dot == std::string::npos ? s : s.substr(0, dot);
        std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
        if (frac.size() > 4)
            Fail(t, "currency has at most four decimals");
        frac.resize(4, '0');
        TToken joined = t;
        const bool negative = !whole.empty() && whole[0] == '-';
        joined.Text = whole + frac;
        for (char c : frac)
            if (!IsDigit(c))
                Fail(t, "invalid currency '" + t.Text + "'");
        if (whole.empty() || whole == "-" || whole == "+")
            Fail(t, "invalid currency '" + t.Text + "'");
        (void)negative;
        return Integer(joined);
    }

    TLexer FLexer;
    const std::function<std::string(const std::string&)>& FLoad;
    TWriter& W;
    TWriter* WPtr = nullptr;
    TToken FTok;
    TToken FNext;
    int FDepth = 0;
};

// ---------------------------------------------------------------- decoding

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

    // An 8-bit string literal.
    static std::string Quote(std::string_view s) {
        if (s.empty())
            return "''";
        std::string out;
        bool open = false;
        for (unsigned char c : s) {
            if (c >= 0x20 && c < 0x7F) {
                if (!open) {
                    out += '\'';
                    open = true;
                }
                out += c;
                if (c == '\'')
                    out += '\'';
            } else {
                if (open) {
                    out += '\'';
                    open = false;
                }
                out += '#' + std::to_string(c);
            }
        }
        if (open)
            out += '\'';
        return out;
    }
    static std::string QuoteWide(std::u16string_view s) {
        if (s.empty())
            return "''";
        std::string out;
        bool open = false;
        for (char16_t c : s) {
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
    static std::string NameText(std::string_view s) {
        return IsPlainIdent(s) ? std::string(s) : Quote(s);
    }
    static std::string PathText(std::string_view s) {
        return IsDottedIdent(s) ? std::string(s) : Quote(s);
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

    std::string Value(int level) {
        if (++FDepth > MaxNesting)
            Bad("values nested too deeply");
        const std::size_t start = FPos;
        const auto tag = static_cast<TValueTag>(Byte());
        std::string out;
        switch (tag) {
        case tagNull:
            out = "Null";
            break;
        case tagFalse:
            out = "False";
            break;
        case tagTrue:
            out = "True";
            break;
        case tagNil:
            out = "nil";
            break;
        case tagInt8:
        case tagInt16:
        case tagInt32: {
            const std::string text = Integer(tag);
            out = CanonicalIntTag(std::stoll(text)) == tag ? text
                                                           : (tag == tagInt8    ? "int8("
                                                              : tag == tagInt16 ? "int16("
                                                                                : "int32(") +
                                                                 text + ")";
            break;
        }
        case tagInt64: {
            const auto v = static_cast<std::int64_t>(LE(8));
            out = CanonicalIntTag(v) == tagInt64 ? std::to_string(v)
                                                 : "int64(" + std::to_string(v) + ")";
            break;
        }
        case tagExtended: {
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
            out = std::isfinite(v) && std::memcmp(b, again, 10) == 0 ? s : Raw(start);
            break;
        }
        case tagSingle: {
            const auto bits = static_cast<std::uint32_t>(LE(4));
            const float v = std::bit_cast<float>(bits);
            char text[64];
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
            const float again = std::strtof(text, nullptr);
            out = std::isfinite(v) && std::bit_cast<std::uint32_t>(again) == bits
                      ? std::string("single(") + text + ")"
                      : Raw(start);
            break;
        }
        case tagDate: {
            const std::uint64_t bits = LE(8);
            const double v = std::bit_cast<double>(bits);
            char text[64];
            std::snprintf(text, sizeof text, "%.17g", v);
            const double again = std::strtod(text, nullptr);
            out = std::isfinite(v) && std::bit_cast<std::uint64_t>(again) == bits
                      ? std::string("date(") + text + ")"
                      : Raw(start);
            break;
        }
        case tagCurrency: {
            const auto v = static_cast<std::int64_t>(LE(8));
            const std::uint64_t mag =
                v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            char text[64];
            std::snprintf(text, sizeof text, "%s%llu.%04llu", v < 0 ? "-" : "",
                          static_cast<unsigned long long>(mag / 10000),
                          static_cast<unsigned long long>(mag % 10000));
            out = std::string("currency(") + text + ")";
            break;
        }
        case tagString: {
            const std::string s = ShortStr();
            out = Quote(s);
            break;
        }
        case tagLString: {
            const auto n = static_cast<std::size_t>(LE(4));
            const std::string_view s = Take(n);
            out = s.size() >= 256 ? Quote(s) : "lstring(" + Quote(s) + ")";
            break;
        }
        case tagUtf8String: {
            const auto n = static_cast<std::size_t>(LE(4));
            out = "utf8(" + Quote(Take(n)) + ")";
            break;
        }
        case tagWString: {
            const std::uint64_t n = LE(4);
            if (n > (FBytes.size() - FPos) / 2)
                Bad("stream ends too early");
            std::u16string w;
            for (std::uint64_t i = 0; i < n; ++i)
                w += static_cast<char16_t>(LE(2));
            out = "wstring(" + QuoteWide(w) + ")";
            break;
        }
        case tagIdent: {
            const std::string s = ShortStr();
            const bool special = rtl::SameText(s, "False") || rtl::SameText(s, "True") ||
                                 rtl::SameText(s, "Null") || rtl::SameText(s, "nil");
            out = IsDottedIdent(s) && !special && s != "raw" && !IsValueForm(s)
                      ? s
                      : "ident(" + Quote(s) + ")";
            break;
        }
        case tagSet: {
            out = "[";
            bool first = true;
            for (;;) {
                const std::string n = ShortStr();
                if (n.empty())
                    break;
                if (!first)
                    out += ", ";
                first = false;
                out += NameText(n);
            }
            out += "]";
            break;
        }
        case tagList: {
            out = "(";
            bool first = true;
            while (PeekByte() != 0) {
                if (!first)
                    out += ' ';
                first = false;
                out += Value(level);
            }
            ++FPos;
            out += ")";
            break;
        }
        case tagBinary: {
            const auto n = static_cast<std::size_t>(LE(4));
            const std::string_view block = Take(n);
            if (FSummarizeOver && n > FSummarizeOver) {
                const bool gif = n >= 14 && block[0] == 9 && block.substr(1, 9) == "TGIFImage";
                out = gif ? "<TGIFImage picture, " + std::to_string(n - 14) + " bytes>"
                          : "<" + std::to_string(n) + " bytes>";
                break;
            }
            out = Picture(block);
            if (out.empty())
                out = HexText(block, level);
            break;
        }
        case tagCollection: {
            out = "<";
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
            out += ">";
            break;
        }
        default:
            // No value has this tag; keep it as it stands.
            out = Raw(start);
            break;
        }
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
            base += IsIdentChar(c) ? c : '_';
        if (base.empty())
            base = "picture";
        if (FPath != "Picture.Data") {
            base += '_';
            for (char c : FPath)
                base += IsIdentChar(c) ? c : '_';
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

std::string CompileFormText(std::string_view text,
                            const std::function<std::string(const std::string&)>& loadFile) {
    rtl::TMemoryStream out;
    {
        TWriter writer(out);
        TCompiler compiler(text, loadFile, writer);
        compiler.Compile();
        writer.FlushBuffer();
    }
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<std::size_t>(out.Size()));
}

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

} // namespace formc
