// The media file reader on its own: the frame count when the index or the headers of an
// AVI can be trusted and when they cannot, and pictures decoded into buffers that are
// reused from frame to frame or kept in the decoder's format and converted band by band.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "MciClip.h"
#include "platform/media/MediaFile.h"
#include "platform/user/VideoOverlay.h"
#include "tests/common/TempDir.h"

namespace {

using platform::media::MediaFile;
using platform::media::VideoImage;

// The packets of the video stream, read one by one by FFmpeg on its own.
std::int64_t PacketCount(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    avformat_find_stream_info(fmt, nullptr);
    const int vs = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    std::int64_t count = 0;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
        count += pkt->stream_index == vs;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return count;
}

std::size_t Find(const std::vector<char>& b, const char* tag, std::size_t from = 0) {
    const std::string text(b.begin(), b.end());
    const std::size_t at = text.find(tag, from);
    mciclip::Check(at != std::string::npos, tag);
    return at;
}

std::uint32_t Get32(const std::vector<char>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | std::uint8_t(b[at + std::size_t(k)]);
    return v;
}

void Put32(std::vector<char>& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + std::size_t(k)] = char((v >> (8 * k)) & 0xFF);
}

// The 16-byte entry of the legacy index for the `n`-th video chunk.
std::size_t VideoIndexEntry(const std::vector<char>& b, int n) {
    std::size_t at = Find(b, "idx1") + 8;
    for (;; at += 16)
        if (std::memcmp(&b[at], "00dc", 4) == 0 && n-- == 0)
            return at;
}

TEST(MediaFile, FrameCountIsThePacketCountWhateverTheIndexOrHeadersSay) {
    testutil::TTempDir dir("quillot-mediafile");
    const std::string good = dir / "good.avi";
    mciclip::Write(good, {20, 48, 32, 15, true});
    const std::vector<char> bytes = mciclip::ReadAll(good);
    using Edit = std::function<void(std::vector<char>&)>;
    struct Case {
        const char* Name;
        Edit Change;
        std::int64_t Frames; // -1: as many as FFmpeg reads packets
    };
    const Case cases[] = {
        {"intact", [](std::vector<char>&) {}, 20},
        {"headers count more", [](std::vector<char>& b) { Put32(b, Find(b, "vids") + 32, 999); },
         20},
        {"headers count fewer", [](std::vector<char>& b) { Put32(b, Find(b, "vids") + 32, 5); },
         20},
        {"cut in the middle", [](std::vector<char>& b) { b.resize(b.size() / 2); }, -1},
        {"no index", [](std::vector<char>& b) { std::memcpy(&b[Find(b, "idx1")], "JUNK", 4); }, 20},
        {"index entry with a wrong size",
         [](std::vector<char>& b) {
             const std::size_t e = VideoIndexEntry(b, 7);
             Put32(b, e + 12, Get32(b, e + 12) + 8);
         },
         -1},
        {"index entry past the end of the file",
         [](std::vector<char>& b) {
             const std::size_t e = VideoIndexEntry(b, 19);
             Put32(b, e + 8, std::uint32_t(b.size()));
         },
         -1},
        {"chunk tag overwritten",
         [](std::vector<char>& b) {
             const std::size_t e = VideoIndexEntry(b, 10);
             const std::size_t movi = Find(b, "movi");
             // Offsets count from the list's tag, or from the start of the file.
             std::size_t chunk = movi + Get32(b, e + 8);
             if (std::memcmp(&b[chunk], "00dc", 4) != 0)
                 chunk = Get32(b, e + 8);
             mciclip::Check(std::memcmp(&b[chunk], "00dc", 4) == 0, "no chunk at the offset");
             std::memcpy(&b[chunk], "zzzz", 4);
         },
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<char> changed = bytes;
        c.Change(changed);
        const std::string path = dir / "changed.avi";
        mciclip::WriteAll(path, changed);
        std::unique_ptr<MediaFile> file;
        ASSERT_EQ(MediaFile::Open(path, file), 0u);
        const std::int64_t expected = c.Frames >= 0 ? c.Frames : PacketCount(path);
        EXPECT_GT(expected, 0);
        EXPECT_EQ(file->FrameCount(), expected);
        EXPECT_EQ(file->LengthMs(), (expected * 1000 + 7) / 15); // to the nearest
        // A counted file still shows its first picture.
        VideoImage image;
        EXPECT_TRUE(file->DecodeFrame(0, image));
    }
}

TEST(MediaFile, PicturesDecodedIntoReusedBuffersAreFFmpegsPictures) {
    testutil::TTempDir dir("quillot-mediafile");
    struct Case {
        int Width, Height;
    };
    // Rows of whole vector blocks, and rows that end inside one.
    const Case cases[] = {{64, 48}, {54, 32}, {702, 36}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height));
        const std::string path = dir / "clip.avi";
        mciclip::Write(path, {6, c.Width, c.Height, 15, false});
        std::unique_ptr<MediaFile> file;
        ASSERT_EQ(MediaFile::Open(path, file), 0u);
        const std::size_t count = std::size_t(c.Width) * std::size_t(c.Height);
        // A buffer from an earlier, larger picture, full of stale pixels.
        VideoImage image;
        image.Pixels.assign(count * 2 + 100, 0xDEADBEEFu);
        for (int frame : {0, 1, 4, 2}) {
            SCOPED_TRACE(frame);
            ASSERT_TRUE(file->DecodeFrame(frame, image));
            int w = 0, h = 0;
            const std::vector<std::uint32_t> reference = mciclip::ReferenceFrame(path, frame, w, h);
            EXPECT_EQ(image.Width, w);
            EXPECT_EQ(image.Height, h);
            ASSERT_EQ(image.Pixels.size(), count);
            EXPECT_TRUE(image.Pixels == reference);
        }
    }
}

// The picture of `rows`, band by band over `out`; every band follows the one before it.
// With `same`, the bands left out keep what `out` held, and of a band that tells where it
// changed only that part is copied.
std::vector<std::uint32_t> Assemble(const platform::user::VideoRows& rows, int width, int height,
                                    const platform::user::VideoRows* same = nullptr,
                                    std::vector<std::uint32_t> out = {}) {
    out.resize(std::size_t(width) * std::size_t(height), 0xDEADBEEFu);
    int next = 0;
    rows.ForEachSlice(
        [&](const platform::user::VideoRows::Band& band) {
            if (!same) {
                EXPECT_EQ(band.Top, next);
                EXPECT_FALSE(band.Compared);
            }
            EXPECT_GE(band.Top, next);
            EXPECT_GT(band.Count, 0);
            EXPECT_LE(band.Top + band.Count, height);
            EXPECT_GE(band.Stride, std::size_t(width));
            const RECT& c = band.Changed;
            EXPECT_TRUE(c.left >= 0 && c.left < c.right && c.right <= width && c.top >= band.Top &&
                        c.top < c.bottom && c.bottom <= band.Top + band.Count);
            for (int y = std::max(0, int(c.top)); y < std::min(height, int(c.bottom)); ++y)
                for (int x = std::max(0, int(c.left)); x < std::min(width, int(c.right)); ++x)
                    out[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                        band.Rows[std::size_t(y - band.Top) * band.Stride + std::size_t(x)];
            next = band.Top + band.Count;
        },
        same);
    if (!same) {
        EXPECT_EQ(next, height);
    }
    return out;
}

TEST(MediaFile, PicturesConvertedBandByBandAreFFmpegsPictures) {
    testutil::TTempDir dir("quillot-mediafile");
    struct Case {
        int Width, Height;
    };
    // Whole bands and a short last band; rows of whole vector blocks and rows that end
    // inside one; the catalogue's clips.
    const Case cases[] = {{64, 48}, {54, 34}, {702, 36}, {700, 628}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height));
        const std::string path = dir / "clip.avi";
        mciclip::Write(path, {6, c.Width, c.Height, 15, false});
        std::unique_ptr<MediaFile> file;
        ASSERT_EQ(MediaFile::Open(path, file), 0u);
        std::vector<std::shared_ptr<const platform::user::VideoRows>> kept;
        for (int frame : {0, 1, 4, 2}) {
            SCOPED_TRACE(frame);
            VideoImage image;
            std::shared_ptr<const platform::user::VideoRows> rows;
            ASSERT_TRUE(file->DecodeFrame(frame, image, rows));
            ASSERT_TRUE(rows) << "the clip's pictures convert band by band";
            EXPECT_TRUE(image.Pixels.empty());
            EXPECT_EQ(image.Width, c.Width);
            EXPECT_EQ(image.Height, c.Height);
            kept.push_back(rows);
        }
        // Converted after the decoder went on to other pictures, and after it closed:
        // each keeps its own picture.
        for (bool closed : {false, true}) {
            if (closed)
                file.reset();
            int k = 0;
            for (int frame : {0, 1, 4, 2}) {
                SCOPED_TRACE(std::to_string(frame) + (closed ? " closed" : " open"));
                int w = 0, h = 0;
                const std::vector<std::uint32_t> reference =
                    mciclip::ReferenceFrame(path, frame, w, h);
                EXPECT_TRUE(Assemble(*kept[std::size_t(k)], c.Width, c.Height) == reference);
                // Drawn over an earlier picture, leaving out the bands and the parts of
                // bands that did not change: the same picture. The one decoded just
                // before was compared with as it was decoded; any other is compared now.
                for (int earlier = k - 1; earlier >= 0 && earlier >= k - 2; --earlier) {
                    SCOPED_TRACE(earlier);
                    const auto& over = kept[std::size_t(earlier)];
                    const std::vector<std::uint32_t> before = Assemble(*over, c.Width, c.Height);
                    EXPECT_TRUE(Assemble(*kept[std::size_t(k)], c.Width, c.Height, over.get(),
                                         before) == reference);
                }
                ++k;
            }
        }
    }
}

} // namespace
