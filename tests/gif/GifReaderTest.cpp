// Reading GIF streams into images and frames.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "GifBuilder.h"
#include "gif/GifImage.h"
#include "rtl/Exceptions.h"

using namespace gif;
using namespace giftest;
using formstream::clNone;
using formstream::ColorValue;

namespace {

template <class E> std::string FailureOf(const Bytes& bytes) {
    try {
        Load(bytes);
    } catch (const E& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return std::string("other exception: ") + e.what();
    }
    return "no exception";
}

struct TLoadCorruptedSwitch {
    bool Saved = GIFLoadCorrupted;
    ~TLoadCorruptedSwitch() { GIFLoadCorrupted = Saved; }
};

} // namespace

TEST(GifReader, HeaderOnlyGivesEmptyImage) {
    auto image = Load(TGifBuilder().Header("87a", 10, 10, 0).Trailer().B);
    EXPECT_EQ(image->Count(), 0);
    EXPECT_EQ(image->Version(), gv87a);
    EXPECT_EQ(image->FrameIndex(), -1);
    EXPECT_TRUE(image->Empty());
    EXPECT_EQ(image->Width(), 0);
}

TEST(GifReader, SignatureAndVersionChecks) {
    struct TCase {
        std::string header;
        std::string error; // empty: accepted
        TGIFVersion version;
    };
    const std::vector<TCase> cases = {
        {"GIF89a", "", gv89a},
        {"gif89A", "", gv89a},
        {"Gif87A", "", gv87a},
        {"GIF90a", "Unknown GIF version", gvUnknown},
        {"GIX89a", "Unknown GIF version", gvUnknown},
        {"GIF", "Unknown GIF version", gvUnknown},
        {"GI", "Unknown GIF version", gvUnknown},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.header);
        TGifBuilder b;
        b.Text(c.header);
        if (c.header.size() == 6)
            b.Word(1).Word(1).Raw({0, 0, 0}).Trailer();
        if (c.error.empty())
            EXPECT_EQ(Load(b.B)->Version(), c.version);
        else
            EXPECT_EQ(FailureOf<rtl::EInvalidGraphicOperation>(b.B), c.error);
    }
}

TEST(GifReader, BackgroundColourFromGlobalTable) {
    auto image = Load(TGifBuilder().Header("89a", 4, 4, 8, 1).Trailer().B);
    EXPECT_EQ(ColorValue(image->BackgroundColor()), 0xFFFFFFu);
    EXPECT_EQ(image->GetGlobalColorCount(), 256);
    auto outside = Load(TGifBuilder().Header("89a", 4, 4, 4, 200).Trailer().B);
    EXPECT_EQ(outside->BackgroundColor(), clNone);
    auto noTable = Load(TGifBuilder().Header("89a", 4, 4, 0, 0).Trailer().B);
    EXPECT_EQ(noTable->BackgroundColor(), clNone);
    EXPECT_EQ(noTable->GetGlobalColorCount(), 0);
}

TEST(GifReader, UnknownExtensionLabelIsNamedInHex) {
    const Bytes b = TGifBuilder().Header("89a", 4, 4, 1).Raw({0x21, 0x2C, 0, 0}).B;
    EXPECT_EQ(FailureOf<rtl::EInvalidGraphicOperation>(b), "Unrecognized extension block: 2C");
    const Bytes lower = TGifBuilder().Header("89a", 4, 4, 1).Raw({0x21, 0xab, 0}).B;
    EXPECT_EQ(FailureOf<rtl::EInvalidGraphicOperation>(lower), "Unrecognized extension block: AB");
}

TEST(GifReader, ExtensionsAttachToTheFollowingFrame) {
    // Graphic control, plain text, image: the plain text drops what came before it.
    auto dropped = Load(TGifBuilder()
                            .Header("89a", 4, 2, 1)
                            .GraphicControl(1, 0, 1)
                            .PlainText()
                            .Image(0, 0, 4, 2)
                            .Trailer()
                            .B);
    ASSERT_EQ(dropped->Count(), 1);
    EXPECT_TRUE(!dropped->Frames(0)->Extensions() || dropped->Frames(0)->Extensions()->empty());
    EXPECT_EQ(dropped->Frames(0)->TransparentColor(), clNone);

    // Two graphic controls: the last decides transparency and disposal, the longest delay
    // wins (5 and 10 hundredths give 100 ms).
    auto two = Load(TGifBuilder()
                        .Header("89a", 4, 2, 1)
                        .GraphicControl(0x01 | 2 << 2, 10, 0)
                        .Comment({"c"})
                        .GraphicControl(0x01 | 1 << 2, 5, 1)
                        .Image(0, 0, 4, 2)
                        .Trailer()
                        .B);
    TGIFFrame* f = two->Frames(0);
    ASSERT_NE(f->Extensions(), nullptr);
    EXPECT_EQ(f->Extensions()->size(), 3u);
    EXPECT_EQ(f->AnimateInterval(), 100);
    EXPECT_EQ(f->DisposalMethod(), dmLeave);
    EXPECT_EQ(ColorValue(f->TransparentColor()), 0xFFFFFFu);
    EXPECT_EQ(f->FindComment(false)->Text(), "c\r\n");

    // A transparent index beyond the table leaves no transparent colour; a clear flag
    // removes an earlier one.
    auto beyond = Load(
        TGifBuilder().Header("89a", 4, 2, 1).GraphicControl(1, 0, 7).Image(0, 0, 4, 2).Trailer().B);
    EXPECT_EQ(beyond->Frames(0)->TransparentColor(), clNone);
    auto cleared = Load(TGifBuilder()
                            .Header("89a", 4, 2, 1)
                            .GraphicControl(1, 0, 1)
                            .GraphicControl(0, 0, 1)
                            .Image(0, 0, 4, 2)
                            .Trailer()
                            .B);
    EXPECT_EQ(cleared->Frames(0)->TransparentColor(), clNone);
}

TEST(GifReader, LoopingExtension) {
    struct TCase {
        int count;
        std::string id;
        bool looping;
        int repeat;
    };
    for (const TCase& c :
         {TCase{0, "NETSCAPE2.0", true, 0}, TCase{40000, "NETSCAPE2.0", true, 30000},
          TCase{7, "ANIMEXTS1.0", true, 7}, TCase{7, "NETSCAPE2.1", false, 1}}) {
        SCOPED_TRACE(c.id + " " + std::to_string(c.count));
        auto image = Load(
            TGifBuilder().Header("89a", 4, 2, 1).Loop(c.count, c.id).Image(0, 0, 4, 2).Trailer().B);
        EXPECT_EQ(image->Looping(), c.looping);
        EXPECT_EQ(image->RepeatCount(), c.repeat);
        EXPECT_TRUE(!image->Frames(0)->Extensions() || image->Frames(0)->Extensions()->empty());
    }
    // A block size of 0 compares no identifier bytes.
    auto zero = Load(TGifBuilder()
                         .Header("89a", 4, 2, 1)
                         .Raw({0x21, 0xFF, 0})
                         .Text("XXXXXXXXXXX")
                         .Raw({3, 1, 5, 0, 0})
                         .Image(0, 0, 4, 2)
                         .Trailer()
                         .B);
    EXPECT_TRUE(zero->Looping());
    EXPECT_EQ(zero->RepeatCount(), 5);
}

TEST(GifReader, TruncatedRasterMarksFrameCorrupted) {
    TLoadCorruptedSwitch restore;
    Bytes b = TGifBuilder().Header("89a", 8, 8, 1).Image(0, 0, 8, 8).B;
    b.resize(b.size() - 3); // the last sub-block loses its end
    auto image = Load(b);
    ASSERT_EQ(image->Count(), 1);
    EXPECT_TRUE(image->Frames(0)->Corrupted());
    EXPECT_TRUE(image->GetCorrupted());
    EXPECT_EQ(image->Width(), 8) << "the frame is still decoded";

    GIFLoadCorrupted = false;
    EXPECT_EQ(FailureOf<rtl::EInvalidGraphicOperation>(b), "Stream read error");
}

TEST(GifReader, TruncatedDescriptorTableOrCodeSizeRaiseReadError) {
    const Bytes full = TGifBuilder().Header("89a", 4, 2, 1).Image(0, 0, 4, 2, 1, 2).B;
    // Header 13 + global table 6 = 19; separator at 19; descriptor 20..28; local table
    // 29..40; code size 41.
    for (std::size_t cut : {std::size_t(22), std::size_t(35), std::size_t(41)}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        EXPECT_EQ(
            FailureOf<rtl::EReadError>(Bytes(full.begin(), full.begin() + std::ptrdiff_t(cut))),
            "Stream read error");
    }
}

TEST(GifReader, ZeroSizeFrameTakesScreenSize) {
    auto image = Load(TGifBuilder()
                          .Header("89a", 6, 3, 1)
                          .Raw({','})
                          .Word(0)
                          .Word(0)
                          .Word(0)
                          .Word(0)
                          .Raw({0})
                          .Raster(18, 2)
                          .Trailer()
                          .B);
    EXPECT_EQ(image->Frames(0)->Item()->Width, 6);
    EXPECT_EQ(image->Frames(0)->Item()->Height, 3);
    EXPECT_EQ(image->Width(), 6);
}

TEST(GifReader, ZeroBytesBetweenBlocksAndInsteadOfTrailer) {
    auto image = Load(TGifBuilder()
                          .Header("89a", 4, 2, 1)
                          .Raw({0, 0})
                          .Image(0, 0, 4, 2)
                          .Raw({0, 0, 0})
                          .Image(0, 0, 4, 2)
                          .Raw({0})
                          .B);
    EXPECT_EQ(image->Count(), 2);
}

TEST(GifReader, GarbageAfterFrameEndsReadingQuietly) {
    auto image = Load(TGifBuilder()
                          .Header("89a", 4, 2, 1)
                          .Image(0, 0, 4, 2)
                          .Raw({'x', 1, 2, 3})
                          .Image(0, 0, 4, 2)
                          .B);
    EXPECT_EQ(image->Count(), 1);
    EXPECT_FALSE(image->GetCorrupted());
}

TEST(GifReader, TrailingCommentsBecomeImageComment) {
    auto image = Load(TGifBuilder()
                          .Header("89a", 4, 2, 1)
                          .Image(0, 0, 4, 2)
                          .Comment({"first", "second"})
                          .Comment({"third"})
                          .Trailer()
                          .B);
    EXPECT_EQ(image->Comment().Text(), "first\r\nsecond\r\n\r\n\r\n\r\nthird\r\n");
    // A run of comments followed by an unexpected byte: the comments are kept, then the
    // byte fails the next pass.
    const Bytes bad =
        TGifBuilder().Header("89a", 4, 2, 1).Comment({"c"}).Raw({'x', 1, 2}).Image(0, 0, 4, 2).B;
    EXPECT_EQ(FailureOf<rtl::EInvalidGraphicOperation>(bad), "Stream read error");
}

TEST(GifReader, ReadDataTakesLengthPrefix) {
    TGIFImage image;
    // Five bytes that are not a GIF.
    std::unique_ptr<rtl::TMemoryStream> s(NewStream({5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 'X'}));
    try {
        image.ReadData(*s);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "Unknown GIF version");
    }
    EXPECT_EQ(s->Position(), 9) << "the source is left after the counted bytes";

    std::unique_ptr<rtl::TMemoryStream> longer(NewStream({50, 0, 0, 0, 'G', 'I', 'F'}));
    EXPECT_THROW(image.ReadData(*longer), rtl::EReadError);
    std::unique_ptr<rtl::TMemoryStream> negative(NewStream({0xFF, 0xFF, 0xFF, 0xFF, 'G'}));
    EXPECT_THROW(image.ReadData(*negative), rtl::EReadError);
    std::unique_ptr<rtl::TMemoryStream> huge(NewStream({0xFF, 0xFF, 0xFF, 0x7F, 'G'}));
    EXPECT_THROW(image.ReadData(*huge), rtl::EReadError);

    // A valid GIF behind its length, with bytes after it.
    Bytes gif = TGifBuilder().Header("89a", 4, 2, 1).Image(0, 0, 4, 2).Trailer().B;
    Bytes block{std::uint8_t(gif.size()), 0, 0, 0};
    block.insert(block.end(), gif.begin(), gif.end());
    block.push_back(0xEE);
    std::unique_ptr<rtl::TMemoryStream> ok(NewStream(block));
    image.ReadData(*ok);
    EXPECT_EQ(image.Count(), 1);
    EXPECT_EQ(ok->Position(), std::int64_t(block.size() - 1));
}

TEST(GifReader, FirstFrameDecodeFailureRemovesIt) {
    // A frame without any colour table cannot be decoded.
    const Bytes b = TGifBuilder().Header("89a", 4, 2, 0).Image(0, 0, 4, 2).Trailer().B;
    TGIFImage image;
    std::unique_ptr<rtl::TMemoryStream> s(NewStream(b));
    try {
        image.LoadFromStream(*s);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "Wrong number of colors; must be a power of 2");
    }
    EXPECT_EQ(image.Count(), 0);
}

TEST(GifReader, LocalTablesAndInterlacedFrames) {
    auto image = Load(TGifBuilder()
                          .Header("89a", 9, 9, 1)
                          .Image(0, 0, 9, 9, 1, 3, true)
                          .Image(2, 1, 3, 3)
                          .Trailer()
                          .B);
    ASSERT_EQ(image->Count(), 2);
    TGIFFrame* f0 = image->Frames(0);
    EXPECT_TRUE(f0->Interlaced());
    EXPECT_TRUE(f0->LocalColors());
    EXPECT_EQ(f0->Item()->ColorTable.Count, 8);
    EXPECT_EQ(f0->Item()->BitsPerPixel, 3);
    TGIFFrame* f1 = image->Frames(1);
    EXPECT_FALSE(f1->LocalColors());
    EXPECT_EQ(f1->Item()->ColorTable.Count, 2) << "a copy of the global table";
    EXPECT_EQ(f1->Item()->BitsPerPixel, 1);
    EXPECT_EQ(f1->TopLeft(), (rtl::TPoint{2, 1}));
    EXPECT_FALSE(f1->HasBitmap()) << "only the first frame is decoded by reading";
    EXPECT_EQ(f1->GetWidth(), 3);
}

TEST(GifReader, MalformedFilesFailCleanly) {
    struct TCase {
        const char* file;
        const char* error; // empty: loads
        int frames;
        bool corrupted;
    };
    const TCase cases[] = {
        {"truncated-header.gif", "Unknown GIF version", 0, false},
        {"huge-frame.gif", "GIF image is too large", 0, false},
        {"self-loop.gif", "", 1, true},
        {"code-size-12.gif", "", 1, true},
        {"comment-then-garbage.gif", "Stream read error", 0, false},
        {"zero-screen.gif", "", 1, false},
        {"no-colour-table.gif", "Wrong number of colors; must be a power of 2", 0, false},
        {"subblock-overrun.gif", "", 1, true},
        {"unknown-extension.gif", "Unrecognized extension block: 2C", 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::ifstream in(std::string(QUILLOT_TEST_DATA) + "/gif/malformed/" + c.file,
                         std::ios::binary);
        ASSERT_TRUE(in) << "missing test file";
        const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
        TGIFImage image;
        std::unique_ptr<rtl::TMemoryStream> s(NewStream(bytes));
        std::string error;
        try {
            image.LoadFromStream(*s);
        } catch (const rtl::Exception& e) {
            error = e.Message();
        }
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(image.Count(), c.frames);
        EXPECT_EQ(image.GetCorrupted(), c.corrupted);
    }
}

namespace {

// A stream over bytes that is no memory stream, so the reader takes its copying path.
class TPlainStream : public rtl::TStream {
public:
    explicit TPlainStream(Bytes bytes) : FBytes(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = std::min(count, FBytes.size() - FAt);
        std::copy_n(FBytes.begin() + std::ptrdiff_t(FAt), n, static_cast<std::uint8_t*>(buffer));
        FAt += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, rtl::TSeekOrigin origin) override {
        const std::int64_t base = origin == rtl::TSeekOrigin::soBeginning ? 0
                                  : origin == rtl::TSeekOrigin::soCurrent
                                      ? std::int64_t(FAt)
                                      : std::int64_t(FBytes.size());
        FAt = std::size_t(std::clamp<std::int64_t>(base + offset, 0, std::int64_t(FBytes.size())));
        return std::int64_t(FAt);
    }

private:
    Bytes FBytes;
    std::size_t FAt = 0;
};

// What a read gave: each frame's corrupted flag and decoded bitmap file, or the error.
std::vector<std::string> ReadThrough(rtl::TStream& stream, std::int64_t at) {
    std::vector<std::string> out;
    try {
        stream.SetPosition(at);
        TGIFImage image;
        image.LoadFromStream(stream);
        for (int i = 0; i < image.Count(); ++i) {
            rtl::TMemoryStream bmp;
            image.Frames(i)->SaveToBitmapStream(bmp);
            out.push_back(
                std::string(image.Frames(i)->Corrupted() ? "corrupted " : "whole ") +
                std::string(reinterpret_cast<const char*>(bmp.Memory()), std::size_t(bmp.Size())));
        }
    } catch (const rtl::Exception& e) {
        out.push_back("error " + e.Message());
    }
    return out;
}

} // namespace

// A GIF held in memory is parsed where it stands; read from any other stream it is
// copied first. Both give the same frames, flags and errors, from wherever the GIF
// starts in its stream.
TEST(GifReader, MemoryAndOtherStreamsReadAlike) {
    TLoadCorruptedSwitch restore;
    const Bytes twoFrames =
        TGifBuilder().Header("89a", 8, 8, 1).Image(0, 0, 8, 8).Image(2, 2, 4, 4, 1, 2).Trailer().B;
    Bytes cut = TGifBuilder().Header("89a", 8, 8, 1).Image(0, 0, 8, 8).B;
    cut.resize(cut.size() - 3);
    const struct {
        const char* What;
        Bytes Gif;
        bool LoadCorrupted;
    } cases[] = {
        {"two frames", twoFrames, true},
        {"a raster cut short, kept", cut, true},
        {"a raster cut short, refused", cut, false},
    };
    for (const auto& c : cases)
        for (const std::size_t lead : {std::size_t(0), std::size_t(5)}) {
            SCOPED_TRACE(std::string(c.What) + ", " + std::to_string(lead) + " bytes before it");
            GIFLoadCorrupted = c.LoadCorrupted;
            Bytes bytes(lead, 0xEE);
            bytes.insert(bytes.end(), c.Gif.begin(), c.Gif.end());
            std::unique_ptr<rtl::TMemoryStream> memory(NewStream(bytes));
            TPlainStream plain(bytes);
            const std::vector<std::string> fromMemory = ReadThrough(*memory, std::int64_t(lead));
            EXPECT_FALSE(fromMemory.empty());
            EXPECT_EQ(fromMemory, ReadThrough(plain, std::int64_t(lead)));
        }
}
