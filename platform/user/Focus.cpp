// Keyboard focus, activation, mouse capture, the cursor position and the key state.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/gdi/Screen.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

using namespace platform::user;

HWND SetFocus(HWND hwnd) {
    EnsureInit();
    HWND old = Input().Focus;
    if (hwnd) {
        Window* w = FromHandle(hwnd);
        if (!w)
            return nullptr;
        if (hwnd == old)
            return old;
        Window* top = TopLevelOf(w);
        if (Input().Active != top->Handle) {
            ActivateWindow(top, WA_ACTIVE);
            if (!FromHandleQuiet(hwnd))
                return nullptr;
            if (Input().Focus == hwnd)
                return old;
            old = Input().Focus;
        }
    }
    Input().Focus = hwnd;
    if (old && FromHandleQuiet(old))
        SendMessageA(old, WM_KILLFOCUS, WPARAM(hwnd), 0);
    if (hwnd && Input().Focus == hwnd && FromHandleQuiet(hwnd))
        SendMessageA(hwnd, WM_SETFOCUS, WPARAM(old), 0);
    return old;
}

HWND GetFocus() {
    return Input().Focus;
}
HWND GetActiveWindow() {
    return Input().Active;
}
HWND GetForegroundWindow() {
    return Input().Active;
}

HWND SetActiveWindow(HWND hwnd) {
    EnsureInit();
    HWND old = Input().Active;
    Window* w = hwnd ? FromHandle(hwnd) : nullptr;
    if (hwnd && !w)
        return nullptr;
    ActivateWindow(w ? TopLevelOf(w) : nullptr, WA_ACTIVE);
    return old;
}

BOOL SetForegroundWindow(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    ActivateWindow(TopLevelOf(w), WA_ACTIVE);
    return TRUE;
}

HWND SetCapture(HWND hwnd) {
    EnsureInit();
    HWND old = Input().Capture;
    if (!FromHandle(hwnd))
        return nullptr;
    if (old == hwnd)
        return old;
    Input().Capture = hwnd;
    if (old && FromHandleQuiet(old))
        SendMessageA(old, WM_CAPTURECHANGED, 0, LPARAM(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    HWND old = Input().Capture;
    Input().Capture = nullptr;
    if (old && FromHandleQuiet(old))
        SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    return Input().Capture;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point)
        return FALSE;
    *point = Cursor().Pos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    EnsureInit();
    RECT sr = GetBackend().ScreenRect();
    POINT p{std::clamp<LONG>(x, sr.left, sr.right - 1), std::clamp<LONG>(y, sr.top, sr.bottom - 1)};
    Cursor().Pos = p;
    GetBackend().WarpPointer(p);
    return TRUE;
}

SHORT GetKeyState(int virtKey) {
    BYTE k = Input().KeyState[virtKey & 0xFF];
    return SHORT(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(int virtKey) {
    return (Input().AsyncKeyState[virtKey & 0xFF] & 0x80) ? SHORT(0x8000) : SHORT(0);
}

BOOL GetKeyboardState(BYTE* keyState) {
    if (!keyState)
        return FALSE;
    std::memcpy(keyState, Input().KeyState, 256);
    return TRUE;
}

UINT GetDoubleClickTime() {
    return 500;
}
