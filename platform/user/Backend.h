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
    virtual bool IsHeadless() const = 0;
    // False when no input or scheduled event can arrive any more (headless only).
    virtual bool HasPendingWork() { return true; }
};

Backend& GetBackend();
Backend* CurrentBackend(); // null until one was chosen
void SelectBackend(const char* name);
bool BackendIsFallback(); // the display could not be opened: headless instead of sdl
std::unique_ptr<Backend> MakeHeadlessBackend();
std::unique_ptr<Backend> MakeSdlBackend();

} // namespace platform::user
