// The media module's loading: the places tried in order, and a clear reason for each
// place that holds no module of this build.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>

#include "platform/media/MediaModule.h"
#include "tests/common/TempDir.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using platform::media::LoadMediaModule;
using platform::media::MediaModuleCandidates;

// A shared library without the module's start function: FFmpeg's own utility library.
std::string SomeOtherLibrary() {
    Dl_info info{};
    return dladdr(reinterpret_cast<void*>(&av_log_set_level), &info) && info.dli_fname
               ? info.dli_fname
               : "";
}

TEST(MediaModule, EachPlaceTriedInOrderWithTheReasonOfEveryFailure) {
    testutil::TTempDir dir("quillot-media-module");
    const std::string notElf = dir / "quillot-media.so";
    std::ofstream(notElf) << "not a shared object";
    const std::string missing = dir / "missing.so";
    const std::string other = SomeOtherLibrary();
    ASSERT_FALSE(other.empty());
    const std::vector<std::string> built = MediaModuleCandidates();
    ASSERT_FALSE(built.empty());

    struct Case {
        const char* What;
        std::vector<std::string> Candidates;
        bool Loads;
        std::vector<std::string> InError;
    };
    const Case cases[] = {
        {"nowhere to look", {}, false, {"no place"}},
        {"a missing file", {missing}, false, {missing, "no such file"}},
        {"a file that is no shared object", {notElf}, false, {notElf}},
        {"a library without the start function", {other}, false, {other, "not a media module"}},
        {"every failure named", {missing, other}, false, {missing, other}},
        {"the build's module after failures", {missing, notElf, other, built.back()}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::string error;
        const auto opener = LoadMediaModule(c.Candidates, error);
        EXPECT_EQ(opener != nullptr, c.Loads);
        if (c.Loads) {
            EXPECT_EQ(error, "");
        }
        for (const std::string& part : c.InError)
            EXPECT_NE(error.find(part), std::string::npos) << error;
    }
}

} // namespace
