// scenario: runs the catalogue on the headless backend from a script and prints what a
// person would see.
//
//   scenario [--screen WxH] [--clips DIR] [--codepage N] [--fullscreen] [--volume PATH]
//            SCRIPT                                                 (SCRIPT "-": stdin)
//
// The program runs as if its executable were "quillot" in the folder where the build puts
// the clips, or in DIR; with --volume it shows the volume PATH as the program's own
// argument would. Exit status: the program's exit code; 2 for a script error; 1
// for a wrong command line or a script that cannot be read.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/dev/scenario/Runner.h"
#include "tools/dev/scenario/Script.h"

namespace {

int Usage() {
    std::cerr << "usage: scenario [--screen WxH] [--clips DIR] [--codepage N] [--fullscreen] "
                 "[--volume PATH] SCRIPT\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    scenario::TRunOptions options;
    std::string clips = QUILLOT_CLIP_DIR;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--screen" && hasValue) {
            int w = 0, h = 0;
            char x = 0, rest = 0;
            if (std::sscanf(argv[++i], "%d%c%d%c", &w, &x, &h, &rest) != 3 || x != 'x' || w <= 0 ||
                h <= 0) {
                std::cerr << "scenario: --screen takes WIDTHxHEIGHT\n";
                return 1;
            }
            options.ScreenWidth = w;
            options.ScreenHeight = h;
        } else if (arg == "--clips" && hasValue) {
            clips = argv[++i];
        } else if (arg == "--codepage" && hasValue) {
            try {
                options.CodePage = unsigned(std::stoul(argv[++i]));
            } catch (...) {
                std::cerr << "scenario: --codepage takes a number\n";
                return 1;
            }
        } else if (arg == "--volume" && hasValue) {
            options.Volume = argv[++i]; // as the program's own argument
        } else if (arg == "--fullscreen") {
            options.FullScreen = true; // as the program's own option
        } else if (script.empty() && (arg == "-" || arg.rfind("--", 0) != 0)) {
            script = arg;
        } else {
            return Usage();
        }
    }
    if (script.empty())
        return Usage();
    while (clips.size() > 1 && clips.back() == '/')
        clips.pop_back();
    options.ExecutablePath = clips + "/quillot";

    std::vector<scenario::TCommand> commands;
    scenario::TScriptError error;
    bool parsed = false;
    if (script == "-") {
        parsed = scenario::ParseScript(std::cin, commands, error);
    } else {
        std::ifstream in(script);
        if (!in) {
            std::cerr << "scenario: cannot read " << script << "\n";
            return 1;
        }
        parsed = scenario::ParseScript(in, commands, error);
    }
    if (!parsed) {
        std::cerr << "scenario: line " << error.Line << ": " << error.Message << "\n";
        return 2;
    }
    return scenario::RunScenario(commands, options, std::cout, std::cerr);
}
