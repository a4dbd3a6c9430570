// The catalogue's entry point: the application object's start-up, the volume named on the
// command line, the main window, the message loop. A failure before the loop runs (the
// volume, the form resource, a picture) is shown in one message box; then it returns 1
// when a volume was named, else 0, as it does after the loop.
#pragma once

#include "app/CommandLine.h"

namespace app {

// The framework's start-up, before the entry point: the stream classes of every unit
// are registered and the screen and application objects made.
void StartFramework();

// Runs the catalogue as the command line asks (with --fullscreen, the main window
// starts full screen).
int QuillotMain(const TCommandLine& line = {});

// Closes the volume the last QuillotMain opened (at process end it stays open), so that
// a later run in the same process starts on the built-in volume.
void CloseVolume();

} // namespace app
