// What the headless backend answers to the questions the core asks of a backend instead
// of asking which backend it is.
#include <atomic>
#include <chrono>
#include <thread>

#include "HeadlessFixture.h"
#include "platform/user/Backend.h"

namespace {

namespace t = platform::testing;
using platform::user::Backend;
using platform::user::GetBackend;

class BackendOperations : public HeadlessTest {};

TEST_F(BackendOperations, MediaRunOnTheVirtualClockWithoutSoundUnlessTestsAskForThreads) {
    EXPECT_EQ(GetBackend().MediaClockKind(), Backend::MediaClock::Backend);
    EXPECT_FALSE(GetBackend().PlaysSound());
    t::MciUseRealTime(true);
    EXPECT_EQ(GetBackend().MediaClockKind(), Backend::MediaClock::System);
    EXPECT_FALSE(GetBackend().PlaysSound());
    t::Reset();
    EXPECT_EQ(GetBackend().MediaClockKind(), Backend::MediaClock::Backend);
}

TEST_F(BackendOperations, InputCanArriveOnlyWhileSomethingMayStillHappen) {
    struct Case {
        const char* What;
        DWORD Waited;
        bool Timers, Action, Input;
        bool Expected;
    };
    const Case cases[] = {
        {"nothing at all", 0, false, false, false, false},
        {"a timer runs", 0, true, false, false, true},
        {"a test scheduled an action", 0, false, true, false, true},
        {"injected input waits", 0, false, false, true, true},
        {"a timer, but an hour has passed", 3600u * 1000u + 1, true, false, false, false},
        {"a timer, just under the hour", 3600u * 1000u, true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        t::Reset();
        HWND top = TopLevel(0, 0, 100, 100);
        Drain();
        if (c.Action)
            t::RunAt(t::Now() + 50, [] {});
        if (c.Input)
            t::KeyPress('A');
        EXPECT_EQ(GetBackend().InputCanArrive(c.Waited, c.Timers), c.Expected);
        DestroyWindow(top);
    }
}

// Standing in for a display that could not be opened, the backend's waits take real time:
// the clock never runs ahead of it, and a wake from another thread ends a wait early.
TEST_F(BackendOperations, WithoutADisplayWaitsTakeTheRealTimeTheClockMoves) {
    const auto fallback = platform::user::MakeHeadlessBackend(true);
    for (const bool woken : {false, true}) {
        SCOPED_TRACE(woken ? "woken from another thread" : "left to wait");
        const DWORD before = fallback->Now();
        const auto start = std::chrono::steady_clock::now();
        std::atomic<bool> done{false};
        std::thread waker;
        if (woken)
            waker = std::thread([&] {
                while (!done) { // until the wait has begun and seen a wake
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    fallback->Wake();
                }
            });
        fallback->WaitEvents(woken ? 60000 : 40);
        done = true;
        if (waker.joinable())
            waker.join();
        const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        const DWORD moved = fallback->Now() - before;
        EXPECT_LE(std::chrono::milliseconds(moved), real + std::chrono::milliseconds(1));
        if (!woken)
            EXPECT_EQ(moved, 40u);
        else
            EXPECT_LT(moved, 60000u);
    }
}

} // namespace
