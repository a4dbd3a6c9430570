// Whether a test on a real display can run here.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "platform/testing/Testing.h"

namespace testutil {

// Why a test that needs a display and the command-line `tools` it runs cannot run here
// (no display named, a tool missing, or the display not opened), or an empty text when
// it can: `if (auto why = DisplayMissing({"xdotool"}); !why.empty()) GTEST_SKIP() << why;`
inline std::string DisplayMissing(std::initializer_list<const char*> tools = {}) {
    if (!std::getenv("DISPLAY"))
        return "no display";
    for (const char* tool : tools)
        if (std::system(("command -v " + std::string(tool) + " > /dev/null").c_str()) != 0)
            return std::string(tool) + " missing";
    if (platform::testing::IsHeadless())
        return "the display could not be opened";
    return {};
}

} // namespace testutil
