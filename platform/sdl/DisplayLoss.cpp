#include "platform/sdl/DisplayLoss.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

namespace platform::sdl {

namespace {

int DisplayLost(Display*) {
    std::fflush(stdout);
    std::fprintf(stderr, "platform: the connection to the display was lost; ending\n");
    _exit(1); // nothing may touch the display again, not even the exit handlers
}

} // namespace

void EndProcessWhenDisplayIsLost() {
    XSetIOErrorHandler(DisplayLost);
}

} // namespace platform::sdl
