// What the headless backend answers to the questions the core asks of a backend instead
// of asking which backend it is.
#include "platform/user/Backend.h"
#include "HeadlessFixture.h"

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

} // namespace
