// Frames kept in their decoder's format and converted band by band as they are drawn
// show exactly what the same frame given as whole pixels shows, however the window
// clips them; a new frame marks for presenting only the pixels that changed.
#include <algorithm>
#include <memory>

#include "HeadlessFixture.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"

namespace {

using platform::user::VideoFrame;
using platform::user::VideoRows;

std::uint32_t PatternAt(int x, int y) {
    return std::uint32_t(x * 7919 + y * 104729) & 0x00FFFFFFu;
}

// The pattern in bands of `Band` rows, each from a buffer of its own whose rows lie
// `Stride` pixels apart, like a converter's band buffer. With `Tells`, bands drawn over an
// earlier picture say where they changed (from `Changes`).
class PatternRows final : public VideoRows {
public:
    PatternRows(int width, int height, int band, std::uint32_t (*at)(int, int), bool tells,
                std::vector<RECT> changes)
        : Width(width), Height(height), BandRows(band), Tells(tells), At(at),
          Changes(std::move(changes)) {}
    // Bands of an earlier picture of the same pattern are all left out.
    void ForEachSlice(const Slice& slice, const VideoRows* same) const override {
        const auto* earlier = dynamic_cast<const PatternRows*>(same);
        if (earlier && earlier->At == At)
            return;
        const std::size_t stride = std::size_t(Width) + 3;
        std::vector<std::uint32_t> rows(stride * std::size_t(BandRows), 0xFFFFFFFFu);
        for (int top = 0; top < Height; top += BandRows) {
            Band band;
            band.Top = top;
            band.Count = std::min(BandRows, Height - top);
            band.Rows = rows.data();
            band.Stride = stride;
            band.Changed = RECT{0, top, Width, top + band.Count};
            if (earlier && Tells) {
                band.Compared = true;
                RECT changed{};
                for (const RECT& r : Changes) {
                    const RECT part = platform::user::Intersect(r, band.Changed);
                    if (!platform::user::RectEmpty(part))
                        UnionRect(&changed, &changed, &part);
                }
                if (platform::user::RectEmpty(changed))
                    continue;
                band.Changed = changed;
            }
            for (int y = 0; y < band.Count; ++y)
                for (int x = 0; x < Width; ++x)
                    rows[std::size_t(y) * stride + std::size_t(x)] = At(x, top + y);
            slice(band);
        }
    }

private:
    int Width, Height, BandRows;
    bool Tells;
    std::uint32_t (*At)(int, int);
    std::vector<RECT> Changes;
};

std::shared_ptr<VideoFrame> Frame(int width, int height, int left, int top, int band,
                                  std::uint32_t (*at)(int, int) = PatternAt, bool tells = false,
                                  std::vector<RECT> changes = {}) {
    auto frame = std::make_shared<VideoFrame>();
    frame->Width = width;
    frame->Height = height;
    frame->Left = left;
    frame->Top = top;
    if (band > 0) {
        frame->Rows =
            std::make_shared<PatternRows>(width, height, band, at, tells, std::move(changes));
        return frame;
    }
    frame->Pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->Pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = at(x, y);
    return frame;
}

class VideoOverlay : public HeadlessTest {};

TEST_F(VideoOverlay, BandedFramesShowAsWholeFramesWhereverTheWindowClipsThem) {
    struct Case {
        const char* Name;
        int Left, Top;    // the frame's place in the client area
        bool Child;       // a child window covers part of it
        bool CoveringTop; // another top-level window covers part of it
    };
    const Case cases[] = {
        {"inside", 20, 10, false, false},
        {"off the left and top", -30, -17, false, false},
        {"off the right and bottom", 250, 180, false, false},
        {"under a child", 20, 10, true, false},
        {"under another window", 20, 10, false, true},
        {"under both, off an edge", -5, 150, true, true},
    };
    const int width = 123, height = 101; // bands that do not divide the picture
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<platform::testing::Image> shots;
        for (int band : {0, 1, 16, 200}) {
            SCOPED_TRACE(band);
            platform::testing::Reset();
            HWND top = CreateWindowExA(0, WhiteClass(), "video", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                       40, 40, 320, 260, nullptr, nullptr, nullptr, nullptr);
            ASSERT_NE(top, nullptr);
            if (c.Child)
                WhiteChild(top, 60, 40, 30, 200);
            if (c.CoveringTop)
                CreateWindowExA(0, WhiteClass(), "over", WS_POPUP | WS_VISIBLE, 120, 90, 60, 50,
                                nullptr, nullptr, nullptr, nullptr);
            Drain();
            if (band == 0)
                shots.push_back(platform::testing::CaptureScreen()); // without the video
            const int owner = 0;
            platform::user::ShowVideoFrame(&owner, top, Frame(width, height, c.Left, c.Top, band));
            shots.push_back(platform::testing::CaptureScreen());
            platform::user::RemoveVideo(&owner);
        }
        EXPECT_FALSE(shots[1].Pixels == shots[0].Pixels) << "the picture shows";
        for (std::size_t k = 2; k < shots.size(); ++k)
            EXPECT_TRUE(shots[k].Pixels == shots[1].Pixels) << "shot " << k;
    }
}

// The pattern with changes where the case puts them (a global: frames take a plain
// function).
std::vector<RECT> ChangedBlocks;
std::uint32_t ChangedAt(int x, int y) {
    for (const RECT& r : ChangedBlocks)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return PatternAt(x, y) ^ 0x00808080u;
    return PatternAt(x, y);
}

TEST_F(VideoOverlay, ANewFrameMarksOnlyWhatChangedForPresenting) {
    struct Case {
        const char* Name;
        std::vector<RECT> Blocks; // changed pixels, in the frame
    };
    const Case cases[] = {
        {"nothing", {}},
        {"one pixel in the middle", {{60, 50, 61, 51}}},
        {"the corners", {{0, 0, 1, 1}, {122, 100, 123, 101}}},
        {"a block across bands", {{30, 12, 90, 40}}},
        {"two blocks far apart", {{5, 5, 20, 9}, {70, 80, 110, 95}}},
        {"everything", {{0, 0, 123, 101}}},
    };
    const int width = 123, height = 101, left = 15, top = 7;
    // Whole frames, bands compared with what the window shows, and bands that tell where
    // they changed.
    for (const Case& c : cases)
        for (int mode : {0, 1, 2}) {
            const int band = mode == 0 ? 0 : 16;
            SCOPED_TRACE(std::string(c.Name) + (mode == 0 ? " whole" : " in bands") +
                         (mode == 2 ? " that tell" : ""));
            platform::testing::Reset();
            HWND hwnd = CreateWindowExA(0, WhiteClass(), "video", WS_POPUP | WS_VISIBLE, 0, 0, 300,
                                        200, nullptr, nullptr, nullptr, nullptr);
            Drain();
            const int owner = 0;
            ChangedBlocks.clear();
            platform::user::ShowVideoFrame(&owner, hwnd, Frame(width, height, left, top, band));
            platform::user::PresentAll();
            ChangedBlocks = c.Blocks;
            platform::user::ShowVideoFrame(
                &owner, hwnd,
                Frame(width, height, left, top, band, ChangedAt, mode == 2, c.Blocks));
            platform::user::ComposeVideo();
            const std::vector<RECT> dirty = platform::user::FromHandleQuiet(hwnd)->Dirty;
            // Every changed pixel is presented, and little else: no more than the blocks
            // and the rows between two that are close.
            std::int64_t changedArea = 0, dirtyArea = 0;
            for (const RECT& b : c.Blocks) {
                changedArea += std::int64_t(b.right - b.left) * (b.bottom - b.top);
                for (int y = b.top; y < b.bottom; ++y)
                    for (int x = b.left; x < b.right; ++x) {
                        const POINT p{left + x, top + y};
                        EXPECT_TRUE(std::any_of(dirty.begin(), dirty.end(),
                                                [&](const RECT& d) { return PtInRect(&d, p); }))
                            << x << "," << y;
                    }
            }
            for (const RECT& d : dirty)
                dirtyArea += std::int64_t(d.right - d.left) * (d.bottom - d.top);
            EXPECT_LE(dirtyArea, changedArea * 2 + 2) << dirty.size() << " rectangles";
            const platform::testing::Image shot = platform::testing::CaptureWindow(hwnd);
            for (int y = 0; y < height; y += 3)
                for (int x = 0; x < width; x += 3)
                    ASSERT_EQ(shot.At(left + x, top + y), ChangedAt(x, y)) << x << "," << y;
            platform::user::RemoveVideo(&owner);
        }
}

TEST_F(VideoOverlay, BandsLeftOutOfANewFrameAreOnlyThoseOverUntouchedPixels) {
    // The same picture again, after the window did or did not paint over it: unchanged
    // bands are left out only where nothing else drew since.
    for (bool paintedOver : {false, true}) {
        SCOPED_TRACE(paintedOver ? "painted over" : "untouched");
        platform::testing::Reset();
        HWND hwnd = CreateWindowExA(0, WhiteClass(), "video", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200,
                                    nullptr, nullptr, nullptr, nullptr);
        Drain();
        const int owner = 0;
        platform::user::ShowVideoFrame(&owner, hwnd, Frame(50, 40, 10, 10, 16));
        platform::user::PresentAll();
        if (paintedOver) {
            InvalidateRect(hwnd, nullptr, TRUE);
            Drain(); // the white background goes over the picture
        }
        platform::user::ShowVideoFrame(&owner, hwnd, Frame(50, 40, 10, 10, 16));
        const platform::testing::Image shot = platform::testing::CaptureWindow(hwnd);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                ASSERT_EQ(shot.At(10 + x, 10 + y), PatternAt(x, y)) << x << "," << y;
        platform::user::RemoveVideo(&owner);
    }
}

} // namespace
