// The scenario language: one command per line, `#` starts a comment, blank lines are
// skipped. Commands and their arguments:
//
//   click NAME | click X Y        press X Y    move X Y    release X Y
//   key NAME                      advance MS
//   resize W H                    maximize
//   ok                            close
//   screenshot FILE               dump
//
// Coordinates are client coordinates of the main window; NAME of `click` is a component
// of the main window (checked when the line runs), NAME of `key` a virtual key's name.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace scenario {

enum class TCommandKind {
    ClickName,
    ClickAt,
    Press,
    Move,
    Release,
    Key,
    Advance,
    Resize,
    Maximize,
    Ok,
    Close,
    Screenshot,
    Dump,
};

struct TCommand {
    TCommandKind Kind = TCommandKind::Dump;
    int Line = 0;
    std::string Text; // component name, file name
    int A = 0;        // x, width, milliseconds, virtual key
    int B = 0;        // y, height
};

struct TScriptError {
    int Line = 0;
    std::string Message;
};

// Parses a whole script; false with the first error's line and message.
bool ParseScript(std::istream& in, std::vector<TCommand>& commands, TScriptError& error);

// The virtual-key code of a key name ("Space", "Return", "F5", "A", "7" ...), without
// regard to case; 0 when the name is unknown.
int VirtualKeyByName(const std::string& name);

} // namespace scenario
