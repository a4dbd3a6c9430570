// Internal to the platform layer: the state of the headless backend that the testing
// API drives.
#pragma once

#include <atomic>
#include <functional>
#include <map>

#include "platform/windef.h"

namespace platform::headless {

std::atomic<DWORD>& Clock(); // read from any thread, moved on the program's thread
int& ScreenWidth();
int& ScreenHeight();
std::multimap<DWORD, std::function<void()>>& Actions();
void RunDueActions();

} // namespace platform::headless
