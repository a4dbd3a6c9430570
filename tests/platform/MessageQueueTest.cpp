#include "HeadlessFixture.h"
#include <thread>

namespace t = platform::testing;

namespace {

std::vector<UINT> Kinds(const std::vector<MSG>& msgs) {
    std::vector<UINT> out;
    for (const MSG& m : msgs)
        out.push_back(m.message);
    return out;
}

} // namespace

using MessageQueue = HeadlessTest;

TEST_F(MessageQueue, PostedMessagesComeInOrderBeforePaintAndTimer) {
    HWND w = TopLevel(10, 10, 200, 100);
    Drain();
    ASSERT_TRUE(SetTimer(w, 7, 100, nullptr));
    t::AdvanceClock(150);
    InvalidateRect(w, nullptr, TRUE);
    PostMessageA(w, WM_USER + 1, 1, 0);
    PostMessageA(w, WM_USER + 2, 2, 0);
    PostMessageA(w, WM_APP, 3, 0);
    auto taken = Drain();
    EXPECT_EQ(Kinds(taken),
              (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_APP, WM_PAINT, WM_TIMER}));
}

TEST_F(MessageQueue, InputComesAfterPostedAndBeforePaint) {
    HWND w = TopLevel(0, 0, 300, 300);
    Drain();
    InvalidateRect(w, nullptr, FALSE);
    t::KeyDown('Q');
    PostMessageA(w, WM_USER, 0, 0);
    auto taken = Drain();
    ASSERT_GE(taken.size(), 3u);
    EXPECT_EQ(taken[0].message, WM_USER);
    EXPECT_EQ(taken[1].message, WM_KEYDOWN);
    EXPECT_EQ(taken[2].message, WM_CHAR);
    EXPECT_EQ(taken[2].wParam, WPARAM('q'));
    EXPECT_EQ(taken.back().message, WM_PAINT);
}

TEST_F(MessageQueue, CharacterFollowsMessagesPostedBeforeTranslation) {
    HWND w = TopLevel(0, 0, 300, 300);
    Drain();
    t::KeyDown('Q');
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(m.message, WM_KEYDOWN);
    PostMessageA(w, WM_USER, 0, 0);
    TranslateMessage(&m);
    auto taken = Drain();
    ASSERT_GE(taken.size(), 2u);
    EXPECT_EQ(taken[0].message, WM_USER);
    EXPECT_EQ(taken[1].message, WM_CHAR);
}

TEST_F(MessageQueue, PaintIsNeverDoubledAndStopsOnceValidated) {
    HWND w = TopLevel(0, 0, 300, 300);
    Drain();
    Log().clear();
    for (int i = 0; i < 5; ++i)
        InvalidateRect(w, nullptr, TRUE);
    RECT part{10, 10, 20, 20};
    InvalidateRect(w, &part, FALSE);
    Drain();
    EXPECT_EQ(Received(WM_PAINT, w).size(), 1u);
    EXPECT_EQ(Received(WM_ERASEBKGND, w).size(), 1u);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(MessageQueue, TimerFiresOnlyWhenDueAndNeverPilesUp) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    ASSERT_EQ(SetTimer(w, 1, 100, nullptr), 1u);
    MSG m;
    t::AdvanceClock(99);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    t::AdvanceClock(1);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(m.hwnd, w);
    EXPECT_EQ(m.wParam, 1u);
    // Ten intervals pass unattended: one message, not ten.
    t::AdvanceClock(1000);
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(MessageQueue, TimerWaitsWhilePostedMessagesArePending) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    SetTimer(w, 1, 50, nullptr);
    t::AdvanceClock(60);
    PostMessageA(w, WM_USER, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
}

TEST_F(MessageQueue, KillTimerStopsTicksAndRejectsUnknownTimers) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    SetTimer(w, 3, 100, nullptr);
    EXPECT_TRUE(KillTimer(w, 3));
    EXPECT_FALSE(KillTimer(w, 3));
    EXPECT_FALSE(KillTimer(w, 99));
    t::AdvanceClock(500);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x12345), 1, 100, nullptr), 0u);
}

TEST_F(MessageQueue, RefusedSetTimerChangesNothingUntilTheRefusalsAreUsedUp) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    ASSERT_EQ(SetTimer(w, 1, 100, nullptr), 1u);
    t::FailNextSetTimer(2);
    // Neither a new timer nor a change to the existing one goes through.
    EXPECT_EQ(SetTimer(w, 2, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NO_SYSTEM_RESOURCES);
    EXPECT_EQ(SetTimer(w, 1, 10, nullptr), 0u);
    t::AdvanceClock(50);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    t::AdvanceClock(50);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(m.wParam, 1u);
    // The third call works again; Reset forgets a pending refusal.
    EXPECT_EQ(SetTimer(w, 2, 10, nullptr), 2u);
    t::FailNextSetTimer(5);
    t::Reset();
    w = TopLevel(0, 0, 100, 100);
    EXPECT_EQ(SetTimer(w, 3, 10, nullptr), 3u);
}

namespace {
int TimerProcCalls = 0;
void CountingTimerProc(HWND, UINT msg, UINT_PTR, DWORD) {
    if (msg == WM_TIMER)
        ++TimerProcCalls;
}
} // namespace

TEST_F(MessageQueue, DispatchCallsTimerProcInsteadOfWindowProcedure) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    Log().clear();
    TimerProcCalls = 0;
    SetTimer(w, 5, 20, CountingTimerProc);
    UINT_PTR threadTimer = SetTimer(nullptr, 0, 20, CountingTimerProc);
    EXPECT_NE(threadTimer, 0u);
    t::AdvanceClock(25);
    Drain();
    EXPECT_EQ(TimerProcCalls, 2);
    EXPECT_TRUE(Received(WM_TIMER, w).empty());
    EXPECT_TRUE(KillTimer(nullptr, threadTimer));
}

TEST_F(MessageQueue, WaitMessageJumpsVirtualClockToNextTimer) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    SetTimer(w, 1, 100, nullptr);
    DWORD start = t::Now();
    int ticks = 0;
    // A 100-second loop that ends after 1000 ticks of a 100 ms timer.
    while (ticks < 1000) {
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_TIMER)
                ++ticks;
            DispatchMessageA(&m);
        } else {
            WaitMessage();
        }
    }
    EXPECT_EQ(t::Now() - start, 100000u);
}

TEST_F(MessageQueue, WaitMessageReturnsWhenNothingIsEverDue) {
    TopLevel(0, 0, 100, 100);
    Drain();
    DWORD before = t::Now();
    EXPECT_TRUE(WaitMessage());
    EXPECT_EQ(t::Now(), before);
}

TEST_F(MessageQueue, QuitComesAfterPostedMessagesAndEndsGetMessage) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    PostQuitMessage(3);
    PostMessageA(w, WM_USER, 0, 0);
    MSG m;
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(MessageQueue, PeekFiltersByWindowAndRange) {
    HWND a = TopLevel(0, 0, 100, 100);
    HWND b = TopLevel(200, 0, 100, 100);
    HWND bChild = Child(b, 0, 0, 10, 10);
    Drain();
    PostMessageA(a, WM_USER + 1, 0, 0);
    PostMessageA(bChild, WM_USER + 2, 0, 0);
    PostMessageA(nullptr, WM_USER + 3, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_USER + 2); // children count for the parent filter
    ASSERT_TRUE(PeekMessageA(&m, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 3);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER + 5, WM_USER + 9, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(m.hwnd, bChild);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 1);
}

TEST_F(MessageQueue, MessagesOfDestroyedWindowsAreDroppedAndPostingToThemFails) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    PostMessageA(w, WM_USER, 0, 0);
    DestroyWindow(w);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_REMOVE));
    SetLastError(0xDEAD);
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(MessageQueue, PostFromAnotherThreadArrivesThroughTheQueue) {
    HWND w = TopLevel(0, 0, 100, 100);
    Drain();
    std::thread poster([&] { PostMessageA(w, MM_MCINOTIFY, 1, 2); });
    poster.join();
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, MM_MCINOTIFY);
    EXPECT_EQ(m.lParam, 2);
}
