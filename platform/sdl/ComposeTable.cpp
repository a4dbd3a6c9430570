#include "platform/sdl/ComposeTable.h"

#include <cstdlib>

namespace platform::sdl {

namespace {
constexpr const char* ComposeVariable = "XCOMPOSEFILE";
// Xlib opens the file named and parses what it holds: an empty file gives an input method
// without compose sequences (a name that cannot be opened would send it to the locale's
// table instead).
constexpr const char* EmptyFile = "/dev/null";
} // namespace

EmptyComposeTable::EmptyComposeTable() {
    if (const char* before = std::getenv(ComposeVariable))
        Saved = before;
    setenv(ComposeVariable, EmptyFile, /*overwrite=*/1);
}

EmptyComposeTable::~EmptyComposeTable() {
    if (Saved)
        setenv(ComposeVariable, Saved->c_str(), /*overwrite=*/1);
    else
        unsetenv(ComposeVariable);
}

} // namespace platform::sdl
