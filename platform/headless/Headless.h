// Internal to the platform layer: the state of the headless backend that the testing
// API drives.
#pragma once

#include <functional>
#include <map>

#include "platform/windef.h"

namespace platform::headless {

DWORD& Clock();
int& ScreenWidth();
int& ScreenHeight();
std::multimap<DWORD, std::function<void()>>& Actions();
void RunDueActions();

} // namespace platform::headless
