// Pictures converted band by band as they are drawn. Each thread that draws keeps a
// converter and a band buffer of its own, so one picture may be drawn on several
// threads at once and nothing but the finished picture is shared.
#include "platform/media/FrameRows.h"

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace platform::media {

namespace {

// Rows converted at a time: a multiple of every chroma subsampling, and 700-pixel rows
// of it take 45 KB, which stays in the cache until it is copied out.
constexpr int BandRows = 16;
// As in whole-picture conversion: the converter's vector paths may write whole blocks
// past the end of the last row, and leave the last pixels of a row that does not fill
// a whole block unwritten (black, as in cleared memory).
constexpr std::size_t Slack = 64;
constexpr std::size_t Block = 64;

struct Converter {
    SwsContext* Context = nullptr;
    std::vector<std::uint32_t> Band;
    ~Converter() { sws_freeContext(Context); }
};

Converter& ThreadConverter() {
    thread_local Converter converter;
    return converter;
}

class FrameRows final : public user::VideoRows {
public:
    explicit FrameRows(AVFrame* frame) : FFrame(frame) {}
    ~FrameRows() override { av_frame_free(&FFrame); }
    FrameRows(const FrameRows&) = delete;
    FrameRows& operator=(const FrameRows&) = delete;

    void ForEachSlice(const Slice& slice) const override;

private:
    AVFrame* FFrame;
};

void FrameRows::ForEachSlice(const Slice& slice) const {
    const AVFrame& f = *FFrame;
    const int w = f.width, h = f.height;
    Converter& c = ThreadConverter();
    c.Context = sws_getCachedContext(c.Context, w, BandRows, AVPixelFormat(f.format), w, BandRows,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!c.Context)
        return;
    const std::size_t stride = std::size_t(w);
    c.Band.resize(stride * BandRows + Slack);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(f.format));
    const std::size_t tail = std::min(stride, Block);
    for (int top = 0; top < h; top += BandRows) {
        const int count = std::min(BandRows, h - top);
        if (stride % Block != 0)
            for (int y = 0; y < count; ++y) {
                std::uint32_t* end = c.Band.data() + std::size_t(y + 1) * stride;
                std::fill(end - tail, end, 0u);
            }
        const std::uint8_t* src[4] = {};
        int srcStride[4] = {};
        for (int p = 0; p < 4 && f.data[p]; ++p) {
            const int shift = (p == 1 || p == 2) ? desc->log2_chroma_h : 0;
            src[p] = f.data[p] + std::ptrdiff_t(top >> shift) * f.linesize[p];
            srcStride[p] = f.linesize[p];
        }
        std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(c.Band.data()), nullptr, nullptr,
                                nullptr};
        int dstStride[4] = {w * 4, 0, 0, 0};
        sws_scale(c.Context, src, srcStride, 0, count, dst, dstStride);
        // BGRA in memory is 0xAARRGGBB as a little-endian word: drop the alpha while
        // the band is still in the cache.
        std::uint32_t* pixels = c.Band.data();
        for (std::size_t i = 0, n = stride * std::size_t(count); i < n; ++i)
            pixels[i] &= 0x00FFFFFFu;
        slice(top, count, pixels, stride);
    }
}

} // namespace

bool ConvertsInBands(int format, int width, int height) {
    return (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUV422P) && width > 0 &&
           height > 0 && height % 2 == 0;
}

std::shared_ptr<const user::VideoRows> MakeFrameRows(const AVFrame& frame) {
    if (!ConvertsInBands(frame.format, frame.width, frame.height))
        return nullptr;
    AVFrame* copy = av_frame_clone(&frame);
    if (!copy)
        return nullptr;
    return std::make_shared<FrameRows>(copy);
}

} // namespace platform::media
