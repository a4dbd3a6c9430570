// Reading and writing BMP file images: every depth in both row orders round-trips
// exactly, the variants of the format load, and damaged images are refused cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "BmpBuilder.h"
#include "graphics/Graphics.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

using namespace graphics;
using namespace testbmp;

namespace {

struct TDepthCase {
    const char* Name;
    int BitCount;
    bool Is565;
    int Colors; // table entries written
    TPixelFormat Format;
};

const TDepthCase kDepths[] = {
    {"1 bit", 1, false, 2, pf1bit},
    {"4 bits", 4, false, 16, pf4bit},
    {"4 bits, 5 colours", 4, false, 5, pf4bit},
    {"8 bits", 8, false, 256, pf8bit},
    {"8 bits, 3 colours", 8, false, 3, pf8bit},
    {"16 bits 5-5-5", 16, false, 0, pf15bit},
    {"16 bits 5-6-5", 16, true, 0, pf16bit},
    {"24 bits", 24, false, 0, pf24bit},
    {"32 bits", 32, false, 0, pf32bit},
    {"24 bits with a table", 24, false, 7, pf24bit},
};

} // namespace

TEST(BitmapStream, EveryDepthAndRowOrderRoundTripsExactly) {
    for (const TDepthCase& d : kDepths) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(d.Name) + (topDown ? ", top-down" : ", bottom-up"));
            TBmpFields spec;
            spec.Width = 13; // odd widths exercise row padding and partial bytes
            spec.Height = 5;
            spec.BitCount = d.BitCount;
            spec.Is565 = d.Is565;
            spec.TopDown = topDown;
            spec.Colors = GreyRamp(d.Colors);
            spec.Pixels = PatternPixels(spec.Width, spec.Height, spec.BitCount);
            const std::vector<std::uint8_t> bytes = BuildBmp(spec);

            TBitmap bitmap;
            LoadBytes(bitmap, bytes);
            EXPECT_EQ(13, bitmap.Width());
            EXPECT_EQ(5, bitmap.Height());
            EXPECT_EQ(d.Format, bitmap.PixelFormat());
            ASSERT_EQ(d.Colors, bitmap.PaletteCount());
            for (int i = 0; i < d.Colors; ++i) {
                EXPECT_EQ(spec.Colors[i].rgbRed, bitmap.PaletteEntry(i).rgbRed) << "entry " << i;
                EXPECT_EQ(spec.Colors[i].rgbBlue, bitmap.PaletteEntry(i).rgbBlue) << "entry " << i;
            }
            // Image row 0 is the first row in the file when top-down, the last otherwise.
            const int stride = Stride(spec.Width, spec.BitCount);
            ASSERT_EQ(stride, bitmap.BytesPerScanLine());
            for (int row = 0; row < spec.Height; ++row) {
                const int fileRow = topDown ? row : spec.Height - 1 - row;
                EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(row), &spec.Pixels[fileRow * stride],
                                         std::size_t(stride)))
                    << "image row " << row;
            }
            EXPECT_EQ(bytes, SaveBytes(bitmap));
        }
    }
}

TEST(BitmapStream, RoundTripSurvivesDrawingHandleCreation) {
    TBmpFields spec;
    spec.Width = 6;
    spec.Height = 3;
    spec.BitCount = 8;
    spec.Colors = GreyRamp(256);
    spec.Pixels = PatternPixels(6, 3, 8);
    const auto bytes = BuildBmp(spec);
    TBitmap bitmap;
    LoadBytes(bitmap, bytes);
    ASSERT_NE(nullptr, bitmap.Handle());
    ASSERT_NE(nullptr, bitmap.Canvas()->Handle());
    EXPECT_EQ(bytes, SaveBytes(bitmap));
}

// The layout a GIF frame is decoded into: 8 bits, full 256-entry table with the unused
// entries (128, 128, 128), bottom-up rows, colours used 0.
TEST(BitmapStream, DecoderLayoutLoadsWithExactlyItsPixels) {
    const int w = 5, h = 3, stride = 8;
    std::vector<RGBQUAD> table(256, Quad(128, 128, 128));
    table[0] = Quad(0, 0, 0);
    table[1] = Quad(255, 255, 255);
    table[2] = Quad(255, 0, 0);
    table[3] = Quad(0, 0, 255);
    const std::uint8_t image[3][5] = {{0, 1, 2, 3, 0}, {1, 1, 1, 1, 1}, {3, 2, 1, 0, 4}};
    TBmpFields spec;
    spec.Width = w;
    spec.Height = h;
    spec.BitCount = 8;
    spec.Colors = table;
    spec.Pixels.assign(stride * h, 0);
    for (int y = 0; y < h; ++y)
        std::memcpy(&spec.Pixels[(h - 1 - y) * stride], image[y], w);
    const auto bytes = BuildBmp(spec);
    ASSERT_EQ(std::size_t(54 + 1024 + stride * h), bytes.size());

    TBitmap bitmap;
    LoadBytes(bitmap, bytes);
    ASSERT_EQ(pf8bit, bitmap.PixelFormat());
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(bitmap.ScanLine(y));
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(image[y][x], row[x]) << "index at " << x << "," << y;
            const RGBQUAD q = table[image[y][x]];
            EXPECT_EQ(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue), COLORREF(bitmap.Canvas()->Pixels(x, y)))
                << "colour at " << x << "," << y;
        }
    }
    EXPECT_EQ(256, bitmap.PaletteCount());
    EXPECT_NE(nullptr, bitmap.Palette());
}

TEST(BitmapStream, LoadLeavesTheStreamAfterThePixels) {
    TBmpFields spec;
    spec.Width = 3;
    spec.Height = 2;
    spec.Pixels = PatternPixels(3, 2, 24);
    auto bytes = BuildBmp(spec);
    const std::size_t length = bytes.size();
    bytes.insert(bytes.end(), {0xDE, 0xAD});
    rtl::TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.SetPosition(0);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(std::int64_t(length), stream.Position());
}

TEST(BitmapStream, CoreHeaderWithThreeByteTableLoads) {
    std::vector<std::uint8_t> b = {'B', 'M'};
    Put32(b, 14 + 12 + 6 + 4); // file size
    Put32(b, 0);
    Put32(b, 14 + 12 + 6);                     // offset
    Put32(b, 12);                              // core header
    Put16(b, 3);                               // width
    Put16(b, 1);                               // height
    Put16(b, 1);                               // planes
    Put16(b, 1);                               // 1 bit
    b.insert(b.end(), {0, 0, 255, 255, 0, 0}); // red, blue (blue green red triples)
    b.insert(b.end(), {0xA0, 0, 0, 0});        // pixels 1, 0, 1
    TBitmap bitmap;
    LoadBytes(bitmap, b);
    ASSERT_EQ(2, bitmap.PaletteCount());
    EXPECT_EQ(RGB(255, 0, 0), COLORREF(bitmap.Canvas()->Pixels(1, 0)));
    EXPECT_EQ(RGB(0, 0, 255), COLORREF(bitmap.Canvas()->Pixels(0, 0)));
    EXPECT_FALSE(bitmap.Monochrome());
}

TEST(BitmapStream, V5HeaderWithStandardMasksLoadsAs32Bits) {
    std::vector<std::uint8_t> b = {'B', 'M'};
    Put32(b, 14 + 124 + 8);
    Put32(b, 0);
    Put32(b, 14 + 124);
    Put32(b, 124); // V5 header
    Put32(b, 2);   // width
    Put32(b, 1);   // height
    Put16(b, 1);   // planes
    Put16(b, 32);  // depth
    Put32(b, 3);   // BI_BITFIELDS
    Put32(b, 8);   // image size
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0x00FF0000);  // red mask
    Put32(b, 0x0000FF00);  // green mask
    Put32(b, 0x000000FF);  // blue mask
    Put32(b, 0xFF000000);  // alpha mask
    b.resize(14 + 124, 0); // colour space, end points, gamma, intent, profile
    b.insert(b.end(), {0x10, 0x20, 0x30, 0xFF, 0x40, 0x50, 0x60, 0xFF});
    TBitmap bitmap;
    LoadBytes(bitmap, b);
    EXPECT_EQ(pf32bit, bitmap.PixelFormat());
    EXPECT_EQ(RGB(0x30, 0x20, 0x10), PixelOf(bitmap, 0, 0));
    EXPECT_EQ(RGB(0x60, 0x50, 0x40), PixelOf(bitmap, 1, 0));
    const auto saved = SaveBytes(bitmap);
    EXPECT_EQ(40u, saved[14]) << "written with a 40-byte header";
}

TEST(BitmapStream, UnusualChannelMasksAreUnpacked) {
    // 16 bits with 4-4-4 channels: 0x0F00 red, 0x00F0 green, 0x000F blue.
    std::vector<std::uint8_t> b = {'B', 'M'};
    Put32(b, 14 + 40 + 12 + 4);
    Put32(b, 0);
    Put32(b, 14 + 40 + 12);
    Put32(b, 40);
    Put32(b, 2);
    Put32(b, 1);
    Put16(b, 1);
    Put16(b, 16);
    Put32(b, 3);
    Put32(b, 4);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0x0F00);
    Put32(b, 0x00F0);
    Put32(b, 0x000F);
    Put16(b, 0x0F00); // pure red
    Put16(b, 0x008F); // green 8 of 15, blue 15
    TBitmap bitmap;
    LoadBytes(bitmap, b);
    EXPECT_EQ(pf24bit, bitmap.PixelFormat());
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(bitmap, 0, 0)));
    EXPECT_EQ(Hex(RGB(0, 136, 255)), Hex(PixelOf(bitmap, 1, 0)));
}

TEST(BitmapStream, ZeroPixelOffsetMeansRightAfterTheTable) {
    TBmpFields spec;
    spec.Width = 2;
    spec.Height = 1;
    spec.BitCount = 8;
    spec.Colors = GreyRamp(4);
    spec.Pixels = {3, 1, 0, 0};
    auto bytes = BuildBmp(spec);
    std::memset(&bytes[10], 0, 4);
    TBitmap bitmap;
    LoadBytes(bitmap, bytes);
    EXPECT_EQ(3, static_cast<const std::uint8_t*>(bitmap.ScanLine(0))[0]);
}

TEST(BitmapStream, PictureDataCarriesALengthPrefix) {
    TBmpFields spec;
    spec.Width = 4;
    spec.Height = 2;
    spec.BitCount = 4;
    spec.Colors = GreyRamp(16);
    spec.Pixels = PatternPixels(4, 2, 4);
    TBitmap bitmap;
    LoadBytes(bitmap, BuildBmp(spec));
    rtl::TMemoryStream data;
    bitmap.WriteData(data);
    data.SetPosition(0);
    EXPECT_EQ(data.Size() - 4, std::int64_t(data.ReadDWord()));
    data.SetPosition(0);
    TBitmap copy;
    copy.ReadData(data);
    EXPECT_EQ(data.Size(), data.Position());
    EXPECT_EQ(SaveBytes(bitmap), SaveBytes(copy));
}

TEST(BitmapStream, PictureDataLengthBeyondTheStreamIsRefused) {
    rtl::TMemoryStream data;
    data.WriteDWord(1000);
    data.WriteDWord(0);
    data.SetPosition(0);
    TBitmap bitmap;
    EXPECT_THROW(bitmap.ReadData(data), rtl::EInvalidGraphic);
}

// --- damaged images

namespace {

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
}

void ExpectRefusedKeepingOldImage(const std::vector<std::uint8_t>& bytes) {
    TBitmap bitmap;
    MakeSolid(bitmap, 2, 2, formstream::clRed);
    const auto before = SaveBytes(bitmap);
    try {
        LoadBytes(bitmap, bytes);
        ADD_FAILURE() << "loaded without complaint";
    } catch (const rtl::EInvalidGraphic& e) {
        EXPECT_EQ("Bitmap image is not valid", e.Message());
    }
    EXPECT_EQ(before, SaveBytes(bitmap)) << "the bitmap changed";
}

} // namespace

TEST(BitmapStream, MalformedFilesAreRefused) {
    const std::filesystem::path dir =
        std::filesystem::path(QUILLOT_TEST_DATA) / "graphics" / "malformed";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().filename().string());
        ExpectRefusedKeepingOldImage(ReadFile(entry.path()));
        ++count;
    }
    EXPECT_GE(count, 12);
}

TEST(BitmapStream, EveryTruncationIsRefused) {
    for (int depth : {1, 8, 16, 32}) {
        TBmpFields spec;
        spec.Width = 3;
        spec.Height = 2;
        spec.BitCount = depth;
        spec.Is565 = depth == 16;
        if (depth <= 8)
            spec.Colors = GreyRamp(1 << depth);
        spec.Pixels = PatternPixels(3, 2, depth);
        const auto bytes = BuildBmp(spec);
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            SCOPED_TRACE("depth " + std::to_string(depth) + ", " + std::to_string(n) + " bytes");
            ExpectRefusedKeepingOldImage(
                std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n));
        }
    }
}

TEST(BitmapStream, EmptyBitmapWritesNothingAndReadsBackEmpty) {
    TBitmap bitmap;
    EXPECT_TRUE(SaveBytes(bitmap).empty());
    rtl::TMemoryStream data;
    bitmap.WriteData(data);
    EXPECT_EQ(4, data.Size());
    data.SetPosition(0);
    TBitmap copy;
    MakeSolid(copy, 1, 1, formstream::clBlack);
    copy.ReadData(data);
    EXPECT_TRUE(copy.Empty());
}
