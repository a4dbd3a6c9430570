// The operations a display backend provides to the window manager, and its selection.
// The core drives every backend through this one interface; sdl/ holds the real one and
// headless/ the in-memory one for tests.
#pragma once

#include <memory>

#include "platform/winuser.h"

namespace platform::user {

struct Window;

// Operations a backend provides.
class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;
    virtual DWORD Now() = 0;
    virtual RECT ScreenRect() = 0;
    // Moves platform events into the input queue without blocking.
    virtual void PumpEvents() = 0;
    // Blocks until an event arrives or `timeout` ms (INFINITE: no limit) have passed.
    virtual void WaitEvents(DWORD timeout) = 0;
    // Called from any thread after a message was posted.
    virtual void Wake() = 0;
    enum Change : unsigned {
        Created = 1,
        Shown = 2,
        Hidden = 4,
        Moved = 8,
        Resized = 16,
        Title = 32,
        Icon = 64,
        Destroyed = 128,
        State = 256, // maximised / minimised / restored
        ZOrder = 512,
        Enabled = 1024,
    };
    virtual void TopLevelChanged(Window* top, unsigned changes) = 0;
    virtual void Present(Window* top) = 0;
    virtual void SetCursorShape(HCURSOR cursor, bool visible) = 0;
    virtual void WarpPointer(POINT screen) = 0;
    virtual void Sleep(DWORD ms) = 0;
    // For the testing API only; the core asks the questions below instead.
    virtual bool IsHeadless() const = 0;

    // How media devices keep time: on the system's clock, decoding on a helper thread of
    // their own, or on the backend's clock (Now()), served on the program's thread from
    // actions the testing API schedules as that clock moves.
    enum class MediaClock { System, Backend };
    virtual MediaClock MediaClockKind() const = 0;
    // Whether media devices send their sound to the machine's sound output; otherwise
    // they decode it and count it as played.
    virtual bool PlaysSound() const = 0;
    // Whether input (or anything else that could end it) may still come to a modal loop
    // that has been waiting `waited` ms of Now() for it, with or without timers running.
    // A loop that waits for a person gives its default answer when nothing can come.
    virtual bool InputCanArrive(DWORD waited, bool timersRunning) = 0;
};

Backend& GetBackend();
Backend* CurrentBackend(); // null until one was chosen
void SelectBackend(const char* name);
bool BackendIsFallback(); // the display could not be opened: headless instead of sdl
std::unique_ptr<Backend> MakeHeadlessBackend();
std::unique_ptr<Backend> MakeSdlBackend();

} // namespace platform::user
