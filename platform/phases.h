// Marks of a program's start-up over this layer, for the start-up figures. When the
// environment variable QUILLOT_PHASES is set, each mark is written to the standard error
// as "phase NAME SECONDS", the seconds on the monotonic clock (the clock a launching
// program reads as well, so that it can line the marks up with the launch and with the
// first frame it sees on the screen). Otherwise a mark costs the test of one flag.
#pragma once

namespace platform {

void MarkPhase(const char* name);

} // namespace platform
