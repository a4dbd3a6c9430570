// The system menu of a window: its items as a list the menu functions edit.
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

namespace {

// The menu handle of a window's system menu is its window handle with the lowest bit
// set (window handles are even).
HMENU SystemMenuHandle(HWND hwnd) {
    return reinterpret_cast<HMENU>(std::uintptr_t(hwnd) | 1);
}

std::vector<UINT>* SystemMenuItems(HMENU menu) {
    auto bits = std::uintptr_t(menu);
    if (!(bits & 1)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    Window* w = FromHandleQuiet(reinterpret_cast<HWND>(bits & ~std::uintptr_t(1)));
    if (!w || !w->HasSystemMenu) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return &w->SystemMenu;
}

void ResetSystemMenu(Window* w) {
    // The standard window menu: Restore, Move, Size, Minimize, Maximize, a separator and
    // Close.
    w->SystemMenu = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
}

BOOL RemoveMenuItem(HMENU menu, UINT position, UINT flags) {
    std::vector<UINT>* items = SystemMenuItems(menu);
    if (!items)
        return FALSE;
    auto it = items->end();
    if (flags & MF_BYPOSITION) {
        if (position < items->size())
            it = items->begin() + std::ptrdiff_t(position);
    } else {
        it = std::find(items->begin(), items->end(), position);
    }
    if (it == items->end())
        return FALSE;
    items->erase(it);
    return TRUE;
}

} // namespace

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    Window* w = FromHandle(hwnd);
    if (!w || (w->Style & WS_CHILD))
        return nullptr;
    if (revert) {
        // Back to the standard menu; the window's copy is gone.
        w->HasSystemMenu = false;
        w->SystemMenu.clear();
        return nullptr;
    }
    if (!w->HasSystemMenu) {
        ResetSystemMenu(w);
        w->HasSystemMenu = true;
    }
    return SystemMenuHandle(hwnd);
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    return RemoveMenuItem(menu, position, flags);
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
    // The window menu has no submenus, so removing and deleting are the same.
    return RemoveMenuItem(menu, position, flags);
}

int GetMenuItemCount(HMENU menu) {
    std::vector<UINT>* items = SystemMenuItems(menu);
    return items ? int(items->size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    std::vector<UINT>* items = SystemMenuItems(menu);
    if (!items || position < 0 || std::size_t(position) >= items->size())
        return UINT(-1);
    return (*items)[std::size_t(position)];
}
