// Runs the catalogue's own entry point on the headless backend and plays a script into
// it. Each line waits until the program has handled everything already pending (its loop
// would wait), without moving the virtual clock; `advance` lets the loop run on for that
// much virtual time. A message box that a line opens stays open, with the program's loop
// running inside it, until a later `ok` answers it.
//
// `dump` prints one line each:
//   window caption="..." state=maximized|normal|minimized|fullscreen outer=W,H client=W,H
//   component NAME CLASS visible=0|1 enabled=0|1 bounds=L,T,W,H     (each control)
//   component NAME CLASS enabled=0|1 [interval=N]                   (the others)
//   player open=0|1 file="..." mode=N position=N length=N
//   shell clipstate=N korean=0|1 exedir="..."
//   box caption="..." text="..."                                    (each open box)
// When the program has no main window (its start failed), `dump` prints "window none"
// and the open boxes, which say what failed.
// In quoted values a quote is doubled and a control character is written as \xHH.
// After the script, or when the program ends, `exit N` gives its exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/dev/scenario/Script.h"

namespace scenario {

struct TRunOptions {
    int ScreenWidth = 1280;
    int ScreenHeight = 1024;
    unsigned CodePage = 0;
    std::string ExecutablePath; // the path the program believes it runs from (POSIX form)
    bool FullScreen = false;    // the program's --fullscreen
    std::string Volume;         // the program's VOLUME argument (POSIX form)
};

// Runs the program with the script; prints dumps to `out` and script errors to `err`.
// Returns the program's exit code, or 2 after a script error.
int RunScenario(const std::vector<TCommand>& commands, const TRunOptions& options,
                std::ostream& out, std::ostream& err);

} // namespace scenario
