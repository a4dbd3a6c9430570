// Window classes: registration, look-up and class data.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace platform::user {

std::string Upper(const char* s) {
    std::string r(s ? s : "");
    for (char& c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
    auto& classes = Windows().Classes;
    if (!name)
        return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = ATOM(ULONG_PTR(name));
        for (auto& [key, cls] : classes)
            if (cls->Atom == atom)
                return cls;
        return nullptr;
    }
    auto it = classes.find(Upper(name));
    return it == classes.end() ? nullptr : it->second;
}

} // namespace platform::user

using namespace platform::user;

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    EnsureInit();
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbClsExtra < 0 || wc->cbWndExtra < 0 ||
        IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string key = Upper(wc->lpszClassName);
    if (Windows().Classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->Name = wc->lpszClassName;
    cls->Style = wc->style;
    cls->Proc = wc->lpfnWndProc;
    cls->Instance = wc->hInstance;
    cls->Icon = wc->hIcon;
    cls->IconSmall = wc->hIconSm;
    cls->Cursor = wc->hCursor;
    cls->Background = wc->hbrBackground;
    cls->ClassExtra = wc->cbClsExtra;
    cls->WindowExtra = wc->cbWndExtra;
    if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName))
        cls->MenuName = wc->lpszMenuName;
    cls->Atom = Windows().NextAtom++;
    Windows().Classes[key] = cls;
    return cls->Atom;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    EnsureInit();
    auto cls = FindClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->WindowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    Windows().Classes.erase(Upper(cls->Name.c_str()));
    return TRUE;
}

BOOL GetClassInfoExA(HINSTANCE, LPCSTR className, WNDCLASSEXA* wc) {
    EnsureInit();
    auto cls = FindClass(className);
    if (!cls || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    wc->cbSize = sizeof(WNDCLASSEXA);
    wc->style = cls->Style;
    wc->lpfnWndProc = cls->Proc;
    wc->cbClsExtra = cls->ClassExtra;
    wc->cbWndExtra = cls->WindowExtra;
    wc->hInstance = cls->Instance;
    wc->hIcon = cls->Icon;
    wc->hCursor = cls->Cursor;
    wc->hbrBackground = cls->Background;
    wc->lpszMenuName = cls->MenuName.empty() ? nullptr : cls->MenuName.c_str();
    wc->lpszClassName = cls->Name.c_str();
    wc->hIconSm = cls->IconSmall;
    return cls->Atom;
}

BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wc) {
    WNDCLASSEXA ex{};
    BOOL ok = GetClassInfoExA(instance, className, &ex);
    if (!ok || !wc)
        return FALSE;
    *wc = WNDCLASSA{ex.style, ex.lpfnWndProc, ex.cbClsExtra,    ex.cbWndExtra,   ex.hInstance,
                    ex.hIcon, ex.hCursor,     ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
    return ok;
}

int GetClassNameA(HWND hwnd, LPSTR buffer, int maxCount) {
    Window* w = FromHandle(hwnd);
    if (!w || !buffer || maxCount <= 0)
        return 0;
    int n = std::min<int>(int(w->Class->Name.size()), maxCount - 1);
    std::memcpy(buffer, w->Class->Name.data(), size_t(n));
    buffer[n] = 0;
    return n;
}

ULONG_PTR GetClassLongPtrA(HWND hwnd, int index) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    WindowClass& c = *w->Class;
    switch (index) {
    case GCLP_HBRBACKGROUND:
        return ULONG_PTR(c.Background);
    case GCLP_HCURSOR:
        return ULONG_PTR(c.Cursor);
    case GCLP_HICON:
        return ULONG_PTR(c.Icon);
    case GCLP_HICONSM:
        return ULONG_PTR(c.IconSmall);
    case GCLP_HMODULE:
        return ULONG_PTR(c.Instance);
    case GCLP_WNDPROC:
        return ULONG_PTR(c.Proc);
    case GCL_STYLE:
        return c.Style;
    case GCL_CBWNDEXTRA:
        return ULONG_PTR(c.WindowExtra);
    case GCL_CBCLSEXTRA:
        return ULONG_PTR(c.ClassExtra);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

ULONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    WindowClass& c = *w->Class;
    ULONG_PTR old = GetClassLongPtrA(hwnd, index);
    switch (index) {
    case GCLP_HBRBACKGROUND:
        c.Background = reinterpret_cast<HBRUSH>(value);
        break;
    case GCLP_HCURSOR:
        c.Cursor = reinterpret_cast<HCURSOR>(value);
        break;
    case GCLP_HICON:
        c.Icon = reinterpret_cast<HICON>(value);
        for (auto& [h, o] : Windows().ByHandle)
            if (o->Class.get() == &c)
                NotifyTop(o.get(), Backend::Icon);
        break;
    case GCLP_HICONSM:
        c.IconSmall = reinterpret_cast<HICON>(value);
        break;
    case GCLP_WNDPROC:
        c.Proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GCL_STYLE:
        c.Style = UINT(value);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return old;
}
