#pragma once

#include "platform/win32.h"

namespace ui {

// Registers `wc` unless a class of that name is already registered with the same window
// procedure; a class of that name registered with another procedure is registered anew.
// Throws EOutOfResources when the class cannot be registered.
void EnsureWindowClass(const WNDCLASSA& wc);

} // namespace ui
