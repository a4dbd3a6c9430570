// The codec tables of AVI streams and the decoder parameters read from their formats.
#include "platform/ffmpeg/AviCodecs.h"

#include <algorithm>
#include <bit>
#include <cstring>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavcodec/defs.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

namespace platform::media {

namespace {

struct VideoTag {
    std::uint32_t Code;
    AVCodecID Codec;
};

// Compression codes, in capitals. BI_RGB (0) and BI_BITFIELDS (3) are uncompressed DIBs,
// BI_RLE8 (1) and BI_RLE4 (2) run-length encoded ones.
const VideoTag VideoTags[] = {
    {0, AV_CODEC_ID_RAWVIDEO},
    {3, AV_CODEC_ID_RAWVIDEO},
    {1, AV_CODEC_ID_MSRLE},
    {2, AV_CODEC_ID_MSRLE},
    {Fourcc("MRLE"), AV_CODEC_ID_MSRLE},
    // MPEG-4 Part 2 and the encoders that wrote it.
    {Fourcc("FMP4"), AV_CODEC_ID_MPEG4},
    {Fourcc("DIVX"), AV_CODEC_ID_MPEG4},
    {Fourcc("DX50"), AV_CODEC_ID_MPEG4},
    {Fourcc("XVID"), AV_CODEC_ID_MPEG4},
    {Fourcc("MP4S"), AV_CODEC_ID_MPEG4},
    {Fourcc("M4S2"), AV_CODEC_ID_MPEG4},
    {Fourcc("MP4V"), AV_CODEC_ID_MPEG4},
    {Fourcc("UMP4"), AV_CODEC_ID_MPEG4},
    {Fourcc("DIV1"), AV_CODEC_ID_MPEG4},
    {Fourcc("BLZ0"), AV_CODEC_ID_MPEG4},
    {Fourcc("3IV2"), AV_CODEC_ID_MPEG4},
    {Fourcc("RMP4"), AV_CODEC_ID_MPEG4},
    {Fourcc("SEDG"), AV_CODEC_ID_MPEG4},
    {Fourcc("WV1F"), AV_CODEC_ID_MPEG4},
    {Fourcc("DXGM"), AV_CODEC_ID_MPEG4},
    {Fourcc("SMP4"), AV_CODEC_ID_MPEG4},
    {Fourcc("GEOX"), AV_CODEC_ID_MPEG4},
    {Fourcc("\x04\0\0\0"), AV_CODEC_ID_MPEG4},
    // H.264 and H.265.
    {Fourcc("H264"), AV_CODEC_ID_H264},
    {Fourcc("X264"), AV_CODEC_ID_H264},
    {Fourcc("AVC1"), AV_CODEC_ID_H264},
    {Fourcc("DAVC"), AV_CODEC_ID_H264},
    {Fourcc("VSSH"), AV_CODEC_ID_H264},
    {Fourcc("Q264"), AV_CODEC_ID_H264},
    {Fourcc("V264"), AV_CODEC_ID_H264},
    {Fourcc("GAVC"), AV_CODEC_ID_H264},
    {Fourcc("HEVC"), AV_CODEC_ID_HEVC},
    {Fourcc("H265"), AV_CODEC_ID_HEVC},
    {Fourcc("X265"), AV_CODEC_ID_HEVC},
    {Fourcc("HVC1"), AV_CODEC_ID_HEVC},
    // Microsoft's MPEG-4 variants and Windows Media Video.
    {Fourcc("MPG4"), AV_CODEC_ID_MSMPEG4V1},
    {Fourcc("MP41"), AV_CODEC_ID_MSMPEG4V1},
    {Fourcc("MP42"), AV_CODEC_ID_MSMPEG4V2},
    {Fourcc("DIV2"), AV_CODEC_ID_MSMPEG4V2},
    {Fourcc("DIV3"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("MP43"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("MPG3"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("DIV4"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("DIV5"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("DIV6"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("AP41"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("COL1"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("COL0"), AV_CODEC_ID_MSMPEG4V3},
    {Fourcc("WMV1"), AV_CODEC_ID_WMV1},
    {Fourcc("WMV2"), AV_CODEC_ID_WMV2},
    {Fourcc("WMV3"), AV_CODEC_ID_WMV3},
    {Fourcc("WVC1"), AV_CODEC_ID_VC1},
    // H.263 and the MPEG video of discs.
    {Fourcc("H263"), AV_CODEC_ID_H263},
    {Fourcc("X263"), AV_CODEC_ID_H263},
    {Fourcc("T263"), AV_CODEC_ID_H263},
    {Fourcc("L263"), AV_CODEC_ID_H263},
    {Fourcc("VX1K"), AV_CODEC_ID_H263},
    {Fourcc("ZYGO"), AV_CODEC_ID_H263},
    {Fourcc("M263"), AV_CODEC_ID_H263},
    {Fourcc("H261"), AV_CODEC_ID_H261},
    {Fourcc("MPG1"), AV_CODEC_ID_MPEG1VIDEO},
    {Fourcc("PIM1"), AV_CODEC_ID_MPEG1VIDEO},
    {Fourcc("MPG2"), AV_CODEC_ID_MPEG2VIDEO},
    {Fourcc("MPEG"), AV_CODEC_ID_MPEG2VIDEO},
    {Fourcc("MMES"), AV_CODEC_ID_MPEG2VIDEO},
    // Motion JPEG.
    {Fourcc("MJPG"), AV_CODEC_ID_MJPEG},
    {Fourcc("AVRN"), AV_CODEC_ID_MJPEG},
    {Fourcc("AVDJ"), AV_CODEC_ID_MJPEG},
    {Fourcc("DMB1"), AV_CODEC_ID_MJPEG},
    {Fourcc("JPGL"), AV_CODEC_ID_MJPEG},
    {Fourcc("ACDV"), AV_CODEC_ID_MJPEG},
    {Fourcc("QIVG"), AV_CODEC_ID_MJPEG},
    {Fourcc("SLMJ"), AV_CODEC_ID_MJPEG},
    {Fourcc("CJPG"), AV_CODEC_ID_MJPEG},
    {Fourcc("IJPG"), AV_CODEC_ID_MJPEG},
    {Fourcc("MTSJ"), AV_CODEC_ID_MJPEG},
    {Fourcc("JPEG"), AV_CODEC_ID_MJPEG},
    // The codecs of Video for Windows and of the discs of its time.
    {Fourcc("CVID"), AV_CODEC_ID_CINEPAK},
    {Fourcc("CRAM"), AV_CODEC_ID_MSVIDEO1},
    {Fourcc("MSVC"), AV_CODEC_ID_MSVIDEO1},
    {Fourcc("WHAM"), AV_CODEC_ID_MSVIDEO1},
    {Fourcc("IV31"), AV_CODEC_ID_INDEO3},
    {Fourcc("IV32"), AV_CODEC_ID_INDEO3},
    {Fourcc("IV41"), AV_CODEC_ID_INDEO4},
    {Fourcc("IV50"), AV_CODEC_ID_INDEO5},
    {Fourcc("ULTI"), AV_CODEC_ID_ULTI},
    {Fourcc("VCR1"), AV_CODEC_ID_VCR1},
    {Fourcc("CLJR"), AV_CODEC_ID_CLJR},
    {Fourcc("8BPS"), AV_CODEC_ID_8BPS},
    {Fourcc("TSCC"), AV_CODEC_ID_TSCC},
    {Fourcc("AASC"), AV_CODEC_ID_AASC},
    {Fourcc("QPEG"), AV_CODEC_ID_QPEG},
    {Fourcc("Q1.0"), AV_CODEC_ID_QPEG},
    {Fourcc("Q1.1"), AV_CODEC_ID_QPEG},
    {Fourcc("LOCO"), AV_CODEC_ID_LOCO},
    {Fourcc("WNV1"), AV_CODEC_ID_WNV1},
    {Fourcc("FPS1"), AV_CODEC_ID_FRAPS},
    {Fourcc("CSCD"), AV_CODEC_ID_CSCD},
    {Fourcc("ZMBV"), AV_CODEC_ID_ZMBV},
    {Fourcc("MSZH"), AV_CODEC_ID_MSZH},
    {Fourcc("ZLIB"), AV_CODEC_ID_ZLIB},
    {Fourcc("VP30"), AV_CODEC_ID_VP3},
    {Fourcc("VP31"), AV_CODEC_ID_VP3},
    {Fourcc("VP60"), AV_CODEC_ID_VP6},
    {Fourcc("VP61"), AV_CODEC_ID_VP6},
    {Fourcc("VP62"), AV_CODEC_ID_VP6},
    {Fourcc("VP6F"), AV_CODEC_ID_VP6F},
    {Fourcc("VP80"), AV_CODEC_ID_VP8},
    {Fourcc("VP90"), AV_CODEC_ID_VP9},
    {Fourcc("AV01"), AV_CODEC_ID_AV1},
    {Fourcc("DVSD"), AV_CODEC_ID_DVVIDEO},
    {Fourcc("DVHD"), AV_CODEC_ID_DVVIDEO},
    {Fourcc("DVSL"), AV_CODEC_ID_DVVIDEO},
    {Fourcc("DV25"), AV_CODEC_ID_DVVIDEO},
    {Fourcc("DV50"), AV_CODEC_ID_DVVIDEO},
    {Fourcc("HFYU"), AV_CODEC_ID_HUFFYUV},
    {Fourcc("FFVH"), AV_CODEC_ID_FFVHUFF},
    {Fourcc("FFV1"), AV_CODEC_ID_FFV1},
    {Fourcc("MPNG"), AV_CODEC_ID_PNG},
    {Fourcc("PNG1"), AV_CODEC_ID_PNG},
    {Fourcc("MAGY"), AV_CODEC_ID_MAGICYUV},
    {Fourcc("ULRA"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULRG"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULY0"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULY2"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULY4"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULH0"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULH2"), AV_CODEC_ID_UTVIDEO},
    {Fourcc("ULH4"), AV_CODEC_ID_UTVIDEO},
    // Uncompressed YUV, told apart by the raw decoder from the tag.
    {Fourcc("I420"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("IYUV"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("YV12"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("YUY2"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("UYVY"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("Y800"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("NV12"), AV_CODEC_ID_RAWVIDEO},
    {Fourcc("NV21"), AV_CODEC_ID_RAWVIDEO},
};

std::uint32_t Upper(std::uint32_t code) {
    std::uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        std::uint32_t c = (code >> (8 * k)) & 0xFF;
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        out |= c << (8 * k);
    }
    return out;
}

std::uint32_t Le16(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t Le32(const unsigned char* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

// Copies `n` bytes at `from` into the parameters' extradata, with the padding
// libavcodec reads past its end.
bool SetExtradata(AVCodecParameters& par, const unsigned char* from, std::size_t n) {
    av_freep(&par.extradata);
    par.extradata_size = 0;
    if (n == 0)
        return true;
    par.extradata = static_cast<std::uint8_t*>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par.extradata)
        return false;
    std::memcpy(par.extradata, from, n);
    par.extradata_size = int(n);
    return true;
}

} // namespace

AVCodecID VideoCodecOf(std::uint32_t fourcc) {
    const std::uint32_t code = Upper(fourcc);
    for (const VideoTag& t : VideoTags)
        if (t.Code == code)
            return t.Codec;
    return AV_CODEC_ID_NONE;
}

AVCodecID SoundCodecOf(std::uint32_t tag, int bits) {
    switch (tag) {
    case 0x0001: // PCM: unsigned at 8 bits, signed above
        return bits == 8    ? AV_CODEC_ID_PCM_U8
               : bits == 24 ? AV_CODEC_ID_PCM_S24LE
               : bits == 32 ? AV_CODEC_ID_PCM_S32LE
                            : AV_CODEC_ID_PCM_S16LE;
    case 0x0003: // IEEE floating point
        return bits == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_PCM_F32LE;
    case 0x0002:
        return AV_CODEC_ID_ADPCM_MS;
    case 0x0006:
        return AV_CODEC_ID_PCM_ALAW;
    case 0x0007:
        return AV_CODEC_ID_PCM_MULAW;
    case 0x0011:
        return AV_CODEC_ID_ADPCM_IMA_WAV;
    case 0x0020:
        return AV_CODEC_ID_ADPCM_YAMAHA;
    case 0x0022:
        return AV_CODEC_ID_TRUESPEECH;
    case 0x0031:
    case 0x0032:
        return AV_CODEC_ID_GSM_MS;
    case 0x0045:
        return AV_CODEC_ID_ADPCM_G726;
    case 0x0050:
        return AV_CODEC_ID_MP2;
    case 0x0055:
        return AV_CODEC_ID_MP3;
    case 0x0061:
        return AV_CODEC_ID_ADPCM_IMA_DK4;
    case 0x0062:
        return AV_CODEC_ID_ADPCM_IMA_DK3;
    case 0x00FF:
    case 0x1600:
    case 0x706D:
        return AV_CODEC_ID_AAC;
    case 0x0160:
        return AV_CODEC_ID_WMAV1;
    case 0x0161:
        return AV_CODEC_ID_WMAV2;
    case 0x0162:
        return AV_CODEC_ID_WMAPRO;
    case 0x0200:
        return AV_CODEC_ID_ADPCM_CT;
    case 0x0092:
    case 0x2000:
        return AV_CODEC_ID_AC3;
    case 0x2001:
        return AV_CODEC_ID_DTS;
    case 0xF1AC:
        return AV_CODEC_ID_FLAC;
    default:
        return AV_CODEC_ID_NONE;
    }
}

bool VideoParameters(const AviStreamHeader& header, AVCodecParameters& par,
                     AviVideoFormat& format) {
    // BITMAPINFOHEADER: biSize, biWidth, biHeight, biPlanes, biBitCount, biCompression,
    // biSizeImage, biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant.
    const std::vector<unsigned char>& b = header.Format;
    if (b.size() < 40)
        return false;
    // A negative width is no picture; a negative height is a top-down DIB.
    const std::int64_t width = std::max<std::int64_t>(0, std::int32_t(Le32(&b[4])));
    const std::int64_t height = std::int32_t(Le32(&b[8]));
    const int bits = int(Le16(&b[14]));
    const std::uint32_t compression = Le32(&b[16]);
    par.codec_type = AVMEDIA_TYPE_VIDEO;
    par.codec_id = VideoCodecOf(compression);
    par.codec_tag = compression;
    if (par.codec_id == AV_CODEC_ID_NONE && header.Handler.size() == 4) {
        const auto* h = reinterpret_cast<const unsigned char*>(header.Handler.data());
        par.codec_id = VideoCodecOf(Le32(h));
    }
    par.width = int(width);
    par.height = int(std::min<std::int64_t>(height < 0 ? -height : height, 0x7FFFFFFF));
    par.bits_per_coded_sample = bits;
    format.BottomUp = height > 0;
    // The colour table follows the header (biSize bytes); it holds biClrUsed entries, or
    // all that the bit count can index when that is 0.
    format.Palette.clear();
    if (bits > 0 && bits <= 8) {
        const std::size_t at = std::clamp<std::size_t>(Le32(&b[0]), 40, b.size());
        const std::uint32_t used = Le32(&b[32]);
        const std::size_t wanted = used > 0 && used < 256 ? used : std::size_t(1) << bits;
        const std::size_t count = std::min(wanted, (b.size() - at) / 4);
        format.Palette.assign(256, 0xFF000000u);
        for (std::size_t k = 0; k < count; ++k)
            format.Palette[k] = 0xFF000000u | (Le32(&b[at + 4 * k]) & 0x00FFFFFFu);
    }
    return SetExtradata(par, b.data() + 40, b.size() - 40);
}

bool SoundParameters(const AviStreamHeader& header, AVCodecParameters& par) {
    // WAVEFORMATEX: wFormatTag, nChannels, nSamplesPerSec, nAvgBytesPerSec,
    // nBlockAlign, wBitsPerSample, cbSize; a plain WAVEFORMAT ends before the bits.
    const std::vector<unsigned char>& b = header.Format;
    if (b.size() < 14)
        return false;
    std::uint32_t tag = Le16(&b[0]);
    const int channels = int(Le16(&b[2]));
    const int bits = b.size() >= 16 ? int(Le16(&b[14])) : 0;
    std::size_t extra = b.size() >= 18 ? std::min<std::size_t>(Le16(&b[16]), b.size() - 18) : 0;
    std::uint64_t mask = 0;
    // WAVE_FORMAT_EXTENSIBLE: valid bits, the speakers' mask, and a sub-format GUID whose
    // first two bytes are the tag.
    if (tag == 0xFFFE && extra >= 22) {
        mask = Le32(&b[20]);
        tag = Le16(&b[24]);
        extra = 0;
    }
    par.codec_type = AVMEDIA_TYPE_AUDIO;
    par.codec_id = SoundCodecOf(tag, bits);
    par.codec_tag = tag;
    par.sample_rate = int(std::min<std::uint32_t>(Le32(&b[4]), 0x7FFFFFFF));
    par.bit_rate = std::int64_t(Le32(&b[8])) * 8;
    par.block_align = int(Le16(&b[12]));
    par.bits_per_coded_sample = bits;
    av_channel_layout_uninit(&par.ch_layout);
    if (mask != 0 && std::popcount(mask) == channels)
        av_channel_layout_from_mask(&par.ch_layout, mask);
    else if (channels > 0)
        av_channel_layout_default(&par.ch_layout, channels);
    return SetExtradata(par, b.data() + 18, extra);
}

} // namespace platform::media
