// Internal to the platform layer: the state of the headless backend that the testing
// API drives.
#pragma once

#include "platform/user/Backend.h"
#include <atomic>

namespace platform::headless {

std::atomic<DWORD>& Clock(); // read from any thread, moved on the program's thread
// Media devices opened while this is set run on the system's clock with a helper thread,
// as with a real display (the testing API sets it to test the threads).
bool& MediaOnSystemClock();
int& ScreenWidth();
int& ScreenHeight();
user::ScheduledActions& Actions();
void RunDueActions();

} // namespace platform::headless
