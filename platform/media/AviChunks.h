// Internal to the platform layer: the headers of an AVI file's streams and the chunk list
// of one of its streams, as the file itself records them. AVI carries no presentation times: a
// video stream is a row of frame slots, one chunk each, and a chunk of length zero (how capture
// programs and encoders mark a dropped or repeated frame) shows the previous picture again.
//
// The list comes from the legacy index (`idx1`) when every entry of the stream checks
// out against the chunk it names, and from a walk of the `movi` lists (those of the
// RIFF-AVIX extensions included) otherwise. The headers' frame counts are never taken:
// they are claims the file need not back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::media {

// The header of one stream (`strh`) and its format (`strf`), as the file holds them.
struct AviStreamHeader {
    std::string Type;                  // fccType: "vids", "auds", "txts", ...
    std::string Handler;               // fccHandler
    std::uint32_t Scale = 0, Rate = 0; // a tick of the stream lasts Scale / Rate seconds
    std::uint32_t Start = 0;           // ticks before its first chunk
    std::uint32_t Length = 0;          // ticks, as the header claims
    std::uint32_t SampleSize = 0;      // bytes a tick; 0: each chunk is one tick (a frame)
    std::vector<unsigned char> Format; // BITMAPINFOHEADER or WAVEFORMATEX and what follows
};

// The stream headers of the AVI file `path` in the order of their numbers, or nothing
// when it is not an AVI file or has no stream header. A header cut short keeps zeros.
std::optional<std::vector<AviStreamHeader>> ReadAviHeaders(const std::string& path);

struct AviChunk {
    std::int64_t Offset = 0; // of the chunk's header in the file
    std::uint32_t Size = 0;  // of its data; 0 for a dropped frame
    bool Key = false;        // the index marks it a key frame; never set on walked chunks
};

struct AviVideoChunks {
    std::vector<AviChunk> Slots;          // in file order, which is the order of decoding
    std::vector<AviChunk> PaletteChanges; // `##pc` chunks, in file order
    bool FromIndex = false;               // taken from idx1 (else walked)
};

// The chunks of stream `stream` (0-based, as in the headers) of the AVI file `path`,
// or nothing when the file is not an AVI, the stream is not a video stream, or no chunk
// of it is found. Palette changes are not frame slots: they come in a list of their own.
std::optional<AviVideoChunks> ReadAviVideoChunks(const std::string& path, int stream);

struct AviSoundChunks {
    std::vector<AviChunk> Chunks; // `##wb` chunks that are not empty, in file order
    bool FromIndex = false;
};

// The same for a sound stream: nothing when the stream is not one or holds no sound.
std::optional<AviSoundChunks> ReadAviSoundChunks(const std::string& path, int stream);

// Frame slots mapped to pictures: picture k is the k-th chunk that is not empty, and
// the decoder gives pictures in this order.
class AviPictureMap {
public:
    explicit AviPictureMap(const std::vector<AviChunk>& slots);
    std::int64_t Slots() const { return std::int64_t(FPictureOfSlot.size()); }
    std::int64_t Pictures() const { return std::int64_t(FSlotOfPicture.size()); }
    // The picture on show during `slot`: the last non-empty chunk at or before it, or 0
    // when the stream starts with empty slots (its first picture stands in).
    std::int64_t PictureOf(std::int64_t slot) const;
    std::int64_t SlotOf(std::int64_t picture) const { return FSlotOfPicture[std::size_t(picture)]; }
    // The picture whose chunk lies at `offset` (the chunk's header or its data), or -1.
    std::int64_t PictureAt(std::int64_t offset) const;

private:
    std::vector<std::int64_t> FPictureOfSlot;
    std::vector<std::int64_t> FSlotOfPicture;
    std::vector<std::int64_t> FOffsetOfPicture; // ascending: chunks are in file order
};

} // namespace platform::media
