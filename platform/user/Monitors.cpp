// Monitors and system parameters: one monitor, the backend's screen.
#include <cctype>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

using namespace platform::user;

namespace {

const HMONITOR PrimaryMonitor = reinterpret_cast<HMONITOR>(std::uintptr_t(0x10001));

HMONITOR MonitorFor(const RECT& r, DWORD flags) {
    RECT screen = GetBackend().ScreenRect();
    if (RectEmpty(Intersect(r, screen)) && flags == MONITOR_DEFAULTTONULL)
        return nullptr;
    return PrimaryMonitor;
}

} // namespace

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    RECT r;
    if (!GetWindowRect(hwnd, &r))
        return flags == MONITOR_DEFAULTTONULL ? nullptr : PrimaryMonitor;
    if (r.right == r.left)
        r.right++;
    if (r.bottom == r.top)
        r.bottom++;
    return MonitorFor(r, flags);
}

HMONITOR MonitorFromPoint(POINT p, DWORD flags) {
    return MonitorFor(RECT{p.x, p.y, p.x + 1, p.y + 1}, flags);
}

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
    if (!rect)
        return nullptr;
    return MonitorFor(*rect, flags);
}

BOOL GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info) {
    if (monitor != PrimaryMonitor || !info || info->cbSize < sizeof(MONITORINFO))
        return FALSE;
    info->rcMonitor = info->rcWork = GetBackend().ScreenRect();
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT, LPVOID out, UINT) {
    if (action == SPI_GETWORKAREA && out) {
        *static_cast<RECT*>(out) = GetBackend().ScreenRect();
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
