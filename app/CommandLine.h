// The program's command line:
//
//   quillot [--fullscreen] [VOLUME]
//   quillot --help | --version
//
// Without arguments the catalogue starts as it always has. VOLUME, a Windows executable
// or a folder (app/Volume.h), is shown instead of the built-in volume; "--" ends the
// options, so that a volume's name may begin with "-". --help and --version print to
// standard output and end with status 0; an unknown option or a second VOLUME prints
// what is wrong and the usage to standard error and ends with status 2. The usage text
// lives here alone; the manual page follows it.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace app {

struct TCommandLine {
    enum TAction { caRun, caHelp, caVersion, caWrong };
    TAction Action = caRun;
    bool FullScreen = false; // --fullscreen: the window starts full screen
    std::string Volume;      // the volume to show; empty for the built-in one
    std::string Error;       // for caWrong: what is wrong, without the program's name
};

// Reads the arguments after the program's name, in order: the first of --help and
// --version decides, and the first wrong argument before it makes the line wrong.
TCommandLine ParseCommandLine(std::span<const std::string_view> args);
TCommandLine ParseCommandLine(int argc, const char* const* argv);

// "quillot 0.1", the project's version.
std::string VersionText();
// The --help text, ending in a newline.
std::string UsageText();

// Answers a line that does not run the catalogue (help, version, a wrong line) and
// returns the exit status: 0 for help and version, 2 for a wrong line.
int AnswerCommandLine(const TCommandLine& line, std::ostream& out, std::ostream& err);

} // namespace app
