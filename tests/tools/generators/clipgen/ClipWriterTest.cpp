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
#include "tools/generators/clipgen/ClipPainter.h"
#include "tools/generators/clipgen/ClipTone.h"
#include "tools/generators/clipgen/ClipWriter.h"

using namespace clipgen;
using cliptest::DecodeClip;
using cliptest::ReadBytes;
using cliptest::TTempDir;

namespace {

TClipSpec SmallSpec(int frames, int width = 64, int height = 48) {
    TClipSpec spec;
    spec.Title = "Test";
    spec.Frames = frames;
    spec.Width = width;
    spec.Height = height;
    return spec;
}

} // namespace

TEST(ClipWriter, FileHoldsExactlyTheFramesAndSoundAsked) {
    const struct {
        const char* Name;
        int Frames, Width, Height, Fps;
        bool Sound;
        const char* Title;
    } cases[] = {
        {"one frame", 1, 64, 48, 15, true, "Test"},
        {"thirty frames", 30, 64, 48, 15, true, "Test"},
        {"video only", 30, 64, 48, 15, false, "Test"},
        {"past a key frame, odd count", 31, 96, 64, 15, true, "Test"},
        {"other rate", 26, 64, 48, 25, true, "Test"},
        {"korean title", 17, 128, 72, 15, true, "전체 보기"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TClipSpec spec = SmallSpec(c.Frames, c.Width, c.Height);
        spec.FramesPerSecond = c.Fps;
        spec.Sound = c.Sound;
        spec.Title = c.Title;
        WriteClip(dir / "clip.avi", spec);

        std::set<int> all;
        for (int i = 0; i < c.Frames; ++i)
            all.insert(i);
        const auto clip = DecodeClip(dir / "clip.avi", all);
        EXPECT_EQ(c.Frames, clip.VideoPackets);
        EXPECT_EQ(c.Frames, clip.DecodedFrames);
        EXPECT_EQ(c.Frames, clip.HeaderFrames);
        EXPECT_EQ(c.Width, clip.Width);
        EXPECT_EQ(c.Height, clip.Height);
        EXPECT_EQ(c.Fps, clip.FrameRate.num / std::max(1, clip.FrameRate.den));
        EXPECT_EQ(c.Sound, clip.HasSound);
        if (c.Sound) { // lossless: exactly the synthesised samples, as long as the video
            EXPECT_EQ(ClipSampleRate, clip.SampleRate);
            std::vector<std::int16_t> expected(std::size_t(FirstSampleOfFrame(c.Frames, c.Fps)));
            ToneSamples(spec.ToneHz, 0, expected);
            EXPECT_TRUE(expected == clip.Samples);
        }
        // Each decoded frame is the one drawn for its place, none lost or repeated.
        for (int i = 0; i < clip.DecodedFrames; ++i)
            EXPECT_EQ(i, ReadFrameCode(clip.Width, clip.Height,
                                       [&](int x, int y) { return clip.Pixel(i, x, y); }));
    }
}

TEST(ClipWriter, DecodedPictureMatchesThePaintedFrame) {
    TTempDir dir;
    TClipSpec spec = SmallSpec(20, 160, 120);
    spec.Sound = false;
    WriteClip(dir / "clip.avi", spec);
    const int frames[] = {0, 7, 19};
    const auto clip = DecodeClip(dir / "clip.avi", {0, 7, 19});
    ASSERT_EQ(3u, clip.Pictures.size());
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE("frame " + std::to_string(frames[k]));
        TClipPainter painter(spec);
        graphics::TBitmap& painted = painter.Paint(frames[k]);
        // Lossy coding and chroma subsampling leave small differences everywhere;
        // swapped channels, a wrong row layout or a part of the picture left from an
        // earlier frame leave large ones, at least in some 8 x 8 block.
        long long total = 0;
        int worstBlock = 0;
        for (int by = 0; by < spec.Height; by += 8)
            for (int bx = 0; bx < spec.Width; bx += 8) {
                int block = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        const auto* p = static_cast<const std::uint8_t*>(painted.ScanLine(y));
                        const std::uint32_t got = clip.Pixel(k, x, y);
                        for (int channel = 0; channel < 3; ++channel)
                            block += std::abs(int(p[x * 4 + channel]) -
                                              int((got >> (8 * channel)) & 0xFF));
                    }
                total += block;
                worstBlock = std::max(worstBlock, block / (3 * 64));
            }
        EXPECT_LT(double(total) / (3.0 * spec.Width * spec.Height), 6.0);
        EXPECT_LT(worstBlock, 40);
    }
}

TEST(ClipWriter, SameSpecGivesTheSameBytesAndOtherTitlesOtherBytes) {
    TTempDir dir;
    const TClipSpec spec = SmallSpec(20);
    WriteClip(dir / "a.avi", spec);
    WriteClip(dir / "b.avi", spec);
    TClipSpec other = spec;
    other.Title = "Tess";
    WriteClip(dir / "c.avi", other);
    const auto a = ReadBytes(dir / "a.avi");
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == ReadBytes(dir / "b.avi"));
    EXPECT_FALSE(a == ReadBytes(dir / "c.avi"));
    const std::string text(a.begin(), a.end()); // no library versions in the file
    EXPECT_EQ(std::string::npos, text.find("Lavf"));
    EXPECT_EQ(std::string::npos, text.find("Lavc"));
}

TEST(ClipWriter, BadPathsAndSpecsGiveClearErrorsAndLeaveNothingBehind) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "taken.avi");
    const std::string earlier = dir / "x.avi";
    WriteClip(earlier, SmallSpec(3));
    const auto earlierBytes = ReadBytes(earlier);
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
        {"missing folder", dir / "no/such/x.avi", SmallSpec(5), "No such file or directory"},
        {"a folder in the way", dir / "taken.avi", SmallSpec(5), "taken.avi"},
        {"empty name", "", SmallSpec(5), "the file name is empty"},
        {"no frames", earlier, spec([](TClipSpec& s) { s.Frames = 0; }), "between 1 and"},
        {"odd width", earlier, spec([](TClipSpec& s) { s.Width = 65; }), "not 65 x 48"},
        {"too small", earlier, spec([](TClipSpec& s) { s.Height = 16; }), "not 64 x 16"},
        {"no frame rate", earlier, spec([](TClipSpec& s) { s.FramesPerSecond = 0; }), "frame rate"},
        {"inaudible tone", earlier, spec([](TClipSpec& s) { s.ToneHz = 5; }), "not 5 Hz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string message = "(no error)";
        try {
            WriteClip(c.Path, c.Spec);
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
        EXPECT_NE(std::string::npos, message.find(c.Reason)) << message;
        EXPECT_NE(std::string::npos, message.find("\"" + c.Path + "\"")) << message;
    }
    // The earlier clip is untouched and no partial file is left.
    EXPECT_TRUE(earlierBytes == ReadBytes(earlier));
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ((std::set<std::string>{"taken.avi", "x.avi"}), left);

    // A video-only clip takes any tone.
    EXPECT_NO_THROW(WriteClip(dir / "quiet.avi", spec([](TClipSpec& s) {
                                  s.Sound = false;
                                  s.ToneHz = 0;
                              })));
}
