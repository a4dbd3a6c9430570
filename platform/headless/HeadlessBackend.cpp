// The headless backend: windows live only in memory, time is a virtual clock that moves
// when a test advances it or when the program waits with nothing but a timer (or a
// scheduled test action) ahead, and input comes from the testing API. It exists for
// tests and for scripted runs of the program without a display. When it stands in for a
// display that could not be opened, the program's waits last as long in real time as
// they move the clock, so that a program left running does not spin through its timers.
#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "platform/headless/Headless.h"
#include "platform/user/WindowManager.h"

namespace platform::headless {

namespace {

class HeadlessBackend final : public user::Backend {
public:
    explicit HeadlessBackend(bool realTime) : RealTime(realTime) {}
    const char* Name() const override { return "headless"; }
    DWORD Now() override { return Clock().load(); }
    RECT ScreenRect() override { return RECT{0, 0, ScreenWidth(), ScreenHeight()}; }
    void PumpEvents() override { RunDueActions(); }
    void WaitEvents(DWORD timeout) override {
        if (!user::Input().Queue.empty())
            return;
        std::uint64_t wakes = 0;
        {
            std::lock_guard<std::mutex> lock(user::Posted().Lock);
            if (!user::Posted().Messages.empty() || !user::Posted().Sent.empty())
                return;
            wakes = user::Posted().WakeCount;
        }
        auto& actions = Actions();
        DWORD now = Clock();
        bool haveAction = !actions.empty();
        DWORD actionAt = haveAction ? actions.begin()->first : 0;
        if (haveAction && (timeout == INFINITE || std::int32_t(actionAt - (now + timeout)) <= 0)) {
            if (std::int32_t(actionAt - now) > 0)
                Clock() = now + Pass(actionAt - now, wakes);
            RunDueActions();
            return;
        }
        if (timeout != INFINITE) {
            Clock() = now + Pass(timeout, wakes);
            return;
        }
        // Nothing is ever due on the virtual clock. Another thread of the layer may still
        // post or send something: give it a moment of real time, then return rather than
        // hang.
        WaitForWake(10, wakes);
    }
    // Waits up to `ms` of real time for a wake after `wakes`; the milliseconds waited.
    static DWORD WaitForWake(DWORD ms, std::uint64_t wakes) {
        const auto start = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(user::Posted().Lock);
        if (!user::Posted().Woken.wait_for(lock, std::chrono::milliseconds(ms),
                                           [&] { return user::Posted().WakeCount != wakes; }))
            return ms;
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        return std::min<DWORD>(ms, DWORD(waited.count()));
    }
    // How far the clock moves for a wait of `ms`: all of it at once, or in real time as much
    // of it as passes before something is posted or the thread is woken.
    DWORD Pass(DWORD ms, std::uint64_t wakes) { return RealTime ? WaitForWake(ms, wakes) : ms; }
    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(user::Posted().Lock);
            ++user::Posted().WakeCount;
        }
        user::Posted().Woken.notify_all();
    }
    void TopLevelChanged(user::Window*, unsigned) override {}
    void Present(user::Window*) override {}
    void SetCursorShape(HCURSOR, bool) override {}
    void WarpPointer(POINT) override {}
    void Sleep(DWORD ms) override {
        if (!user::IsGuiThread()) {
            // Helper threads of the layer wait in real time; only the program's thread
            // moves the virtual clock.
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return;
        }
        Clock() += ms;
        RunDueActions();
    }
    void RunAt(DWORD tick, std::function<void()> action) override {
        Actions().emplace(tick, std::move(action));
    }
    MediaClock MediaClockKind() const override {
        return MediaOnSystemClock() ? MediaClock::System : MediaClock::Backend;
    }
    bool PlaysSound() const override { return false; }
    // Nobody sits at this display: only input a test injected, an action it scheduled or
    // a timer's handler can end a modal loop, and after an hour of the virtual clock
    // nothing will.
    bool InputCanArrive(DWORD waited, bool timersRunning) override {
        if (waited > 3600u * 1000u)
            return false;
        return timersRunning || !Actions().empty() || !user::Input().Queue.empty();
    }

private:
    bool RealTime;
};

} // namespace

bool& MediaOnSystemClock() {
    static bool system = false;
    return system;
}

std::atomic<DWORD>& Clock() {
    static std::atomic<DWORD> clock{1000};
    return clock;
}

int& ScreenWidth() {
    static int width = 1280;
    return width;
}

int& ScreenHeight() {
    static int height = 1024;
    return height;
}

user::ScheduledActions& Actions() {
    static user::ScheduledActions actions;
    return actions;
}

void RunDueActions() {
    user::RunDueActions(Actions(), [] { return Clock().load(); });
}

} // namespace platform::headless

namespace platform::user {

std::unique_ptr<Backend> MakeHeadlessBackend(bool realTime) {
    return std::make_unique<headless::HeadlessBackend>(realTime);
}

} // namespace platform::user
