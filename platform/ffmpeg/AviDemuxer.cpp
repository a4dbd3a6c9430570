// AVI streams read chunk by chunk into libavcodec packets.
#include "platform/ffmpeg/AviDemuxer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixfmt.h>
}

namespace platform::media {

namespace {

// How much of a chunk is looked at to tell a key frame of a file without an index: the
// headers before the first picture (sequence headers, an encoder's notes) fit in it.
constexpr std::size_t KeyPeek = 4096;

// Whether the data of a chunk starts a picture that decodes on its own, for the codecs
// whose pictures say so near their start: an I-VOP of MPEG-4 Part 2, an IDR slice of
// H.264 (in start-code form). False for anything else.
bool StartsKeyPicture(AVCodecID codec, const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i + 4 < n; ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        if (codec == AV_CODEC_ID_MPEG4 && p[i + 3] == 0xB6)
            return (p[i + 4] >> 6) == 0; // vop_coding_type: 0 is intra
        if (codec == AV_CODEC_ID_H264) {
            const int type = p[i + 3] & 0x1F;
            if (type == 5)
                return true;
            if (type == 1)
                return false;
        }
    }
    return false;
}

} // namespace

ChunkFile::ChunkFile(const std::string& path) : FFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

ChunkFile::~ChunkFile() {
    if (FFd >= 0)
        ::close(FFd);
}

bool ChunkFile::Read(const AviChunk& chunk, AVPacket& packet) const {
    if (FFd < 0 || chunk.Size > std::uint32_t(INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE) ||
        av_new_packet(&packet, int(chunk.Size)) < 0)
        return false;
    if (::pread(FFd, packet.data, chunk.Size, off_t(chunk.Offset + 8)) != ssize_t(chunk.Size)) {
        av_packet_unref(&packet);
        return false;
    }
    packet.pos = chunk.Offset;
    return true;
}

std::size_t ChunkFile::Peek(const AviChunk& chunk, unsigned char* to, std::size_t n) const {
    n = std::min<std::size_t>(n, chunk.Size);
    const ssize_t got = FFd >= 0 ? ::pread(FFd, to, n, off_t(chunk.Offset + 8)) : -1;
    return got > 0 ? std::size_t(got) : 0;
}

AviVideoPackets::AviVideoPackets(const std::string& path, AviVideoChunks chunks,
                                 const AviVideoFormat& format, const AVCodecParameters& par)
    : FFile(path), FChunks(std::move(chunks)), FPictures(FChunks.Slots), FCodec(par.codec_id) {
    const AVCodecDescriptor* desc = avcodec_descriptor_get(FCodec);
    FIntraOnly = desc && (desc->props & AV_CODEC_PROP_INTRA_ONLY);
    FIndexedKeys = std::any_of(FChunks.Slots.begin(), FChunks.Slots.end(),
                               [](const AviChunk& c) { return c.Key && c.Size > 0; });
    if (!format.Palette.empty())
        FHeaderPalette = format.Palette;
    else
        FChunks.PaletteChanges.clear(); // a picture with no palette has nothing to change
    FPalette = FHeaderPalette;
    FPaletteDue = !FPalette.empty();
    // DivX's packed B-frames are unpacked into a frame of their own; other streams pass
    // through unchanged.
    if (FCodec == AV_CODEC_ID_MPEG4) {
        const AVBitStreamFilter* unpack = av_bsf_get_by_name("mpeg4_unpack_bframes");
        if (!unpack || av_bsf_alloc(unpack, &FFilter) < 0 ||
            avcodec_parameters_copy(FFilter->par_in, &par) < 0 || av_bsf_init(FFilter) < 0)
            return;
    } else {
        if (av_bsf_get_null_filter(&FFilter) < 0 ||
            avcodec_parameters_copy(FFilter->par_in, &par) < 0 || av_bsf_init(FFilter) < 0)
            return;
    }
    FSpare = av_packet_alloc();
    FOpen = FSpare != nullptr;
}

AviVideoPackets::~AviVideoPackets() {
    av_bsf_free(&FFilter);
    av_packet_free(&FSpare);
}

const AVCodecParameters& AviVideoPackets::Parameters() const {
    return *FFilter->par_out;
}

bool AviVideoPackets::IsKey(std::int64_t picture) const {
    if (picture <= 0 || FIntraOnly)
        return true;
    const AviChunk& chunk = FChunks.Slots[std::size_t(FPictures.SlotOf(picture))];
    if (FIndexedKeys)
        return chunk.Key;
    if (FCodec != AV_CODEC_ID_MPEG4 && FCodec != AV_CODEC_ID_H264)
        return false;
    unsigned char head[KeyPeek];
    return StartsKeyPicture(FCodec, head, FFile.Peek(chunk, head, sizeof head));
}

std::int64_t AviVideoPackets::Seek(std::int64_t picture) {
    picture =
        std::clamp<std::int64_t>(picture, 0, std::max<std::int64_t>(0, FPictures.Pictures() - 1));
    while (!IsKey(picture))
        --picture;
    FNextSlot = FPictures.Pictures() > 0 ? std::size_t(FPictures.SlotOf(picture)) : 0;
    FPalette = FHeaderPalette;
    FNextChange = 0;
    FPaletteDue = !FPalette.empty();
    av_bsf_flush(FFilter);
    FFlushed = false;
    return picture;
}

// Applies the palette changes that lie before `before` in the file. A change
// (AVIPALCHANGE) gives its first entry, its count (0 for 256) and flags, then the
// entries as red, green, blue and flags; a chunk may hold several.
void AviVideoPackets::ApplyPaletteChanges(std::int64_t before) {
    const std::vector<AviChunk>& changes = FChunks.PaletteChanges;
    for (; FNextChange < changes.size() && changes[FNextChange].Offset < before; ++FNextChange) {
        unsigned char data[4 + 256 * 4 * 2];
        const std::size_t n = FFile.Peek(changes[FNextChange], data, sizeof data);
        for (std::size_t at = 0; at + 4 <= n;) {
            const std::size_t first = data[at];
            const std::size_t count = data[at + 1] ? data[at + 1] : 256;
            at += 4;
            for (std::size_t k = 0; k < count && first + k < 256 && at + 4 <= n; ++k, at += 4)
                FPalette[first + k] = 0xFF000000u | std::uint32_t(data[at]) << 16 |
                                      std::uint32_t(data[at + 1]) << 8 | data[at + 2];
            FPaletteDue = true;
        }
    }
}

bool AviVideoPackets::ReadChunk(AVPacket& packet) {
    while (FNextSlot < FChunks.Slots.size()) {
        const std::size_t slot = FNextSlot++;
        const AviChunk& chunk = FChunks.Slots[slot];
        // An empty chunk (a dropped frame) carries no picture; sent, it would end the
        // stream.
        if (chunk.Size == 0)
            continue;
        ApplyPaletteChanges(chunk.Offset);
        if (!FFile.Read(chunk, packet))
            return false;
        packet.dts = std::int64_t(slot);
        packet.pts = AV_NOPTS_VALUE;
        if (chunk.Key || FIntraOnly)
            packet.flags |= AV_PKT_FLAG_KEY;
        if (FPaletteDue) {
            std::uint8_t* side =
                av_packet_new_side_data(&packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
            if (side)
                std::memcpy(side, FPalette.data(), AVPALETTE_SIZE);
            FPaletteDue = false;
        }
        return true;
    }
    return false;
}

bool AviVideoPackets::Next(AVPacket& packet) {
    if (!FOpen)
        return false;
    for (;;) {
        const int got = av_bsf_receive_packet(FFilter, &packet);
        if (got == 0)
            return true;
        if (got != AVERROR(EAGAIN) || FFlushed)
            return false;
        if (ReadChunk(*FSpare)) {
            if (av_bsf_send_packet(FFilter, FSpare) < 0)
                av_packet_unref(FSpare);
        } else {
            av_bsf_send_packet(FFilter, nullptr);
            FFlushed = true;
        }
    }
}

AviSoundPackets::AviSoundPackets(const std::string& path, AviSoundChunks chunks,
                                 const AviStreamHeader& header, const AVCodecParameters& par)
    : FFile(path), FChunks(std::move(chunks)), FCodec(par.codec_id) {
    // A tick lasts Scale / Rate seconds; a chunk holds its bytes over SampleSize ticks,
    // or one tick when the sample size is 0 (a frame of compressed sound each).
    AVRational tick{0, 1};
    if (header.Scale > 0 && header.Rate > 0)
        av_reduce(&tick.num, &tick.den, header.Scale, header.Rate, INT_MAX);
    const int rate = std::max(par.sample_rate, 1);
    const std::int64_t averageBytes = par.bit_rate / 8;
    std::int64_t ticks = 0, bytes = 0;
    FStarts.reserve(FChunks.Chunks.size() + 1);
    auto start = [&] {
        if (tick.num > 0 && tick.den > 0)
            return av_rescale_q(ticks, tick, AVRational{1, rate});
        return averageBytes > 0 ? av_rescale(bytes, rate, averageBytes) : 0;
    };
    for (const AviChunk& c : FChunks.Chunks) {
        FStarts.push_back(start());
        bytes += c.Size;
        ticks = header.SampleSize > 0 ? bytes / header.SampleSize : ticks + 1;
    }
    FStarts.push_back(start());
    // Chunks of a stream of bytes may end inside a frame, which the decoder cannot take:
    // the parser puts the frames together again.
    const bool byteStream = FCodec == AV_CODEC_ID_MP1 || FCodec == AV_CODEC_ID_MP2 ||
                            FCodec == AV_CODEC_ID_MP3 || FCodec == AV_CODEC_ID_AC3;
    if (byteStream && header.SampleSize > 0) {
        FParserCodec = avcodec_alloc_context3(nullptr);
        FChunk = av_packet_alloc();
        ResetParser();
        FOpen = FParserCodec && FChunk && FParser;
    }
}

AviSoundPackets::~AviSoundPackets() {
    if (FParser)
        av_parser_close(FParser);
    avcodec_free_context(&FParserCodec);
    av_packet_free(&FChunk);
}

void AviSoundPackets::ResetParser() {
    if (FParser)
        av_parser_close(FParser);
    FParser = av_parser_init(FCodec);
    if (FChunk)
        av_packet_unref(FChunk);
    FChunkUsed = 0;
    FFlushed = false;
}

std::int64_t AviSoundPackets::Seek(std::int64_t sample) {
    const auto end = FStarts.end() - 1; // the last entry is the end of the sound
    const auto after = std::upper_bound(FStarts.begin(), end, sample);
    FNext = after == FStarts.begin() ? 0 : std::size_t(after - FStarts.begin() - 1);
    if (FParserCodec)
        ResetParser();
    return FNext < FChunks.Chunks.size() ? FStarts[FNext] : FStarts.back();
}

bool AviSoundPackets::Next(AVPacket& packet) {
    if (FParserCodec)
        return FOpen && NextParsed(packet);
    if (FNext >= FChunks.Chunks.size() || !FFile.Read(FChunks.Chunks[FNext], packet))
        return false;
    packet.pts = packet.dts = FStarts[FNext];
    packet.duration = FStarts[FNext + 1] - FStarts[FNext];
    ++FNext;
    return true;
}

// The next whole frame the parser finds in the chunks, stamped with the first sample of
// the chunk it starts in when the parser can tell.
bool AviSoundPackets::NextParsed(AVPacket& packet) {
    for (;;) {
        const bool more = FChunk->data && FChunkUsed < FChunk->size;
        if (more || FFlushed) {
            std::uint8_t* frame = nullptr;
            int frameSize = 0;
            const int left = more ? FChunk->size - FChunkUsed : 0;
            const int used = av_parser_parse2(FParser, FParserCodec, &frame, &frameSize,
                                              more ? FChunk->data + FChunkUsed : nullptr, left,
                                              FChunk->pts, FChunk->pts, FChunk->pos);
            FChunkUsed += used > 0 ? used : left; // a parser's error skips the rest
            if (frameSize > 0) {
                if (av_new_packet(&packet, frameSize) < 0)
                    return false;
                std::memcpy(packet.data, frame, std::size_t(frameSize));
                packet.pts = packet.dts = FParser->pts;
                return true;
            }
            if (!more)
                return false; // flushed, and nothing was left
            continue;
        }
        av_packet_unref(FChunk);
        FChunkUsed = 0;
        if (FNext < FChunks.Chunks.size() && FFile.Read(FChunks.Chunks[FNext], *FChunk)) {
            FChunk->pts = FStarts[FNext];
            ++FNext;
        } else {
            FFlushed = true;
        }
    }
}

} // namespace platform::media
