// Clips for the media tests, written with the catalogue's clip writer (MPEG-4 part 2
// video whose frames carry their number, a 22050 Hz mono 16-bit tone), a sound-only copy,
// the damaged variants the device must survive, and a reference decode of one frame
// straight through FFmpeg to compare the device's pictures against.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/generators/clipgen/ClipWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswscale/swscale.h>
}

namespace mciclip {

struct Spec {
    int Frames = 15;
    int Width = 64;
    int Height = 48;
    int Fps = 15;
    bool Sound = true;
    bool Video = true; // false: the clip's sound alone, copied out of a clip
    int ToneHz = 440;
};

inline void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("test clip: ") + what);
}

// Copies the sound stream of `from` alone into a new AVI `to`.
inline void CopySound(const std::string& from, const std::string& to) {
    AVFormatContext* in = nullptr;
    Check(avformat_open_input(&in, from.c_str(), nullptr, nullptr) >= 0, "open");
    avformat_find_stream_info(in, nullptr);
    const int as = av_find_best_stream(in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    Check(as >= 0, "no sound");
    AVFormatContext* out = nullptr;
    Check(avformat_alloc_output_context2(&out, nullptr, "avi", to.c_str()) >= 0, "context");
    AVStream* st = avformat_new_stream(out, nullptr);
    avcodec_parameters_copy(st->codecpar, in->streams[as]->codecpar);
    st->codecpar->codec_tag = 0;
    st->time_base = in->streams[as]->time_base;
    Check(avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE) >= 0, "create");
    Check(avformat_write_header(out, nullptr) >= 0, "header");
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(in, pkt) >= 0) {
        if (pkt->stream_index == as) {
            av_packet_rescale_ts(pkt, in->streams[as]->time_base, st->time_base);
            pkt->stream_index = 0;
            pkt->pos = -1;
            av_interleaved_write_frame(out, pkt);
        }
        av_packet_unref(pkt);
    }
    av_write_trailer(out);
    avio_closep(&out->pb);
    av_packet_free(&pkt);
    avformat_free_context(out);
    avformat_close_input(&in);
}

// Writes a clip with the catalogue's clip writer.
inline void Write(const std::string& path, const Spec& spec) {
    clipgen::TClipSpec clip;
    clip.Title = "Test";
    clip.Frames = spec.Frames;
    clip.Width = spec.Width;
    clip.Height = spec.Height;
    clip.FramesPerSecond = spec.Fps;
    clip.ToneHz = spec.ToneHz;
    clip.Sound = spec.Sound;
    if (spec.Video) {
        clipgen::WriteClip(path, clip);
        return;
    }
    clipgen::WriteClip(path + ".full.avi", clip);
    CopySound(path + ".full.avi", path);
    std::remove((path + ".full.avi").c_str());
}

inline std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Overwrites the frame counts of the main and stream headers with `frames`.
inline void LieAboutFrames(const std::string& path, std::uint32_t frames) {
    std::vector<char> b = ReadAll(path);
    auto put = [&](std::size_t at) {
        for (int k = 0; k < 4; ++k)
            b[at + std::size_t(k)] = char((frames >> (8 * k)) & 0xFF);
    };
    const std::string text(b.begin(), b.end());
    std::size_t avih = text.find("avih");
    Check(avih != std::string::npos, "no avih");
    put(avih + 8 + 16);                   // dwTotalFrames
    std::size_t vids = text.find("vids"); // fccType, the first field of the stream header
    Check(vids != std::string::npos, "no video stream header");
    put(vids + 32); // dwLength
    WriteAll(path, b);
}

// Frame `index` of the clip as FFmpeg decodes it, 0x00RRGGBB.
inline std::vector<std::uint32_t> ReferenceFrame(const std::string& path, int index, int& width,
                                                 int& height) {
    AVFormatContext* fmt = nullptr;
    Check(avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) >= 0, "open");
    avformat_find_stream_info(fmt, nullptr);
    int vs = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    Check(vs >= 0, "no video");
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[vs]->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, fmt->streams[vs]->codecpar);
    avcodec_open2(dec, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::uint32_t> pixels;
    int seen = -1;
    bool done = false;
    while (!done) {
        int r = av_read_frame(fmt, pkt);
        if (r < 0)
            avcodec_send_packet(dec, nullptr);
        else if (pkt->stream_index == vs)
            avcodec_send_packet(dec, pkt);
        av_packet_unref(pkt);
        while (avcodec_receive_frame(dec, frame) == 0) {
            if (++seen == index) {
                width = frame->width;
                height = frame->height;
                // Room to spare: the converter writes whole vector blocks.
                pixels.resize(std::size_t(width) * std::size_t(height + 1) + 64);
                SwsContext* sws =
                    sws_getContext(width, height, AVPixelFormat(frame->format), width, height,
                                   AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
                std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(pixels.data())};
                int stride[4] = {width * 4};
                sws_scale(sws, frame->data, frame->linesize, 0, height, dst, stride);
                sws_freeContext(sws);
                pixels.resize(std::size_t(width) * std::size_t(height));
                for (auto& p : pixels)
                    p &= 0xFFFFFF;
                done = true;
            }
            av_frame_unref(frame);
        }
        if (r < 0)
            break;
    }
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return pixels;
}

} // namespace mciclip
