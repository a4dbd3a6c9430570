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

namespace {

// An index entry with flags.
std::string FlaggedEntry(const std::string& tag, std::uint32_t flags, std::uint32_t offset,
                         std::uint32_t size) {
    return tag + Le32(flags) + Le32(offset) + Le32(size);
}

TEST(AviChunks, SoundChunksKeyFramesAndPaletteChangesOfEachStream) {
    using platform::media::ReadAviSoundChunks;
    // movi: sound (stream 0) of 2 bytes, a key frame of 5, an empty sound chunk, a
    // palette change, then a rec list with 4 bytes of sound and a frame of 3.
    const std::string movi = Chunk("00wb", "ss") + Chunk("01dc", "12345") + Chunk("00wb", "") +
                             Chunk("01pc", "pppp") +
                             List("rec ", Chunk("00wb", "abcd") + Chunk("01dc", "abc"));
    const std::uint32_t s1 = 4, f1 = s1 + 10, s2 = f1 + 14, p1 = s2 + 8, s3 = p1 + 12 + 12,
                        f2 = s3 + 12;
    const std::string index =
        Chunk("idx1", FlaggedEntry("00wb", 0x10, s1, 2) + FlaggedEntry("01dc", 0x10, f1, 5) +
                          FlaggedEntry("00wb", 0x10, s2, 0) + FlaggedEntry("01pc", 0, p1, 4) +
                          FlaggedEntry("rec ", 1, p1 + 12, 24) + FlaggedEntry("00wb", 0x10, s3, 4) +
                          FlaggedEntry("01dc", 0, f2, 3));
    const std::string indexed = Riff("AVI ", Headers() + List("movi", movi) + index);
    const std::int64_t moviTag = 12 + std::int64_t(Headers().size()) + 8;
    struct Case {
        const char* Name;
        std::string File;
        std::vector<std::int64_t> Sound;   // offsets after "movi"; empty: no list
        std::vector<bool> Keys;            // of the video's slots
        std::vector<std::int64_t> Palette; // offsets of the palette changes
        bool FromIndex;
    };
    const Case cases[] = {
        {"index", indexed, {s1, s3}, {true, false}, {p1}, true},
        {"no index",
         Riff("AVI ", Headers() + List("movi", movi)),
         {s1, s3},
         {false, false},
         {p1},
         false},
        {"sound in an AVIX part",
         indexed + Riff("AVIX", List("movi", Chunk("00wb", "xyz") + Frame(2))),
         {s1, s3, std::int64_t(indexed.size()) + 24 - moviTag},
         {false, false, false},
         {p1},
         false},
        {"only empty sound",
         Riff("AVI ", Headers() + List("movi", Chunk("00wb", "") + Frame(4))),
         {},
         {false},
         {},
         false},
    };
    testutil::TTempDir dir("quillot-avichunks");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir / "file.avi";
        std::ofstream(path, std::ios::binary) << c.File;
        const auto sound = ReadAviSoundChunks(path, 0);
        ASSERT_EQ(sound.has_value(), !c.Sound.empty());
        if (sound) {
            EXPECT_EQ(sound->FromIndex, c.FromIndex);
            std::vector<std::int64_t> offsets;
            for (const AviChunk& k : sound->Chunks)
                offsets.push_back(k.Offset - moviTag);
            EXPECT_EQ(offsets, c.Sound);
        }
        EXPECT_FALSE(ReadAviSoundChunks(path, 1)) << "stream 1 is video";
        const auto video = ReadAviVideoChunks(path, 1);
        ASSERT_TRUE(video);
        std::vector<bool> keys;
        for (const AviChunk& k : video->Slots)
            keys.push_back(k.Key);
        EXPECT_EQ(keys, c.Keys);
        std::vector<std::int64_t> palette;
        for (const AviChunk& k : video->PaletteChanges)
            palette.push_back(k.Offset - moviTag);
        EXPECT_EQ(palette, c.Palette);
    }
}

// A stream header with the given fields and a format of `format`.
std::string StreamList(const std::string& type, const std::string& handler, std::uint32_t scale,
                       std::uint32_t rate, std::uint32_t start, std::uint32_t length,
                       std::uint32_t sampleSize, const std::string& format) {
    const std::string strh = type + handler + Le32(0) + Le32(0) + Le32(0) + Le32(scale) +
                             Le32(rate) + Le32(start) + Le32(length) + Le32(0) + Le32(0) +
                             Le32(sampleSize) + std::string(8, '\0');
    return List("strl", Chunk("strh", strh) + Chunk("strf", format));
}

TEST(AviChunks, HeadersGiveEachStreamItsTimingAndFormat) {
    using platform::media::AviStreamHeader;
    using platform::media::ReadAviHeaders;
    const std::string video = StreamList("vids", "XVID", 1, 15, 0, 45, 0, std::string(40, 'b'));
    const std::string sound =
        StreamList("auds", std::string(4, '\0'), 2, 44100, 3, 999, 2, std::string(18, 'w'));
    const std::string avih = Chunk("avih", std::string(56, '\0'));
    struct Case {
        const char* Name;
        std::string File;
        std::vector<AviStreamHeader> Want; // empty: no headers
    };
    const AviStreamHeader v{"vids", "XVID", 1, 15, 0, 45, 0, std::vector<unsigned char>(40, 'b')};
    const AviStreamHeader a{
        "auds", std::string(4, '\0'), 2, 44100, 3, 999, 2, std::vector<unsigned char>(18, 'w')};
    AviStreamHeader cut{"auds", std::string(4, '\0'), 2, 44100, 0, 0, 0, {}};
    const Case cases[] = {
        {"video and sound",
         Riff("AVI ", List("hdrl", avih + video + sound) + List("movi", "")),
         {v, a}},
        {"a stream header cut short after the rate",
         Riff("AVI ",
              List("hdrl", avih + video + List("strl", Chunk("strh", sound.substr(20, 28))))),
         {v, cut}},
        {"no stream", Riff("AVI ", List("hdrl", avih)), {}},
        {"no header list", Riff("AVI ", List("movi", Frame(3))), {}},
        {"not an AVI", Riff("WAVE", List("hdrl", avih + video)), {}},
    };
    testutil::TTempDir dir("quillot-aviheaders");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir / "file.avi";
        std::ofstream(path, std::ios::binary) << c.File;
        const auto headers = ReadAviHeaders(path);
        ASSERT_EQ(headers.has_value(), !c.Want.empty());
        if (!headers)
            continue;
        ASSERT_EQ(headers->size(), c.Want.size());
        for (std::size_t k = 0; k < c.Want.size(); ++k) {
            SCOPED_TRACE(k);
            const AviStreamHeader& h = (*headers)[k];
            const AviStreamHeader& w = c.Want[k];
            EXPECT_EQ(h.Type, w.Type);
            EXPECT_EQ(h.Handler, w.Handler);
            EXPECT_EQ(h.Scale, w.Scale);
            EXPECT_EQ(h.Rate, w.Rate);
            EXPECT_EQ(h.Start, w.Start);
            EXPECT_EQ(h.Length, w.Length);
            EXPECT_EQ(h.SampleSize, w.SampleSize);
            EXPECT_EQ(h.Format, w.Format);
        }
    }
}

} // namespace
