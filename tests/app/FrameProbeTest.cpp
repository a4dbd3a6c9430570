// The click-to-frame timing's view of the screen: where it clicks and looks for the clip
// frame, when a row of pixels counts as a frame of the awaited clip, and the statistics
// of the benchmarks.
#include <gtest/gtest.h>

#include <string>

#include "bench/app/FrameProbe.h"
#include "bench/common/Stats.h"
#include "graphics/Graphics.h"
#include "tools/generators/clipgen/Catalogue.h"
#include "tools/generators/clipgen/ClipPainter.h"

using namespace bench;

namespace {

clipgen::TClipSpec CatalogueSpec(const std::string& fileName) {
    for (const clipgen::TCatalogueClip& clip : clipgen::CatalogueClips())
        if (clip.FileName == fileName)
            return clip.Spec;
    ADD_FAILURE() << "no clip " << fileName;
    return {};
}

// The row of frame `index` of the clip that the probe reads, each channel moved by `noise`
// (as lossy compression might).
std::vector<std::uint32_t> PaintedRow(const clipgen::TClipSpec& spec, int index, int noise = 0) {
    clipgen::TClipPainter painter(spec);
    graphics::TBitmap& bitmap = painter.Paint(index);
    const auto* line =
        static_cast<const std::uint32_t*>(bitmap.ScanLine(FrameCodeRow(spec.Width, spec.Height)));
    std::vector<std::uint32_t> row;
    for (int x = 0; x < spec.Width; ++x) {
        std::uint32_t pixel = 0;
        for (int shift : {0, 8, 16}) {
            const int c = std::clamp(int((line[x] >> shift) & 0xFF) + noise, 0, 255);
            pixel |= std::uint32_t(c) << shift;
        }
        row.push_back(pixel);
    }
    return row;
}

} // namespace

TEST(FrameProbe, SpotsFollowTheWindowsLayoutAtEverySize) {
    const struct {
        const char* Name;
        int Left, Top, Width, Height; // client area on the screen
        TScreenRect Frame;
        TScreenPoint English, ManEnglish, Back;
    } cases[] = {
        // Maximised on a 1280 x 1024 screen: the bounds scenario's dump reports, moved by
        // the client area's place.
        {"maximised", 4, 30, 1272, 990, {289, 210, 700, 628}, {855, 672}, {766, 722}, {531, 875}},
        // The design size, outer 1283 x 988.
        {"design size", 0, 0, 1275, 954, {287, 162, 700, 628}, {853, 624}, {764, 674}, {529, 827}},
        // Smaller than the content: negative positions halved toward zero.
        {"too small", 10, 20, 692, 466, {6, -62, 700, 628}, {572, 400}, {483, 450}, {248, 603}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TCatalogueSpots spots = CatalogueSpots(c.Left, c.Top, c.Width, c.Height);
        EXPECT_EQ(c.Frame.Left, spots.ClipFrame.Left);
        EXPECT_EQ(c.Frame.Top, spots.ClipFrame.Top);
        EXPECT_EQ(c.Frame.Width, spots.ClipFrame.Width);
        EXPECT_EQ(c.Frame.Height, spots.ClipFrame.Height);
        EXPECT_EQ(c.English.X, spots.English.X);
        EXPECT_EQ(c.English.Y, spots.English.Y);
        EXPECT_EQ(c.ManEnglish.X, spots.ManEnglish.X);
        EXPECT_EQ(c.ManEnglish.Y, spots.ManEnglish.Y);
        EXPECT_EQ(c.Back.X, spots.Back.X);
        EXPECT_EQ(c.Back.Y, spots.Back.Y);
    }
}

TEST(FrameProbe, RecognisesFramesOfTheAwaitedClipOnly) {
    const clipgen::TClipSpec intro = CatalogueSpec("main_eng.avi");
    const clipgen::TClipSpec man = CatalogueSpec("man_eng.avi");
    ASSERT_NE(intro.Background, man.Background);
    for (const auto& [index, noise] : {std::pair{0, 0}, {1, 0}, {152, 0}, {0, 5}, {77, -5}}) {
        SCOPED_TRACE("frame " + std::to_string(index) + ", noise " + std::to_string(noise));
        EXPECT_EQ(index,
                  ClipFrameInRow(PaintedRow(intro, index, noise), intro.Height, intro.Background));
    }

    // A dark picture reads as frame 0 by its squares alone: the background tells it apart.
    const std::vector<std::uint32_t> dark(700, 0x1B2233);
    ASSERT_EQ(0, clipgen::ReadFrameCode(700, 628, [&](int x, int) { return dark[x]; }));
    EXPECT_EQ(-1, ClipFrameInRow(dark, 628, intro.Background));
    const struct {
        const char* Name;
        std::vector<std::uint32_t> Row;
    } others[] = {
        {"empty frame", std::vector<std::uint32_t>(700, 0xD4D0C8)},
        {"another clip", PaintedRow(man, 0)},
        {"too narrow for the background", std::vector<std::uint32_t>(8, intro.Background)},
    };
    for (const auto& other : others) {
        SCOPED_TRACE(other.Name);
        EXPECT_EQ(-1, ClipFrameInRow(other.Row, 628, intro.Background));
    }
}

TEST(FrameProbe, PercentilesByNearestRank) {
    const std::vector<double> ten = {7, 3, 10, 1, 9, 2, 8, 4, 6, 5};
    const struct {
        std::vector<double> Values;
        double P, Expected;
    } cases[] = {
        {ten, 50, 5},   {ten, 90, 9},   {ten, 100, 10},     {ten, 0.001, 1}, {ten, 91, 10},
        {{42}, 50, 42}, {{42}, 90, 42}, {{3, 1, 2}, 50, 2}, {{}, 50, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Values.size()) + " values, p" + std::to_string(c.P));
        EXPECT_EQ(c.Expected, Percentile(c.Values, c.P));
    }
}
