#include <unordered_map>

#include "ui/Forms.h"

namespace ui {

using namespace formstream;

namespace {

constexpr const char* UtilWindowClass = "TPUtilWindow";
constexpr UINT_PTR TimerId = 1;

std::unordered_map<HWND, TTimer*>& TimerWindows() {
    static std::unordered_map<HWND, TTimer*> map;
    return map;
}

// A hidden top-level window of class "TPUtilWindow" whose messages go to `proc`. The
// class is registered with the default window procedure; one registered with another
// procedure is registered anew.
HWND AllocateUtilWindow(WNDPROC proc) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &::DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = UtilWindowClass;
    EnsureWindowClass(wc);
    HWND hwnd = ::CreateWindowExA(WS_EX_TOOLWINDOW, UtilWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        throw rtl::EOutOfResources(rtl::SWindowClass);
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return hwnd;
}

} // namespace

constinit const TPropInfo TTimer::Published[] = {
    Prop<&TTimer::Enabled, &TTimer::SetEnabled>("Enabled", Default(true)),
    Prop<&TTimer::Interval, &TTimer::SetInterval>("Interval", Default(std::uint32_t(1000))),
    Prop<&TTimer::GetOnTimerProp, &TTimer::SetOnTimer>("OnTimer"),
};
constinit const TClassInfo TTimer::ClassInfo =
    ClassInfoOf<TTimer, TComponent>("TTimer", TTimer::Published);

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    FWindowHandle = AllocateUtilWindow(&TTimer::TimerWndProc);
    TimerWindows()[FWindowHandle] = this;
}

TTimer::~TTimer() {
    ReleaseWindow();
}

void TTimer::BeforeDestruction() {
    ReleaseWindow();
    TComponent::BeforeDestruction();
}

void TTimer::ReleaseWindow() {
    FEnabled = false;
    if (FWindowHandle) {
        ::KillTimer(FWindowHandle, TimerId);
        TimerWindows().erase(FWindowHandle);
        HWND h = FWindowHandle;
        FWindowHandle = nullptr;
        ::SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
        ::DestroyWindow(h);
    }
}

void TTimer::SetEnabled(bool value) {
    if (FEnabled == value)
        return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(std::uint32_t value) {
    if (FInterval == value)
        return;
    FInterval = value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent value) {
    FOnTimer = value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    if (!FWindowHandle)
        return;
    ::KillTimer(FWindowHandle, TimerId);
    if (FInterval != 0 && FEnabled && FOnTimer)
        if (::SetTimer(FWindowHandle, TimerId, FInterval, nullptr) == 0)
            throw rtl::EOutOfResources(rtl::SNoTimers);
}

void TTimer::Timer() {
    FOnTimer(this);
}

LRESULT TTimer::TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = TimerWindows().find(hwnd);
    if (it == TimerWindows().end() || msg != WM_TIMER)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    TTimer* timer = it->second;
    try {
        timer->Timer();
    } catch (...) {
        HandleException(timer);
    }
    return 0;
}

} // namespace ui
