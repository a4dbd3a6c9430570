// The catalogue's clip table and the parallel writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "ClipDecoder.h"
#include "tools/clipgen/Catalogue.h"

using namespace clipgen;
using cliptest::TTempDir;

TEST(Catalogue, TenClipsWithTheShellsEndPositions) {
    // The shell ends a clip when its position equals these counts.
    const std::pair<const char*, int> expected[] = {
        {"main.avi", 494},       {"main_eng.avi", 153},       {"man.avi", 849},
        {"man_eng.avi", 592},    {"woman.avi", 849},          {"woman_eng.avi", 592},
        {"baby_child.avi", 849}, {"baby_child_eng.avi", 592}, {"all.avi", 1485},
        {"all_eng.avi", 1228},
    };
    const auto clips = CatalogueClips();
    ASSERT_EQ(std::size(expected), clips.size());
    std::vector<int> tones;
    for (std::size_t i = 0; i < clips.size(); ++i) {
        const TClipSpec& spec = clips[i].Spec;
        SCOPED_TRACE(clips[i].FileName);
        EXPECT_EQ(expected[i].first, clips[i].FileName);
        EXPECT_EQ(expected[i].second, spec.Frames);
        EXPECT_EQ(700, spec.Width);
        EXPECT_EQ(628, spec.Height);
        EXPECT_EQ(15, spec.FramesPerSecond);
        EXPECT_TRUE(spec.Sound);
        // Korean clips have Hangul titles (UTF-8 lead bytes 0xEA .. 0xED), English ones
        // plain ASCII.
        const bool english = clips[i].FileName.find("_eng") != std::string::npos;
        const bool hangul = std::any_of(spec.Title.begin(), spec.Title.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b >= 0xEA && b <= 0xED;
        });
        const bool ascii = std::all_of(spec.Title.begin(), spec.Title.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        EXPECT_EQ(english, ascii) << spec.Title;
        EXPECT_EQ(!english, hangul) << spec.Title;
        tones.push_back(spec.ToneHz);
    }
    std::sort(tones.begin(), tones.end());
    EXPECT_EQ(tones.end(), std::adjacent_find(tones.begin(), tones.end())) << "shared tone";
}

namespace {

std::vector<TCatalogueClip> SmallClips() {
    std::vector<TCatalogueClip> clips;
    const int frames[] = {7, 19, 3, 12};
    for (int i = 0; i < 4; ++i) {
        TCatalogueClip clip;
        clip.FileName = "c" + std::to_string(i) + ".avi";
        clip.Spec.Title = clip.FileName;
        clip.Spec.Frames = frames[i];
        clip.Spec.Width = 64;
        clip.Spec.Height = 48;
        clip.Spec.ToneHz = 300 + 100 * i;
        clip.Spec.Sound = i != 2;
        clips.push_back(clip);
    }
    return clips;
}

} // namespace

TEST(Catalogue, ParallelWritingGivesTheSameFilesAsOneByOne) {
    TTempDir dir;
    const auto clips = SmallClips();
    for (const auto& clip : clips)
        WriteClip(dir / ("serial-" + clip.FileName), clip.Spec);
    WriteClips((dir.Path() / "parallel" / "made").string(), clips, 3);
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.FileName);
        const auto serial = cliptest::ReadBytes(dir / ("serial-" + clip.FileName));
        EXPECT_FALSE(serial.empty());
        EXPECT_TRUE(serial == cliptest::ReadBytes(dir / ("parallel/made/" + clip.FileName)));
    }
}

TEST(Catalogue, FailingClipsAreReportedAfterTheOthersAreWritten) {
    TTempDir dir;
    auto clips = SmallClips();
    clips[1].Spec.Frames = 0;
    clips[3].Spec.Width = 63;
    std::string message;
    try {
        WriteClips(dir.Path().string(), clips, 2);
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    EXPECT_NE(std::string::npos, message.find("c1.avi")) << message;
    EXPECT_NE(std::string::npos, message.find("c3.avi")) << message;
    EXPECT_NE(std::string::npos, message.find('\n')) << "one failure per line: " << message;
    EXPECT_TRUE(std::filesystem::exists(dir / "c0.avi"));
    EXPECT_TRUE(std::filesystem::exists(dir / "c2.avi"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c1.avi"));

    // A folder that cannot be made.
    { std::ofstream(dir / "plain") << "x"; }
    message.clear();
    try {
        WriteClips(dir / "plain/sub", clips, 2);
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    EXPECT_NE(std::string::npos, message.find("cannot make the clip folder")) << message;
}
