// The catalogue's way out: the clip still open is closed once, by the media player as its
// form is destroyed, while the framework is still up; the interface's own step at exit
// then finds nothing left, and nothing is sent to a device that is gone.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/common/Command.h"

namespace {

TEST(CatalogueExit, ClosesTheClipOnceInOrderAndSendsNothingToAClosedDevice) {
    const testutil::TCommandRun run = testutil::RunCommand(EXIT_ORDER_PROGRAM);
    ASSERT_EQ(run.Exit, 0) << run.Out;
    std::vector<std::string> afterMain;
    bool exiting = false;
    std::istringstream lines(run.Out);
    for (std::string line; std::getline(lines, line);) {
        if (exiting)
            afterMain.push_back(line);
        exiting = exiting || line == "main returned";
    }
    ASSERT_TRUE(exiting) << run.Out;
    const std::vector<std::string> expected = {
        "dev=1 MCI_CLOSE wait",               // ~TMediaPlayer
        "dev=all MCI_CLOSE wait (no record)", // the interface's step: nothing left
    };
    EXPECT_EQ(afterMain, expected) << run.Out;
}

} // namespace
