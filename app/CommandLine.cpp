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
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "--version") {
            line.Action = arg == "--help" ? TCommandLine::caHelp : TCommandLine::caVersion;
            return line;
        }
        if (arg == "--fullscreen") {
            line.FullScreen = true;
            continue;
        }
        // Everything else is wrong today: "-x", "--x", "--fullscreen=1", and the
        // positional argument a later version takes for a volume.
        line.Action = TCommandLine::caWrong;
        line.Error = arg.size() > 1 && arg[0] == '-'
                         ? "unknown option '" + std::string(arg) + "'"
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
    return "Usage: quillot [--fullscreen]\n"
           "       quillot --help | --version\n"
           "Shows the Quillot 05 Vol. 1 style catalogue and plays its clips.\n"
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
