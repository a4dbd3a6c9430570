// formc: compiles a text form into a binary form stream, or decodes a binary form stream
// into text (see FormText.h for the text).
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "formstream/FormText.h"

namespace fs = std::filesystem;

namespace {

const char* const Usage =
    "Usage: formc [-I DIR]... [-o OUT] FILE.txt      compile a text form\n"
    "       formc [-I DIR]... --volume DIR [--clips DIR] FILE.txt\n"
    "                                                write a volume folder\n"
    "       formc -d [-p DIR | --hex] [-o OUT] FILE  decode a binary form stream\n"
    "\n"
    "  --volume DIR  compiling: make the folder DIR a volume the catalogue shows: the\n"
    "              form stream TFORM1.bin and each picture of the form as a GIF file\n"
    "              named after its component (MainImage.gif ...)\n"
    "  --clips DIR with --volume: copy the clips (the .avi files of DIR) into it too\n"
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

struct Options {
    bool Decode = false;
    bool Hex = false;
    std::string Output;
    std::string PictureDir;
    std::string Input;
    std::string Volume;
    std::string Clips;
    std::vector<std::string> Includes;
};

// Reads the command line into `o`; returns -1 to go on, or the exit status.
int ParseArgs(int argc, char** argv, Options& o) {
    auto usageError = [](const std::string& message) {
        std::cerr << "formc: " << message << "\n" << Usage;
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool takesValue =
            a == "-o" || a == "-p" || a == "-I" || a == "--volume" || a == "--clips";
        if (takesValue && i + 1 >= argc)
            return usageError(a + " needs a value");
        if (a == "-h" || a == "--help") {
            std::cout << Usage;
            return 0;
        } else if (a == "-d") {
            o.Decode = true;
        } else if (a == "--hex") {
            o.Hex = true;
        } else if (a == "-o") {
            o.Output = argv[++i];
        } else if (a == "-p") {
            o.PictureDir = argv[++i];
        } else if (a == "-I") {
            o.Includes.push_back(argv[++i]);
        } else if (a == "--volume") {
            o.Volume = argv[++i];
        } else if (a == "--clips") {
            o.Clips = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (o.Input.empty()) {
            o.Input = a;
        } else {
            return usageError("more than one input file");
        }
    }
    if (o.Input.empty())
        return usageError("no input file");
    if (!o.Decode && (o.Hex || !o.PictureDir.empty()))
        return usageError("-p and --hex are for decoding (-d)");
    if (!o.Volume.empty() && (o.Decode || !o.Output.empty()))
        return usageError("--volume compiles into its folder (no -d, no -o)");
    if (!o.Clips.empty() && o.Volume.empty())
        return usageError("--clips needs --volume");
    return -1;
}

// A volume folder from a compiled form: the stream, its pictures taken out again under
// the names the decoder gives them, and the clips when asked for.
int WriteVolume(const Options& o, const std::string& stream) {
    std::error_code ec;
    fs::create_directories(o.Volume, ec);
    const fs::path dir(o.Volume);
    if (!WriteFile((dir / "TFORM1.bin").string(), stream))
        return Fail("cannot write " + (dir / "TFORM1.bin").string());
    std::string saveError;
    formstream::DecodeFormStream(stream, [&](const std::string& name, std::string_view gif) {
        if (!WriteFile((dir / name).string(), std::string(gif)))
            saveError = "cannot write " + (dir / name).string();
        return name;
    });
    if (!saveError.empty())
        return Fail(saveError);
    if (o.Clips.empty())
        return 0;
    int copied = 0;
    for (fs::directory_iterator it(o.Clips, ec), end; !ec && it != end; it.increment(ec)) {
        std::string ext = it->path().extension().string();
        for (char& c : ext)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".avi" || !it->is_regular_file())
            continue;
        fs::copy_file(it->path(), dir / it->path().filename(), fs::copy_options::overwrite_existing,
                      ec);
        if (ec)
            return Fail("cannot copy " + it->path().string() + ": " + ec.message());
        ++copied;
    }
    if (ec)
        return Fail("cannot read " + o.Clips + ": " + ec.message());
    if (copied == 0)
        return Fail("no clips (.avi files) in " + o.Clips);
    return 0;
}

// Text form to binary form stream; pictures are looked up beside the text, then in the
// -I folders.
int Compile(Options& o, const std::string& data) {
    const fs::path base = fs::path(o.Input).parent_path();
    auto load = [&](const std::string& name) -> std::string {
        std::vector<fs::path> candidates;
        if (fs::path(name).is_absolute())
            candidates.push_back(name);
        else {
            candidates.push_back(base / name);
            for (const std::string& dir : o.Includes)
                candidates.push_back(fs::path(dir) / name);
        }
        std::string bytes;
        for (const fs::path& p : candidates)
            if (ReadFile(p.string(), bytes))
                return bytes;
        throw formstream::EFormTextError(0, "cannot read picture file " + name);
    };
    std::string stream;
    try {
        stream = formstream::CompileFormText(data, load);
    } catch (const formstream::EFormTextError& e) {
        return Fail(o.Input + ":" + std::to_string(e.Line()) + ": " + e.what());
    } catch (const std::exception& e) {
        return Fail(o.Input + ": " + e.what());
    }
    if (!o.Volume.empty())
        return WriteVolume(o, stream);
    if (o.Output.empty())
        o.Output = fs::path(o.Input).replace_extension(".bin").string();
    if (!WriteFile(o.Output, stream))
        return Fail("cannot write " + o.Output);
    return 0;
}

// Binary form stream to text; pictures are saved as files unless --hex.
int Decode(const Options& o, const std::string& data) {
    const fs::path textDir =
        o.Output.empty() ? fs::current_path() : fs::absolute(o.Output).parent_path();
    const fs::path picDir = o.PictureDir.empty() ? textDir : fs::absolute(o.PictureDir);
    std::string saveError;
    auto save = [&](const std::string& name, std::string_view gif) -> std::string {
        if (o.Hex)
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
        text = formstream::DecodeFormStream(data, save, &trailing);
    } catch (const formstream::EFormTextError& e) {
        return Fail(o.Input + ": " + e.what());
    }
    if (!saveError.empty())
        return Fail(saveError);
    if (trailing)
        std::cerr << "formc: warning: " << o.Input << ": " << trailing
                  << " bytes after the form are not part of it\n";
    if (o.Output.empty()) {
        std::cout << text;
        return std::cout ? 0 : 1;
    }
    if (!WriteFile(o.Output, text))
        return Fail("cannot write " + o.Output);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (int status = ParseArgs(argc, argv, o); status >= 0)
        return status;
    std::string data;
    if (!ReadFile(o.Input, data))
        return Fail("cannot read " + o.Input);
    return o.Decode ? Decode(o, data) : Compile(o, data);
}
