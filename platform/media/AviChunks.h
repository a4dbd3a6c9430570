// Internal to the platform layer: the chunk list of one video stream of an AVI file, as
// the file itself records it. AVI carries no presentation times: a video stream is a
// row of frame slots, one chunk each, and a chunk of length zero (how capture programs
// and encoders mark a dropped or repeated frame) shows the previous picture again.
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

struct AviChunk {
    std::int64_t Offset = 0; // of the chunk's header in the file
    std::uint32_t Size = 0;  // of its data; 0 for a dropped frame
};

struct AviVideoChunks {
    std::vector<AviChunk> Slots; // in file order, which is the order of decoding
    bool FromIndex = false;      // taken from idx1 (else walked)
};

// The chunks of stream `stream` (0-based, as in the headers) of the AVI file `path`,
// or nothing when the file is not an AVI, the stream is not a video stream, or no chunk
// of it is found. Palette changes (`##pc`) are not frame slots and are left out.
std::optional<AviVideoChunks> ReadAviVideoChunks(const std::string& path, int stream);

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
