// Internal to platform/sdl: the X input method's compose table, which the program never uses.
#pragma once

#include <optional>
#include <string>

namespace platform::sdl {

// While it lives, XCOMPOSEFILE names an empty file; its end puts the variable back as it
// was (set to the same text, or unset). SDL's X11 video opens an input method when it
// starts, and Xlib's local input method then reads the compose table of the locale (or the
// file XCOMPOSEFILE names): for UTF-8 locales some 6,000 sequences, about half a megabyte
// of heap kept for the whole run. The program reads keys as key codes and makes its own
// characters from them (TranslateMessage); it never takes SDL's composed text, so the
// table would only cost memory and start-up time.
class EmptyComposeTable {
public:
    EmptyComposeTable();
    ~EmptyComposeTable();
    EmptyComposeTable(const EmptyComposeTable&) = delete;
    EmptyComposeTable& operator=(const EmptyComposeTable&) = delete;

private:
    std::optional<std::string> Saved; // the variable's text before, if it was set
};

} // namespace platform::sdl
