// The periodic timer on the virtual clock: ticks at the right times, no system timer
// without interval, enabling or handler, the schedule kept or restarted by the setters,
// a refused timer, failing handlers, the hidden window and its class.
#include "UiFixture.h"
#include "rtl/Exceptions.h"
#include "tests/common/ExceptionMessage.h"

using namespace uitest;
using namespace ui;

namespace {

class TTickLog : public formstream::TObject {
public:
    std::vector<DWORD> Ticks;
    DWORD Start = 0;
    int ThrowOnTick = 0; // 1-based tick that raises, 0: none
    void Tick(formstream::TObject*) {
        Ticks.push_back(t::Now() - Start);
        if (int(Ticks.size()) == ThrowOnTick)
            throw rtl::Exception("Tick failed");
    }
    formstream::TNotifyEvent Handler() {
        return formstream::TNotifyEvent::Of<&TTickLog::Tick>(this);
    }
};

using Ticks = std::vector<DWORD>;

} // namespace

using Timers = UiTest;

TEST_F(Timers, TicksEveryIntervalOnTheVirtualClock) {
    TTickLog log;
    auto* timer = new TTimer(Application);
    timer->SetInterval(100);
    log.Start = t::Now();
    timer->SetOnTimer(log.Handler());
    t::RunFor(350);
    EXPECT_EQ(log.Ticks, (Ticks{100, 200, 300}));
}

TEST_F(Timers, NoSystemTimerWithoutIntervalEnablingOrHandler) {
    struct Case {
        const char* Name;
        std::uint32_t Interval;
        bool Enabled;
        bool Handler;
    } cases[] = {
        {"interval 0", 0, true, true},
        {"disabled", 100, false, true},
        {"no handler", 100, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TTickLog log;
        auto* timer = new TTimer(Application);
        timer->SetInterval(c.Interval);
        timer->SetEnabled(c.Enabled);
        if (c.Handler)
            timer->SetOnTimer(log.Handler());
        // No system timer exists: killing it fails.
        EXPECT_FALSE(::KillTimer(timer->WindowHandle(), 1));
        t::RunFor(1000);
        EXPECT_TRUE(log.Ticks.empty());
        formstream::Free(timer);
    }
}

TEST_F(Timers, SameEnabledKeepsTheScheduleWhileSettingOnTimerRestartsIt) {
    TTickLog log;
    auto* timer = new TTimer(Application);
    timer->SetInterval(100);
    log.Start = t::Now();
    timer->SetOnTimer(log.Handler());
    t::RunFor(50);
    timer->SetEnabled(true);          // unchanged: nothing happens
    timer->SetInterval(100);          // unchanged too
    t::RunFor(100);                   // up to 150
    timer->SetOnTimer(log.Handler()); // restarts at 150
    t::RunFor(150);                   // up to 300
    EXPECT_EQ(log.Ticks, (Ticks{100, 250}));
    timer->SetInterval(30); // a new interval restarts at 300
    t::RunFor(70);
    EXPECT_EQ(log.Ticks, (Ticks{100, 250, 330, 360}));
}

TEST_F(Timers, RefusedSystemTimerRaisesAndTheTimerStaysStopped) {
    TTickLog log;
    auto* timer = new TTimer(Application);
    timer->SetInterval(100);
    t::FailNextSetTimer(1);
    EXPECT_EQ(MessageOf<rtl::EOutOfResources>([&] { timer->SetOnTimer(log.Handler()); }),
              "Not enough timers available");
    t::RunFor(500);
    EXPECT_TRUE(log.Ticks.empty());
    // The next change may start it.
    timer->SetInterval(50);
    t::RunFor(50);
    EXPECT_EQ(log.Ticks.size(), 1u);
}

TEST_F(Timers, FailingHandlerIsShownAndTheTimerGoesOn) {
    TTickLog log;
    log.ThrowOnTick = 1;
    auto* timer = new TTimer(Application);
    timer->SetInterval(100);
    log.Start = t::Now();
    timer->SetOnTimer(log.Handler());
    std::string shown;
    // The box runs its own loop, in which the ticks go on until it is pressed.
    t::RunAt(log.Start + 350, [&] {
        auto box = t::FindMessageBox();
        shown = box.Text;
        t::PressMessageBoxButton(box.Handle, IDOK);
    });
    t::RunFor(500);
    EXPECT_EQ(shown, "Tick failed.");
    EXPECT_EQ(log.Ticks, (Ticks{100, 200, 300, 400, 500}));
}

TEST_F(Timers, HiddenWindowHasItsClassAndStylesAndGoesWithTheTimer) {
    // A class of that name with another procedure is registered anew.
    WNDCLASSA other{};
    other.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return ::DefWindowProcA(h, m, w, l);
    };
    other.hInstance = ::GetModuleHandleA(nullptr);
    other.lpszClassName = "TPUtilWindow";
    ::UnregisterClassA("TPUtilWindow", other.hInstance);
    ASSERT_NE(::RegisterClassA(&other), 0);

    TTickLog log;
    auto* timer = new TTimer(Application);
    HWND h = timer->WindowHandle();
    char cls[32] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    EXPECT_STREQ(cls, "TPUtilWindow");
    WNDCLASSA wc{};
    ASSERT_TRUE(::GetClassInfoA(::GetModuleHandleA(nullptr), "TPUtilWindow", &wc));
    EXPECT_EQ(wc.lpfnWndProc, &::DefWindowProcA);
    EXPECT_EQ(DWORD(::GetWindowLongA(h, GWL_STYLE)), WS_POPUP);
    EXPECT_EQ(DWORD(::GetWindowLongA(h, GWL_EXSTYLE)) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    EXPECT_EQ(::GetParent(h), nullptr);
    EXPECT_EQ(::GetWindowTextLengthA(h), 0);
    RECT r{};
    ::GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    timer->SetInterval(10);
    timer->SetOnTimer(log.Handler());
    t::RunFor(25);
    EXPECT_EQ(log.Ticks.size(), 2u);
    formstream::Free(timer);
    EXPECT_FALSE(::IsWindow(h));
    t::RunFor(100);
    EXPECT_EQ(log.Ticks.size(), 2u);
}
