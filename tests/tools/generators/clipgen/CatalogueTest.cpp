// The catalogue's clip table and the parallel writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ClipDecoder.h"
#include "app/Clips.h"
#include "tools/generators/clipgen/Catalogue.h"

using namespace clipgen;
using cliptest::ReadBytes;
using cliptest::TTempDir;

TEST(Catalogue, TheShellsClipsWithTheirEndPositionsAsLengthAndTitlesInTheirLanguage) {
    // The shell ends a clip when its position equals its frame count.
    const auto expected = app::ClipFiles();
    const auto clips = CatalogueClips();
    ASSERT_EQ(std::size(expected), clips.size());
    for (std::size_t i = 0; i < clips.size(); ++i) {
        const TClipSpec& spec = clips[i].Spec;
        SCOPED_TRACE(clips[i].FileName);
        EXPECT_EQ(expected[i].FileName, clips[i].FileName);
        EXPECT_EQ(expected[i].Frames, spec.Frames);
        EXPECT_EQ(std::tuple(700, 628, 15, true),
                  std::tuple(spec.Width, spec.Height, spec.FramesPerSecond, spec.Sound));
        // Hangul syllables start with UTF-8 lead bytes 0xEA .. 0xED; English is ASCII.
        const bool english = clips[i].FileName.find("_eng") != std::string::npos;
        EXPECT_EQ(!english, std::any_of(spec.Title.begin(), spec.Title.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xFC) == 0xEC ||
                   (static_cast<unsigned char>(c) & 0xFE) == 0xEA;
        })) << spec.Title;
        EXPECT_EQ(english, std::all_of(spec.Title.begin(), spec.Title.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            << spec.Title;
    }
}

namespace {

std::vector<TCatalogueClip> SmallClips() {
    std::vector<TCatalogueClip> clips;
    const int frames[] = {7, 19, 3, 12};
    for (int i = 0; i < 4; ++i) {
        TCatalogueClip clip{"c" + std::to_string(i) + ".avi", {}};
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

std::string ErrorOf(const std::string& dir, const std::vector<TCatalogueClip>& clips) {
    try {
        WriteClips(dir, clips, 2);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(Catalogue, ParallelWritingGivesTheSameFilesAsOneByOne) {
    TTempDir dir;
    const auto clips = SmallClips();
    for (const auto& clip : clips)
        WriteClip(dir / ("serial-" + clip.FileName), clip.Spec);
    WriteClips(dir / "parallel/made", clips, 3);
    for (const auto& clip : clips) {
        SCOPED_TRACE(clip.FileName);
        const auto serial = ReadBytes(dir / ("serial-" + clip.FileName));
        EXPECT_FALSE(serial.empty());
        EXPECT_TRUE(serial == ReadBytes(dir / ("parallel/made/" + clip.FileName)));
    }
}

TEST(Catalogue, FailingClipsAreReportedAfterTheOthersAreWritten) {
    TTempDir dir;
    auto clips = SmallClips();
    clips[1].Spec.Frames = 0;
    clips[3].Spec.Width = 63;
    const std::string message = ErrorOf(dir.Path().string(), clips);
    EXPECT_NE(std::string::npos, message.find("c1.avi\": the frame count")) << message;
    EXPECT_NE(std::string::npos, message.find("\nc")) << "one failure per line: " << message;
    EXPECT_NE(std::string::npos, message.find("c3.avi\": width and height")) << message;
    EXPECT_TRUE(std::filesystem::exists(dir / "c0.avi"));
    EXPECT_TRUE(std::filesystem::exists(dir / "c2.avi"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c1.avi"));

    std::ofstream(dir / "plain") << "a file where a folder should be";
    EXPECT_NE(std::string::npos,
              ErrorOf(dir / "plain/sub", clips).find("cannot make the clip folder"));
}
