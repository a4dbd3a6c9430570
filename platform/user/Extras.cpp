// Monitors, system parameters, window placement, window properties and the character
// functions of the ANSI code page.
#include <cctype>
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"
#include "platform/wingdi.h"

using namespace platform::user;

namespace {

const HMONITOR PrimaryMonitor = reinterpret_cast<HMONITOR>(std::uintptr_t(0x10001));

HMONITOR MonitorFor(const RECT& r, DWORD flags) {
    RECT screen = GetBackend().ScreenRect();
    if (RectEmpty(Intersect(r, screen)) && flags == MONITOR_DEFAULTTONULL)
        return nullptr;
    return PrimaryMonitor;
}

// Applies `convert` to every single-byte character of `text`, stepping over double-byte
// characters of the ANSI code page.
template <class F> DWORD ForEachSingleByte(LPSTR text, DWORD length, F convert) {
    if (!text)
        return 0;
    UINT cp = GetACP();
    for (DWORD i = 0; i < length; ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (IsDBCSLeadByteEx(cp, b) && i + 1 < length) {
            ++i;
            continue;
        }
        if (b < 0x80)
            text[i] = char(convert(b));
    }
    return length;
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

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
    Window* w = FromHandle(hwnd);
    if (!w || !placement)
        return FALSE;
    placement->flags = 0;
    placement->showCmd = !w->Visible()    ? SW_HIDE
                         : w->Minimized() ? SW_SHOWMINIMIZED
                         : w->Maximized() ? SW_SHOWMAXIMIZED
                                          : SW_SHOWNORMAL;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    placement->rcNormalPosition = (w->Maximized() || w->Minimized()) ? w->RestoreRect : w->Rect;
    return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
    Window* w = FromHandle(hwnd);
    if (!w || !placement)
        return FALSE;
    const RECT& r = placement->rcNormalPosition;
    if (w->Maximized() || w->Minimized())
        w->RestoreRect = r;
    else
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, int(placement->showCmd));
    return TRUE;
}

BOOL SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    Window* w = FromHandle(hwnd);
    if (!w || !name)
        return FALSE;
    ATOM a = IS_INTRESOURCE(name) ? ATOM(ULONG_PTR(name)) : GlobalAddAtomA(name);
    if (!a)
        return FALSE;
    w->Props[a] = data;
    return TRUE;
}

HANDLE GetPropA(HWND hwnd, LPCSTR name) {
    Window* w = FromHandleQuiet(hwnd);
    if (!w || !name)
        return nullptr;
    ATOM a = IS_INTRESOURCE(name) ? ATOM(ULONG_PTR(name)) : GlobalFindAtomA(name);
    auto it = w->Props.find(a);
    return it == w->Props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND hwnd, LPCSTR name) {
    Window* w = FromHandleQuiet(hwnd);
    if (!w || !name)
        return nullptr;
    ATOM a = IS_INTRESOURCE(name) ? ATOM(ULONG_PTR(name)) : GlobalFindAtomA(name);
    auto it = w->Props.find(a);
    if (it == w->Props.end())
        return nullptr;
    HANDLE h = it->second;
    w->Props.erase(it);
    return h;
}

DWORD CharLowerBuffA(LPSTR text, DWORD length) {
    return ForEachSingleByte(text, length, [](int c) { return std::tolower(c); });
}

DWORD CharUpperBuffA(LPSTR text, DWORD length) {
    return ForEachSingleByte(text, length, [](int c) { return std::toupper(c); });
}

LPSTR CharLowerA(LPSTR text) {
    if (IS_INTRESOURCE(text)) { // a single character in the low word
        int c = int(ULONG_PTR(text) & 0xFF);
        return reinterpret_cast<LPSTR>(ULONG_PTR(c < 0x80 ? std::tolower(c) : c));
    }
    CharLowerBuffA(text, DWORD(std::strlen(text)));
    return text;
}

LPSTR CharUpperA(LPSTR text) {
    if (IS_INTRESOURCE(text)) {
        int c = int(ULONG_PTR(text) & 0xFF);
        return reinterpret_cast<LPSTR>(ULONG_PTR(c < 0x80 ? std::toupper(c) : c));
    }
    CharUpperBuffA(text, DWORD(std::strlen(text)));
    return text;
}

BOOL IsCharAlphaA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::isalpha(b) ? TRUE : FALSE;
}
BOOL IsCharAlphaNumericA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::isalnum(b) ? TRUE : FALSE;
}
BOOL IsCharUpperA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::isupper(b) ? TRUE : FALSE;
}
BOOL IsCharLowerA(CHAR ch) {
    auto b = static_cast<unsigned char>(ch);
    return b < 0x80 && std::islower(b) ? TRUE : FALSE;
}

BOOL OemToCharBuffA(LPCSTR source, LPSTR dest, DWORD length) {
    if (!source || !dest)
        return FALSE;
    if (source != dest)
        std::memmove(dest, source, length);
    return TRUE;
}

BOOL OemToCharA(LPCSTR source, LPSTR dest) {
    if (!source || !dest)
        return FALSE;
    return OemToCharBuffA(source, dest, DWORD(std::strlen(source) + 1));
}

BOOL CharToOemBuffA(LPCSTR source, LPSTR dest, DWORD length) {
    return OemToCharBuffA(source, dest, length);
}

BOOL CharToOemA(LPCSTR source, LPSTR dest) {
    return OemToCharA(source, dest);
}

BOOL GetKeyboardState(BYTE* keyState) {
    if (!keyState)
        return FALSE;
    std::memcpy(keyState, S().KeyState, 256);
    return TRUE;
}

UINT GetDoubleClickTime() {
    return 500;
}

HWND GetLastActivePopup(HWND hwnd) {
    if (!FromHandle(hwnd))
        return nullptr;
    HWND popup = GetWindow(hwnd, GW_ENABLEDPOPUP);
    return popup ? popup : hwnd;
}

int GetDlgCtrlID(HWND hwnd) {
    Window* w = FromHandle(hwnd);
    return w && (w->Style & WS_CHILD) ? int(w->Id) : 0;
}

HWND GetDlgItem(HWND parent, int id) {
    Window* p = FromHandle(parent);
    if (!p)
        return nullptr;
    for (Window* c : p->Children)
        if (c->Id == id)
            return c->Handle;
    return nullptr;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
    if (!region)
        return InvalidateRect(hwnd, nullptr, erase);
    RECT box{};
    if (GetRgnBox(region, &box) == ERROR)
        return FALSE;
    return InvalidateRect(hwnd, &box, erase);
}

BOOL ValidateRgn(HWND hwnd, HRGN region) {
    if (!region)
        return ValidateRect(hwnd, nullptr);
    Window* w = FromHandle(hwnd);
    if (!w)
        return FALSE;
    std::vector<RECT> rects;
    {
        platform::gdi::GdiLock lock(platform::gdi::GdiMutex());
        auto rgn = platform::gdi::Lookup<platform::gdi::Region>(region, OBJ_REGION);
        if (!rgn)
            return FALSE;
        rects = rgn->Rects;
    }
    // The region itself: its bounding box may hold parts that are still to be painted.
    ValidateRects(w, rects);
    return TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL erase) {
    RECT r{};
    if (!FromHandle(hwnd) || !region)
        return ERROR;
    BOOL any = GetUpdateRect(hwnd, &r, erase);
    SetRectRgn(region, r.left, r.top, r.right, r.bottom);
    return any ? SIMPLEREGION : NULLREGION;
}
