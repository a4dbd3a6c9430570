// rescomp: compiles a resource script into a C++ source file that registers the
// resources with the platform layer's resource table at start-up.
//
//   rescomp script.rc out.cpp [--depfile out.d]
//
// The script dialect (a small part of the usual resource-script language):
//   NAME TYPE "file"          TYPE is RCDATA, BITMAP, ICON, a number or a quoted string;
//                             NAME is an identifier, a number or a quoted string.
//   STRINGTABLE [options] { id, "text" ... }   (BEGIN/END work as braces; the comma is
//                             optional; "" inside a string is a quote, \n \t \\ \" escapes)
//   // and /* */ comments; lines starting with # are ignored.
// Files are found relative to the script. A BITMAP file loses its 14-byte file header
// (resources hold the bitmap without it); an ICON file is kept whole as a group-icon
// resource. Strings are UTF-8 in the script and stored as UTF-16 string blocks of 16.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Token {
    enum Kind { Word, String, End } K = End;
    std::string Text;
    int Line = 0;
};

struct Error {
    std::string Message;
};

class Lexer {
public:
    explicit Lexer(std::string src) : Src(std::move(src)) {}

    Token Next() {
        SkipSpace();
        Token t;
        t.Line = Line;
        if (Pos >= Src.size())
            return t;
        char c = Src[Pos];
        if (c == '"') {
            t.K = Token::String;
            ++Pos;
            for (;;) {
                if (Pos >= Src.size())
                    throw Error{"line " + std::to_string(t.Line) + ": unterminated string"};
                char d = Src[Pos++];
                if (d == '"') {
                    if (Pos < Src.size() && Src[Pos] == '"') {
                        t.Text += '"';
                        ++Pos;
                        continue;
                    }
                    break;
                }
                if (d == '\n')
                    ++Line;
                if (d == '\\' && Pos < Src.size()) {
                    char e = Src[Pos++];
                    switch (e) {
                    case 'n':
                        t.Text += '\n';
                        break;
                    case 'r':
                        t.Text += '\r';
                        break;
                    case 't':
                        t.Text += '\t';
                        break;
                    case '0':
                        t.Text += '\0';
                        break;
                    default:
                        t.Text += e;
                        break;
                    }
                    continue;
                }
                t.Text += d;
            }
            return t;
        }
        t.K = Token::Word;
        if (c == '{' || c == '}' || c == ',') {
            t.Text = std::string(1, c);
            ++Pos;
            return t;
        }
        while (Pos < Src.size() && !std::isspace(static_cast<unsigned char>(Src[Pos])) &&
               Src[Pos] != '{' && Src[Pos] != '}' && Src[Pos] != ',' && Src[Pos] != '"')
            t.Text += Src[Pos++];
        return t;
    }

private:
    void SkipSpace() {
        for (;;) {
            while (Pos < Src.size() && std::isspace(static_cast<unsigned char>(Src[Pos]))) {
                if (Src[Pos] == '\n')
                    ++Line;
                ++Pos;
            }
            if (Src.compare(Pos, 2, "//") == 0 ||
                (Pos < Src.size() && Src[Pos] == '#' && AtLineStart())) {
                while (Pos < Src.size() && Src[Pos] != '\n')
                    ++Pos;
                continue;
            }
            if (Src.compare(Pos, 2, "/*") == 0) {
                std::size_t end = Src.find("*/", Pos + 2);
                for (std::size_t i = Pos; i < std::min(end, Src.size()); ++i)
                    if (Src[i] == '\n')
                        ++Line;
                Pos = end == std::string::npos ? Src.size() : end + 2;
                continue;
            }
            return;
        }
    }

    // Only blanks stand between the line's start and the current position.
    bool AtLineStart() const {
        for (std::size_t i = Pos; i > 0; --i) {
            char c = Src[i - 1];
            if (c == '\n')
                return true;
            if (c != ' ' && c != '\t' && c != '\r')
                return false;
        }
        return true;
    }

    std::string Src;
    std::size_t Pos = 0;
    int Line = 1;
};

struct Resource {
    bool TypeIsNumber;
    unsigned TypeId;
    std::string TypeName;
    bool NameIsNumber;
    unsigned NameId;
    std::string Name;
    std::vector<unsigned char> Data;
};

bool ParseNumber(const std::string& s, unsigned& out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (*end != 0 || v > 0xFFFF)
        return false;
    out = unsigned(v);
    return true;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<unsigned char> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error{"cannot open " + path.string()};
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::u16string Utf16(const std::string& s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t c;
        std::size_t n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            n = 4;
        } else {
            throw Error{"string is not UTF-8"};
        }
        if (i + n > s.size())
            throw Error{"string is not UTF-8"};
        for (std::size_t k = 1; k < n; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                throw Error{"string is not UTF-8"};
            c = (c << 6) | (d & 0x3F);
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
    return out;
}

struct Compiler {
    std::filesystem::path Dir;
    std::vector<Resource> Resources;
    std::map<unsigned, std::u16string> Strings;
    std::vector<std::string> Inputs;

    void Compile(const std::string& source) {
        Lexer lex(source);
        for (Token t = lex.Next(); t.K != Token::End; t = lex.Next()) {
            if (t.K == Token::Word && Upper(t.Text) == "STRINGTABLE") {
                StringTable(lex);
                continue;
            }
            Token type = lex.Next();
            Token file = lex.Next();
            if (type.K == Token::End)
                throw Error{"line " + std::to_string(t.Line) + ": resource type expected"};
            if (file.K != Token::String)
                throw Error{"line " + std::to_string(t.Line) + ": quoted file name expected"};
            Resource r{};
            unsigned n;
            if (t.K == Token::Word && ParseNumber(t.Text, n)) {
                r.NameIsNumber = true;
                r.NameId = n;
            } else {
                r.Name = t.Text;
            }
            std::string ut = Upper(type.Text);
            std::filesystem::path path = Dir / file.Text;
            Inputs.push_back(path.string());
            r.Data = ReadFile(path);
            r.TypeIsNumber = true;
            if (type.K == Token::Word && ut == "RCDATA") {
                r.TypeId = 10;
            } else if (type.K == Token::Word && ut == "BITMAP") {
                r.TypeId = 2;
                if (r.Data.size() < 14 + 40 || r.Data[0] != 'B' || r.Data[1] != 'M')
                    throw Error{path.string() + ": not a BMP file"};
                r.Data.erase(r.Data.begin(), r.Data.begin() + 14);
            } else if (type.K == Token::Word && ut == "ICON") {
                r.TypeId = 14;
            } else if (type.K == Token::Word && ParseNumber(type.Text, n)) {
                r.TypeId = n;
            } else {
                r.TypeIsNumber = false;
                r.TypeName = type.Text;
            }
            Resources.push_back(std::move(r));
        }
    }

    void StringTable(Lexer& lex) {
        Token t = lex.Next();
        while (t.K == Token::Word && t.Text != "{" && Upper(t.Text) != "BEGIN")
            t = lex.Next(); // options such as LANGUAGE are accepted and ignored
        if (t.K == Token::End)
            throw Error{"STRINGTABLE without a body"};
        for (;;) {
            Token id = lex.Next();
            if (id.K == Token::End)
                throw Error{"STRINGTABLE not closed"};
            if (id.K == Token::Word && (id.Text == "}" || Upper(id.Text) == "END"))
                return;
            unsigned n;
            if (id.K != Token::Word || !ParseNumber(id.Text, n))
                throw Error{"line " + std::to_string(id.Line) + ": string id expected"};
            Token text = lex.Next();
            if (text.K == Token::Word && text.Text == ",")
                text = lex.Next();
            if (text.K != Token::String)
                throw Error{"line " + std::to_string(id.Line) + ": quoted string expected"};
            if (Strings.count(n))
                throw Error{"line " + std::to_string(id.Line) + ": string id " + std::to_string(n) +
                            " defined twice"};
            Strings[n] = Utf16(text.Text);
        }
    }

    void StringBlocks() {
        std::map<unsigned, std::vector<unsigned char>> blocks;
        for (auto& [id, text] : Strings) {
            unsigned block = (id >> 4) + 1;
            if (blocks.count(block))
                continue;
            std::vector<unsigned char> data;
            for (unsigned i = 0; i < 16; ++i) {
                auto it = Strings.find(((block - 1) << 4) + i);
                std::u16string s = it == Strings.end() ? std::u16string() : it->second;
                data.push_back((unsigned char)(s.size() & 0xFF));
                data.push_back((unsigned char)(s.size() >> 8));
                for (char16_t c : s) {
                    data.push_back((unsigned char)(c & 0xFF));
                    data.push_back((unsigned char)(c >> 8));
                }
            }
            blocks[block] = std::move(data);
        }
        for (auto& [block, data] : blocks)
            Resources.push_back(Resource{true, 6, "", true, block, "", std::move(data)});
    }

    static std::string Quote(const std::string& s) {
        std::string out = "\"";
        for (unsigned char c : s) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += char(c);
            } else if (c < 0x20 || c >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\%03o", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
        return out + "\"";
    }

    std::string Emit() const {
        std::ostringstream o;
        o << "// Generated by rescomp; do not edit.\n#include "
             "\"platform/kernel/ResourceTable.h\"\n\n"
             "namespace {\n\n";
        for (std::size_t i = 0; i < Resources.size(); ++i) {
            const auto& d = Resources[i].Data;
            o << "const unsigned char Data" << i << "[] = {";
            for (std::size_t k = 0; k < d.size(); ++k) {
                if (k % 24 == 0)
                    o << "\n   ";
                o << ' ' << unsigned(d[k]) << ',';
            }
            if (d.empty())
                o << "0";
            o << "\n};\n\n";
        }
        o << "const platform::ResourceEntry Entries[] = {\n";
        for (std::size_t i = 0; i < Resources.size(); ++i) {
            const Resource& r = Resources[i];
            o << "    {" << (r.TypeIsNumber ? "nullptr" : Quote(r.TypeName)) << ", "
              << (r.TypeIsNumber ? r.TypeId : 0) << ", "
              << (r.NameIsNumber ? "nullptr" : Quote(r.Name)) << ", "
              << (r.NameIsNumber ? r.NameId : 0) << ", Data" << i << ", " << r.Data.size()
              << "},\n";
        }
        if (Resources.empty())
            o << "    {nullptr, 0, nullptr, 0, nullptr, 0},\n";
        o << "};\n\n"
          << "const bool Registered = platform::RegisterResourceTable(Entries, " << Resources.size()
          << ");\n\n} // namespace\n";
        return o.str();
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--depfile")) {
        std::cerr << "usage: rescomp script.rc out.cpp [--depfile out.d]\n";
        return 2;
    }
    try {
        std::filesystem::path script = argv[1];
        std::ifstream in(script, std::ios::binary);
        if (!in)
            throw Error{"cannot open " + script.string()};
        std::string source((std::istreambuf_iterator<char>(in)), {});
        Compiler c;
        c.Dir = script.parent_path();
        c.Compile(source);
        c.StringBlocks();
        std::string text = c.Emit();
        std::ofstream out(argv[2], std::ios::binary);
        out << text;
        if (!out)
            throw Error{std::string("cannot write ") + argv[2]};
        if (argc == 5) {
            std::ofstream dep(argv[4]);
            dep << argv[2] << ":";
            for (const auto& f : c.Inputs)
                dep << " " << f;
            dep << "\n";
        }
    } catch (const Error& e) {
        std::cerr << "rescomp: " << argv[1] << ": " << e.Message << "\n";
        return 1;
    }
    return 0;
}
