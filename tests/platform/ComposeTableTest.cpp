// The guard that keeps the X input method's compose table out of the SDL display's start:
// while it lives XCOMPOSEFILE names an empty file, and afterwards the variable is exactly
// as it was before, set to the same text or not set at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/sdl/ComposeTable.h"

namespace {

std::optional<std::string> ComposeFile() {
    const char* v = std::getenv("XCOMPOSEFILE");
    return v ? std::optional<std::string>(v) : std::nullopt;
}

void SetComposeFile(const std::optional<std::string>& v) {
    if (v)
        setenv("XCOMPOSEFILE", v->c_str(), 1);
    else
        unsetenv("XCOMPOSEFILE");
}

} // namespace

TEST(ComposeTable, EmptyWhileGuardedAndAsBeforeAfterwards) {
    const std::optional<std::string> outside = ComposeFile();
    const std::optional<std::string> cases[] = {std::nullopt, std::string("/home/u/.XCompose"),
                                                std::string("")};
    for (const auto& before : cases) {
        SCOPED_TRACE(before ? "set to \"" + *before + "\"" : std::string("unset"));
        SetComposeFile(before);
        {
            platform::sdl::EmptyComposeTable guard;
            EXPECT_EQ(ComposeFile(), std::optional<std::string>("/dev/null"));
            // A second guard inside the first (the display started twice) restores the
            // first one's value, and the outer one still the original.
            { platform::sdl::EmptyComposeTable inner; }
            EXPECT_EQ(ComposeFile(), std::optional<std::string>("/dev/null"));
        }
        EXPECT_EQ(ComposeFile(), before);
    }
    SetComposeFile(outside);
}
