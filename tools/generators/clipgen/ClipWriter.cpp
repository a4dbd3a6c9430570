#include "tools/generators/clipgen/ClipWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

#include "graphics/Bitmap.h"
#include "tools/generators/clipgen/ClipPainter.h"
#include "tools/generators/clipgen/ClipTone.h"

namespace clipgen {

namespace {

// Fixed quantiser: the frames are flat colour, text and a few shapes, which this keeps
// sharp while the bouncing ball costs little in the predicted frames.
constexpr int VideoQuantiser = 4;
constexpr int MinWidth = 48; // room for the frame code
constexpr int MinHeight = 32;
constexpr int MaxSide = 4096;
constexpr int MaxFrames = 1000000;
constexpr int MaxFramesPerSecond = 120;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw std::runtime_error("cannot write clip \"" + path + "\": " + reason);
}

void Validate(const std::string& path, const TClipSpec& spec) {
    if (path.empty())
        Fail(path, "the file name is empty");
    if (spec.Frames < 1 || spec.Frames > MaxFrames)
        Fail(path, "the frame count must be between 1 and " + std::to_string(MaxFrames) + ", not " +
                       std::to_string(spec.Frames));
    if (spec.Width < MinWidth || spec.Height < MinHeight || spec.Width > MaxSide ||
        spec.Height > MaxSide || spec.Width % 2 != 0 || spec.Height % 2 != 0)
        Fail(path, "width and height must be even, from " + std::to_string(MinWidth) + " x " +
                       std::to_string(MinHeight) + " up to " + std::to_string(MaxSide) + " x " +
                       std::to_string(MaxSide) + ", not " + std::to_string(spec.Width) + " x " +
                       std::to_string(spec.Height));
    if (spec.FramesPerSecond < 1 || spec.FramesPerSecond > MaxFramesPerSecond)
        Fail(path, "the frame rate must be between 1 and " + std::to_string(MaxFramesPerSecond) +
                       " frames per second, not " + std::to_string(spec.FramesPerSecond));
    if (spec.Sound && (spec.ToneHz < 20 || spec.ToneHz > ClipSampleRate / 2))
        Fail(path, "the tone must be between 20 and " + std::to_string(ClipSampleRate / 2) +
                       " Hz, not " + std::to_string(spec.ToneHz) + " Hz");
}

// BT.601 studio range, the colour space MPEG-4 part 2 decoders assume; each chroma sample
// is taken from the average of its 2 x 2 pixels. Pixels are 32-bit words 0x..RRGGBB (the
// bytes blue, green, red, unused); the sums stay below 2^16, which lets the compiler
// work on many pixels at once.
struct TYuvPlanes {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Luma, Cb, Cr; // Width x Height, chroma half each way
};

// Converts the rows first .. last - 1 (both even) into `planes`.
void ToYuv420(graphics::TBitmap& bitmap, int first, int last, TYuvPlanes& planes) {
    const int w = planes.Width;
    // Two rows at a time, so that the chroma pass finds them still in the cache.
    for (int y = first; y < last; y += 2) {
        const auto* p0 = static_cast<const std::uint32_t*>(bitmap.ScanLine(y));
        const auto* p1 = static_cast<const std::uint32_t*>(bitmap.ScanLine(y + 1));
        for (int dy = 0; dy < 2; ++dy) {
            const std::uint32_t* p = dy ? p1 : p0;
            std::uint8_t* luma = planes.Luma.data() + std::ptrdiff_t(y + dy) * w;
            for (int x = 0; x < w; ++x) {
                const std::uint16_t r = (p[x] >> 16) & 0xFF, g = (p[x] >> 8) & 0xFF,
                                    b = p[x] & 0xFF;
                luma[x] = std::uint8_t((std::uint16_t(66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            }
        }
        std::uint8_t* cb = planes.Cb.data() + std::ptrdiff_t(y / 2) * (w / 2);
        std::uint8_t* cr = planes.Cr.data() + std::ptrdiff_t(y / 2) * (w / 2);
        for (int x = 0; x < w / 2; ++x) {
            const std::uint32_t a = p0[2 * x], b = p0[2 * x + 1], c = p1[2 * x], d = p1[2 * x + 1];
            auto average = [&](int shift) {
                return int((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) + ((c >> shift) & 0xFF) +
                            ((d >> shift) & 0xFF) + 2) >>
                           2);
            };
            const int red = average(16), green = average(8), blue = average(0);
            cb[x] = std::uint8_t(((-38 * red - 74 * green + 112 * blue + 128) >> 8) + 128);
            cr[x] = std::uint8_t(((112 * red - 94 * green - 18 * blue + 128) >> 8) + 128);
        }
    }
}

void CopyPlane(const std::vector<std::uint8_t>& from, int width, int height, std::uint8_t* to,
               int stride) {
    for (int y = 0; y < height; ++y)
        std::memcpy(to + std::ptrdiff_t(y) * stride, from.data() + std::ptrdiff_t(y) * width,
                    std::size_t(width));
}

// One AVI file being written; everything it holds is released however it ends.
class TAviWriter {
public:
    TAviWriter(const std::string& file, const std::string& shownPath, const TClipSpec& spec)
        : FPath(shownPath), FSpec(spec) {
        // A constructor that throws gets no destructor call: release by hand.
        try {
            Open(file);
        } catch (...) {
            Release();
            throw;
        }
    }

    ~TAviWriter() { Release(); }

    TAviWriter(const TAviWriter&) = delete;
    TAviWriter& operator=(const TAviWriter&) = delete;

    // `changed`: the rows of `bitmap` that differ from the previous frame's.
    void AddFrame(graphics::TBitmap& bitmap, const std::vector<std::pair<int, int>>& changed,
                  int index) {
        for (const auto& [top, bottom] : changed)
            ToYuv420(bitmap, top & ~1, std::min(FPlanes.Height, (bottom + 1) & ~1), FPlanes);
        Check(av_frame_make_writable(FFrame), "no frame buffer");
        const int w = FPlanes.Width, h = FPlanes.Height;
        CopyPlane(FPlanes.Luma, w, h, FFrame->data[0], FFrame->linesize[0]);
        CopyPlane(FPlanes.Cb, w / 2, h / 2, FFrame->data[1], FFrame->linesize[1]);
        CopyPlane(FPlanes.Cr, w / 2, h / 2, FFrame->data[2], FFrame->linesize[2]);
        FFrame->pts = index;
        FFrame->quality = FEncoder->global_quality;
        Check(avcodec_send_frame(FEncoder, FFrame), "the video encoder refused a frame");
        DrainVideo();
        if (FSpec.Sound)
            AddSound(index);
    }

    void Finish() {
        Check(avcodec_send_frame(FEncoder, nullptr), "the video encoder cannot be flushed");
        DrainVideo();
        Check(av_write_trailer(FFormat), "writing the index failed");
        const int rc = avio_closep(&FFormat->pb);
        if (rc < 0)
            Fail(FPath, AvError(rc));
    }

private:
    void Open(const std::string& file) {
        int rc = avformat_alloc_output_context2(&FFormat, nullptr, "avi", file.c_str());
        if (rc < 0 || !FFormat)
            Fail(FPath, "the AVI muxer is not available (" + AvError(rc) + ")");
        // No version strings or creation times: the same clip gives the same bytes.
        FFormat->flags |= AVFMT_FLAG_BITEXACT;
        OpenVideo();
        if (FSpec.Sound)
            OpenSound();
        rc = avio_open(&FFormat->pb, file.c_str(), AVIO_FLAG_WRITE);
        if (rc < 0)
            Fail(FPath, AvError(rc));
        Check(avformat_write_header(FFormat, nullptr), "writing the header failed");
        FPacket = av_packet_alloc();
        if (!FPacket)
            Fail(FPath, "out of memory");
    }

    void Release() {
        av_packet_free(&FPacket);
        av_frame_free(&FFrame);
        avcodec_free_context(&FEncoder);
        if (FFormat) {
            if (FFormat->pb)
                avio_closep(&FFormat->pb);
            avformat_free_context(FFormat);
            FFormat = nullptr;
        }
    }

    void Check(int rc, const char* what) {
        if (rc < 0)
            Fail(FPath, std::string(what) + " (" + AvError(rc) + ")");
    }

    void OpenVideo() {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        if (!codec)
            Fail(FPath, "this FFmpeg has no MPEG-4 part 2 encoder");
        FVideo = avformat_new_stream(FFormat, nullptr);
        FEncoder = avcodec_alloc_context3(codec);
        FFrame = av_frame_alloc();
        if (!FVideo || !FEncoder || !FFrame)
            Fail(FPath, "out of memory");
        FEncoder->width = FSpec.Width;
        FEncoder->height = FSpec.Height;
        FEncoder->pix_fmt = AV_PIX_FMT_YUV420P;
        FEncoder->time_base = AVRational{1, FSpec.FramesPerSecond};
        FEncoder->framerate = AVRational{FSpec.FramesPerSecond, 1};
        FEncoder->gop_size = FSpec.FramesPerSecond; // a key frame every second, for seeking
        FEncoder->max_b_frames = 0;                 // one packet per frame, in order
        FEncoder->thread_count = 1;
        FEncoder->flags |= AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
        FEncoder->global_quality = FF_QP2LAMBDA * VideoQuantiser;
        if (FFormat->oformat->flags & AVFMT_GLOBALHEADER)
            FEncoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(FEncoder, codec, nullptr), "the video encoder did not open");
        Check(avcodec_parameters_from_context(FVideo->codecpar, FEncoder), "bad video parameters");
        FVideo->time_base = FEncoder->time_base;
        FVideo->avg_frame_rate = FEncoder->framerate;

        FFrame->format = AV_PIX_FMT_YUV420P;
        FFrame->width = FSpec.Width;
        FFrame->height = FSpec.Height;
        Check(av_frame_get_buffer(FFrame, 0), "no frame buffer");
        FPlanes.Width = FSpec.Width;
        FPlanes.Height = FSpec.Height;
        FPlanes.Luma.assign(std::size_t(FSpec.Width) * std::size_t(FSpec.Height), 16);
        FPlanes.Cb.assign(FPlanes.Luma.size() / 4, 128);
        FPlanes.Cr.assign(FPlanes.Luma.size() / 4, 128);
    }

    void OpenSound() {
        FSound = avformat_new_stream(FFormat, nullptr);
        if (!FSound)
            Fail(FPath, "out of memory");
        AVCodecParameters* par = FSound->codecpar;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_PCM_S16LE;
        par->format = AV_SAMPLE_FMT_S16;
        par->sample_rate = ClipSampleRate;
        av_channel_layout_default(&par->ch_layout, 1);
        par->bits_per_coded_sample = 16;
        par->block_align = 2;
        par->bit_rate = std::int64_t(ClipSampleRate) * 16;
        FSound->time_base = AVRational{1, ClipSampleRate};
    }

    void DrainVideo() {
        for (;;) {
            const int rc = avcodec_receive_packet(FEncoder, FPacket);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return;
            Check(rc, "the video encoder failed");
            av_packet_rescale_ts(FPacket, FEncoder->time_base, FVideo->time_base);
            FPacket->stream_index = FVideo->index;
            Check(av_interleaved_write_frame(FFormat, FPacket), "writing video failed");
        }
    }

    void AddSound(int index) {
        const std::int64_t first = FirstSampleOfFrame(index, FSpec.FramesPerSecond);
        const std::int64_t end = FirstSampleOfFrame(index + 1, FSpec.FramesPerSecond);
        const int count = int(end - first);
        if (count <= 0)
            return;
        Check(av_new_packet(FPacket, count * 2), "out of memory");
        std::vector<std::int16_t> samples(std::size_t(count), 0);
        ToneSamples(FSpec.ToneHz, first, samples);
        for (int i = 0; i < count; ++i) { // little-endian whatever the machine
            FPacket->data[2 * i] = std::uint8_t(samples[std::size_t(i)] & 0xFF);
            FPacket->data[2 * i + 1] = std::uint8_t((samples[std::size_t(i)] >> 8) & 0xFF);
        }
        FPacket->pts = FPacket->dts = first;
        FPacket->duration = count;
        FPacket->flags |= AV_PKT_FLAG_KEY;
        FPacket->stream_index = FSound->index;
        av_packet_rescale_ts(FPacket, AVRational{1, ClipSampleRate}, FSound->time_base);
        Check(av_interleaved_write_frame(FFormat, FPacket), "writing sound failed");
    }

    std::string FPath;
    TClipSpec FSpec;
    AVFormatContext* FFormat = nullptr;
    AVStream* FVideo = nullptr;
    AVStream* FSound = nullptr;
    AVCodecContext* FEncoder = nullptr;
    AVFrame* FFrame = nullptr;
    AVPacket* FPacket = nullptr;
    TYuvPlanes FPlanes; // the picture as sent last, updated where the painter drew
};

} // namespace

void WriteClip(const std::string& path, const TClipSpec& spec) {
    Validate(path, spec);
    namespace fs = std::filesystem;
    const std::string partial = path + ".part";
    try {
        TClipPainter painter(spec);
        TAviWriter writer(partial, path, spec);
        for (int i = 0; i < spec.Frames; ++i)
            writer.AddFrame(painter.Paint(i), painter.ChangedRows(), i);
        writer.Finish();
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        if (dynamic_cast<const std::runtime_error*>(&e))
            throw;
        Fail(path, e.what()); // drawing failures of the framework, out of memory
    }
    std::error_code ec;
    fs::rename(partial, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        Fail(path, ec.message());
    }
}

} // namespace clipgen
