// A media file over libavformat, libavcodec, libswscale and libswresample.
#include "platform/media/MediaFile.h"

#include "platform/ffmpeg/FrameRows.h"
#include "platform/media/AviChunks.h"
#include "platform/media/MciDriver.h"

#include <algorithm>
#include <cstring>
#include <optional>
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

// The largest picture the device shows (an 8K frame). A file that claims a larger one
// fails to open with a reason that says so.
constexpr int MaxWidth = 7680, MaxHeight = 4320;
constexpr std::int64_t MaxPixels = std::int64_t(MaxWidth) * MaxHeight;

// Pixels past the end of a picture that the converter may write (whole vector blocks).
constexpr std::size_t ConverterSlack = 64;
// At most this many pixels at the end of each row may be left unwritten by the converter
// (the part of a row that does not fill a whole block).
constexpr std::size_t ConverterBlock = 64;

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// FFmpeg's contexts, each owned by a holder that frees it with its own function.
struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct ScalerFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResamplerFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

// Opens `path` without probing its streams.
FormatPtr OpenFormat(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    return FormatPtr(fmt);
}

bool IsAvi(const AVFormatContext* fmt) {
    return std::strcmp(fmt->iformat->name, "avi") == 0;
}

// True when an AVI file's headers already say all that opening needs, so the probe
// (which decodes frames of every stream) can be skipped: at most one video stream, with
// its size and frame rate, and at most one sound stream, with its rate and channels.
bool HeadersSuffice(const AVFormatContext* fmt) {
    if (!IsAvi(fmt) || (fmt->ctx_flags & AVFMTCTX_NOHEADER))
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
FormatPtr OpenFirst(const std::string& path) {
    FormatPtr fmt = OpenFormat(path);
    if (fmt && !HeadersSuffice(fmt.get()) && avformat_find_stream_info(fmt.get(), nullptr) < 0)
        return nullptr;
    return fmt;
}

CodecPtr OpenDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    CodecPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), stream->codecpar) < 0)
        return nullptr;
    dec->thread_count = 1;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0)
        return nullptr;
    return dec;
}

// Opens a second reader of a file already probed, for the stream `index` whose probed
// parameters are `probed`. Containers whose header lists their streams (AVI) need no
// second probe; the others, or a header that disagrees with the probe, get one.
FormatPtr OpenReader(const std::string& path, int index, const AVCodecParameters* probed) {
    FormatPtr fmt = OpenFormat(path);
    if (!fmt)
        return nullptr;
    auto agrees = [&] {
        if (fmt->nb_streams <= unsigned(index))
            return false;
        const AVCodecParameters* par = fmt->streams[index]->codecpar;
        return par->codec_type == probed->codec_type && par->codec_id == probed->codec_id;
    };
    if (!(fmt->ctx_flags & AVFMTCTX_NOHEADER) && agrees())
        return fmt;
    if (avformat_find_stream_info(fmt.get(), nullptr) < 0 || !agrees())
        return nullptr;
    return fmt;
}

// Only the stream `keep` of `fmt` is read.
void DiscardOthers(AVFormatContext* fmt, int keep) {
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (int(i) != keep)
            fmt->streams[i]->discard = AVDISCARD_ALL;
}

// The streams a device can use, chosen at open, or the reason the file's video cannot be
// shown (a file with a picture never opens as sound alone).
struct Choice {
    int Video = -1;
    int Audio = -1;
    MCIERROR Refused = 0;
    std::string Reason;
};

Choice ChooseStreams(AVFormatContext* scan, const std::string& name) {
    Choice c;
    c.Video = av_find_best_stream(scan, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    c.Audio = av_find_best_stream(scan, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (c.Video >= 0) {
        const AVStream* st = scan->streams[c.Video];
        const AVCodecParameters* par = st->codecpar;
        const std::string size = std::to_string(par->width) + " x " + std::to_string(par->height);
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) {
            c.Video = -1; // a cover picture of a sound file
        } else if (std::int64_t(par->width) * par->height > MaxPixels) {
            c.Refused = MCIERR_DGV_PICTURE_TOO_LARGE;
            c.Reason = "The picture of " + name + " is " + size +
                       " pixels, more than the device can show (" + std::to_string(MaxWidth) +
                       " x " + std::to_string(MaxHeight) + ").";
        } else if (par->width <= 0 || par->height <= 0 || !avcodec_find_decoder(par->codec_id)) {
            const char* codec = avcodec_get_name(par->codec_id);
            c.Refused = MCIERR_DGV_VIDEO_UNSUPPORTED;
            c.Reason = "The video of " + name + " (" + codec + ", " + size +
                       ") is in a format the device cannot decode.";
        }
    }
    if (c.Audio >= 0) {
        const AVCodecParameters* par = scan->streams[c.Audio]->codecpar;
        if (par->sample_rate <= 0 || par->sample_rate > 768000 || par->ch_layout.nb_channels <= 0 ||
            !avcodec_find_decoder(par->codec_id))
            c.Audio = -1;
    }
    return c;
}

// What a reading of every packet tells: the video stream's packets and the length of the
// sound in its time base. For files whose chunk list cannot be read.
struct PacketCount {
    std::int64_t VideoFrames = 0;
    std::int64_t AudioTicks = 0;
};

PacketCount CountPackets(AVFormatContext* fmt, const Choice& choice, AVPacket* packet) {
    PacketCount count;
    while (av_read_frame(fmt, packet) >= 0) {
        if (packet->stream_index == choice.Video && packet->size > 0)
            ++count.VideoFrames;
        else if (packet->stream_index == choice.Audio && packet->duration > 0)
            count.AudioTicks += packet->duration;
        av_packet_unref(packet);
    }
    return count;
}

// The video's frame rate: for an AVI the stream's own rate (its time base is one frame
// slot), else the container's average, or 15 when neither is sane.
AVRational FrameRate(const AVStream* v, bool avi) {
    AVRational rate = avi ? av_inv_q(v->time_base) : v->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = v->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = v->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000 || av_q2d(rate) < 0.1)
        rate = AVRational{15, 1};
    return rate;
}

} // namespace

// The media file over FFmpeg's demuxer, decoders, scaler and resampler.
class FfmpegFile final : public MediaFile {
public:
    FfmpegFile();
    ~FfmpegFile() override;

    static MCIERROR OpenFile(const std::string& name, std::unique_ptr<MediaFile>& out);

    std::int64_t PictureOf(std::int64_t frame) const override;
    bool DecodeFrame(std::int64_t index, VideoImage& image) override;
    bool DecodeFrame(std::int64_t index, VideoImage& image,
                     std::shared_ptr<const user::VideoRows>& rows) override;
    void SeekAudio(std::int64_t ms) override;
    std::size_t ReadAudio(std::vector<std::int16_t>& out, std::size_t frames) override;

private:
    struct Context;
    // The steps of opening.
    static MCIERROR CheckPath(const std::string& name, std::string& path);
    bool OpenVideo(int stream, std::int64_t frames);
    bool OpenAudio(int stream);
    // The steps of decoding.
    bool DecodeInto(std::int64_t index, VideoImage& image,
                    std::shared_ptr<const user::VideoRows>& rows, bool keepFormat);
    void SeekVideo(std::int64_t picture);
    std::int64_t NumberOfPacket(const AVPacket& packet) const;
    std::int64_t NumberOfDecoded() const;
    bool Convert(const AVFrame& frame, VideoImage& image);
    bool Resample(const AVFrame& frame);

    std::unique_ptr<Context> FContext;
};

struct FfmpegFile::Context {
    std::string Path;
    // Pictures.
    FormatPtr VideoFormat;
    CodecPtr VideoDecoder;
    ScalerPtr Scaler;
    // An AVI's frame slots and the pictures they show; none for other containers, whose
    // pictures are placed by their timestamps.
    std::optional<AviPictureMap> Pictures;
    std::int64_t StartTs = 0;
    std::int64_t AudioStartTs = 0;
    std::int64_t NextIndex = -1; // the number of the next picture the decoder gives; -1 unknown
    bool VideoEnd = false;       // the decoder has been drained
    // Sound.
    FormatPtr AudioFormat;
    CodecPtr AudioDecoder;
    ResamplerPtr Resampler;
    std::vector<std::int16_t> Pending;
    std::size_t PendingStart = 0;
    bool AudioEnd = false;
    std::int64_t SkipToSample = -1; // after a seek: drop what lies before this sample
    PacketPtr Packet{av_packet_alloc()};
    FramePtr Frame{av_frame_alloc()};
    // While opening: the first reading of the file, which probed its streams.
    FormatPtr Scan;
};

FfmpegFile::FfmpegFile() = default;
FfmpegFile::~FfmpegFile() = default;

MCIERROR MediaFile::OpenHere(const std::string& name, std::unique_ptr<MediaFile>& out) {
    return FfmpegFile::OpenFile(name, out);
}

MCIERROR FfmpegFile::CheckPath(const std::string& name, std::string& path) {
    if (name.empty())
        return MCIERR_FILENAME_REQUIRED;
    path = NativePath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return MCIERR_FILE_NOT_FOUND;
    if (S_ISDIR(st.st_mode)) {
        SetErrorDetail(MCIERR_DGV_FOLDER, name + " is a folder, not a media file.");
        return MCIERR_DGV_FOLDER;
    }
    if (!S_ISREG(st.st_mode) || st.st_size == 0)
        return MCIERR_INVALID_FILE;
    return 0;
}

MCIERROR FfmpegFile::OpenFile(const std::string& name, std::unique_ptr<MediaFile>& out) {
    std::string path;
    if (MCIERROR error = CheckPath(name, path))
        return error;
    std::unique_ptr<FfmpegFile> file(new FfmpegFile);
    file->FContext = std::make_unique<Context>();
    Context& c = *file->FContext;
    c.Path = path;
    if (!c.Packet || !c.Frame)
        return MCIERR_OUT_OF_MEMORY;
    // One reading of the file answers what the devices ask at open; its context then
    // serves the pictures when the frames came from the chunk list (no packet was read
    // past the probe), and is replaced by a fresh one otherwise.
    c.Scan = OpenFirst(path);
    if (!c.Scan)
        return MCIERR_INVALID_FILE;
    AVFormatContext* scan = c.Scan.get();
    Choice choice = ChooseStreams(scan, name);
    if (choice.Refused) {
        SetErrorDetail(choice.Refused, choice.Reason);
        return choice.Refused;
    }
    PacketCount counted;
    if (choice.Video >= 0 && IsAvi(scan))
        if (auto chunks = ReadAviVideoChunks(path, choice.Video))
            c.Pictures.emplace(chunks->Slots);
    if (!c.Pictures) {
        // Count packet by packet: the header may be wrong or missing.
        counted = CountPackets(scan, choice, c.Packet.get());
        if (counted.VideoFrames == 0)
            choice.Video = -1;
    }
    if (choice.Video < 0 && choice.Audio < 0)
        return MCIERR_INVALID_FILE;
    if (choice.Video >= 0) {
        const std::int64_t frames = c.Pictures ? c.Pictures->Slots() : counted.VideoFrames;
        if (!file->OpenVideo(choice.Video, frames))
            return MCIERR_INVALID_FILE;
    }
    if (choice.Audio >= 0 && !file->OpenAudio(choice.Audio) && choice.Video < 0)
        return MCIERR_INVALID_FILE;
    if (choice.Video < 0) {
        const AVStream* a = scan->streams[choice.Audio];
        const std::int64_t ticks =
            counted.AudioTicks > 0 ? counted.AudioTicks : std::max<std::int64_t>(0, a->duration);
        file->FLengthMs = av_rescale_q(ticks, a->time_base, AVRational{1, 1000});
    }
    c.Scan.reset();
    out = std::move(file);
    return 0;
}

bool FfmpegFile::OpenVideo(int vs, std::int64_t frames) {
    Context& c = *FContext;
    const AVStream* probed = c.Scan->streams[vs];
    const AVRational rate = FrameRate(probed, IsAvi(c.Scan.get()));
    FRateNum = rate.num;
    FRateDen = rate.den;
    FWidth = probed->codecpar->width;
    FHeight = probed->codecpar->height;
    FFrameCount = frames;
    FLengthMs = av_rescale(frames, 1000LL * rate.den, rate.num);
    // Nothing was read past the probe when the chunk list counted the frames: the
    // packets it kept come first.
    if (c.Pictures)
        c.VideoFormat = std::move(c.Scan);
    else if ((c.VideoFormat = OpenFormat(c.Path)) &&
             avformat_find_stream_info(c.VideoFormat.get(), nullptr) < 0)
        c.VideoFormat.reset();
    if (!c.VideoFormat || c.VideoFormat->nb_streams <= unsigned(vs) ||
        !(c.VideoDecoder = OpenDecoder(c.VideoFormat->streams[vs])))
        return false;
    DiscardOthers(c.VideoFormat.get(), vs);
    const AVStream* v = c.VideoFormat->streams[vs];
    c.StartTs = v->start_time != AV_NOPTS_VALUE ? v->start_time : 0;
    c.NextIndex = 0;
    FVideoStream = vs;
    return true;
}

bool FfmpegFile::OpenAudio(int as) {
    Context& c = *FContext;
    // The sound reads on with a position of its own. The decoder takes the stream's
    // parameters from the probed context; the reader needs the probe only when the
    // container's header does not list its streams.
    const AVStream* probed = (c.Scan ? c.Scan : c.VideoFormat)->streams[as];
    c.AudioStartTs = probed->start_time != AV_NOPTS_VALUE ? probed->start_time : 0;
    c.AudioFormat = OpenReader(c.Path, as, probed->codecpar);
    if (!c.AudioFormat || !(c.AudioDecoder = OpenDecoder(probed)))
        return false;
    DiscardOthers(c.AudioFormat.get(), as);
    FSampleRate = c.AudioDecoder->sample_rate;
    FChannels = std::min(2, c.AudioDecoder->ch_layout.nb_channels);
    FAudioStream = as;
    return true;
}

std::int64_t FfmpegFile::PictureOf(std::int64_t frame) const {
    const Context& c = *FContext;
    return c.Pictures ? c.Pictures->PictureOf(frame) : frame;
}

bool FfmpegFile::DecodeFrame(std::int64_t index, VideoImage& image) {
    std::shared_ptr<const user::VideoRows> rows;
    return DecodeInto(index, image, rows, false);
}

bool FfmpegFile::DecodeFrame(std::int64_t index, VideoImage& image,
                             std::shared_ptr<const user::VideoRows>& rows) {
    return DecodeInto(index, image, rows, true);
}

bool FfmpegFile::DecodeInto(std::int64_t index, VideoImage& image,
                            std::shared_ptr<const user::VideoRows>& rows, bool keepFormat) {
    Context& c = *FContext;
    rows.reset();
    if (!c.VideoDecoder)
        return false;
    index = std::clamp<std::int64_t>(index, 0, std::max<std::int64_t>(0, FFrameCount - 1));
    const std::int64_t picture = PictureOf(index);
    // Far ahead or behind: seek to the key frame before the target and decode from there.
    if (c.NextIndex < 0 || picture < c.NextIndex || picture > c.NextIndex + 48 || c.VideoEnd)
        SeekVideo(picture);
    bool flushing = false;
    for (;;) {
        const int got = avcodec_receive_frame(c.VideoDecoder.get(), c.Frame.get());
        if (got == 0) {
            const std::int64_t at = NumberOfDecoded();
            c.NextIndex = at + 1;
            bool shown = false;
            if (at >= picture) {
                if (keepFormat && (rows = MakeFrameRows(*c.Frame))) {
                    image.Width = c.Frame->width;
                    image.Height = c.Frame->height;
                }
                shown = rows || Convert(*c.Frame, image);
            }
            av_frame_unref(c.Frame.get());
            if (shown)
                return true;
            continue;
        }
        if (got == AVERROR_EOF || (got == AVERROR(EAGAIN) && flushing)) {
            // The stream ended before the frame: keep what was last shown.
            c.VideoEnd = true;
            return false;
        }
        if (av_read_frame(c.VideoFormat.get(), c.Packet.get()) < 0) {
            avcodec_send_packet(c.VideoDecoder.get(), nullptr);
            flushing = true;
            continue;
        }
        // An empty chunk (a dropped frame) carries no picture; sent, it would end the
        // stream.
        if (c.Packet->stream_index == FVideoStream && c.Packet->size > 0) {
            if (c.NextIndex < 0)
                c.NextIndex = NumberOfPacket(*c.Packet);
            avcodec_send_packet(c.VideoDecoder.get(), c.Packet.get());
        }
        av_packet_unref(c.Packet.get());
    }
}

void FfmpegFile::SeekVideo(std::int64_t picture) {
    Context& c = *FContext;
    const AVStream* stream = c.VideoFormat->streams[FVideoStream];
    const std::int64_t slot = c.Pictures ? c.Pictures->SlotOf(picture) : picture;
    const std::int64_t ts =
        c.StartTs + av_rescale_q(slot, AVRational{FRateDen, FRateNum}, stream->time_base);
    if (av_seek_frame(c.VideoFormat.get(), FVideoStream, ts, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(c.VideoFormat.get(), FVideoStream, c.StartTs, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(c.VideoDecoder.get());
    c.NextIndex = -1;
    c.VideoEnd = false;
}

// The number of the first picture a seek reads: for an AVI the chunk the packet came
// from; otherwise its decoding time.
std::int64_t FfmpegFile::NumberOfPacket(const AVPacket& packet) const {
    const Context& c = *FContext;
    const AVStream* stream = c.VideoFormat->streams[FVideoStream];
    if (c.Pictures) {
        const std::int64_t at = c.Pictures->PictureAt(packet.pos);
        if (at >= 0)
            return at;
    }
    const std::int64_t ts = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (ts == AV_NOPTS_VALUE)
        return -1;
    const std::int64_t slot =
        av_rescale_q(ts - c.StartTs, stream->time_base, AVRational{FRateDen, FRateNum});
    return c.Pictures ? c.Pictures->PictureOf(slot) : slot;
}

// The number of the picture the decoder just gave. An AVI has no presentation times:
// its pictures come out in the order they are shown, one for each chunk that is not
// empty, so they are counted. Other containers place them by their timestamps.
std::int64_t FfmpegFile::NumberOfDecoded() const {
    const Context& c = *FContext;
    const std::int64_t next = std::max<std::int64_t>(c.NextIndex, 0);
    if (c.Pictures)
        return next;
    const AVStream* stream = c.VideoFormat->streams[FVideoStream];
    const std::int64_t ts = c.Frame->best_effort_timestamp;
    return ts != AV_NOPTS_VALUE
               ? av_rescale_q(ts - c.StartTs, stream->time_base, AVRational{FRateDen, FRateNum})
               : next;
}

bool FfmpegFile::Convert(const AVFrame& frame, VideoImage& image) {
    Context& c = *FContext;
    const int w = frame.width, h = frame.height;
    if (w <= 0 || h <= 0 || std::int64_t(w) * h > MaxPixels)
        return false;
    c.Scaler.reset(sws_getCachedContext(c.Scaler.release(), w, h, AVPixelFormat(frame.format), w, h,
                                        AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!c.Scaler)
        return false;
    // Convert straight into the picture. The converter may write whole vector blocks
    // past the end of the last row, so the buffer has room to spare while it writes;
    // the rows before are overwritten by the rows that follow. A buffer handed in keeps
    // its memory, so only a first picture allocates.
    const std::size_t count = std::size_t(w) * std::size_t(h);
    image.Pixels.resize(count + ConverterSlack);
    // The converter's vector paths leave the ends of rows that are not a whole number of
    // blocks unwritten: those pixels are black, as when FFmpeg converts into cleared
    // memory, and never what an earlier picture left there.
    if (std::size_t(w) % ConverterBlock != 0) {
        const std::size_t tail = std::min<std::size_t>(std::size_t(w), ConverterBlock);
        for (int y = 0; y < h; ++y) {
            std::uint32_t* end = image.Pixels.data() + std::size_t(y + 1) * std::size_t(w);
            std::fill(end - tail, end, 0u);
        }
    }
    std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(image.Pixels.data()), nullptr, nullptr,
                            nullptr};
    int dstStride[4] = {w * 4, 0, 0, 0};
    sws_scale(c.Scaler.get(), frame.data, frame.linesize, 0, h, dst, dstStride);
    image.Pixels.resize(count);
    image.Width = w;
    image.Height = h;
    // BGRA in memory is 0xAARRGGBB as a little-endian word: drop the alpha.
    for (std::uint32_t& pixel : image.Pixels)
        pixel &= 0x00FFFFFFu;
    return true;
}

void FfmpegFile::SeekAudio(std::int64_t ms) {
    Context& c = *FContext;
    if (!c.AudioDecoder)
        return;
    AVStream* stream = c.AudioFormat->streams[FAudioStream];
    const std::int64_t start = c.AudioStartTs;
    std::int64_t ts =
        start + av_rescale_q(std::max<std::int64_t>(0, ms), AVRational{1, 1000}, stream->time_base);
    if (av_seek_frame(c.AudioFormat.get(), FAudioStream, ts, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(c.AudioFormat.get(), FAudioStream, start, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(c.AudioDecoder.get());
    c.Pending.clear();
    c.PendingStart = 0;
    c.AudioEnd = false;
    c.SkipToSample = av_rescale(std::max<std::int64_t>(0, ms), FSampleRate, 1000);
}

std::size_t FfmpegFile::ReadAudio(std::vector<std::int16_t>& out, std::size_t frames) {
    Context& c = *FContext;
    if (!c.AudioDecoder)
        return 0;
    const std::size_t ch = std::size_t(FChannels);
    bool flushing = false;
    while ((c.Pending.size() - c.PendingStart) / ch < frames && !c.AudioEnd) {
        const int got = avcodec_receive_frame(c.AudioDecoder.get(), c.Frame.get());
        if (got == 0) {
            if (!Resample(*c.Frame))
                c.AudioEnd = true;
            av_frame_unref(c.Frame.get());
            continue;
        }
        if (got == AVERROR_EOF || (got == AVERROR(EAGAIN) && flushing)) {
            c.AudioEnd = true;
            break;
        }
        if (av_read_frame(c.AudioFormat.get(), c.Packet.get()) < 0) {
            avcodec_send_packet(c.AudioDecoder.get(), nullptr);
            flushing = true;
            continue;
        }
        if (c.Packet->stream_index == FAudioStream && c.Packet->size > 0)
            avcodec_send_packet(c.AudioDecoder.get(), c.Packet.get());
        av_packet_unref(c.Packet.get());
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

// Appends a decoded piece of sound to the pending samples, converted to the output
// format; after a seek the samples before the target are dropped. False when the
// converter cannot be made.
bool FfmpegFile::Resample(const AVFrame& frame) {
    Context& c = *FContext;
    const std::size_t ch = std::size_t(FChannels);
    if (!c.Resampler) {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, FChannels);
        SwrContext* made = nullptr;
        const bool ok = swr_alloc_set_opts2(&made, &outLayout, AV_SAMPLE_FMT_S16, FSampleRate,
                                            &c.AudioDecoder->ch_layout, c.AudioDecoder->sample_fmt,
                                            c.AudioDecoder->sample_rate, 0, nullptr) >= 0;
        c.Resampler.reset(made);
        if (!ok || swr_init(c.Resampler.get()) < 0) {
            c.Resampler.reset();
            return false;
        }
    }
    const int count = frame.nb_samples;
    if (c.PendingStart > 0 && c.PendingStart == c.Pending.size()) {
        c.Pending.clear();
        c.PendingStart = 0;
    }
    const std::size_t at = c.Pending.size();
    const int room = swr_get_out_samples(c.Resampler.get(), count);
    c.Pending.resize(at + std::size_t(std::max(room, 0)) * ch);
    std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(c.Pending.data() + at);
    const int made = swr_convert(c.Resampler.get(), &dst, room,
                                 const_cast<const std::uint8_t**>(frame.extended_data), count);
    c.Pending.resize(at + std::size_t(std::max(made, 0)) * ch);
    if (c.SkipToSample >= 0) {
        const AVStream* stream = c.AudioFormat->streams[FAudioStream];
        const std::int64_t ts = frame.best_effort_timestamp;
        const std::int64_t first =
            ts != AV_NOPTS_VALUE
                ? av_rescale_q(ts - c.AudioStartTs, stream->time_base, AVRational{1, FSampleRate})
                : c.SkipToSample;
        const std::int64_t drop =
            std::clamp<std::int64_t>(c.SkipToSample - first, 0, std::max(made, 0));
        c.Pending.erase(c.Pending.begin() + std::ptrdiff_t(at),
                        c.Pending.begin() + std::ptrdiff_t(at + std::size_t(drop) * ch));
        c.SkipToSample = -1;
    }
    return true;
}

} // namespace platform::media
