// A media file over libavformat, libavcodec, libswscale and libswresample.
#include "platform/media/MediaFile.h"

#include <algorithm>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace platform::media {

namespace {

// The largest picture a device accepts (a 8K frame); bigger claims are damaged headers.
constexpr std::int64_t MaxPixels = 7680LL * 4320LL;

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

AVFormatContext* OpenInput(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        avformat_close_input(&fmt);
        return nullptr;
    }
    return fmt;
}

AVCodecContext* OpenDecoder(AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    if (!dec)
        return nullptr;
    if (avcodec_parameters_to_context(dec, stream->codecpar) < 0) {
        avcodec_free_context(&dec);
        return nullptr;
    }
    dec->thread_count = 1;
    if (avcodec_open2(dec, codec, nullptr) < 0) {
        avcodec_free_context(&dec);
        return nullptr;
    }
    return dec;
}

} // namespace

struct MediaFile::Context {
    std::string Path;
    // Pictures.
    AVFormatContext* VideoFormat = nullptr;
    AVCodecContext* VideoDecoder = nullptr;
    SwsContext* Scaler = nullptr;
    std::int64_t StartTs = 0;
    std::int64_t NextIndex = -1; // the index of the next frame the decoder gives; -1 unknown
    bool VideoEnd = false;       // the decoder has been drained
    std::vector<std::uint8_t> Scratch;
    // Sound.
    AVFormatContext* AudioFormat = nullptr;
    AVCodecContext* AudioDecoder = nullptr;
    SwrContext* Resampler = nullptr;
    std::vector<std::int16_t> Pending;
    std::size_t PendingStart = 0;
    bool AudioEnd = false;
    std::int64_t SkipToSample = -1; // after a seek: drop what lies before this sample
    AVPacket* Packet = nullptr;
    AVFrame* Frame = nullptr;

    ~Context() {
        avcodec_free_context(&VideoDecoder);
        avcodec_free_context(&AudioDecoder);
        avformat_close_input(&VideoFormat);
        avformat_close_input(&AudioFormat);
        sws_freeContext(Scaler);
        swr_free(&Resampler);
        av_packet_free(&Packet);
        av_frame_free(&Frame);
    }
};

MediaFile::~MediaFile() = default;

MCIERROR MediaFile::Open(const std::string& name, std::unique_ptr<MediaFile>& out) {
    if (name.empty())
        return MCIERR_FILENAME_REQUIRED;
    const std::string path = NativePath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return MCIERR_FILE_NOT_FOUND;
    if (!S_ISREG(st.st_mode) || st.st_size == 0)
        return MCIERR_INVALID_FILE;

    std::unique_ptr<MediaFile> file(new MediaFile);
    file->FContext = std::make_unique<Context>();
    Context& c = *file->FContext;
    c.Path = path;
    c.Packet = av_packet_alloc();
    c.Frame = av_frame_alloc();
    if (!c.Packet || !c.Frame)
        return MCIERR_OUT_OF_MEMORY;

    // Count the frames of the video stream and the length of the sound, packet by packet.
    AVFormatContext* scan = OpenInput(path);
    if (!scan)
        return MCIERR_INVALID_FILE;
    int vs = av_find_best_stream(scan, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    int as = av_find_best_stream(scan, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (vs >= 0) {
        const AVCodecParameters* par = scan->streams[vs]->codecpar;
        if (par->width <= 0 || par->height <= 0 ||
            std::int64_t(par->width) * par->height > MaxPixels ||
            !avcodec_find_decoder(par->codec_id) ||
            (scan->streams[vs]->disposition & AV_DISPOSITION_ATTACHED_PIC))
            vs = -1;
    }
    if (as >= 0) {
        const AVCodecParameters* par = scan->streams[as]->codecpar;
        if (par->sample_rate <= 0 || par->sample_rate > 768000 || par->ch_layout.nb_channels <= 0 ||
            !avcodec_find_decoder(par->codec_id))
            as = -1;
    }
    std::int64_t frames = 0;
    std::int64_t audioTicks = 0;
    while (av_read_frame(scan, c.Packet) >= 0) {
        if (c.Packet->stream_index == vs)
            ++frames;
        else if (c.Packet->stream_index == as && c.Packet->duration > 0)
            audioTicks += c.Packet->duration;
        av_packet_unref(c.Packet);
    }
    if (vs >= 0 && frames == 0)
        vs = -1;
    AVRational audioBase = as >= 0 ? scan->streams[as]->time_base : AVRational{1, 1};
    std::int64_t audioDuration = as >= 0 ? scan->streams[as]->duration : 0;
    if (vs >= 0) {
        AVStream* v = scan->streams[vs];
        AVRational rate = v->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0)
            rate = v->r_frame_rate;
        if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000 || av_q2d(rate) < 0.1)
            rate = AVRational{15, 1};
        file->FRateNum = rate.num;
        file->FRateDen = rate.den;
        file->FWidth = v->codecpar->width;
        file->FHeight = v->codecpar->height;
        file->FFrameCount = frames;
        file->FLengthMs = av_rescale(frames, 1000LL * rate.den, rate.num);
    }
    avformat_close_input(&scan);
    if (vs < 0 && as < 0)
        return MCIERR_INVALID_FILE;

    if (vs >= 0) {
        c.VideoFormat = OpenInput(path);
        if (!c.VideoFormat || !(c.VideoDecoder = OpenDecoder(c.VideoFormat->streams[vs])))
            return MCIERR_INVALID_FILE;
        for (unsigned i = 0; i < c.VideoFormat->nb_streams; ++i)
            if (int(i) != vs)
                c.VideoFormat->streams[i]->discard = AVDISCARD_ALL;
        AVStream* v = c.VideoFormat->streams[vs];
        c.StartTs = v->start_time != AV_NOPTS_VALUE ? v->start_time : 0;
        c.NextIndex = 0;
        file->FVideoStream = vs;
    }
    if (as >= 0) {
        c.AudioFormat = OpenInput(path);
        if (c.AudioFormat && (c.AudioDecoder = OpenDecoder(c.AudioFormat->streams[as]))) {
            for (unsigned i = 0; i < c.AudioFormat->nb_streams; ++i)
                if (int(i) != as)
                    c.AudioFormat->streams[i]->discard = AVDISCARD_ALL;
            file->FSampleRate = c.AudioDecoder->sample_rate;
            file->FChannels = std::min(2, c.AudioDecoder->ch_layout.nb_channels);
            file->FAudioStream = as;
        } else if (vs < 0) {
            return MCIERR_INVALID_FILE;
        }
    }
    if (vs < 0) {
        std::int64_t ticks = audioTicks > 0 ? audioTicks : std::max<std::int64_t>(0, audioDuration);
        file->FLengthMs = av_rescale_q(ticks, audioBase, AVRational{1, 1000});
    }
    out = std::move(file);
    return 0;
}

bool MediaFile::DecodeFrame(std::int64_t index, VideoImage& image) {
    Context& c = *FContext;
    if (!c.VideoDecoder)
        return false;
    index = std::clamp<std::int64_t>(index, 0, std::max<std::int64_t>(0, FFrameCount - 1));
    AVStream* stream = c.VideoFormat->streams[FVideoStream];
    const AVRational frameBase{FRateDen, FRateNum};
    // Far ahead or behind: seek to the key frame before the target and decode from there.
    if (c.NextIndex < 0 || index < c.NextIndex || index > c.NextIndex + 48 || c.VideoEnd) {
        std::int64_t ts = c.StartTs + av_rescale_q(index, frameBase, stream->time_base);
        if (av_seek_frame(c.VideoFormat, FVideoStream, ts, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(c.VideoFormat, FVideoStream, c.StartTs, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(c.VideoDecoder);
        c.NextIndex = -1;
        c.VideoEnd = false;
    }
    bool flushing = false;
    for (;;) {
        int got = avcodec_receive_frame(c.VideoDecoder, c.Frame);
        if (got == 0) {
            std::int64_t ts = c.Frame->best_effort_timestamp;
            std::int64_t at = ts != AV_NOPTS_VALUE
                                  ? av_rescale_q(ts - c.StartTs, stream->time_base, frameBase)
                                  : std::max<std::int64_t>(c.NextIndex, 0);
            c.NextIndex = at + 1;
            if (at < index) {
                av_frame_unref(c.Frame);
                continue;
            }
            const int w = c.Frame->width, h = c.Frame->height;
            if (w <= 0 || h <= 0 || std::int64_t(w) * h > MaxPixels) {
                av_frame_unref(c.Frame);
                continue;
            }
            c.Scaler =
                sws_getCachedContext(c.Scaler, w, h, AVPixelFormat(c.Frame->format), w, h,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (!c.Scaler) {
                av_frame_unref(c.Frame);
                continue;
            }
            // The converter writes whole vector blocks: give it aligned rows with room to
            // spare, then copy the picture out.
            const int stride = (w * 4 + 63) & ~63;
            c.Scratch.resize(std::size_t(stride) * std::size_t(h + 1) + 64);
            std::uint8_t* dst[4] = {c.Scratch.data(), nullptr, nullptr, nullptr};
            int dstStride[4] = {stride, 0, 0, 0};
            sws_scale(c.Scaler, c.Frame->data, c.Frame->linesize, 0, h, dst, dstStride);
            image.Width = w;
            image.Height = h;
            image.Pixels.resize(std::size_t(w) * std::size_t(h));
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* row = c.Scratch.data() + std::size_t(y) * std::size_t(stride);
                std::uint32_t* out = image.Pixels.data() + std::size_t(y) * std::size_t(w);
                for (int x = 0; x < w; ++x, row += 4)
                    out[x] = std::uint32_t(row[0]) | (std::uint32_t(row[1]) << 8) |
                             (std::uint32_t(row[2]) << 16);
            }
            av_frame_unref(c.Frame);
            return true;
        }
        if (got == AVERROR_EOF || (got == AVERROR(EAGAIN) && flushing)) {
            // The stream ended before the frame: keep what was last shown.
            c.VideoEnd = true;
            return false;
        }
        int read = av_read_frame(c.VideoFormat, c.Packet);
        if (read < 0) {
            avcodec_send_packet(c.VideoDecoder, nullptr);
            flushing = true;
            continue;
        }
        if (c.Packet->stream_index == FVideoStream) {
            if (c.NextIndex < 0 && c.Packet->pts == AV_NOPTS_VALUE &&
                c.Packet->dts != AV_NOPTS_VALUE)
                c.NextIndex = av_rescale_q(c.Packet->dts - c.StartTs, stream->time_base, frameBase);
            avcodec_send_packet(c.VideoDecoder, c.Packet);
        }
        av_packet_unref(c.Packet);
    }
}

void MediaFile::SeekAudio(std::int64_t ms) {
    Context& c = *FContext;
    if (!c.AudioDecoder)
        return;
    AVStream* stream = c.AudioFormat->streams[FAudioStream];
    std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    std::int64_t ts =
        start + av_rescale_q(std::max<std::int64_t>(0, ms), AVRational{1, 1000}, stream->time_base);
    if (av_seek_frame(c.AudioFormat, FAudioStream, ts, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(c.AudioFormat, FAudioStream, start, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(c.AudioDecoder);
    c.Pending.clear();
    c.PendingStart = 0;
    c.AudioEnd = false;
    c.SkipToSample = av_rescale(std::max<std::int64_t>(0, ms), FSampleRate, 1000);
}

std::size_t MediaFile::ReadAudio(std::vector<std::int16_t>& out, std::size_t frames) {
    Context& c = *FContext;
    if (!c.AudioDecoder)
        return 0;
    const std::size_t ch = std::size_t(FChannels);
    AVStream* stream = c.AudioFormat->streams[FAudioStream];
    std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    bool flushing = false;
    while ((c.Pending.size() - c.PendingStart) / ch < frames && !c.AudioEnd) {
        int got = avcodec_receive_frame(c.AudioDecoder, c.Frame);
        if (got == 0) {
            if (!c.Resampler) {
                AVChannelLayout outLayout;
                av_channel_layout_default(&outLayout, FChannels);
                if (swr_alloc_set_opts2(&c.Resampler, &outLayout, AV_SAMPLE_FMT_S16, FSampleRate,
                                        &c.AudioDecoder->ch_layout, c.AudioDecoder->sample_fmt,
                                        c.AudioDecoder->sample_rate, 0, nullptr) < 0 ||
                    swr_init(c.Resampler) < 0) {
                    swr_free(&c.Resampler);
                    c.AudioEnd = true;
                    av_frame_unref(c.Frame);
                    break;
                }
            }
            const int count = c.Frame->nb_samples;
            if (c.PendingStart > 0 && c.PendingStart == c.Pending.size()) {
                c.Pending.clear();
                c.PendingStart = 0;
            }
            const std::size_t at = c.Pending.size();
            const int room = swr_get_out_samples(c.Resampler, count);
            c.Pending.resize(at + std::size_t(std::max(room, 0)) * ch);
            std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(c.Pending.data() + at);
            int made = swr_convert(c.Resampler, &dst, room,
                                   const_cast<const std::uint8_t**>(c.Frame->extended_data), count);
            c.Pending.resize(at + std::size_t(std::max(made, 0)) * ch);
            if (c.SkipToSample >= 0) {
                std::int64_t ts = c.Frame->best_effort_timestamp;
                std::int64_t first =
                    ts != AV_NOPTS_VALUE
                        ? av_rescale_q(ts - start, stream->time_base, AVRational{1, FSampleRate})
                        : c.SkipToSample;
                std::int64_t drop =
                    std::clamp<std::int64_t>(c.SkipToSample - first, 0, std::max(made, 0));
                c.Pending.erase(c.Pending.begin() + std::ptrdiff_t(at),
                                c.Pending.begin() + std::ptrdiff_t(at + std::size_t(drop) * ch));
                c.SkipToSample = -1;
            }
            av_frame_unref(c.Frame);
            continue;
        }
        if (got == AVERROR_EOF || (got == AVERROR(EAGAIN) && flushing)) {
            c.AudioEnd = true;
            break;
        }
        int read = av_read_frame(c.AudioFormat, c.Packet);
        if (read < 0) {
            avcodec_send_packet(c.AudioDecoder, nullptr);
            flushing = true;
            continue;
        }
        if (c.Packet->stream_index == FAudioStream)
            avcodec_send_packet(c.AudioDecoder, c.Packet);
        av_packet_unref(c.Packet);
    }
    const std::size_t available = (c.Pending.size() - c.PendingStart) / ch;
    const std::size_t n = std::min(available, frames);
    out.insert(out.end(), c.Pending.begin() + std::ptrdiff_t(c.PendingStart),
               c.Pending.begin() + std::ptrdiff_t(c.PendingStart + n * ch));
    c.PendingStart += n * ch;
    if (c.PendingStart == c.Pending.size()) {
        c.Pending.clear();
        c.PendingStart = 0;
    }
    return n;
}

} // namespace platform::media
