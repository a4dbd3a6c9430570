// The media module's codec tables and the decoder parameters it reads from the formats
// of AVI streams: BITMAPINFOHEADER with its extra bytes and colour table,
// WAVEFORMATEX with its extra bytes, and the extensible form of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ffmpeg/AviCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

using namespace platform::media;

TEST(AviCodecs, CompressionCodesAndFormatTagsNameTheirDecoders) {
    struct VideoCase {
        std::uint32_t Code;
        AVCodecID Codec;
    };
    const VideoCase videos[] = {
        {Fourcc("FMP4"), AV_CODEC_ID_MPEG4},
        {Fourcc("XVID"), AV_CODEC_ID_MPEG4},
        {Fourcc("xvid"), AV_CODEC_ID_MPEG4},
        {Fourcc("DIVX"), AV_CODEC_ID_MPEG4},
        {Fourcc("DX50"), AV_CODEC_ID_MPEG4},
        {Fourcc("MP4V"), AV_CODEC_ID_MPEG4},
        {Fourcc("H264"), AV_CODEC_ID_H264},
        {Fourcc("avc1"), AV_CODEC_ID_H264},
        {Fourcc("MJPG"), AV_CODEC_ID_MJPEG},
        {Fourcc("cvid"), AV_CODEC_ID_CINEPAK},
        {Fourcc("CRAM"), AV_CODEC_ID_MSVIDEO1},
        {Fourcc("MSVC"), AV_CODEC_ID_MSVIDEO1},
        {Fourcc("MP42"), AV_CODEC_ID_MSMPEG4V2},
        {Fourcc("DIV3"), AV_CODEC_ID_MSMPEG4V3},
        {Fourcc("MP43"), AV_CODEC_ID_MSMPEG4V3},
        {Fourcc("IV32"), AV_CODEC_ID_INDEO3},
        {0, AV_CODEC_ID_RAWVIDEO},
        {3, AV_CODEC_ID_RAWVIDEO},
        {1, AV_CODEC_ID_MSRLE},
        {2, AV_CODEC_ID_MSRLE},
        {Fourcc("QZQZ"), AV_CODEC_ID_NONE},
        {Fourcc("FMP5"), AV_CODEC_ID_NONE},
    };
    for (const VideoCase& c : videos) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char*>(&c.Code), 4));
        EXPECT_EQ(VideoCodecOf(c.Code), c.Codec);
        if (c.Codec != AV_CODEC_ID_NONE) {
            EXPECT_NE(avcodec_find_decoder(c.Codec), nullptr);
        }
    }
    struct SoundCase {
        std::uint32_t Tag;
        int Bits;
        AVCodecID Codec;
    };
    const SoundCase sounds[] = {
        {0x0001, 8, AV_CODEC_ID_PCM_U8},     {0x0001, 16, AV_CODEC_ID_PCM_S16LE},
        {0x0001, 24, AV_CODEC_ID_PCM_S24LE}, {0x0001, 32, AV_CODEC_ID_PCM_S32LE},
        {0x0003, 32, AV_CODEC_ID_PCM_F32LE}, {0x0003, 64, AV_CODEC_ID_PCM_F64LE},
        {0x0002, 4, AV_CODEC_ID_ADPCM_MS},   {0x0011, 4, AV_CODEC_ID_ADPCM_IMA_WAV},
        {0x0055, 0, AV_CODEC_ID_MP3},        {0x0050, 0, AV_CODEC_ID_MP2},
        {0x0006, 8, AV_CODEC_ID_PCM_ALAW},   {0x0007, 8, AV_CODEC_ID_PCM_MULAW},
        {0x2000, 0, AV_CODEC_ID_AC3},        {0x1234, 16, AV_CODEC_ID_NONE},
    };
    for (const SoundCase& c : sounds) {
        SCOPED_TRACE(std::to_string(c.Tag) + "/" + std::to_string(c.Bits));
        EXPECT_EQ(SoundCodecOf(c.Tag, c.Bits), c.Codec);
    }
}

void Put(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
        b[at + std::size_t(k)] = (unsigned char)(v >> (8 * k));
}

// A BITMAPINFOHEADER followed by `extra` bytes.
std::vector<unsigned char> BitmapInfo(std::int32_t width, std::int32_t height, int bits,
                                      std::uint32_t compression, std::uint32_t used,
                                      const std::vector<unsigned char>& extra) {
    std::vector<unsigned char> b(40 + extra.size());
    Put(b, 0, 40, 4);
    Put(b, 4, std::uint32_t(width), 4);
    Put(b, 8, std::uint32_t(height), 4);
    Put(b, 12, 1, 2);
    Put(b, 14, std::uint32_t(bits), 2);
    Put(b, 16, compression, 4);
    Put(b, 32, used, 4);
    for (std::size_t k = 0; k < extra.size(); ++k)
        b[40 + k] = extra[k];
    return b;
}

struct ParametersHolder {
    AVCodecParameters* Par = avcodec_parameters_alloc();
    ~ParametersHolder() { avcodec_parameters_free(&Par); }
};

TEST(AviCodecs, BitmapInfoGivesSizeOrderPaletteAndExtradata) {
    struct Case {
        const char* Name;
        std::vector<unsigned char> Format;
        std::string Handler;
        bool Ok;
        AVCodecID Codec;
        int Width, Height;
        bool BottomUp;
        std::vector<std::uint32_t> Palette; // its first entries
        int Extradata;
    };
    // Two colour table entries, blue-green-red-reserved each.
    const std::vector<unsigned char> twoColours = {0x10, 0x20, 0x30, 0x99, 0xFF, 0x00, 0x80, 0};
    const Case cases[] = {
        {"8-bit DIB stored bottom-up, two colours used",
         BitmapInfo(160, 120, 8, 0, 2, twoColours),
         "",
         true,
         AV_CODEC_ID_RAWVIDEO,
         160,
         120,
         true,
         {0xFF302010u, 0xFF8000FFu, 0xFF000000u},
         8},
        {"24-bit DIB stored top-down",
         BitmapInfo(64, -48, 24, 0, 0, {}),
         "",
         true,
         AV_CODEC_ID_RAWVIDEO,
         64,
         48,
         false,
         {},
         0},
        {"MPEG-4 with its sequence header after the bitmap header",
         BitmapInfo(700, 628, 24, Fourcc("XVID"), 0, {0, 0, 1, 0xB0, 1}),
         "",
         true,
         AV_CODEC_ID_MPEG4,
         700,
         628,
         true,
         {},
         5},
        {"8-bit RLE with a colour table cut short",
         BitmapInfo(32, 32, 8, 1, 0, {1, 2, 3, 0, 4, 5}),
         "",
         true,
         AV_CODEC_ID_MSRLE,
         32,
         32,
         true,
         {0xFF030201u, 0xFF000000u},
         6},
        {"unknown compression, known handler",
         BitmapInfo(32, 32, 16, Fourcc("QZQZ"), 0, {}),
         "cvid",
         true,
         AV_CODEC_ID_CINEPAK,
         32,
         32,
         true,
         {},
         0},
        {"unknown compression and handler",
         BitmapInfo(160, 120, 16, Fourcc("QZQZ"), 0, {}),
         "QZQZ",
         true,
         AV_CODEC_ID_NONE,
         160,
         120,
         true,
         {},
         0},
        {"a negative width",
         BitmapInfo(-5, 10, 24, 0, 0, {}),
         "",
         true,
         AV_CODEC_ID_RAWVIDEO,
         0,
         10,
         true,
         {},
         0},
        {"shorter than a bitmap header",
         std::vector<unsigned char>(39, 0),
         "",
         false,
         AV_CODEC_ID_NONE,
         0,
         0,
         false,
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        AviStreamHeader header;
        header.Type = "vids";
        header.Handler = c.Handler;
        header.Format = c.Format;
        ParametersHolder holder;
        AviVideoFormat format;
        ASSERT_EQ(VideoParameters(header, *holder.Par, format), c.Ok);
        if (!c.Ok)
            continue;
        const AVCodecParameters& par = *holder.Par;
        EXPECT_EQ(par.codec_type, AVMEDIA_TYPE_VIDEO);
        EXPECT_EQ(par.codec_id, c.Codec);
        EXPECT_EQ(par.codec_tag, std::uint32_t(c.Format[16]) | std::uint32_t(c.Format[17]) << 8 |
                                     std::uint32_t(c.Format[18]) << 16 |
                                     std::uint32_t(c.Format[19]) << 24);
        EXPECT_EQ(par.width, c.Width);
        EXPECT_EQ(par.height, c.Height);
        EXPECT_EQ(format.BottomUp, c.BottomUp);
        EXPECT_EQ(par.extradata_size, c.Extradata);
        if (c.Extradata > 0) {
            ASSERT_NE(par.extradata, nullptr);
            EXPECT_EQ(par.extradata[0], c.Format[40]);
        }
        if (c.Palette.empty()) {
            EXPECT_TRUE(format.Palette.empty());
        } else {
            ASSERT_EQ(format.Palette.size(), 256u);
            for (std::size_t k = 0; k < c.Palette.size(); ++k)
                EXPECT_EQ(format.Palette[k], c.Palette[k]) << k;
        }
    }
}

// A WAVEFORMATEX whose cbSize is `extraSize`, followed by `extra`.
std::vector<unsigned char> WaveFormat(std::uint32_t tag, int channels, std::uint32_t rate,
                                      int align, int bits, std::uint32_t extraSize,
                                      const std::vector<unsigned char>& extra) {
    std::vector<unsigned char> b(18 + extra.size());
    Put(b, 0, tag, 2);
    Put(b, 2, std::uint32_t(channels), 2);
    Put(b, 4, rate, 4);
    Put(b, 8, rate * std::uint32_t(align), 4);
    Put(b, 12, std::uint32_t(align), 2);
    Put(b, 14, std::uint32_t(bits), 2);
    Put(b, 16, extraSize, 2);
    for (std::size_t k = 0; k < extra.size(); ++k)
        b[18 + k] = extra[k];
    return b;
}

TEST(AviCodecs, WaveFormatGivesCodecRateChannelsAndExtradata) {
    // WAVE_FORMAT_EXTENSIBLE: 16 valid bits, front left and right, the PCM sub-format.
    std::vector<unsigned char> extensible(22, 0);
    Put(extensible, 0, 16, 2);
    Put(extensible, 2, 0x3, 4);
    Put(extensible, 6, 0x0001, 2);
    struct Case {
        const char* Name;
        std::vector<unsigned char> Format;
        bool Ok;
        AVCodecID Codec;
        int Rate, Channels, BlockAlign;
        int Extradata;
    };
    const Case cases[] = {
        {"16-bit PCM", WaveFormat(1, 2, 44100, 4, 16, 0, {}), true, AV_CODEC_ID_PCM_S16LE, 44100, 2,
         4, 0},
        {"8-bit PCM without cbSize",
         [] {
             std::vector<unsigned char> b = WaveFormat(1, 1, 11025, 1, 8, 0, {});
             b.resize(16);
             return b;
         }(),
         true, AV_CODEC_ID_PCM_U8, 11025, 1, 1, 0},
        {"MS ADPCM with its coefficients", WaveFormat(2, 1, 22050, 1024, 4, 4, {1, 2, 3, 4}), true,
         AV_CODEC_ID_ADPCM_MS, 22050, 1, 1024, 4},
        {"cbSize past the end of the format", WaveFormat(0x11, 2, 44100, 2048, 4, 40, {7, 7}), true,
         AV_CODEC_ID_ADPCM_IMA_WAV, 44100, 2, 2048, 2},
        {"extensible PCM", WaveFormat(0xFFFE, 2, 48000, 4, 16, 22, extensible), true,
         AV_CODEC_ID_PCM_S16LE, 48000, 2, 4, 0},
        {"unknown tag", WaveFormat(0x1234, 1, 22050, 2, 16, 0, {}), true, AV_CODEC_ID_NONE, 22050,
         1, 2, 0},
        {"shorter than a wave format", std::vector<unsigned char>(13, 0), false, AV_CODEC_ID_NONE,
         0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        AviStreamHeader header;
        header.Type = "auds";
        header.Format = c.Format;
        ParametersHolder holder;
        ASSERT_EQ(SoundParameters(header, *holder.Par), c.Ok);
        if (!c.Ok)
            continue;
        const AVCodecParameters& par = *holder.Par;
        EXPECT_EQ(par.codec_type, AVMEDIA_TYPE_AUDIO);
        EXPECT_EQ(par.codec_id, c.Codec);
        EXPECT_EQ(par.sample_rate, c.Rate);
        EXPECT_EQ(par.ch_layout.nb_channels, c.Channels);
        EXPECT_EQ(par.block_align, c.BlockAlign);
        EXPECT_EQ(par.extradata_size, c.Extradata);
    }
}

} // namespace
