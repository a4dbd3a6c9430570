// The catalogue on a volume of its own: a folder with a text form, and 32- and 64-bit
// Windows executables carrying the compiled form. Each shows the volume's caption and
// pictures, never the built-in ones, walks the English introduction to its end and back,
// and finds its clips under upper-case names, in folders whose names hold spaces and
// non-ASCII characters.
#include <gtest/gtest.h>

#include "ScenarioRun.h"
#include "VolumeFixture.h"

namespace {

using scenariotest::RunScenario;
using scenariotest::TDump;
using scenariotest::TRun;
using volumetest::fs::path;

enum class TKind { Folder, Pe32, Pe64 };

// Makes the volume under `root` and returns the path to name and its clip folder.
::testing::AssertionResult MakeVolume(TKind kind, const path& root, path& volume, path& clips) {
    clips = root / (kind == TKind::Folder ? "Vol 2 Ärger" : "Disc Ö 2");
    if (kind == TKind::Folder) {
        volume = clips;
        return volumetest::MakeFolderVolume(clips);
    }
    const path pictures = root / "pictures";
    volumetest::fs::create_directories(pictures);
    if (auto ok = volumetest::WritePictures(pictures); !ok)
        return ok;
    volumetest::WriteFile(root / "TFORM1.bin", volumetest::SecondFormStream(pictures));
    const testutil::TWindowsExe exe = volumetest::MakeExeVolume(
        clips, kind == TKind::Pe32 ? testutil::EPeKind::Pe32 : testutil::EPeKind::Pe64,
        (root / "TFORM1.bin").string());
    if (exe.Path.empty())
        return ::testing::AssertionFailure() << exe.Error;
    volume = exe.Path;
    return ::testing::AssertionSuccess();
}

class VolumeE2e : public ::testing::TestWithParam<TKind> {};

TEST_P(VolumeE2e, ShowsTheVolumeAndWalksItsEnglishIntroduction) {
    scenariotest::TTempDir dir;
    path volume, clips;
    ASSERT_TRUE(MakeVolume(GetParam(), dir.Path(), volume, clips));
    const int introEnd = app::ClipEnd(app::csEnglishIntro, false)->Position;
    const std::string script = "dump\nclick b_english\ndump\nadvance " +
                               std::to_string(introEnd * 1000 / 15 + 400) +
                               "\ndump\nclick back\ndump\nclick close\n";
    const TRun run = RunScenario(dir, script, "--volume " + volumetest::Quote(volume.string()));
    ASSERT_EQ(run.Status, 0) << run.Err << run.Out;
    ASSERT_EQ(run.Dumps.size(), 4u) << run.Out;

    const TDump& start = run.Dumps[0];
    EXPECT_EQ(TDump::Field(start.Window, "caption"), volumetest::SecondCaption);
    EXPECT_TRUE(start.Boxes.empty());
    for (const volumetest::TPicture& p : volumetest::SecondPictures) {
        const std::string name = path(p.File).stem().string();
        EXPECT_EQ(start.Of(name, "picture"),
                  std::to_string(p.Width) + "," + std::to_string(p.Height))
            << name;
    }
    // The hot-spots carry no pictures of their own, in any volume.
    EXPECT_EQ(start.Of("b_english", "picture"), "<none>");
    EXPECT_EQ(start.Of("start", "visible"), "1");
    EXPECT_EQ(TDump::Field(start.Shell, "exedir"), volumetest::Backslashed(clips));

    const TDump& playing = run.Dumps[1];
    EXPECT_EQ(TDump::Field(playing.Player, "file"),
              volumetest::Backslashed(clips) + "\\MAIN_ENG.AVI");
    EXPECT_EQ(TDump::Field(playing.Player, "open"), "1");
    EXPECT_EQ(playing.Of("ShowPanel", "visible"), "1");
    EXPECT_TRUE(playing.Boxes.empty()) << playing.Boxes[0];

    const TDump& ended = run.Dumps[2];
    EXPECT_EQ(TDump::Field(ended.Player, "position"), std::to_string(introEnd));
    EXPECT_EQ(ended.Of("SelectImage_eng", "visible"), "1");
    EXPECT_EQ(ended.Of("ShowPanel", "visible"), "0");

    const TDump& back = run.Dumps[3];
    EXPECT_EQ(back.Of("start", "visible"), "1");
    EXPECT_EQ(back.Of("SelectImage_eng", "visible"), "0");
    EXPECT_EQ(back.Of("back", "enabled"), "0");
    EXPECT_EQ(run.ExitLine, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, VolumeE2e,
                         ::testing::Values(TKind::Folder, TKind::Pe32, TKind::Pe64),
                         [](const auto& info) {
                             return std::string(info.param == TKind::Folder ? "Folder"
                                                : info.param == TKind::Pe32 ? "Pe32"
                                                                            : "Pe64");
                         });

} // namespace
