// A media file over our own reading of AVI files (AviDemuxer.h) and libavcodec,
// libswscale and libswresample.
#include "platform/media/MediaFile.h"

#include "platform/ffmpeg/AviCodecs.h"
#include "platform/ffmpeg/AviDemuxer.h"
#include "platform/ffmpeg/FrameRows.h"
#include "platform/media/AviChunks.h"
#include "platform/media/MciDriver.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
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
struct ParametersFreer {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
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
using ParametersPtr = std::unique_ptr<AVCodecParameters, ParametersFreer>;

// A channel layout that frees what it holds.
struct ChannelLayout {
    AVChannelLayout Layout{};
    ChannelLayout() = default;
    ChannelLayout(const ChannelLayout&) = delete;
    ChannelLayout& operator=(const ChannelLayout&) = delete;
    ~ChannelLayout() { av_channel_layout_uninit(&Layout); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

CodecPtr OpenDecoder(const AVCodecParameters& par, AVRational packetTimeBase) {
    const AVCodec* codec = avcodec_find_decoder(par.codec_id);
    if (!codec)
        return nullptr;
    CodecPtr dec(avcodec_alloc_context3(codec));
    if (!dec || avcodec_parameters_to_context(dec.get(), &par) < 0)
        return nullptr;
    dec->thread_count = 1;
    dec->pkt_timebase = packetTimeBase;
    if (avcodec_open2(dec.get(), codec, nullptr) < 0)
        return nullptr;
    return dec;
}

// The streams a device can use, chosen at open with their decoders' parameters, or the
// reason the file's video cannot be shown (a file with a picture never opens as sound
// alone).
struct Choice {
    int Video = -1;
    int Audio = -1;
    ParametersPtr VideoPar{avcodec_parameters_alloc()};
    ParametersPtr AudioPar{avcodec_parameters_alloc()};
    AviVideoFormat Format;
    MCIERROR Refused = 0;
    std::string Reason;
};

// The first video stream and the first sound stream of the headers.
Choice ChooseStreams(const std::vector<AviStreamHeader>& headers, const std::string& name) {
    Choice c;
    if (!c.VideoPar || !c.AudioPar) {
        c.Refused = MCIERR_OUT_OF_MEMORY;
        return c;
    }
    for (std::size_t k = 0; k < headers.size() && k < 100; ++k) {
        // A video stream whose format cannot be read (cut short) is a damaged file, not
        // one to play as sound alone.
        if (headers[k].Type == "vids" && c.Video < 0) {
            if (!VideoParameters(headers[k], *c.VideoPar, c.Format)) {
                c.Refused = MCIERR_INVALID_FILE;
                return c;
            }
            c.Video = int(k);
        } else if (headers[k].Type == "auds" && c.Audio < 0 &&
                   SoundParameters(headers[k], *c.AudioPar))
            c.Audio = int(k);
    }
    if (c.Video >= 0) {
        const AVCodecParameters* par = c.VideoPar.get();
        const std::string size = std::to_string(par->width) + " x " + std::to_string(par->height);
        if (std::int64_t(par->width) * par->height > MaxPixels) {
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
        const AVCodecParameters* par = c.AudioPar.get();
        if (par->sample_rate <= 0 || par->sample_rate > 768000 || par->ch_layout.nb_channels <= 0 ||
            !avcodec_find_decoder(par->codec_id))
            c.Audio = -1;
    }
    return c;
}

// The video's frame rate: the stream's own rate (a tick of its header is one frame
// slot), or 15 when it is not sane.
AVRational FrameRate(const AviStreamHeader& h) {
    AVRational rate{0, 1};
    if (h.Scale > 0 && h.Rate > 0)
        av_reduce(&rate.num, &rate.den, h.Rate, h.Scale, INT_MAX);
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000 || av_q2d(rate) < 0.1)
        rate = AVRational{15, 1};
    return rate;
}

} // namespace

// The media file over our reading of AVI and FFmpeg's decoders, scaler and resampler.
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
    bool OpenVideo(const AviStreamHeader& header, Choice& choice, AviVideoChunks chunks);
    bool OpenAudio(const AviStreamHeader& header, Choice& choice, AviSoundChunks chunks);
    // The steps of decoding.
    bool DecodeInto(std::int64_t index, VideoImage& image,
                    std::shared_ptr<const user::VideoRows>& rows, bool keepFormat);
    void SeekVideo(std::int64_t picture);
    bool Convert(const AVFrame& frame, VideoImage& image);
    bool Resample(const AVFrame& frame);

    std::unique_ptr<Context> FContext;
};

struct FfmpegFile::Context {
    std::string Path;
    // Pictures: the video stream's packets, which also map its frame slots to the
    // pictures they show.
    std::unique_ptr<AviVideoPackets> Video;
    CodecPtr VideoDecoder;
    ScalerPtr Scaler;
    bool BottomUp = false;       // an uncompressed DIB whose rows the decoder gives upside down
    std::int64_t NextIndex = -1; // the number of the next picture the decoder gives; -1 unknown
    bool VideoEnd = false;       // the decoder has been drained
    // The rows of the picture made last, which the next is compared with as it is made:
    // most often the picture it is drawn over.
    std::shared_ptr<const user::VideoRows> LastRows;
    // Sound.
    std::unique_ptr<AviSoundPackets> Audio;
    CodecPtr AudioDecoder;
    ResamplerPtr Resampler;
    int InFormat = -1, InRate = 0; // the sound the converter was made for
    ChannelLayout InLayout;
    std::vector<std::int16_t> Pending;
    std::size_t PendingStart = 0;
    bool AudioEnd = false;
    std::int64_t SkipToSample = -1; // after a seek: drop what lies before this sample
    std::int64_t NextSample = -1;   // the sample the next decoded sound starts at; -1 unknown
    PacketPtr Packet{av_packet_alloc()};
    FramePtr Frame{av_frame_alloc()};
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
    // The headers say what the streams hold; the chunk lists, what the file backs.
    const std::optional<std::vector<AviStreamHeader>> headers = ReadAviHeaders(path);
    if (!headers)
        return MCIERR_INVALID_FILE;
    Choice choice = ChooseStreams(*headers, name);
    if (choice.Refused) {
        if (!choice.Reason.empty())
            SetErrorDetail(choice.Refused, choice.Reason);
        return choice.Refused;
    }
    if (choice.Video >= 0) {
        std::optional<AviVideoChunks> chunks = ReadAviVideoChunks(path, choice.Video);
        if (!chunks)
            choice.Video = -1;
        else if (!file->OpenVideo((*headers)[std::size_t(choice.Video)], choice,
                                  std::move(*chunks)))
            return MCIERR_INVALID_FILE;
    }
    if (choice.Audio >= 0) {
        std::optional<AviSoundChunks> chunks = ReadAviSoundChunks(path, choice.Audio);
        if ((!chunks ||
             !file->OpenAudio((*headers)[std::size_t(choice.Audio)], choice, std::move(*chunks))) &&
            choice.Video < 0)
            return MCIERR_INVALID_FILE;
    }
    if (choice.Video < 0 && !file->HasAudio())
        return MCIERR_INVALID_FILE;
    if (choice.Video < 0)
        file->FLengthMs = av_rescale(c.Audio->Samples(), 1000, file->FSampleRate);
    out = std::move(file);
    return 0;
}

bool FfmpegFile::OpenVideo(const AviStreamHeader& header, Choice& choice, AviVideoChunks chunks) {
    Context& c = *FContext;
    const AVRational rate = FrameRate(header);
    FRateNum = rate.num;
    FRateDen = rate.den;
    FWidth = choice.VideoPar->width;
    FHeight = choice.VideoPar->height;
    FFrameCount = std::int64_t(chunks.Slots.size());
    FLengthMs = av_rescale(FFrameCount, 1000LL * rate.den, rate.num);
    c.Video = std::make_unique<AviVideoPackets>(c.Path, std::move(chunks), choice.Format,
                                                *choice.VideoPar);
    if (!c.Video->IsOpen() ||
        !(c.VideoDecoder = OpenDecoder(c.Video->Parameters(), AVRational{rate.den, rate.num})))
        return false;
    // Uncompressed DIBs are stored bottom-up unless their height is negative; the
    // decoders of compressed ones know their own order.
    c.BottomUp = choice.Format.BottomUp && choice.VideoPar->codec_id == AV_CODEC_ID_RAWVIDEO &&
                 (choice.VideoPar->codec_tag == 0 || choice.VideoPar->codec_tag == 3);
    c.NextIndex = 0;
    FVideoStream = choice.Video;
    return true;
}

bool FfmpegFile::OpenAudio(const AviStreamHeader& header, Choice& choice, AviSoundChunks chunks) {
    Context& c = *FContext;
    const AVCodecParameters& par = *choice.AudioPar;
    // The sound reads on with a position of its own; its packets count samples.
    c.Audio = std::make_unique<AviSoundPackets>(c.Path, std::move(chunks), header, par);
    if (!c.Audio->IsOpen() || !(c.AudioDecoder = OpenDecoder(par, AVRational{1, par.sample_rate})))
        return false;
    FSampleRate = par.sample_rate;
    FChannels = std::min(2, c.AudioDecoder->ch_layout.nb_channels);
    FAudioStream = choice.Audio;
    return true;
}

std::int64_t FfmpegFile::PictureOf(std::int64_t frame) const {
    const Context& c = *FContext;
    return c.Video ? c.Video->Pictures().PictureOf(frame) : frame;
}

bool FfmpegFile::DecodeFrame(std::int64_t index, VideoImage& image) {
    std::shared_ptr<const user::VideoRows> rows;
    return DecodeInto(index, image, rows, false);
}

bool FfmpegFile::DecodeFrame(std::int64_t index, VideoImage& image,
                             std::shared_ptr<const user::VideoRows>& rows) {
    return DecodeInto(index, image, rows, true);
}

namespace {

// Turns the rows of a picture of one plane (and a palette) upside down, in place of
// copying them: its data starts at the last row and steps back.
void FlipRows(AVFrame& frame) {
    if (frame.height <= 0 || !frame.data[0])
        return;
    frame.data[0] += std::ptrdiff_t(frame.linesize[0]) * (frame.height - 1);
    frame.linesize[0] = -frame.linesize[0];
}

} // namespace

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
            // AVI has no presentation times: its pictures come out in the order they are
            // shown, one for each chunk that is not empty, so they are counted.
            const std::int64_t at = std::max<std::int64_t>(c.NextIndex, 0);
            c.NextIndex = at + 1;
            bool shown = false;
            if (at >= picture) {
                if (c.BottomUp)
                    FlipRows(*c.Frame);
                if (keepFormat && (rows = MakeFrameRows(*c.Frame, c.LastRows.get()))) {
                    c.LastRows = rows;
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
        if (!c.Video->Next(*c.Packet)) {
            avcodec_send_packet(c.VideoDecoder.get(), nullptr);
            flushing = true;
            continue;
        }
        avcodec_send_packet(c.VideoDecoder.get(), c.Packet.get());
        av_packet_unref(c.Packet.get());
    }
}

void FfmpegFile::SeekVideo(std::int64_t picture) {
    Context& c = *FContext;
    c.NextIndex = c.Video->Seek(picture);
    avcodec_flush_buffers(c.VideoDecoder.get());
    c.VideoEnd = false;
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
    const std::int64_t target = av_rescale(std::max<std::int64_t>(0, ms), FSampleRate, 1000);
    c.NextSample = c.Audio->Seek(target);
    avcodec_flush_buffers(c.AudioDecoder.get());
    c.Pending.clear();
    c.PendingStart = 0;
    c.AudioEnd = false;
    c.SkipToSample = target;
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
        if (!c.Audio->Next(*c.Packet)) {
            avcodec_send_packet(c.AudioDecoder.get(), nullptr);
            flushing = true;
            continue;
        }
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
    // The converter is made for the sound the decoder gives, and made again when that
    // changes within the stream (a file whose frames change their channels or rate).
    const bool same = c.Resampler && frame.format == c.InFormat && frame.sample_rate == c.InRate &&
                      av_channel_layout_compare(&frame.ch_layout, &c.InLayout.Layout) == 0;
    if (!same) {
        c.Resampler.reset();
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, FChannels);
        SwrContext* made = nullptr;
        const bool ok =
            frame.sample_rate > 0 && frame.ch_layout.nb_channels > 0 &&
            swr_alloc_set_opts2(&made, &outLayout, AV_SAMPLE_FMT_S16, FSampleRate,
                                const_cast<AVChannelLayout*>(&frame.ch_layout),
                                AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr) >= 0;
        c.Resampler.reset(made);
        if (!ok || swr_init(c.Resampler.get()) < 0 ||
            av_channel_layout_copy(&c.InLayout.Layout, &frame.ch_layout) < 0) {
            c.Resampler.reset();
            return false;
        }
        c.InFormat = frame.format;
        c.InRate = frame.sample_rate;
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
    // After a seek, the samples before the target are dropped: the decoded sound starts
    // at its packet's stamp, or where the one before it ended.
    const std::int64_t ts = frame.best_effort_timestamp;
    const std::int64_t first = ts != AV_NOPTS_VALUE ? ts : c.NextSample;
    if (c.SkipToSample >= 0 && first >= 0) {
        const std::int64_t drop =
            std::clamp<std::int64_t>(c.SkipToSample - first, 0, std::max(made, 0));
        c.Pending.erase(c.Pending.begin() + std::ptrdiff_t(at),
                        c.Pending.begin() + std::ptrdiff_t(at + std::size_t(drop) * ch));
        if (first + std::max(made, 0) >= c.SkipToSample)
            c.SkipToSample = -1;
    }
    if (first >= 0)
        c.NextSample = first + std::max(made, 0);
    return true;
}

} // namespace platform::media
