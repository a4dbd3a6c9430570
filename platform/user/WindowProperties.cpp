// Window properties: named handles a window carries for its program.
#include <cctype>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

using namespace platform::user;

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
