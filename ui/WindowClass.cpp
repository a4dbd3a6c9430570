// Window class registration for the framework (declared in Controls.h).
#include "ui/Controls.h"

#include "rtl/Consts.h"
#include "rtl/Exceptions.h"

namespace ui {

void EnsureWindowClass(const WNDCLASSA& wc) {
    WNDCLASSA existing{};
    const bool registered = ::GetClassInfoA(wc.hInstance, wc.lpszClassName, &existing) != FALSE;
    if (registered && existing.lpfnWndProc == wc.lpfnWndProc)
        return;
    if (registered)
        ::UnregisterClassA(wc.lpszClassName, wc.hInstance);
    if (!::RegisterClassA(&wc))
        throw rtl::EOutOfResources(rtl::SWindowClass);
}

} // namespace ui
