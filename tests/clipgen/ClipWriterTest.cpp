// The clip writer, checked through FFmpeg's own reading of its files: exact frame counts
// in packets and decoded frames, every frame in its place (by the frame code drawn on
// it), the picture as painted, the sound as synthesised, the same bytes on every run, and
// clear errors that leave nothing behind.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "ClipDecoder.h"
#include "graphics/Graphics.h"
#include "tools/clipgen/ClipPainter.h"
#include "tools/clipgen/ClipTone.h"
#include "tools/clipgen/ClipWriter.h"

using namespace clipgen;
using cliptest::DecodeClip;
using cliptest::TTempDir;

namespace {

TClipSpec SmallSpec(int frames = 30, bool sound = true) {
    TClipSpec spec;
    spec.Title = "Test";
    spec.Frames = frames;
    spec.Width = 64;
    spec.Height = 48;
    spec.Sound = sound;
    return spec;
}

std::string ErrorOf(const std::string& path, const TClipSpec& spec) {
    try {
        WriteClip(path, spec);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(ClipWriter, FileHoldsExactlyTheFramesAndSoundAsked) {
    const struct {
        const char* Name;
        int Frames, Width, Height, Fps;
        bool Sound;
    } cases[] = {
        {"one frame", 1, 64, 48, 15, true},
        {"thirty frames", 30, 64, 48, 15, true},
        {"video only", 30, 64, 48, 15, false},
        {"past a key frame, odd count", 31, 96, 64, 15, true},
        {"other rate", 26, 64, 48, 25, true},
        {"korean title", 17, 128, 72, 15, true},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TClipSpec spec = SmallSpec(c.Frames, c.Sound);
        spec.Width = c.Width;
        spec.Height = c.Height;
        spec.FramesPerSecond = c.Fps;
        if (std::string(c.Name) == "korean title")
            spec.Title = "전체 보기";
        const std::string path = dir / "clip.avi";
        WriteClip(path, spec);

        std::set<int> all;
        for (int i = 0; i < c.Frames; ++i)
            all.insert(i);
        const auto clip = DecodeClip(path, all);
        EXPECT_EQ(c.Frames, clip.VideoPackets);
        EXPECT_EQ(c.Frames, clip.DecodedFrames);
        EXPECT_EQ(c.Frames, clip.HeaderFrames);
        EXPECT_EQ(c.Width, clip.Width);
        EXPECT_EQ(c.Height, clip.Height);
        EXPECT_EQ(c.Fps, clip.FrameRate.num / std::max(1, clip.FrameRate.den));
        EXPECT_EQ(c.Sound, clip.HasSound);
        if (c.Sound) {
            EXPECT_EQ(ClipSampleRate, clip.SampleRate);
            EXPECT_EQ(std::size_t(FirstSampleOfFrame(c.Frames, c.Fps)), clip.Samples.size());
        }
        // Each decoded frame is the one drawn for its place, none lost or repeated.
        for (int i = 0; i < clip.DecodedFrames; ++i) {
            const int code = ReadFrameCode(clip.Width, clip.Height,
                                           [&](int x, int y) { return clip.Pixel(i, x, y); });
            EXPECT_EQ(i, code) << "decoded frame " << i;
        }
        std::filesystem::remove(path);
    }
}

TEST(ClipWriter, DecodedPictureMatchesThePaintedFrame) {
    TTempDir dir;
    TClipSpec spec = SmallSpec(20, false);
    spec.Width = 160;
    spec.Height = 120;
    spec.Title = "Colours";
    WriteClip(dir / "clip.avi", spec);
    const int frames[] = {0, 7, 19};
    const auto clip = DecodeClip(dir / "clip.avi", {0, 7, 19});
    ASSERT_EQ(3u, clip.Pictures.size());
    TClipPainter painter(spec);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE("frame " + std::to_string(frames[k]));
        graphics::TBitmap& painted = painter.Paint(frames[k]);
        // Average difference per channel: lossy coding and chroma subsampling stay small,
        // swapped channels or a wrong row layout do not.
        long long difference = 0;
        for (int y = 0; y < spec.Height; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(painted.ScanLine(y));
            for (int x = 0; x < spec.Width; ++x) {
                const std::uint32_t got = clip.Pixel(k, x, y);
                difference += std::abs(int(row[x * 4 + 2]) - int((got >> 16) & 0xFF)) +
                              std::abs(int(row[x * 4 + 1]) - int((got >> 8) & 0xFF)) +
                              std::abs(int(row[x * 4 + 0]) - int(got & 0xFF));
            }
        }
        const double mean = double(difference) / (3.0 * spec.Width * spec.Height);
        EXPECT_LT(mean, 6.0);
    }
}

TEST(ClipWriter, SoundTrackIsTheSynthesisedToneSampleForSample) {
    TTempDir dir;
    TClipSpec spec = SmallSpec(40);
    spec.ToneHz = 660;
    WriteClip(dir / "clip.avi", spec);
    const auto clip = DecodeClip(dir / "clip.avi");
    std::vector<std::int16_t> expected(std::size_t(FirstSampleOfFrame(40, 15)));
    ToneSamples(660, 0, expected);
    ASSERT_EQ(expected.size(), clip.Samples.size());
    EXPECT_TRUE(expected == clip.Samples);
}

TEST(ClipWriter, SameSpecGivesTheSameBytesAndOtherTitlesOtherBytes) {
    TTempDir dir;
    const TClipSpec spec = SmallSpec(20);
    WriteClip(dir / "a.avi", spec);
    WriteClip(dir / "b.avi", spec);
    TClipSpec other = spec;
    other.Title = "Tess";
    WriteClip(dir / "c.avi", other);
    const auto a = cliptest::ReadBytes(dir / "a.avi");
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == cliptest::ReadBytes(dir / "b.avi"));
    EXPECT_FALSE(a == cliptest::ReadBytes(dir / "c.avi"));
    // Nothing that names the library version or the hour the file was made.
    const std::string text(a.begin(), a.end());
    EXPECT_EQ(std::string::npos, text.find("Lavf"));
    EXPECT_EQ(std::string::npos, text.find("Lavc"));
}

TEST(ClipWriter, BadPathsAndSpecsGiveClearErrorsAndLeaveNothingBehind) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "taken.avi");
    auto spec = [](auto change) {
        TClipSpec s = SmallSpec(5);
        change(s);
        return s;
    };
    const struct {
        const char* Name;
        std::string Path;
        TClipSpec Spec;
        const char* Reason; // a part of the message
    } cases[] = {
        {"missing folder", dir / "no/such/folder/x.avi", SmallSpec(5), "No such file or directory"},
        {"a folder in the way", dir / "taken.avi", SmallSpec(5), "taken.avi"},
        {"empty name", "", SmallSpec(5), "the file name is empty"},
        {"no frames", dir / "x.avi", spec([](TClipSpec& s) { s.Frames = 0; }),
         "frame count must be between 1 and"},
        {"odd width", dir / "x.avi", spec([](TClipSpec& s) { s.Width = 65; }), "not 65 x 48"},
        {"too small", dir / "x.avi", spec([](TClipSpec& s) { s.Height = 16; }), "not 64 x 16"},
        {"no frame rate", dir / "x.avi", spec([](TClipSpec& s) { s.FramesPerSecond = 0; }),
         "frame rate"},
        {"inaudible tone", dir / "x.avi", spec([](TClipSpec& s) { s.ToneHz = 5; }), "not 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string message = ErrorOf(c.Path, c.Spec);
        EXPECT_NE(std::string::npos, message.find(c.Reason)) << message;
        if (!c.Path.empty()) {
            EXPECT_NE(std::string::npos, message.find("\"" + c.Path + "\"")) << message;
        }
    }
    // Only the folder that was in the way is left.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(std::vector<std::string>{"taken.avi"}, left);

    // A video-only clip takes any tone.
    EXPECT_NO_THROW(WriteClip(dir / "quiet.avi", spec([](TClipSpec& s) {
                                  s.Sound = false;
                                  s.ToneHz = 0;
                              })));
}

TEST(ClipWriter, FailedWriteKeepsTheEarlierClip) {
    TTempDir dir;
    const std::string path = dir / "clip.avi";
    WriteClip(path, SmallSpec(3));
    const auto before = cliptest::ReadBytes(path);
    TClipSpec bad = SmallSpec(3);
    bad.Frames = -1;
    EXPECT_THROW(WriteClip(path, bad), std::runtime_error);
    EXPECT_TRUE(before == cliptest::ReadBytes(path));
}
