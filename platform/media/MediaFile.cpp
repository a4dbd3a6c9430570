// A media file over libavformat, libavcodec, libswscale and libswresample.
#include "platform/media/MediaFile.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Pixels past the end of a picture that the converter may write (whole vector blocks).
constexpr std::size_t ConverterSlack = 64;
// At most this many pixels at the end of each row may be left unwritten by the converter
// (the part of a row that does not fill a whole block).
constexpr std::size_t ConverterBlock = 64;

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

// True when an AVI file's headers already say all that opening needs, so the probe
// (which decodes frames of every stream) can be skipped: at most one video stream, with
// its size and frame rate, and at most one sound stream, with its rate and channels.
bool HeadersSuffice(const AVFormatContext* fmt) {
    if (std::strcmp(fmt->iformat->name, "avi") != 0 || (fmt->ctx_flags & AVFMTCTX_NOHEADER))
        return false;
    int videos = 0, sounds = 0;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        const AVCodecParameters* par = st->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (++videos > 1 || par->width <= 0 || par->height <= 0 ||
                st->avg_frame_rate.num <= 0 || st->avg_frame_rate.den <= 0 ||
                st->start_time == AV_NOPTS_VALUE)
                return false;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (++sounds > 1 || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0 ||
                st->start_time == AV_NOPTS_VALUE)
                return false;
        }
    }
    return videos == 1;
}

// Opens `path` for the first reading, probing its streams unless the headers suffice.
AVFormatContext* OpenFirst(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    if (!HeadersSuffice(fmt) && avformat_find_stream_info(fmt, nullptr) < 0)
        avformat_close_input(&fmt);
    return fmt;
}

AVCodecContext* OpenDecoder(const AVStream* stream) {
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

// Opens a second reader of a file already probed, for the stream `index` whose probed
// parameters are `probed`. Containers whose header lists their streams (AVI) need no
// second probe; the others, or a header that disagrees with the probe, get one.
AVFormatContext* OpenReader(const std::string& path, int index, const AVCodecParameters* probed) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    auto agrees = [&] {
        if (fmt->nb_streams <= unsigned(index))
            return false;
        const AVCodecParameters* par = fmt->streams[index]->codecpar;
        return par->codec_type == probed->codec_type && par->codec_id == probed->codec_id;
    };
    if (!(fmt->ctx_flags & AVFMTCTX_NOHEADER) && agrees())
        return fmt;
    if (avformat_find_stream_info(fmt, nullptr) < 0 || !agrees())
        avformat_close_input(&fmt);
    return fmt;
}

// The number of frames of the video stream `vs` taken from an AVI file's index, or -1
// when the index cannot be trusted and the packets must be counted. The index is taken
// only when it is complete (as many entries as the headers count) and every entry names
// a video chunk of its stream, with its size, lying wholly within the file: a header
// that lies, a file cut short or damaged where a chunk starts all fall back.
std::int64_t IndexedFrameCount(AVFormatContext* fmt, int vs, const std::string& path,
                               std::int64_t fileSize) {
    if (std::strcmp(fmt->iformat->name, "avi") != 0 || vs > 99)
        return -1;
    AVStream* stream = fmt->streams[vs];
    const int count = avformat_index_get_entries_count(stream);
    if (count <= 0 || stream->nb_frames != count)
        return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const char tag0 = char('0' + vs / 10), tag1 = char('0' + vs % 10);
    std::int64_t lastPos = -1, lastTs = 0;
    int i = 0;
    for (; i < count; ++i) {
        const AVIndexEntry* e = avformat_index_get_entry(stream, i);
        if (!e || e->size <= 0 || (e->flags & AVINDEX_DISCARD_FRAME) || e->pos <= lastPos ||
            (i > 0 && e->timestamp <= lastTs) || e->pos > fileSize - 8 - e->size)
            break;
        unsigned char head[8];
        if (::pread(fd, head, sizeof head, off_t(e->pos)) != ssize_t(sizeof head))
            break;
        const std::uint32_t size = std::uint32_t(head[4]) | (std::uint32_t(head[5]) << 8) |
                                   (std::uint32_t(head[6]) << 16) | (std::uint32_t(head[7]) << 24);
        if (head[0] != tag0 || head[1] != tag1 || head[2] != 'd' ||
            (head[3] != 'c' && head[3] != 'b') || size != std::uint32_t(e->size))
            break;
        lastPos = e->pos;
        lastTs = e->timestamp;
    }
    ::close(fd);
    return i == count ? count : -1;
}

} // namespace

struct MediaFile::Context {
    std::string Path;
    // Pictures.
    AVFormatContext* VideoFormat = nullptr;
    AVCodecContext* VideoDecoder = nullptr;
    SwsContext* Scaler = nullptr;
    std::int64_t StartTs = 0;
    std::int64_t AudioStartTs = 0;
    std::int64_t NextIndex = -1; // the index of the next frame the decoder gives; -1 unknown
    bool VideoEnd = false;       // the decoder has been drained
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

    // One reading of the file answers what the devices ask at open; its context then
    // serves the pictures when the frame count came from the index (no packet was read
    // past the probe), and is replaced by a fresh one otherwise.
    AVFormatContext* scan = OpenFirst(path);
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
    std::int64_t frames = vs >= 0 ? IndexedFrameCount(scan, vs, path, st.st_size) : -1;
    const bool indexed = frames >= 0;
    std::int64_t audioTicks = 0;
    if (!indexed) {
        // Count packet by packet: the header may be wrong or missing.
        frames = 0;
        while (av_read_frame(scan, c.Packet) >= 0) {
            if (c.Packet->stream_index == vs)
                ++frames;
            else if (c.Packet->stream_index == as && c.Packet->duration > 0)
                audioTicks += c.Packet->duration;
            av_packet_unref(c.Packet);
        }
    }
    if (vs >= 0 && frames == 0)
        vs = -1;
    AVRational audioBase = as >= 0 ? scan->streams[as]->time_base : AVRational{1, 1};
    std::int64_t audioDuration = as >= 0 ? scan->streams[as]->duration : 0;
    if (as >= 0)
        c.AudioStartTs =
            scan->streams[as]->start_time != AV_NOPTS_VALUE ? scan->streams[as]->start_time : 0;
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
    if (vs < 0 && as < 0) {
        avformat_close_input(&scan);
        return MCIERR_INVALID_FILE;
    }

    if (vs >= 0) {
        if (indexed) {
            // Nothing was read past the probe (if any): the packets it kept come first.
            c.VideoFormat = scan;
            scan = nullptr;
        } else {
            avformat_close_input(&scan);
            c.VideoFormat = OpenInput(path);
        }
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
        // The sound reads on with a position of its own. The decoder takes the stream's
        // parameters from the probed context; the reader needs the probe only when the
        // container's header does not list its streams.
        const AVStream* probed = (scan ? scan : c.VideoFormat)->streams[as];
        c.AudioFormat = OpenReader(path, as, probed->codecpar);
        if (c.AudioFormat && (c.AudioDecoder = OpenDecoder(probed))) {
            for (unsigned i = 0; i < c.AudioFormat->nb_streams; ++i)
                if (int(i) != as)
                    c.AudioFormat->streams[i]->discard = AVDISCARD_ALL;
            file->FSampleRate = c.AudioDecoder->sample_rate;
            file->FChannels = std::min(2, c.AudioDecoder->ch_layout.nb_channels);
            file->FAudioStream = as;
        } else if (vs < 0) {
            avformat_close_input(&scan);
            return MCIERR_INVALID_FILE;
        }
    }
    avformat_close_input(&scan);
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
            // Convert straight into the picture. The converter may write whole vector
            // blocks past the end of the last row, so the buffer has room to spare while it
            // writes; the rows before are overwritten by the rows that follow.
            // A buffer handed in keeps its memory, so only a first picture allocates.
            const std::size_t count = std::size_t(w) * std::size_t(h);
            image.Pixels.resize(count + ConverterSlack);
            // The converter's vector paths leave the ends of rows that are not a whole
            // number of blocks unwritten: those pixels are black, as when FFmpeg converts
            // into cleared memory, and never what an earlier picture left there.
            if (std::size_t(w) % ConverterBlock != 0) {
                const std::size_t tail = std::min<std::size_t>(std::size_t(w), ConverterBlock);
                for (int y = 0; y < h; ++y) {
                    std::uint32_t* end = image.Pixels.data() + std::size_t(y + 1) * std::size_t(w);
                    std::fill(end - tail, end, 0u);
                }
            }
            std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(image.Pixels.data()), nullptr,
                                    nullptr, nullptr};
            int dstStride[4] = {w * 4, 0, 0, 0};
            sws_scale(c.Scaler, c.Frame->data, c.Frame->linesize, 0, h, dst, dstStride);
            image.Pixels.resize(count);
            image.Width = w;
            image.Height = h;
            // BGRA in memory is 0xAARRGGBB as a little-endian word: drop the alpha.
            for (std::uint32_t& pixel : image.Pixels)
                pixel &= 0x00FFFFFFu;
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
    const std::int64_t start = c.AudioStartTs;
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
    const std::int64_t start = c.AudioStartTs;
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
