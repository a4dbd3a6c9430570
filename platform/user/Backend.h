// The operations a display backend provides to the window manager, and its selection.
// The core drives every backend through this one interface; sdl/ holds the real one and
// headless/ the in-memory one for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
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
    // Where the client-area pixels of top-level window `top` live at `width` x `height`
    // (both above 0): in memory of the backend's (the display's own image of the window,
    // 0x00RRGGBB rows `Stride` pixels apart, so presenting needs no copy), in a store of
    // the window's own (Pixels null, the default), or, with Later, in the backend's as
    // soon as the display's window exists (the backend calls RebindSurface then, before
    // anything can paint). Called under the pixel lock; the memory stays the window's
    // until the backend rebinds it.
    struct WindowPixels {
        std::uint32_t* Pixels = nullptr;
        int Stride = 0;
        bool Later = false;
    };
    virtual WindowPixels PixelsFor(Window* top, int width, int height);
    virtual void SetCursorShape(HCURSOR cursor, bool visible) = 0;
    virtual void WarpPointer(POINT screen) = 0;
    virtual void Sleep(DWORD ms) = 0;
    // Runs `action` on the program's thread once Now() has reached `tick`, from the
    // program's next wait or pump of events at or after that time; the backend's clock
    // is the one Now() reads (virtual on the headless backend, which jumps to the action
    // when nothing is due earlier). Called on the program's thread.
    virtual void RunAt(DWORD tick, std::function<void()> action) = 0;

    // How media devices keep time: on the system's clock, decoding on a helper thread of
    // their own, or on the backend's clock (Now()), served on the program's thread from
    // actions scheduled with RunAt as that clock moves.
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

// The actions a backend holds for RunAt, by due time.
using ScheduledActions = std::multimap<DWORD, std::function<void()>>;

// Runs the actions whose time has come by the clock `now()`, each once and in order of
// time; an action may schedule others or move a virtual clock.
template <class NowFn> void RunDueActions(ScheduledActions& actions, NowFn now) {
    while (!actions.empty() && std::int32_t(actions.begin()->first - now()) <= 0) {
        auto action = std::move(actions.begin()->second);
        actions.erase(actions.begin());
        action();
    }
}

Backend& GetBackend();
Backend* CurrentBackend(); // null until one was chosen
void SelectBackend(const char* name);
bool BackendIsFallback(); // the display could not be opened: headless instead of sdl
// With `realTime`, the program's waits take the real time they move the clock by (the
// program runs without a display, and its timers must not race).
std::unique_ptr<Backend> MakeHeadlessBackend(bool realTime = false);
std::unique_ptr<Backend> MakeSdlBackend();

} // namespace platform::user
