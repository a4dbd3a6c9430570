#include "app/CommandLine.h"

#include <vector>

#ifndef QUILLOT_VERSION
#error "QUILLOT_VERSION must name the project's version"
#endif

namespace app {

namespace {

constexpr std::string_view ProgramName = "quillot";

} // namespace

TCommandLine ParseCommandLine(std::span<const std::string_view> args) {
    TCommandLine line;
    bool options = true;
    bool haveVolume = false;
    for (const std::string_view arg : args) {
        const bool isOption = options && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (!haveVolume) {
                haveVolume = true;
                line.Volume = arg;
                continue;
            }
        } else if (arg == "--") {
            options = false;
            continue;
        } else if (arg == "--help" || arg == "--version") {
            line.Action = arg == "--help" ? TCommandLine::caHelp : TCommandLine::caVersion;
            return line;
        } else if (arg == "--fullscreen") {
            line.FullScreen = true;
            continue;
        }
        // Everything else is wrong: "-x", "--x", "--fullscreen=1", a second volume.
        line.Action = TCommandLine::caWrong;
        line.Error = isOption ? "unknown option '" + std::string(arg) + "'"
                              : "unexpected argument '" + std::string(arg) + "'";
        return line;
    }
    return line;
}

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return ParseCommandLine(args);
}

std::string VersionText() {
    return std::string(ProgramName) + " " + QUILLOT_VERSION + "\n";
}

std::string UsageText() {
    return "Usage: quillot [--fullscreen] [VOLUME]\n"
           "       quillot --help | --version\n"
           "Shows the Quillot 05 Vol. 1 style catalogue and plays its clips.\n"
           "\n"
           "VOLUME shows another volume: a Windows executable whose form resource TFORM1\n"
           "gives the window (its clips beside it), or a folder with a form file\n"
           "(TFORM1.bin or the text form Form1.txt) and the clips.\n"
           "\n"
           "Options:\n"
           "  --fullscreen  start with the window full screen; F11 switches between full\n"
           "                screen and the maximised window\n"
           "  --help        print this help and exit\n"
           "  --version     print the version and exit\n";
}

int AnswerCommandLine(const TCommandLine& line, std::ostream& out, std::ostream& err) {
    switch (line.Action) {
    case TCommandLine::caHelp:
        out << UsageText();
        return 0;
    case TCommandLine::caVersion:
        out << VersionText();
        return 0;
    case TCommandLine::caWrong:
        err << ProgramName << ": " << line.Error << "\n" << UsageText();
        return 2;
    case TCommandLine::caRun:
        break;
    }
    return 0;
}

} // namespace app
