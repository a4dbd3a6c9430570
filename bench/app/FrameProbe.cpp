#include "bench/app/FrameProbe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "app/Layout.h"
#include "tools/generators/clipgen/ClipPainter.h"

namespace bench {

namespace {

// The main window's frame (border and caption) around its client area, which is what
// the outer size in the layout rules counts.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 34;

// Sizes the form resource gives the centred controls and the clicked hot-spots.
constexpr app::TLayoutSizes CentredSizes{{700, 628}, {650, 504}, {700, 628}, {650, 491}};
constexpr app::TSize EnglishSize{147, 29};
constexpr app::TSize ManEnglishSize{40, 16};
constexpr app::TSize BackSize{100, 28};

// Largest difference per colour channel between a decoded background and its colour:
// decoding moves it by 2 or so, and the backgrounds of the English introduction and the
// English "man" clip differ by 12 in two channels, which must stay apart (the frame may
// show the previous clip's last picture for a moment before the new clip's first).
constexpr int BackgroundTolerance = 6;

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift : {0, 8, 16}) {
        const int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > BackgroundTolerance)
            return false;
    }
    return true;
}

} // namespace

TCatalogueSpots CatalogueSpots(int clientLeft, int clientTop, int clientWidth, int clientHeight) {
    const int mw = app::BackgroundWidth(clientWidth + FrameWidth);
    const int mh = app::BackgroundHeight(clientHeight + FrameHeight);
    const app::TLayoutRows rows = app::ComputeLayout(mw, mh, CentredSizes);
    auto at = [&](std::string_view name) {
        for (const app::TPlacement& row : rows)
            if (row.Name == name)
                return TScreenPoint{clientLeft + row.Left, clientTop + row.Top};
        return TScreenPoint{};
    };
    auto centre = [&](std::string_view name, app::TSize size) {
        const TScreenPoint p = at(name);
        return TScreenPoint{p.X + size.Width / 2, p.Y + size.Height / 2};
    };
    TCatalogueSpots spots;
    const TScreenPoint frame = at("ShowPanel");
    spots.ClipFrame = {frame.X, frame.Y, CentredSizes.ShowPanel.Width,
                       CentredSizes.ShowPanel.Height};
    spots.English = centre("b_english", EnglishSize);
    spots.ManEnglish = centre("manImage_eng", ManEnglishSize);
    spots.Back = centre("back", BackSize);
    return spots;
}

int FrameCodeRow(int frameWidth, int frameHeight) {
    const clipgen::TFrameCodeLayout code = clipgen::FrameCodeLayout(frameWidth, frameHeight);
    return code.Top + code.Square / 2;
}

int ClipFrameInRow(const std::vector<std::uint32_t>& row, int frameHeight,
                   std::uint32_t background) {
    const int width = int(row.size());
    const clipgen::TFrameCodeLayout code = clipgen::FrameCodeLayout(width, frameHeight);
    const int codeRight = code.Left + clipgen::TFrameCodeLayout::Bits * code.Square;
    if (code.Left < 2 || codeRight > width - 2)
        return -1; // no background on both sides to tell a frame from a picture
    if (!Near(row[code.Left / 2], background) || !Near(row[(codeRight + width) / 2], background))
        return -1;
    return clipgen::ReadFrameCode(width, frameHeight,
                                  [&](int x, int) { return row[std::size_t(x)]; });
}

} // namespace bench
