// The catalogue program. The framework's end-of-program step destroys the forms (and a
// clip still open is closed by its player) after main returns. Help, the version and a
// wrong command line are answered before any window is made.
#include <iostream>

#include "app/CommandLine.h"
#include "app/Program.h"
#include "platform/phases.h"

int main(int argc, char** argv) {
    platform::MarkPhase("main");
    const app::TCommandLine line = app::ParseCommandLine(argc, argv);
    if (line.Action != app::TCommandLine::caRun)
        return app::AnswerCommandLine(line, std::cout, std::cerr);
    app::StartFramework();
    platform::MarkPhase("framework");
    return app::QuillotMain(line);
}
