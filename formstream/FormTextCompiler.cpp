// The text form compiler: reads the text and writes the form stream through the form
// writer, choosing tags by the writer rules unless the text names a form.
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
        if (rtl::IsIdentStartChar(c)) {
            const std::size_t start = FPos;
            while (FPos < FText.size() && (rtl::IsIdentChar(FText[FPos]) ||
                                           (FText[FPos] == '.' && FPos + 1 < FText.size() &&
                                            rtl::IsIdentStartChar(FText[FPos + 1]))))
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
                   (rtl::IsIdentChar(FText[FPos]) || FText[FPos] == '.' || FText[FPos] == '$' ||
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

    // raw{...}: the bytes as they stand, tag included.
    void RawValue() {
        const std::string bytes = HexBytes(FTok.Text);
        if (bytes.empty())
            Fail(FTok, "raw{} needs at least a tag byte");
        Advance();
        Out().Write(bytes.data(), bytes.size());
    }

    // int8(...) to int64(...): an integer in a size of its own; false for another form.
    bool SizedInteger(const std::string& k, const TToken& arg) {
        struct TForm {
            const char* Name;
            TValueTag Tag;
            long long Lo, Hi;
            int Bytes;
        };
        static constexpr TForm forms[] = {
            {"int8", tagInt8, -128, 127, 1},
            {"int16", tagInt16, -32768, 32767, 2},
            {"int32", tagInt32, INT32_MIN, INT32_MAX, 4},
            {"int64", tagInt64, INT64_MIN, INT64_MAX, 8},
        };
        for (const TForm& f : forms) {
            if (k != f.Name)
                continue;
            const long long v = Integer(arg);
            if (v < f.Lo || v > f.Hi)
                Fail(arg, "value out of range for " + k);
            Out().WriteValueTag(f.Tag);
            WriteLE(Out(), static_cast<std::uint64_t>(v), f.Bytes);
            return true;
        }
        return false;
    }

    // lstring(...), utf8(...), wstring(...): a string in a form of its own; false for
    // another form.
    bool StringForm(const std::string& k, const TToken& arg) {
        if (k != "lstring" && k != "utf8" && k != "wstring")
            return false;
        if (arg.Kind != TTok::String)
            Fail(arg, k + " needs a string");
        TWriter& w = Out();
        if (k == "utf8") {
            w.WriteUtf8String(Bytes(arg));
        } else if (k == "lstring") {
            const std::string s = Bytes(arg);
            w.WriteValueTag(tagLString);
            WriteLE(w, s.size(), 4);
            w.Write(s.data(), s.size());
        } else {
            const std::u16string s = Wide(arg);
            w.WriteValueTag(tagWString);
            WriteLE(w, s.size(), 4);
            for (char16_t c : s)
                WriteLE(w, c, 2);
        }
        return true;
    }

    void IdentForm(const TToken& arg) {
        std::string s;
        if (arg.Kind == TTok::String)
            s = Bytes(arg);
        else if (arg.Kind == TTok::Ident)
            s = arg.Text;
        else
            Fail(arg, "ident needs a name");
        if (s.size() > 255)
            Fail(arg, "identifier longer than 255 bytes");
        Out().WriteValueTag(tagIdent);
        Out().WriteShortStr(s);
    }

    // gif('file'): the picture block of a GIF image loaded from the file.
    void GifForm(const TToken& arg) {
        if (arg.Kind != TTok::String)
            Fail(arg, "gif needs a string");
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
        Out().WriteBinary(block.data(), block.size());
    }

    void TypedValue() {
        const TToken kind = FTok;
        Advance();
        if (kind.Text == "raw") {
            RawValue();
            return;
        }
        Expect('(');
        const TToken arg = FTok;
        const std::string& k = kind.Text;
        if (!SizedInteger(k, arg) && !StringForm(k, arg))
            OtherForm(kind, arg);
        Advance();
        Expect(')');
    }

    void OtherForm(const TToken& kind, const TToken& arg) {
        const std::string& k = kind.Text;
        TWriter& w = Out();
        if (k == "single") {
            w.WriteSingle(static_cast<float>(Float(arg)));
        } else if (k == "date") {
            w.WriteDate(static_cast<double>(Float(arg)));
        } else if (k == "currency") {
            w.WriteCurrency(Currency(arg));
        } else if (k == "ident") {
            IdentForm(arg);
        } else if (k == "gif") {
            GifForm(arg);
        } else {
            Fail(kind, "unknown value form '" + k + "'");
        }
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

} // namespace formstream
