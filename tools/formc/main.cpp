// formc: compiles a text form into a binary form stream, or decodes a binary form stream
// into text (see FormText.h for the text).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/formc/FormText.h"

namespace fs = std::filesystem;

namespace {

const char* const Usage =
    "Usage: formc [-I DIR]... [-o OUT] FILE.txt      compile a text form\n"
    "       formc -d [-p DIR | --hex] [-o OUT] FILE  decode a binary form stream\n"
    "\n"
    "  -o OUT      write the result to OUT (compiling: default FILE with the extension\n"
    "              .bin; decoding: standard output)\n"
    "  -I DIR      compiling: look for GIF files in DIR too, after the text's folder\n"
    "  -d          decode a binary form stream into its text\n"
    "  -p DIR      decoding: save GIF pictures in DIR (default: the folder of OUT, or the\n"
    "              current folder when writing to standard output)\n"
    "  --hex       decoding: write pictures in hex like other binary blocks\n"
    "  -h, --help  show this help\n"
    "\n"
    "Exit status: 0 on success, 1 when the input is wrong or a file cannot be read or\n"
    "written, 2 for a wrong command line.\n";

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

int Fail(const std::string& message) {
    std::cerr << "formc: " << message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    bool decode = false;
    bool hex = false;
    std::string output;
    std::string pictureDir;
    std::string input;
    std::vector<std::string> includes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* opt) -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "formc: " << opt << " needs a value\n" << Usage;
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::cout << Usage;
            return 0;
        } else if (a == "-d") {
            decode = true;
        } else if (a == "--hex") {
            hex = true;
        } else if (a == "-o") {
            output = value("-o");
        } else if (a == "-p") {
            pictureDir = value("-p");
        } else if (a == "-I") {
            includes.push_back(value("-I"));
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "formc: unknown option " << a << "\n" << Usage;
            return 2;
        } else if (input.empty()) {
            input = a;
        } else {
            std::cerr << "formc: more than one input file\n" << Usage;
            return 2;
        }
    }
    if (input.empty()) {
        std::cerr << "formc: no input file\n" << Usage;
        return 2;
    }
    if (!decode && (hex || !pictureDir.empty())) {
        std::cerr << "formc: -p and --hex are for decoding (-d)\n" << Usage;
        return 2;
    }

    std::string data;
    if (!ReadFile(input, data))
        return Fail("cannot read " + input);

    if (!decode) {
        const fs::path base = fs::path(input).parent_path();
        auto load = [&](const std::string& name) -> std::string {
            std::vector<fs::path> candidates;
            if (fs::path(name).is_absolute())
                candidates.push_back(name);
            else {
                candidates.push_back(base / name);
                for (const std::string& dir : includes)
                    candidates.push_back(fs::path(dir) / name);
            }
            std::string bytes;
            for (const fs::path& p : candidates)
                if (ReadFile(p.string(), bytes))
                    return bytes;
            throw formc::EFormTextError(0, "cannot read picture file " + name);
        };
        std::string stream;
        try {
            stream = formc::CompileFormText(data, load);
        } catch (const formc::EFormTextError& e) {
            return Fail(input + ":" + std::to_string(e.Line()) + ": " + e.what());
        } catch (const std::exception& e) {
            return Fail(input + ": " + e.what());
        }
        if (output.empty())
            output = fs::path(input).replace_extension(".bin").string();
        if (!WriteFile(output, stream))
            return Fail("cannot write " + output);
        return 0;
    }

    const fs::path textDir =
        output.empty() ? fs::current_path() : fs::absolute(output).parent_path();
    const fs::path picDir = pictureDir.empty() ? textDir : fs::absolute(pictureDir);
    std::string saveError;
    auto save = [&](const std::string& name, std::string_view gif) -> std::string {
        if (hex)
            return {};
        const fs::path path = picDir / name;
        if (!WriteFile(path.string(), std::string(gif))) {
            saveError = "cannot write " + path.string();
            return {};
        }
        return fs::relative(path, textDir).generic_string();
    };
    std::string text;
    std::size_t trailing = 0;
    try {
        text = formc::DecodeFormStream(data, save, &trailing);
    } catch (const formc::EFormTextError& e) {
        return Fail(input + ": " + e.what());
    }
    if (!saveError.empty())
        return Fail(saveError);
    if (trailing)
        std::cerr << "formc: warning: " << input << ": " << trailing
                  << " bytes after the form are not part of it\n";
    if (output.empty()) {
        std::cout << text;
        return std::cout ? 0 : 1;
    }
    if (!WriteFile(output, text))
        return Fail("cannot write " + output);
    return 0;
}
