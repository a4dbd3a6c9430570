// The catalogue on an English introduction whose every tenth frame was dropped by the
// encoder (an empty chunk in each dropped frame's slot): the clip keeps its 153 slots,
// ends at its length and the category screen comes up.
#include <gtest/gtest.h>

#include "ScenarioRun.h"
#include "tests/common/Command.h"

namespace {

using scenariotest::RunScenario;
using scenariotest::TRun;
using scenariotest::TTempDir;

TEST(DroppedFramesE2e, TheIntroductionEndsAndTheCategoryScreenComesUp) {
    TTempDir dir;
    const std::string clip = (dir.Path() / "main_eng.avi").string();
    const testutil::TCommandRun made = testutil::RunCommand(
        std::string("ffmpeg -nostdin -v error -y -i '") + QUILLOT_CLIP_DIR +
        "/main_eng.avi' -vf \"select='mod(n\\,10)'\" -fps_mode vfr -c:v mpeg4 -c:a copy '" + clip +
        "' 2>&1");
    ASSERT_EQ(made.Exit, 0) << made.Out;
    // 153 frames at 15 per second, and a tick to see the end.
    const TRun run = RunScenario(dir, "click b_english\ndump\nadvance 10600\ndump\nclick close\n",
                                 "--clips '" + dir.Path().string() + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 2u) << run.Out;
    EXPECT_EQ(scenariotest::TDump::Field(run.Dumps[0].Player, "length"), "153");
    EXPECT_EQ(scenariotest::TDump::Field(run.Dumps[0].Shell, "clipstate"), "2");
    const scenariotest::TDump& ended = run.Dumps[1];
    EXPECT_EQ(scenariotest::TDump::Field(ended.Player, "position"), "153");
    EXPECT_EQ(scenariotest::TDump::Field(ended.Shell, "clipstate"), "0");
    EXPECT_EQ(ended.Of("SelectImage_eng", "visible"), "1");
    EXPECT_EQ(ended.Of("ShowPanel", "visible"), "0");
    EXPECT_EQ(run.ExitLine, 0);
}

} // namespace
