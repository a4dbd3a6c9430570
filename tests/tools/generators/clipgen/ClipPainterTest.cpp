// Frames as the painter draws them: the frame code reads back, text stays inside the
// frame, and only the rows said to change do change.
#include <gtest/gtest.h>

#include "graphics/Graphics.h"
#include "tools/generators/clipgen/ClipPainter.h"

using namespace clipgen;

namespace {

std::uint32_t PixelAt(graphics::TBitmap& bitmap, int x, int y) {
    return static_cast<const std::uint32_t*>(bitmap.ScanLine(y))[x] & 0xFFFFFF;
}

std::vector<std::uint32_t> Pixels(graphics::TBitmap& bitmap, int top, int bottom) {
    std::vector<std::uint32_t> pixels;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            pixels.push_back(PixelAt(bitmap, x, y));
    return pixels;
}

TClipSpec Spec(int width, int height, int frames, std::string title = "Test") {
    TClipSpec spec;
    spec.Title = std::move(title);
    spec.Width = width;
    spec.Height = height;
    spec.Frames = frames;
    return spec;
}

} // namespace

TEST(ClipPainter, FrameCodeReadsBackAtEverySizeAndOnlyFromFrames) {
    for (const auto& [width, height] : {std::pair{48, 32}, {64, 48}, {160, 120}, {700, 628}}) {
        TClipPainter painter(Spec(width, height, 4096));
        for (int index : {0, 1, 2, 5, 170, 1365, 2730, 4095}) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height) + ", frame " +
                         std::to_string(index));
            graphics::TBitmap& bitmap = painter.Paint(index);
            ASSERT_EQ(width, bitmap.Width());
            ASSERT_EQ(height, bitmap.Height());
            EXPECT_EQ(index, ReadFrameCode(width, height,
                                           [&](int x, int y) { return PixelAt(bitmap, x, y); }));
        }
    }
    EXPECT_EQ(-1, ReadFrameCode(700, 628, [](int, int) { return 0x808080u; }));
    EXPECT_EQ(-1, ReadFrameCode(20, 10, [](int, int) { return 0xFFFFFFu; })) << "too small";
}

TEST(ClipPainter, TextStaysInsideTheFrame) {
    const struct {
        const char* Name;
        int Width, Height, Frames;
        std::string Title;
    } cases[] = {
        {"long number", 700, 628, 1485, "Overview"},
        {"long Korean title", 700, 628, 10, "아동과 유아 아동과 유아 아동과 유아 아동과 유아"},
        {"small frame", 64, 48, 999, "Child and baby"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TClipSpec spec = Spec(c.Width, c.Height, c.Frames, c.Title);
        spec.Subtitle = "Quillot 05 Vol. 1 - a subtitle that also runs on for a while";
        TClipPainter painter(spec);
        graphics::TBitmap& bitmap = painter.Paint(c.Frames - 1);
        // The left and right columns above the track show only the background.
        for (int y = 0; y < c.Height / 2; ++y) {
            ASSERT_EQ(spec.Background, PixelAt(bitmap, 0, y)) << "left edge, row " << y;
            ASSERT_EQ(spec.Background, PixelAt(bitmap, c.Width - 1, y)) << "right, row " << y;
        }
    }
}

TEST(ClipPainter, OnlyTheChangedRowsChangeAndSomethingMovesAboveTheCode) {
    for (const auto& [width, height] : {std::pair{48, 32}, std::pair{160, 120}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        TClipPainter painter(Spec(width, height, 40));
        graphics::TBitmap& bitmap = painter.Paint(0);
        ASSERT_EQ((std::vector<std::pair<int, int>>{{0, height}}), painter.ChangedRows());
        const int codeTop = FrameCodeLayout(width, height).Top;
        for (int index = 1; index < 40; ++index) {
            const auto before = Pixels(bitmap, 0, height);
            painter.Paint(index);
            const auto after = Pixels(bitmap, 0, height);
            std::vector<bool> changed(std::size_t(height), false);
            for (const auto& [top, bottom] : painter.ChangedRows())
                for (int y = std::max(0, top); y < std::min(height, bottom); ++y)
                    changed[std::size_t(y)] = true;
            EXPECT_LT(std::count(changed.begin(), changed.end(), true), height);
            for (int y = 0; y < height; ++y) {
                if (changed[std::size_t(y)])
                    continue;
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(before[std::size_t(y * width + x)], after[std::size_t(y * width + x)])
                        << "frame " << index << ", pixel " << x << ", " << y;
            }
            EXPECT_FALSE(
                std::equal(before.begin(), before.begin() + codeTop * width, after.begin()))
                << "frame " << index << " looks like the one before";
        }
    }
}
