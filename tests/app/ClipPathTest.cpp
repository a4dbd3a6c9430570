// Clip files found as Windows finds them: the exact name first, else a name that differs
// only in ASCII case, in folders whose names hold spaces and non-ASCII characters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/Volume.h"
#include "tests/common/TempDir.h"

namespace {

TEST(ClipPath, MatchesWithoutRegardToAsciiCase) {
    const testutil::TTempDir dir("clip-path");
    const std::filesystem::path folder = dir.Path() / "Disc Ä 1";
    std::filesystem::create_directories(folder);
    for (const char* name : {"main.avi", "MAN_ENG.AVI", "Woman.Avi", "woman.AVI", "ALL.AVİ"})
        std::ofstream(folder / name) << name;
    const std::string win = app::WindowsPath(folder.string());
    struct Case {
        const char* Clip;
        const char* Found; // the name in the folder, "" for the joined path unchanged
    } cases[] = {
        {"\\main.avi", "main.avi"},
        {"\\MAIN.AVI", "main.avi"},
        {"\\man_eng.avi", "MAN_ENG.AVI"},
        {"\\woman.avi", "Woman.Avi"}, // two match: the first in sorted order
        {"\\all.avi", ""},            // a non-ASCII letter is no ASCII case
        {"\\baby_child.avi", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Clip);
        const std::string expected = *c.Found ? win + "\\" + c.Found : win + c.Clip;
        EXPECT_EQ(app::ClipPath(win, c.Clip), expected);
    }
    // A folder that is not there leaves the path as it was.
    EXPECT_EQ(app::ClipPath(win + "\\none", "\\main.avi"), win + "\\none\\main.avi");
}

} // namespace
