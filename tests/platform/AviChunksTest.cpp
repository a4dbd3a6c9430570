// The chunk list of an AVI video stream read from RIFF structures built here: the index
// when it checks out, the walk of the movi lists (rec lists and AVIX parts included)
// when it does not, and the slots of empty chunks.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/media/AviChunks.h"
#include "tests/common/TempDir.h"

namespace {

using platform::media::AviChunk;
using platform::media::ReadAviVideoChunks;

std::string Le32(std::uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string Chunk(const std::string& tag, const std::string& data) {
    return tag + Le32(std::uint32_t(data.size())) + data + std::string(data.size() % 2, '\0');
}

std::string List(const std::string& type, const std::string& body) {
    return Chunk("LIST", type + body);
}

// A chunk of the video stream (1) with `size` bytes, or an empty one.
std::string Frame(std::size_t size) {
    return Chunk("01dc", std::string(size, 'v'));
}

// The headers of a file with one sound stream and one video stream (stream 1).
std::string Headers() {
    auto strl = [](const std::string& type) {
        return List("strl", Chunk("strh", type + std::string(52, '\0')));
    };
    return List("hdrl", Chunk("avih", std::string(56, '\0')) + strl("auds") + strl("vids"));
}

std::string Riff(const std::string& form, const std::string& body) {
    return Chunk("RIFF", form + body);
}

// The index entry of a chunk that lies `offset` bytes after "movi".
std::string Entry(const std::string& tag, std::uint32_t offset, std::uint32_t size) {
    return tag + Le32(0x10) + Le32(offset) + Le32(size);
}

TEST(AviChunks, SlotsComeFromTheIndexOrTheWalkAndEmptyChunksKeepTheirPlace) {
    // movi: a sound chunk, a frame of 5 bytes, an empty frame, a palette change, a rec
    // list with a frame of 3 bytes. Offsets count from "movi".
    const std::string movi = Chunk("00wb", "ss") + Chunk("01dc", "12345") + Chunk("01dc", "") +
                             Chunk("01pc", "pppp") + List("rec ", Chunk("01dc", "abc"));
    const std::uint32_t f1 = 4 + 10, f2 = f1 + 14, f3 = f2 + 8 + 12 + 12;
    const std::string goodIndex = Chunk("idx1", Entry("00wb", 4, 2) + Entry("01dc", f1, 5) +
                                                    Entry("01dc", f2, 0) + Entry("01dc", f3, 3));
    const std::string head = Riff("AVI ", Headers() + List("movi", movi) + goodIndex);
    const std::int64_t moviTag = 12 + std::int64_t(Headers().size()) + 8;
    struct Case {
        const char* Name;
        std::string File;
        int Stream;
        std::vector<std::uint32_t> Sizes; // of the slots; empty: no list
        bool FromIndex;
    };
    const Case cases[] = {
        {"index", head, 1, {5, 0, 3}, true},
        {"index entry with a wrong size",
         Riff("AVI ", Headers() + List("movi", movi) +
                          Chunk("idx1", Entry("01dc", f1, 6) + Entry("01dc", f3, 3))),
         1,
         {5, 0, 3},
         false},
        {"no index", Riff("AVI ", Headers() + List("movi", movi)), 1, {5, 0, 3}, false},
        {"an AVIX part after the first",
         head + Riff("AVIX", List("movi", Frame(0) + Frame(7))),
         1,
         {5, 0, 3, 0, 7},
         false},
        {"cut inside the last chunk",
         head.substr(0, std::size_t(moviTag) + f3 + 8 + 1),
         1,
         {5, 0},
         false},
        {"stream 0 is sound", head, 0, {}, false},
        {"only empty chunks",
         Riff("AVI ", Headers() + List("movi", Frame(0) + Frame(0))),
         1,
         {},
         false},
        {"not a RIFF file", "RIFX" + head.substr(4), 1, {}, false},
    };
    testutil::TTempDir dir("quillot-avichunks");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir / "file.avi";
        std::ofstream(path, std::ios::binary) << c.File;
        const auto chunks = ReadAviVideoChunks(path, c.Stream);
        ASSERT_EQ(chunks.has_value(), !c.Sizes.empty());
        if (!chunks)
            continue;
        EXPECT_EQ(chunks->FromIndex, c.FromIndex);
        std::vector<std::uint32_t> sizes;
        for (const AviChunk& k : chunks->Slots)
            sizes.push_back(k.Size);
        EXPECT_EQ(sizes, c.Sizes);
        EXPECT_EQ(chunks->Slots[0].Offset, moviTag + f1);
    }
}

TEST(AviChunks, EachSlotShowsTheLastPictureNotAfterIt) {
    const platform::media::AviPictureMap map({{100, 0}, {110, 4}, {122, 0}, {130, 0}, {138, 6}});
    EXPECT_EQ(map.Slots(), 5);
    EXPECT_EQ(map.Pictures(), 2);
    const std::int64_t pictures[] = {0, 0, 0, 0, 1};
    for (std::int64_t s = 0; s < 5; ++s)
        EXPECT_EQ(map.PictureOf(s), pictures[s]) << s;
    EXPECT_EQ(map.PictureOf(99), 1);
    EXPECT_EQ(map.SlotOf(1), 4);
    EXPECT_EQ(map.PictureAt(138), 1);
    EXPECT_EQ(map.PictureAt(118), 0) << "the data of the chunk at 110";
    EXPECT_EQ(map.PictureAt(100), -1) << "an empty chunk is no picture";
}

} // namespace
