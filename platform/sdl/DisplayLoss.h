// What the program does when its connection to the X display breaks.
#pragma once

namespace platform::sdl {

// On the X11 video driver: when the display connection is lost (the server ended or was
// killed), end the process at once with status 1 and a line on standard error. Xlib's own
// handler calls exit(), which runs the program's end-of-program steps; those talk to the
// dead display again and spin for ever inside Xlib.
void EndProcessWhenDisplayIsLost();

} // namespace platform::sdl
