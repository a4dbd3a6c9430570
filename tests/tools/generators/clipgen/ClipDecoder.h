// Test helpers: a clip read back with FFmpeg the way a
// player reads it (packets counted and decoded, frames turned into RGB by swscale, the
// sound's samples collected), independent of the writer's own code.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/TempDir.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace cliptest {

using testutil::TTempDir;

inline std::vector<char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TDecodedClip {
    int Width = 0, Height = 0;
    AVRational FrameRate{0, 1};
    std::int64_t HeaderFrames = 0; // what the container's header claims
    int VideoPackets = 0;
    int DecodedFrames = 0;
    bool HasSound = false;
    int SampleRate = 0;
    std::vector<std::int16_t> Samples;
    // Decoded frames as 0xRRGGBB pixels, for the frame indices asked for.
    std::vector<std::vector<std::uint32_t>> Pictures;
    std::uint32_t Pixel(int picture, int x, int y) const {
        return Pictures[std::size_t(picture)][std::size_t(y) * std::size_t(Width) + std::size_t(x)];
    }
};

// Reads the whole clip; `keep` names the decoded frames (0-based) whose pixels are kept.
inline TDecodedClip DecodeClip(const std::string& path, const std::set<int>& keep = {}) {
    TDecodedClip out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("FFmpeg cannot open " + path);
    if (avformat_find_stream_info(format, nullptr) < 0)
        throw std::runtime_error("no stream info in " + path);
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int sound = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0)
        throw std::runtime_error("no video stream in " + path);
    AVStream* vs = format->streams[video];
    out.HeaderFrames = vs->nb_frames;
    out.FrameRate = vs->avg_frame_rate.num ? vs->avg_frame_rate : vs->r_frame_rate;
    out.HasSound = sound >= 0;
    if (out.HasSound) {
        AVCodecParameters* par = format->streams[sound]->codecpar;
        out.SampleRate = par->sample_rate;
        if (par->codec_id != AV_CODEC_ID_PCM_S16LE || par->ch_layout.nb_channels != 1)
            throw std::runtime_error("sound is not mono 16-bit PCM");
    }
    const AVCodec* codec = avcodec_find_decoder(vs->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, vs->codecpar);
    decoder->thread_count = 1;
    if (avcodec_open2(decoder, codec, nullptr) < 0)
        throw std::runtime_error("no decoder for " + path);
    out.Width = decoder->width;
    out.Height = decoder->height;

    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto takeFrames = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            if (keep.count(out.DecodedFrames)) {
                std::vector<std::uint32_t> rgb(std::size_t(out.Width) * std::size_t(out.Height));
                SwsContext* sws = sws_getContext(
                    frame->width, frame->height, AVPixelFormat(frame->format), out.Width,
                    out.Height, AV_PIX_FMT_BGRA, SWS_POINT | SWS_ACCURATE_RND | SWS_BITEXACT,
                    nullptr, nullptr, nullptr);
                std::uint8_t* dst[1] = {reinterpret_cast<std::uint8_t*>(rgb.data())};
                int dstStride[1] = {out.Width * 4};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
                sws_freeContext(sws);
                for (auto& p : rgb) // BGRA bytes read as a little-endian word are 0xAARRGGBB
                    p &= 0xFFFFFF;
                out.Pictures.push_back(std::move(rgb));
            }
            ++out.DecodedFrames;
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == video) {
            ++out.VideoPackets;
            avcodec_send_packet(decoder, packet);
            takeFrames();
        } else if (packet->stream_index == sound) {
            for (int i = 0; i + 1 < packet->size; i += 2)
                out.Samples.push_back(std::int16_t(packet->data[i] | (packet->data[i + 1] << 8)));
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    takeFrames();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return out;
}

} // namespace cliptest
