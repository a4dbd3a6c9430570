// The window manager's global state, the backend selection, handle look-up, and the
// reset and present steps that run over every window.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <thread>

#include "platform/gdi/Screen.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace platform::user {

namespace {

std::unique_ptr<Backend>& BackendSlot() {
    static std::unique_ptr<Backend> backend;
    return backend;
}

bool& FallbackFlag() {
    static bool fallback = false;
    return fallback;
}

std::uint64_t ThisThread() {
    return std::hash<std::thread::id>()(std::this_thread::get_id());
}

} // namespace

WindowTable& Windows() {
    static WindowTable table;
    return table;
}

InputState& Input() {
    static InputState state;
    return state;
}

CursorState& Cursor() {
    static CursorState state;
    return state;
}

TimerTable& Timers() {
    static TimerTable table;
    return table;
}

QuitState& Quit() {
    static QuitState state;
    return state;
}

PostedQueue& Posted() {
    static PostedQueue queue;
    return queue;
}

void MakeWindowManagerState() {
    Windows();
    Input();
    Cursor();
    Timers();
    Quit();
    Posted();
}

Backend* CurrentBackend() {
    return BackendSlot().get();
}

void SelectBackend(const char* name) {
    if (BackendSlot())
        return;
    std::string n = name ? name : "";
    if (n == "headless")
        BackendSlot() = MakeHeadlessBackend();
    else
        BackendSlot() = MakeSdlBackend();
    if (!BackendSlot()) {
        BackendSlot() = MakeHeadlessBackend(true);
        FallbackFlag() = true;
    }
}

bool BackendIsFallback() {
    return FallbackFlag();
}

Backend& GetBackend() {
    if (!BackendSlot()) {
        const char* env = std::getenv("QUILLOT_BACKEND");
        SelectBackend(env && *env ? env : "sdl");
    }
    return *BackendSlot();
}

DWORD Now() {
    return GetBackend().Now();
}

bool IsGuiThread() {
    return Posted().GuiThread == 0 || Posted().GuiThread == ThisThread();
}

void EnsureInit() {
    WindowTable& s = Windows();
    if (s.Desktop)
        return;
    if (Posted().GuiThread == 0)
        Posted().GuiThread = ThisThread();
    auto desk = std::make_unique<Window>();
    desk->Handle = reinterpret_cast<HWND>(std::uintptr_t(0x10000));
    desk->Style = WS_VISIBLE | WS_CLIPCHILDREN | WS_POPUP;
    desk->Rect = GetBackend().ScreenRect();
    SetGdiScreenSize(desk->Rect.right - desk->Rect.left, desk->Rect.bottom - desk->Rect.top);
    s.Desktop = desk.get();
    s.ByHandle[0x10000] = std::move(desk);
    RegisterSystemClasses();
}

Window* FromHandleQuiet(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    auto& windows = Windows().ByHandle;
    auto it = windows.find(std::uintptr_t(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

Window* FromHandle(HWND hwnd) {
    Window* w = FromHandleQuiet(hwnd);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

void WindowTable::Reset() {
    std::vector<HWND> tops;
    for (Window* w : Desktop->Children)
        tops.push_back(w->Handle);
    for (HWND h : tops)
        if (FromHandleQuiet(h))
            DestroyWindow(h);
    DefaultPlacements = 0;
}

void ResetAll() {
    if (!Windows().Desktop)
        return;
    // Windows go first: destroying them may still move the focus or kill timers.
    Windows().Reset();
    Input().Reset();
    bool cursorChanged = Cursor().Shape || Cursor().ShowCount != 0;
    Cursor().Reset();
    if (cursorChanged && CurrentBackend())
        GetBackend().SetCursorShape(nullptr, true);
    Timers().Reset();
    Quit().Reset();
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        Posted().Messages.clear();
    }
    // Senders on other threads are not left waiting for windows that are gone.
    ProcessSentMessages();
    MessageBoxLog().clear();
}

void PresentAll() {
    if (!CurrentBackend() || !Windows().Desktop)
        return;
    ComposeVideo();
    // The backend reads the pixels while it presents them.
    PixelLock lock = LockPixels();
    for (Window* top : Windows().Desktop->Children)
        if (!top->Dirty.empty()) {
            GetBackend().Present(top);
            top->Dirty.clear();
        }
}

PumpResult DispatchNext() {
    MSG m;
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        return PumpResult::Empty;
    if (m.message == WM_QUIT) {
        PostQuitMessage(int(m.wParam));
        return PumpResult::Quit;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
    return PumpResult::Dispatched;
}

} // namespace platform::user
