// Internal to the media module: what libavcodec needs to decode an AVI file's streams,
// taken from their headers (AviChunks.h). The codec of a video stream comes from the
// compression code of its BITMAPINFOHEADER (or the stream header's handler), that of a
// sound stream from the format tag of its WAVEFORMATEX, by tables of our own; the code
// itself goes along as the codec tag, so that libavcodec's own handling of the variants
// of one codec applies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/AviChunks.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

struct AVCodecParameters;

namespace platform::media {

// A four-character code as AVI stores it (its first character in the lowest byte).
constexpr std::uint32_t Fourcc(const char (&code)[5]) {
    return std::uint32_t(std::uint8_t(code[0])) | std::uint32_t(std::uint8_t(code[1])) << 8 |
           std::uint32_t(std::uint8_t(code[2])) << 16 | std::uint32_t(std::uint8_t(code[3])) << 24;
}

// The decoder of a video compression code, letters compared without case;
// AV_CODEC_ID_NONE for a code it does not know.
AVCodecID VideoCodecOf(std::uint32_t fourcc);
// The decoder of a wave format tag with `bits` bits a sample (which tell the PCM
// variants apart); AV_CODEC_ID_NONE for a tag it does not know.
AVCodecID SoundCodecOf(std::uint32_t tag, int bits);

// What a video stream's format says beyond the decoder's parameters.
struct AviVideoFormat {
    bool BottomUp = false;              // a positive height: rows stored from the bottom
    std::vector<std::uint32_t> Palette; // 0xFFRRGGBB for a format of 8 bits or fewer
};

// The decoder's parameters of a video or sound stream: codec, tag, size or sound
// format, and the bytes after the header as extradata. False when the format is too
// short to be one; a codec it does not know leaves AV_CODEC_ID_NONE.
bool VideoParameters(const AviStreamHeader& header, AVCodecParameters& par, AviVideoFormat& format);
bool SoundParameters(const AviStreamHeader& header, AVCodecParameters& par);

} // namespace platform::media
