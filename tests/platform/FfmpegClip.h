// Clips made by FFmpeg's own encoders from a clip of the catalogue's clip writer (whose
// frames carry their number as a frame code), and what FFmpeg itself makes of a file:
// the frame slots of its pictures and every picture decoded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "MciClip.h"
#include "tests/common/Command.h"

namespace ffclip {

// True when this FFmpeg carries the encoder `name`.
inline bool HasEncoder(const std::string& name) {
    const std::string list = testutil::CommandOutput("ffmpeg -hide_banner -encoders 2>/dev/null");
    return list.find(" " + name + " ") != std::string::npos;
}

// Runs ffmpeg with `args` (input and output included); the error text, or empty.
inline std::string Ffmpeg(const std::string& args) {
    const testutil::TCommandRun run =
        testutil::RunCommand("ffmpeg -nostdin -v error -y " + args + " 2>&1");
    return run.Exit == 0 ? std::string() : "ffmpeg " + args + ": " + run.Out;
}

// The frame slot of each picture of the video stream, in the order of the file: an AVI's
// packet timestamps count its slots, empty ones included.
inline std::vector<std::int64_t> PictureSlots(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    mciclip::Check(avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) >= 0, "open");
    avformat_find_stream_info(fmt, nullptr);
    const int vs = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    std::vector<std::int64_t> slots;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == vs && pkt->size > 0)
            slots.push_back((pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts) -
                            std::max<std::int64_t>(0, fmt->streams[vs]->start_time));
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return slots;
}

// The sample frames of the sound stream as FFmpeg decodes it.
inline std::int64_t SoundSamples(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    mciclip::Check(avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) >= 0, "open");
    avformat_find_stream_info(fmt, nullptr);
    const int as = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    mciclip::Check(as >= 0, "no sound");
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[as]->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, fmt->streams[as]->codecpar);
    avcodec_open2(dec, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::int64_t samples = 0;
    for (bool more = true; more;) {
        more = av_read_frame(fmt, pkt) >= 0;
        if (!more)
            avcodec_send_packet(dec, nullptr);
        else if (pkt->stream_index == as)
            avcodec_send_packet(dec, pkt);
        av_packet_unref(pkt);
        while (avcodec_receive_frame(dec, frame) == 0)
            samples += frame->nb_samples;
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return samples;
}

// The picture on show in `slot`: the last one whose slot is not after it.
inline std::size_t PictureOfSlot(const std::vector<std::int64_t>& slots, std::int64_t slot) {
    std::size_t k = 0;
    while (k + 1 < slots.size() && slots[k + 1] <= slot)
        ++k;
    return k;
}

struct Picture {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels; // 0x00RRGGBB
    std::uint32_t At(int x, int y) const {
        return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
    }
};

// Every picture of the file as FFmpeg decodes it, in the order it gives them.
inline std::vector<Picture> AllPictures(const std::string& path) {
    std::vector<Picture> pictures;
    for (int k = 0;; ++k) {
        Picture p;
        p.Pixels = mciclip::ReferenceFrame(path, k, p.Width, p.Height);
        if (p.Pixels.empty())
            return pictures;
        pictures.push_back(std::move(p));
    }
}

// The largest of the mean absolute differences of the three channels of two pictures of
// one size, or 255 when their sizes differ.
template <class Pixel>
double MeanAbsoluteError(const Picture& want, int width, int height, Pixel pixel) {
    if (want.Width != width || want.Height != height)
        return 255;
    double sum[3] = {0, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t a = want.At(x, y), b = pixel(x, y);
            for (int c = 0; c < 3; ++c)
                sum[c] += std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF));
        }
    const double n = double(width) * double(height);
    return std::max(std::initializer_list<double>{sum[0] / n, sum[1] / n, sum[2] / n});
}

} // namespace ffclip
