// Small AVI clips for the media tests, written with libavformat: MPEG-4 part 2 video
// whose frames differ from each other in every region, and a 16-bit PCM tone. Also the
// damaged variants the device must survive, and a reference decode of one frame straight
// through FFmpeg to compare the device's pictures against.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

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
    bool Video = true;
    int ToneHz = 440;
    int Rate = 22050;
};

inline void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("clip writer: ") + what);
}

inline void Drain(AVFormatContext* fmt, AVCodecContext* enc, AVStream* st, AVPacket* pkt) {
    while (avcodec_receive_packet(enc, pkt) == 0) {
        av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
        pkt->stream_index = st->index;
        Check(av_interleaved_write_frame(fmt, pkt) >= 0, "write packet");
    }
}

inline void Write(const std::string& path, const Spec& spec) {
    AVFormatContext* fmt = nullptr;
    Check(avformat_alloc_output_context2(&fmt, nullptr, "avi", path.c_str()) >= 0, "context");
    fmt->flags |= AVFMT_FLAG_BITEXACT;
    AVCodecContext* venc = nullptr;
    AVCodecContext* aenc = nullptr;
    AVStream* vst = nullptr;
    AVStream* ast = nullptr;
    if (spec.Video) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        Check(codec, "mpeg4 encoder");
        vst = avformat_new_stream(fmt, nullptr);
        venc = avcodec_alloc_context3(codec);
        venc->width = spec.Width;
        venc->height = spec.Height;
        venc->pix_fmt = AV_PIX_FMT_YUV420P;
        venc->time_base = AVRational{1, spec.Fps};
        venc->framerate = AVRational{spec.Fps, 1};
        venc->gop_size = 10;
        venc->max_b_frames = 0;
        venc->flags |= AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
        venc->global_quality = FF_QP2LAMBDA * 3;
        venc->thread_count = 1;
        Check(avcodec_open2(venc, codec, nullptr) >= 0, "open video encoder");
        avcodec_parameters_from_context(vst->codecpar, venc);
        vst->time_base = venc->time_base;
    }
    if (spec.Sound) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
        ast = avformat_new_stream(fmt, nullptr);
        aenc = avcodec_alloc_context3(codec);
        aenc->sample_rate = spec.Rate;
        aenc->sample_fmt = AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&aenc->ch_layout, 1);
        aenc->time_base = AVRational{1, spec.Rate};
        aenc->flags |= AV_CODEC_FLAG_BITEXACT;
        Check(avcodec_open2(aenc, codec, nullptr) >= 0, "open audio encoder");
        avcodec_parameters_from_context(ast->codecpar, aenc);
        ast->time_base = aenc->time_base;
    }
    Check(avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0, "create file");
    Check(avformat_write_header(fmt, nullptr) >= 0, "header");
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int perFrame = spec.Rate / spec.Fps;
    const int steps = spec.Video ? spec.Frames : spec.Frames; // sound-only: Frames chunks
    std::int64_t sample = 0;
    for (int i = 0; i < steps; ++i) {
        if (venc) {
            av_frame_unref(frame);
            frame->format = venc->pix_fmt;
            frame->width = spec.Width;
            frame->height = spec.Height;
            Check(av_frame_get_buffer(frame, 0) >= 0, "frame buffer");
            for (int y = 0; y < spec.Height; ++y)
                for (int x = 0; x < spec.Width; ++x)
                    frame->data[0][y * frame->linesize[0] + x] =
                        std::uint8_t(16 + ((x * 3 + y * 2 + i * 23) % 200));
            for (int y = 0; y < spec.Height / 2; ++y)
                for (int x = 0; x < spec.Width / 2; ++x) {
                    frame->data[1][y * frame->linesize[1] + x] =
                        std::uint8_t(64 + (i * 37 + x) % 128);
                    frame->data[2][y * frame->linesize[2] + x] =
                        std::uint8_t(64 + (i * 53 + y) % 128);
                }
            frame->pts = i;
            Check(avcodec_send_frame(venc, frame) >= 0, "encode video");
            Drain(fmt, venc, vst, pkt);
        }
        if (aenc) {
            av_frame_unref(frame);
            frame->format = AV_SAMPLE_FMT_S16;
            frame->sample_rate = spec.Rate;
            av_channel_layout_default(&frame->ch_layout, 1);
            frame->nb_samples = perFrame;
            Check(av_frame_get_buffer(frame, 0) >= 0, "sound buffer");
            auto* s = reinterpret_cast<std::int16_t*>(frame->data[0]);
            for (int k = 0; k < perFrame; ++k, ++sample) {
                const int period = spec.Rate / spec.ToneHz;
                s[k] = std::int16_t((sample % period) < period / 2 ? 8000 : -8000);
            }
            frame->pts = sample - perFrame;
            Check(avcodec_send_frame(aenc, frame) >= 0, "encode sound");
            Drain(fmt, aenc, ast, pkt);
        }
    }
    if (venc) {
        avcodec_send_frame(venc, nullptr);
        Drain(fmt, venc, vst, pkt);
    }
    if (aenc) {
        avcodec_send_frame(aenc, nullptr);
        Drain(fmt, aenc, ast, pkt);
    }
    av_write_trailer(fmt);
    avio_closep(&fmt->pb);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&venc);
    avcodec_free_context(&aenc);
    avformat_free_context(fmt);
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
    put(avih + 8 + 16); // dwTotalFrames
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
                pixels.resize(std::size_t(width) * std::size_t(height));
                SwsContext* sws =
                    sws_getContext(width, height, AVPixelFormat(frame->format), width, height,
                                   AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
                std::uint8_t* dst[4] = {reinterpret_cast<std::uint8_t*>(pixels.data())};
                int stride[4] = {width * 4};
                sws_scale(sws, frame->data, frame->linesize, 0, height, dst, stride);
                sws_freeContext(sws);
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
