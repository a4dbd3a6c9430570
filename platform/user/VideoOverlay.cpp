// Video frames in windows: the hand-over from media devices and the drawing into the
// top-level surfaces on the program's thread.
#include "platform/user/VideoOverlay.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/user/DifferingSpan.h"
#include "platform/user/WindowManager.h"

namespace platform::user {

namespace {

struct Entry {
    HWND Hwnd = nullptr;
    std::shared_ptr<const VideoFrame> Frame;
    std::uint64_t Serial = 0; // counts frames handed over
    std::uint64_t Drawn = 0;  // the serial last drawn
    HWND DrawnIn = nullptr;
    RECT DrawnRect{};                             // where it was drawn (surface coordinates)
    std::shared_ptr<const VideoFrame> DrawnFrame; // the frame last drawn
    std::vector<RECT> DrawnParts;                 // the parts of it that showed
    bool Removed = false;
};

struct Overlay {
    std::mutex Lock;
    std::map<const void*, Entry> Entries;
    VideoStats Stats;
};

Overlay& O() {
    static Overlay overlay;
    return overlay;
}

bool Intersects(const RECT& a, const RECT& b) {
    return !RectEmpty(Intersect(a, b));
}

// The frame's rectangle on the top-level surface, for a window whose client area begins
// at `org` there.
RECT AreaOf(const VideoFrame& frame, POINT org) {
    const int left = org.x + frame.Left, top = org.y + frame.Top;
    return RECT{left, top, left + frame.Width, top + frame.Height};
}

// Where a frame changed the surface: runs of changed rows, each as the rectangle that
// holds their changed pixels. Runs closer than MergeGap rows join, so that a moving
// object makes one rectangle rather than one per row.
class Changes {
public:
    void Row(int y, int left, int right) {
        if (FOpen && y - FRun.bottom <= MergeGap) {
            FRun = RECT{std::min(FRun.left, left), FRun.top, std::max(FRun.right, right), y + 1};
            return;
        }
        Close();
        FRun = RECT{left, y, right, y + 1};
        FOpen = true;
    }
    // The rectangles found, for the surface to present.
    std::vector<RECT>& Done() {
        Close();
        return FRects;
    }

private:
    static constexpr int MergeGap = 8;
    void Close() {
        if (FOpen)
            FRects.push_back(FRun);
        FOpen = false;
    }
    std::vector<RECT> FRects;
    RECT FRun{};
    bool FOpen = false;
};

// Copies a band of the picture into the parts of it that show (surface coordinates);
// `changes[i]` collects where part i changed. A band compared with the picture drawn
// before is copied where it changed; any other only where it differs from what the
// surface holds.
void CopyBand(Surface& surf, const std::vector<RECT>& parts, std::vector<Changes>& changes,
              const RECT& video, const VideoRows::Band& b) {
    const int bandTop = video.top + b.Top;
    RECT band{video.left, bandTop, video.right, bandTop + b.Count};
    if (b.Compared)
        band = Intersect(band, Offset(b.Changed, video.left, video.top));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const RECT part = Intersect(parts[i], band);
        if (RectEmpty(part))
            continue;
        const int width = part.right - part.left;
        for (int y = part.top; y < part.bottom; ++y) {
            const std::uint32_t* src =
                b.Rows + std::size_t(y - bandTop) * b.Stride + std::size_t(part.left - video.left);
            std::uint32_t* dst =
                surf.Pixels + std::size_t(y) * std::size_t(surf.Stride) + std::size_t(part.left);
            const auto [from, to] =
                b.Compared ? std::pair<int, int>(0, width) : DifferingSpan(src, dst, width);
            if (from == to)
                continue;
            std::memcpy(dst + from, src + from, std::size_t(to - from) * sizeof(std::uint32_t));
            changes[i].Row(y, part.left + from, part.left + to);
        }
    }
}

// Draws the frame where it shows and returns those parts in `parts`. With `previous`,
// the rows of the frame drawn last in the same place, over pixels nothing has touched
// since: the bands that did not change from it need no converting, and of the others
// only the pixels the converter says changed are copied.
void Draw(Window* w, const VideoFrame& frame, RECT& drawnRect, std::vector<RECT>& parts,
          const VideoRows* previous, const std::vector<RECT>& previousParts) {
    Window* top = TopLevelOf(w);
    if (!top->Surf.Pixels)
        return;
    std::vector<RECT> rects = VisibleRects(w, false);
    const POINT org = SurfaceClientOrigin(w);
    // The video lies under the window's children, whatever its clip style.
    if (!(w->Style & WS_CLIPCHILDREN))
        for (const Window* ch : w->Children)
            if (ch->Visible())
                Subtract(rects, Offset(ch->Rect, org.x, org.y));
    const RECT video = AreaOf(frame, org);
    drawnRect = video;
    // Only the parts of the picture that show, and of those only the pixels that change
    // are written and presented.
    parts.clear();
    for (const RECT& r : rects) {
        const RECT part = Intersect(r, video);
        if (!RectEmpty(part))
            parts.push_back(part);
    }
    if (parts.empty())
        return;
    std::vector<Changes> changes(parts.size());
    if (parts.size() != previousParts.size() ||
        !std::equal(parts.begin(), parts.end(), previousParts.begin(),
                    [](const RECT& a, const RECT& b) { return EqualRect(&a, &b); }))
        previous = nullptr;
    if (frame.Rows)
        frame.Rows->ForEachSlice(
            [&](const VideoRows::Band& band) { CopyBand(top->Surf, parts, changes, video, band); },
            previous);
    else {
        VideoRows::Band whole;
        whole.Count = frame.Height;
        whole.Rows = frame.Pixels.data();
        whole.Stride = std::size_t(frame.Width);
        CopyBand(top->Surf, parts, changes, video, whole);
    }
    for (Changes& c : changes)
        for (const RECT& r : c.Done())
            MarkDirty(top, r);
}

} // namespace

void ShowVideoFrame(const void* owner, HWND hwnd, std::shared_ptr<const VideoFrame> frame) {
    if (frame && (frame->Width <= 0 || frame->Height <= 0 ||
                  (!frame->Rows &&
                   frame->Pixels.size() != std::size_t(frame->Width) * std::size_t(frame->Height))))
        return;
    std::lock_guard<std::mutex> lock(O().Lock);
    Entry& e = O().Entries[owner];
    e.Hwnd = hwnd;
    e.Frame = std::move(frame);
    e.Removed = false;
    ++e.Serial;
}

void RemoveVideo(const void* owner) {
    std::lock_guard<std::mutex> lock(O().Lock);
    auto it = O().Entries.find(owner);
    if (it == O().Entries.end())
        return;
    it->second.Removed = true;
    it->second.Frame.reset();
}

void ComposeVideo() {
    struct Work {
        const void* Owner;
        Entry Copy;
    };
    std::vector<Work> work;
    {
        std::lock_guard<std::mutex> lock(O().Lock);
        for (auto it = O().Entries.begin(); it != O().Entries.end();) {
            work.push_back(Work{it->first, it->second});
            if (it->second.Removed)
                it = O().Entries.erase(it);
            else
                ++it;
        }
    }
    for (Work& item : work) {
        Entry& e = item.Copy;
        // A frame that left its window (or moved to another): the old place repaints.
        if (e.DrawnIn && (e.Removed || e.DrawnIn != e.Hwnd)) {
            if (Window* old = FromHandleQuiet(e.DrawnIn))
                InvalidateRect(old->Handle, nullptr, TRUE);
            e.DrawnIn = nullptr;
        }
        if (e.Removed || !e.Frame)
            continue;
        Window* w = FromHandleQuiet(e.Hwnd);
        if (!w || !IsReallyVisible(w))
            continue;
        Window* top = TopLevelOf(w);
        const POINT org = SurfaceClientOrigin(w);
        const RECT area = AreaOf(*e.Frame, org);
        // A frame placed elsewhere than the last one: the window repaints what that left.
        if (e.DrawnIn == e.Hwnd && e.Drawn != e.Serial && !EqualRect(&area, &e.DrawnRect))
            InvalidateRect(w->Handle, nullptr, TRUE);
        const bool newFrame = e.Drawn != e.Serial;
        bool touched = false; // painted over since the last present
        for (const RECT& d : top->Dirty)
            touched = touched || Intersects(d, area);
        if (!newFrame && !touched && e.DrawnIn == e.Hwnd)
            continue;
        const bool inPlace = newFrame && !touched && e.DrawnIn == e.Hwnd && e.DrawnFrame &&
                             EqualRect(&area, &e.DrawnRect);
        const VideoRows* previous = inPlace ? e.DrawnFrame->Rows.get() : nullptr;
        RECT drawn{};
        std::vector<RECT> parts;
        {
            // The frame goes into the window's pixels, which the backend may be reading.
            PixelLock pixels = LockPixels();
            Draw(w, *e.Frame, drawn, parts, previous, e.DrawnParts);
        }
        std::lock_guard<std::mutex> lock(O().Lock);
        if (e.Drawn != e.Serial) {
            ++O().Stats.Drawn;
            O().Stats.LastNumber = e.Frame->Number;
        }
        auto it = O().Entries.find(item.Owner);
        if (it != O().Entries.end()) {
            it->second.Drawn = e.Serial;
            it->second.DrawnIn = e.Hwnd;
            it->second.DrawnRect = drawn;
            it->second.DrawnFrame = e.Frame;
            it->second.DrawnParts = std::move(parts);
        }
    }
    // The copies let go of their frames under the lock (see SoleHolder).
    std::lock_guard<std::mutex> lock(O().Lock);
    work.clear();
}

bool SoleHolder(const std::shared_ptr<VideoFrame>& frame) {
    std::lock_guard<std::mutex> lock(O().Lock);
    return frame && frame.use_count() == 1;
}

VideoStats GetVideoStats() {
    std::lock_guard<std::mutex> lock(O().Lock);
    return O().Stats;
}

} // namespace platform::user
