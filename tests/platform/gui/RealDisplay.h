// Helpers for tests on a real display: a message loop bounded by real time, and the
// screen read back as a binary PPM (tests/common/Ppm.h).
#pragma once

#include <chrono>

#include "platform/win32.h"
#include "tests/common/Ppm.h"

namespace realdisplay {

// Runs the message loop until `done` holds; false when `seconds` of real time pass first.
template <class Pred> bool PumpUntil(Pred done, int seconds = 10) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        } else {
            WaitMessage();
        }
    }
    return true;
}

using testutil::Ppm;
using testutil::ReadPpm;

} // namespace realdisplay
