// Frames as the painter draws them: the frame code reads back, the picture moves from
// frame to frame, and text stays inside the frame however long it is.
#include <gtest/gtest.h>

#include "graphics/Graphics.h"
#include "tools/clipgen/ClipPainter.h"

using namespace clipgen;

namespace {

std::uint32_t PixelAt(graphics::TBitmap& bitmap, int x, int y) {
    const auto* p = static_cast<const std::uint8_t*>(bitmap.ScanLine(y)) + x * 4;
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

int CodeOf(graphics::TBitmap& bitmap) {
    return ReadFrameCode(bitmap.Width(), bitmap.Height(),
                         [&](int x, int y) { return PixelAt(bitmap, x, y); });
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

TEST(ClipPainter, FrameCodeReadsBackAtEverySize) {
    const struct {
        int Width, Height, Frames;
    } sizes[] = {{48, 32, 4096}, {64, 48, 4096}, {160, 120, 4096}, {700, 628, 4096}};
    const int indices[] = {0, 1, 2, 5, 170, 1365, 2730, 4095};
    for (const auto& s : sizes) {
        TClipPainter painter(Spec(s.Width, s.Height, s.Frames));
        for (int index : indices) {
            SCOPED_TRACE(std::to_string(s.Width) + " x " + std::to_string(s.Height) + ", frame " +
                         std::to_string(index));
            graphics::TBitmap& bitmap = painter.Paint(index);
            ASSERT_EQ(s.Width, bitmap.Width());
            ASSERT_EQ(s.Height, bitmap.Height());
            EXPECT_EQ(index, CodeOf(bitmap));
        }
    }
}

TEST(ClipPainter, FrameCodeRejectsPicturesWithoutOne) {
    for (std::uint32_t grey : {0x808080u, 0x606060u}) {
        SCOPED_TRACE(grey);
        EXPECT_EQ(-1, ReadFrameCode(700, 628, [&](int, int) { return grey; }));
    }
    EXPECT_EQ(-1, ReadFrameCode(20, 10, [](int, int) { return 0xFFFFFFu; })) << "too small";
}

TEST(ClipPainter, EveryFrameDiffersFromTheNextOutsideTheCode) {
    const TClipSpec spec = Spec(160, 120, 40);
    TClipPainter painter(spec);
    const TFrameCodeLayout code = FrameCodeLayout(spec.Width, spec.Height);
    std::vector<std::uint32_t> previous;
    for (int index = 0; index < spec.Frames; ++index) {
        graphics::TBitmap& bitmap = painter.Paint(index);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < code.Top; ++y) // above the code
            for (int x = 0; x < spec.Width; ++x)
                pixels.push_back(PixelAt(bitmap, x, y));
        if (!previous.empty()) {
            EXPECT_NE(previous, pixels) << "frame " << index << " looks like the one before";
        }
        previous = std::move(pixels);
    }
}

TEST(ClipPainter, TextStaysInsideTheFrame) {
    const struct {
        const char* Name;
        int Width, Height, Frames;
        std::string Title;
    } cases[] = {
        {"long number", 700, 628, 1485, "Overview"},
        {"long title", 700, 628, 10, "A title much longer than the width of the frame allows"},
        {"long Korean title", 700, 628, 10, "아동과 유아 아동과 유아 아동과 유아 아동과 유아"},
        {"small frame", 64, 48, 999, "Child and baby"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TClipSpec spec = Spec(c.Width, c.Height, c.Frames, c.Title);
        spec.Subtitle = "Quillot 05 Vol. 1 - a subtitle that also runs on for a while";
        TClipPainter painter(spec);
        graphics::TBitmap& bitmap = painter.Paint(c.Frames - 1);
        const std::uint32_t background = spec.Background;
        // The left and right columns above the track show only the background.
        for (int y = 0; y < c.Height / 2; ++y) {
            ASSERT_EQ(background, PixelAt(bitmap, 0, y)) << "left edge, row " << y;
            ASSERT_EQ(background, PixelAt(bitmap, c.Width - 1, y)) << "right edge, row " << y;
        }
    }
}

TEST(ClipPainter, HangulTitleIsDrawnWithAKoreanFace) {
    // A face without Hangul draws boxes or nothing; the Korean face draws distinct
    // syllables, so two different titles of equal length must differ in ink.
    auto titleRows = [](const std::string& title) {
        TClipPainter painter(Spec(320, 240, 5, title));
        graphics::TBitmap& bitmap = painter.Paint(0);
        std::vector<std::uint32_t> pixels;
        int ink = 0;
        for (int y = 0; y < 240 * 16 / 100; ++y)
            for (int x = 0; x < 320; ++x) {
                pixels.push_back(PixelAt(bitmap, x, y));
                ink += pixels.back() != TClipSpec().Background;
            }
        EXPECT_GT(ink, 50) << title;
        return pixels;
    };
    EXPECT_NE(titleRows("남성"), titleRows("여성"));
}

TEST(ClipPainter, FrameDoesNotDependOnWhatWasPaintedBefore) {
    // Sizes where bands and text crowd each other, and the catalogue's.
    const struct { int Width, Height; } sizes[] = {{48, 32}, {160, 120}, {700, 628}};
    const int order[] = {9, 0, 14, 1, 30, 29, 9};
    for (const auto& s : sizes) {
        const TClipSpec spec = Spec(s.Width, s.Height, 31, "Order 순서");
        TClipPainter reused(spec);
        for (int index : order) {
            SCOPED_TRACE(std::to_string(s.Width) + " x " + std::to_string(s.Height) + ", frame " +
                         std::to_string(index));
            TClipPainter fresh(spec);
            graphics::TBitmap& expected = fresh.Paint(index);
            graphics::TBitmap& got = reused.Paint(index);
            int differing = 0;
            for (int y = 0; y < s.Height; ++y)
                for (int x = 0; x < s.Width; ++x)
                    differing += PixelAt(expected, x, y) != PixelAt(got, x, y);
            EXPECT_EQ(0, differing);
        }
    }
}
