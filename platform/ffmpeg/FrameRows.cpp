// Pictures converted band by band as they are drawn. Each thread that draws keeps a
// converter and a band buffer of its own, so one picture may be drawn on several
// threads at once and nothing but the finished picture is shared. Where a picture differs
// from the one decoded before it is found on the decoder's thread, while both are still
// in the processor's cache, and kept with the picture before it is handed over.
#include "platform/ffmpeg/FrameRows.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "platform/user/DifferingSpan.h"

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
// How far, in pixels, a change of the samples can reach in the converted picture: the
// converter interpolates chroma between neighbouring samples, which lie two pixels apart
// at most; twice that is kept as a margin.
constexpr int ChromaReach = 4;

struct Converter {
    SwsContext* Context = nullptr;
    std::vector<std::uint32_t> Band;
    ~Converter() { sws_freeContext(Context); }
};

Converter& ThreadConverter() {
    thread_local Converter converter;
    return converter;
}

// Tells pictures apart for as long as the program runs, unlike their addresses, which a
// later picture may take over.
std::uint64_t NextSerial() {
    static std::atomic<std::uint64_t> serial{0};
    return ++serial;
}

class FrameRows final : public user::VideoRows {
public:
    explicit FrameRows(AVFrame* frame) : FFrame(frame) {}
    ~FrameRows() override { av_frame_free(&FFrame); }
    FrameRows(const FrameRows&) = delete;
    FrameRows& operator=(const FrameRows&) = delete;

    void ForEachSlice(const Slice& slice, const VideoRows* same) const override;
    // Finds, band by band, where this picture differs from `other`; drawing it over
    // `other` then needs no comparing. Before the picture is handed to other threads.
    void CompareWith(const FrameRows& other);

private:
    bool SameShape(const FrameRows& other) const {
        return other.FFrame->width == FFrame->width && other.FFrame->height == FFrame->height &&
               other.FFrame->format == FFrame->format;
    }
    // Where rows [top, top + count) of the two pictures may differ once converted, in
    // picture coordinates: empty when they hold the same samples.
    RECT ChangedIn(const FrameRows& other, int top, int count) const;
    AVFrame* FFrame;
    const std::uint64_t FSerial = NextSerial();
    // Set by CompareWith: the picture compared with, and where each band differs from it.
    std::uint64_t FComparedWith = 0;
    std::vector<RECT> FChanged;
};

void FrameRows::CompareWith(const FrameRows& other) {
    if (!SameShape(other))
        return;
    FChanged.clear();
    for (int top = 0; top < FFrame->height; top += BandRows)
        FChanged.push_back(ChangedIn(other, top, std::min(BandRows, FFrame->height - top)));
    FComparedWith = other.FSerial;
}

RECT FrameRows::ChangedIn(const FrameRows& other, int top, int count) const {
    const AVFrame& a = *FFrame;
    const AVFrame& b = *other.FFrame;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(a.format));
    RECT changed{a.width, top + count, 0, top};
    for (int p = 0; p < 4 && a.data[p]; ++p) {
        const bool chroma = p == 1 || p == 2;
        const int shiftY = chroma ? desc->log2_chroma_h : 0;
        const int shiftX = chroma ? desc->log2_chroma_w : 0;
        const int bytes = av_image_get_linesize(AVPixelFormat(a.format), a.width, p);
        const int first = top >> shiftY, end = (top + count + (1 << shiftY) - 1) >> shiftY;
        for (int y = first; y < end; ++y) {
            const auto [from, to] =
                user::DifferingSpan(a.data[p] + std::ptrdiff_t(y) * a.linesize[p],
                                    b.data[p] + std::ptrdiff_t(y) * b.linesize[p], bytes);
            if (from == to)
                continue;
            changed.left = std::min(changed.left, from << shiftX);
            changed.right = std::max(changed.right, to << shiftX);
            changed.top = std::min(changed.top, y << shiftY);
            changed.bottom = std::max(changed.bottom, (y + 1) << shiftY);
        }
    }
    if (changed.left >= changed.right)
        return RECT{};
    // A converted pixel may take its colour from the chroma samples beside its own: the
    // pixels next to a change may change too. The band converts on its own, so nothing
    // reaches past it.
    return RECT{std::max(0, int(changed.left) - ChromaReach),
                std::max(top, int(changed.top) - ChromaReach),
                std::min(a.width, int(changed.right) + ChromaReach),
                std::min(top + count, int(changed.bottom) + ChromaReach)};
}

// Clears the byte above the colour of each pixel (the converter writes an opaque alpha
// there).
void DropAlpha(std::uint32_t* pixels, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= n; i += 4) {
        auto* at = reinterpret_cast<__m128i*>(pixels + i);
        _mm_storeu_si128(at, _mm_and_si128(_mm_loadu_si128(at), mask));
    }
#endif
    for (; i < n; ++i)
        pixels[i] &= 0x00FFFFFFu;
}

void FrameRows::ForEachSlice(const Slice& slice, const VideoRows* same) const {
    const AVFrame& f = *FFrame;
    const int w = f.width, h = f.height;
    const auto* earlier = dynamic_cast<const FrameRows*>(same);
    if (earlier && !SameShape(*earlier))
        earlier = nullptr;
    const bool known = earlier && earlier->FSerial == FComparedWith;
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
        user::VideoRows::Band band;
        band.Changed = RECT{0, top, w, top + count};
        if (earlier) {
            band.Changed =
                known ? FChanged[std::size_t(top / BandRows)] : ChangedIn(*earlier, top, count);
            band.Compared = true;
            if (band.Changed.left >= band.Changed.right)
                continue;
        }
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
        DropAlpha(c.Band.data(), stride * std::size_t(count));
        band.Top = top;
        band.Count = count;
        band.Rows = c.Band.data();
        band.Stride = stride;
        slice(band);
    }
}

} // namespace

bool ConvertsInBands(int format, int width, int height) {
    return (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUV422P) && width > 0 &&
           height > 0 && height % 2 == 0;
}

std::shared_ptr<const user::VideoRows> MakeFrameRows(const AVFrame& frame,
                                                     const user::VideoRows* previous) {
    if (!ConvertsInBands(frame.format, frame.width, frame.height))
        return nullptr;
    AVFrame* copy = av_frame_clone(&frame);
    if (!copy)
        return nullptr;
    auto rows = std::make_shared<FrameRows>(copy);
    if (const auto* before = dynamic_cast<const FrameRows*>(previous))
        rows->CompareWith(*before);
    return rows;
}

} // namespace platform::media
