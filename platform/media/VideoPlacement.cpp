// Scaling a decoded frame into its destination rectangle.
#include "platform/media/VideoPlacement.h"

#include <algorithm>
#include <vector>

namespace platform::media {

RECT SourceOf(const VideoPlacement& placement, int width, int height) {
    return placement.Source ? *placement.Source : RECT{0, 0, width, height};
}

RECT DestinationOf(const VideoPlacement& placement, int width, int height) {
    return placement.Destination ? *placement.Destination : RECT{0, 0, width, height};
}

std::shared_ptr<user::VideoFrame> PlacePicture(const user::VideoFrame& frame,
                                               const VideoPlacement& placement,
                                               std::shared_ptr<user::VideoFrame> reuse) {
    const RECT src = SourceOf(placement, frame.Width, frame.Height);
    const RECT dst = DestinationOf(placement, frame.Width, frame.Height);
    // Both were checked when they were put; a frame smaller than the source (a clip of
    // another size) shows nothing rather than read outside its pixels.
    if (src.right <= 0 || src.bottom <= 0 || dst.right <= 0 || dst.bottom <= 0 || src.left < 0 ||
        src.top < 0 || src.left + src.right > frame.Width || src.top + src.bottom > frame.Height)
        return nullptr;
    std::shared_ptr<user::VideoFrame> out =
        user::SoleHolder(reuse) ? std::move(reuse) : std::make_shared<user::VideoFrame>();
    out->Width = dst.right;
    out->Height = dst.bottom;
    out->Left = dst.left;
    out->Top = dst.top;
    out->Number = frame.Number;
    out->Rows.reset();
    out->Pixels.resize(std::size_t(dst.right) * std::size_t(dst.bottom));
    // A picture that converts as it is drawn is converted whole here, to be scaled.
    std::vector<std::uint32_t> converted;
    const std::uint32_t* pixels = frame.Pixels.data();
    if (frame.Rows) {
        converted.resize(std::size_t(frame.Width) * std::size_t(frame.Height));
        frame.Rows->ForEachSlice(
            [&](const user::VideoRows::Band& band) {
                for (int y = 0; y < band.Count && band.Top + y < frame.Height; ++y)
                    std::copy_n(band.Rows + std::size_t(y) * band.Stride, frame.Width,
                                converted.data() +
                                    std::size_t(band.Top + y) * std::size_t(frame.Width));
            },
            nullptr);
        pixels = converted.data();
    }
    // The source column of each destination column, once for all rows.
    std::vector<int> columns(std::size_t(dst.right));
    for (int x = 0; x < dst.right; ++x)
        columns[std::size_t(x)] = src.left + int(std::int64_t(x) * src.right / dst.right);
    for (int y = 0; y < dst.bottom; ++y) {
        const int sy = src.top + int(std::int64_t(y) * src.bottom / dst.bottom);
        const std::uint32_t* row = pixels + std::size_t(sy) * std::size_t(frame.Width);
        std::uint32_t* to = out->Pixels.data() + std::size_t(y) * std::size_t(dst.right);
        for (int x = 0; x < dst.right; ++x)
            to[x] = row[columns[std::size_t(x)]];
    }
    return out;
}

} // namespace platform::media
