// Internal to the media module: the chunks of one stream of an AVI file (AviChunks.h)
// read as libavcodec packets, each stream with a reading position of its own.
//
// Video packets come in the file's order, which is the order of decoding, one for each
// chunk that is not empty, stamped with their frame slot; each carries the palette in
// force when it changed. MPEG-4 Part 2 passes through libavcodec's filter that unpacks
// the B-frames DivX packs into the frame before them. Sound packets are stamped with
// their first sample.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ffmpeg/AviCodecs.h"
#include "platform/media/AviChunks.h"

struct AVBSFContext;
struct AVCodecContext;
struct AVCodecParserContext;
struct AVCodecParameters;
struct AVPacket;

namespace platform::media {

// A read-only file read at offsets.
class ChunkFile {
public:
    explicit ChunkFile(const std::string& path);
    ~ChunkFile();
    ChunkFile(const ChunkFile&) = delete;
    ChunkFile& operator=(const ChunkFile&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    // The data of `chunk` (after its header) into a new packet; false when it cannot be
    // read.
    bool Read(const AviChunk& chunk, AVPacket& packet) const;
    // Up to `n` bytes of the data of `chunk`.
    std::size_t Peek(const AviChunk& chunk, unsigned char* to, std::size_t n) const;

private:
    int FFd;
};

class AviVideoPackets {
public:
    // `par` are the stream's parameters (AviCodecs.h), whose codec must be known.
    AviVideoPackets(const std::string& path, AviVideoChunks chunks, const AviVideoFormat& format,
                    const AVCodecParameters& par);
    ~AviVideoPackets();
    AviVideoPackets(const AviVideoPackets&) = delete;
    AviVideoPackets& operator=(const AviVideoPackets&) = delete;

    // False when the file or the filter could not be opened.
    bool IsOpen() const { return FFile.IsOpen() && FOpen; }
    // The parameters for the decoder, as the filter leaves them.
    const AVCodecParameters& Parameters() const;
    const AviPictureMap& Pictures() const { return FPictures; }

    // Moves the reading to the nearest key picture at or before `picture`, and returns
    // its number (the decoder starts there after a flush).
    std::int64_t Seek(std::int64_t picture);
    // The next packet; false at the end of the stream (or of what can be read of it).
    bool Next(AVPacket& packet);

private:
    bool ReadChunk(AVPacket& packet);
    bool IsKey(std::int64_t picture) const;
    void ApplyPaletteChanges(std::int64_t before);

    ChunkFile FFile;
    AviVideoChunks FChunks;
    AviPictureMap FPictures;
    AVCodecID FCodec;
    bool FIntraOnly = false;
    bool FIndexedKeys = false; // the index marks key frames
    std::vector<std::uint32_t> FHeaderPalette;
    std::vector<std::uint32_t> FPalette;
    std::size_t FNextChange = 0; // palette changes applied so far
    bool FPaletteDue = false;    // the next packet carries the palette
    std::size_t FNextSlot = 0;
    AVBSFContext* FFilter = nullptr; // the unpacking filter, or one that passes all
    AVPacket* FSpare = nullptr;      // a chunk on its way into the filter
    bool FOpen = false;
    bool FFlushed = false;
};

class AviSoundPackets {
public:
    // `par` are the stream's parameters (AviCodecs.h): the packets' stamps count samples
    // at their rate.
    AviSoundPackets(const std::string& path, AviSoundChunks chunks, const AviStreamHeader& header,
                    const AVCodecParameters& par);
    ~AviSoundPackets();
    AviSoundPackets(const AviSoundPackets&) = delete;
    AviSoundPackets& operator=(const AviSoundPackets&) = delete;

    bool IsOpen() const { return FFile.IsOpen() && FOpen; }
    // Sample frames of the whole stream, from its ticks.
    std::int64_t Samples() const { return FStarts.back(); }
    // Moves the reading to the chunk that holds sample `sample`; returns that chunk's
    // first sample.
    std::int64_t Seek(std::int64_t sample);
    // The next packet: a chunk, or for MPEG and AC-3 sound stored as a stream of bytes
    // (chunks cut anywhere, a sample size in the header) a whole frame of it, found by
    // libavcodec's parser. False at the end.
    bool Next(AVPacket& packet);

private:
    bool NextParsed(AVPacket& packet);
    void ResetParser();

    ChunkFile FFile;
    AviSoundChunks FChunks;
    std::vector<std::int64_t> FStarts; // the first sample of each chunk, and the end
    std::size_t FNext = 0;
    AVCodecID FCodec = AV_CODEC_ID_NONE;
    AVCodecParserContext* FParser = nullptr;
    AVCodecContext* FParserCodec = nullptr; // what the parser reads and sets, not the decoder
    AVPacket* FChunk = nullptr;             // the chunk being parsed
    int FChunkUsed = 0;                     // its bytes parsed so far
    bool FFlushed = false;                  // the parser has been given the end
    bool FOpen = true;
};

} // namespace platform::media
