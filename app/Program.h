// The catalogue's entry point: the application object's start-up, the main window, the
// message loop. It always returns 0; a failure before the loop runs (the form resource,
// a picture) is shown in a message box first.
#pragma once

#include "app/CommandLine.h"

namespace app {

// The framework's start-up, before the entry point: the stream classes of every unit
// are registered and the screen and application objects made.
void StartFramework();

// Runs the catalogue as the command line asks (with --fullscreen, the main window
// starts full screen).
int QuillotMain(const TCommandLine& line = {});

} // namespace app
