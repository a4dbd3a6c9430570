// The LZW decoder (into bitmap file images) and the LZW encoder, on hand-built codes.
#include <gtest/gtest.h>

#include <random>

#include "GifTestUtil.h"
#include "gif/GifCodec.h"
#include "gif/GifTypes.h"
#include "rtl/Exceptions.h"

using namespace gif;
using namespace giftest;

namespace {

// A frame record of the given size and index width with `encoded` as its raster.
TSharedRef<TGIFItem> Item(int width, int height, int bits, const Bytes& encoded) {
    auto item = TGIFItem::New();
    item->Width = width;
    item->Height = height;
    item->BitsPerPixel = std::uint8_t(bits);
    item->ColorTable.Count = 1 << bits;
    for (int i = 0; i < item->ColorTable.Count; ++i)
        item->ColorTable.Colors[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i + 1),
                                                   std::uint8_t(i + 2)};
    item->Data.reset(NewStream(encoded));
    return item;
}

struct TDecoded {
    Bytes Bmp;
    bool Corrupted = false;
    int Pixel(int x, int y) const { return BmpPixel(Bmp.data(), x, y); }
};

TDecoded Decode(const TGIFItem& item, bool interlaced = false, bool tolerant = true) {
    rtl::TMemoryStream s;
    TDecoded d;
    d.Corrupted = WriteBitmapStream(item, interlaced, tolerant, {}, s);
    EXPECT_EQ(s.Position(), 0);
    d.Bmp = StreamBytes(s);
    return d;
}

std::vector<int> Row(const TDecoded& d, int y, int width) {
    std::vector<int> r;
    for (int x = 0; x < width; ++x)
        r.push_back(d.Pixel(x, y));
    return r;
}

} // namespace

TEST(GifDecoder, OnePixelImageWritesCompleteBitmapFile) {
    // Minimum code size 2: clear 4, literal 0, end 5, all 3 bits wide.
    const Bytes encoded = Blocks(2, PackCodes({{4, 3}, {0, 3}, {5, 3}}));
    const auto item = Item(1, 1, 1, encoded);
    const TDecoded d = Decode(*item);
    const std::uint8_t* b = d.Bmp.data();
    ASSERT_EQ(d.Bmp.size(), 54u + 8u + 4u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(LE32(b + 2), 66u) << "file size";
    EXPECT_EQ(LE32(b + 6), 0u) << "reserved";
    EXPECT_EQ(LE32(b + 10), 62u) << "offset of the pixels";
    EXPECT_EQ(LE32(b + 14), 40u) << "header size";
    EXPECT_EQ(LE32(b + 18), 1u) << "width";
    EXPECT_EQ(LE32(b + 22), 1u) << "height, positive: bottom-up";
    EXPECT_EQ(b[26] | b[27] << 8, 1) << "planes";
    EXPECT_EQ(b[28] | b[29] << 8, 1) << "bits per pixel";
    EXPECT_EQ(LE32(b + 30), 0u) << "compression";
    EXPECT_EQ(LE32(b + 34), 4u) << "image size";
    for (int off : {38, 42, 46, 50})
        EXPECT_EQ(LE32(b + off), 0u) << "field at " << off;
    // Palette: blue, green, red, 0 of the two table entries.
    EXPECT_EQ(Bytes(b + 54, b + 62), (Bytes{2, 1, 0, 0, 3, 2, 1, 0}));
    EXPECT_EQ(d.Pixel(0, 0), 0);
    EXPECT_FALSE(d.Corrupted);
}

TEST(GifDecoder, CodeNotYetDefinedRepeatsOldStringAndItsFirstPixel) {
    // Clear, literal 1, then 6 (the first free code, not yet defined), end.
    const auto item = Item(3, 1, 2, Blocks(2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}})));
    const TDecoded d = Decode(*item);
    EXPECT_EQ(Row(d, 0, 3), (std::vector<int>{1, 1, 1}));
    EXPECT_FALSE(d.Corrupted);
}

TEST(GifDecoder, CodeWithoutPreviousStringIsLiteralWithoutEntry) {
    // Index width 2, minimum code size 2: clear 4, end 5, first free entry 6.
    struct TCase {
        const char* Name;
        std::vector<std::pair<int, int>> Codes;
        std::vector<int> Pixels;
    };
    const TCase cases[] = {
        // No clear code first: 1 adds no entry, so 2 adds 6 = (1 2), 6 adds 7 = (2 1) and
        // widens the codes to 4 bits, 7 adds 8 = (1 2 2).
        {"data without a leading clear code",
         {{1, 3}, {2, 3}, {6, 3}, {7, 4}, {5, 4}},
         {1, 2, 1, 2, 2, 1}},
        // The second clear code is a clear code, not a pixel.
        {"two clear codes in a row", {{4, 3}, {4, 3}, {1, 3}, {2, 3}, {5, 3}}, {1, 2, 0, 0}},
        {"two clear codes in the middle",
         {{4, 3}, {3, 3}, {4, 3}, {4, 3}, {1, 3}, {6, 3}, {5, 3}},
         {3, 1, 1, 1}},
        // A clear code followed by the end code ends the frame; the literal behind the
        // end code is never read.
        {"clear code then end code", {{4, 3}, {5, 3}, {3, 3}}, {0, 0, 0, 0}},
        {"end code after a clear in the middle",
         {{4, 3}, {2, 3}, {4, 3}, {5, 3}, {3, 3}},
         {2, 0, 0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const int width = int(c.Pixels.size());
        const auto item = Item(width, 1, 2, Blocks(2, PackCodes(c.Codes)));
        const TDecoded d = Decode(*item);
        EXPECT_EQ(Row(d, 0, width), c.Pixels);
        EXPECT_FALSE(d.Corrupted);
    }
}

TEST(GifDecoder, InterlacedRowsFilledOnceInPassOrder) {
    // Rows 0..H-1 of a 1-pixel-wide frame receive literals 0, 1, 2 ... in decoding order.
    const std::vector<std::pair<int, std::vector<int>>> cases = {
        {1, {0}},
        {2, {0, 1}},
        {3, {0, 2, 1}},
        {5, {0, 4, 2, 1, 3}},
        {9, {0, 8, 4, 2, 6, 1, 3, 5, 7}},
        {16, {0, 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}},
    };
    for (const auto& [height, order] : cases) {
        SCOPED_TRACE("height " + std::to_string(height));
        // Minimum code size 8; each literal adds an entry, so the width grows at 512 only.
        std::vector<std::pair<int, int>> codes{{256, 9}};
        for (int i = 0; i < height; ++i)
            codes.push_back({100 + i, 9});
        codes.push_back({257, 9});
        const auto item = Item(1, height, 8, Blocks(8, PackCodes(codes)));
        const TDecoded d = Decode(*item, true);
        for (int k = 0; k < height; ++k)
            EXPECT_EQ(d.Pixel(0, order[std::size_t(k)]), 100 + k) << "decoded row " << k;
    }
}

namespace {
// Literals 0, 1, 2, ... (mod 256) after a clear code at minimum code size 8, with the code
// width the decoder must use: 9 bits until entry 511 exists, 10 until 1023, ... never
// more than 12.
std::vector<std::pair<int, int>> LiteralRun(int count, std::vector<int>* pixels) {
    std::vector<std::pair<int, int>> codes{{256, 9}};
    int nextEntry = 258; // entry added after each literal but the first
    int bits = 9;
    for (int i = 0; i < count; ++i) {
        codes.push_back({i % 256, bits});
        pixels->push_back(i % 256);
        if (i > 0 && nextEntry < 4096) {
            ++nextEntry;
            if (nextEntry == (1 << bits) && bits < 12)
                ++bits;
        }
    }
    return codes;
}
} // namespace

TEST(GifDecoder, CodeWidthGrowsAfterEntry511AndStopsAt12Bits) {
    std::vector<int> pixels;
    auto codes = LiteralRun(300, &pixels); // entry 511 is added after literal 255
    codes.push_back({257, 10});
    const auto item = Item(300, 1, 8, Blocks(8, PackCodes(codes)));
    const TDecoded d = Decode(*item);
    EXPECT_EQ(Row(d, 0, 300), pixels);
    EXPECT_FALSE(d.Corrupted);

    // Fill the whole table (entries 258..4095), then go on without a clear code: codes
    // stay 12 bits and no entry is added, so 4095 keeps (literal 3837, literal 3838).
    pixels.clear();
    codes = LiteralRun(3839, &pixels);
    codes.push_back({4095, 12});
    codes.push_back({7, 12});
    codes.push_back({4095, 12});
    codes.push_back({257, 12});
    for (int v : {3837 % 256, 3838 % 256, 7, 3837 % 256, 3838 % 256})
        pixels.push_back(v);
    const int width = int(pixels.size());
    const auto full = Item(width, 1, 8, Blocks(8, PackCodes(codes)));
    const TDecoded f = Decode(*full);
    EXPECT_EQ(Row(f, 0, width), pixels);
}

TEST(GifDecoder, MinimumCodeSizeOutOfRange) {
    // Minimum code size 10: clear 1024, literal 5, then literal 6 (11 bits each).
    const auto item =
        Item(4, 1, 8, Blocks(10, PackCodes({{1024, 11}, {5, 11}, {6, 11}, {1025, 11}})));
    // Clamped to 9: the clear code read as 9 bits (1024 & 511 = 0) is a literal 0, not a
    // clear; decoding stops at the first string, so nothing is written.
    const TDecoded d = Decode(*item);
    EXPECT_TRUE(d.Corrupted);
    EXPECT_EQ(Row(d, 0, 4), (std::vector<int>{0, 0, 0, 0}));

    // With minimum code size 1 (clamped to 2) the first literal after a clear is written.
    const auto small = Item(4, 1, 2, Blocks(1, PackCodes({{4, 3}, {3, 3}, {2, 3}, {5, 3}})));
    const TDecoded s = Decode(*small);
    EXPECT_TRUE(s.Corrupted);
    EXPECT_EQ(Row(s, 0, 4), (std::vector<int>{3, 0, 0, 0}));

    try {
        Decode(*item, false, false);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "GIF code size not in range 2 to 9");
    }
}

TEST(GifDecoder, BitmapDepthAndPaletteFollowTableSize) {
    struct TCase {
        int bits, depth, paletteEntries;
    };
    for (const TCase c : {TCase{1, 1, 2}, TCase{2, 4, 16}, TCase{3, 4, 16}, TCase{4, 4, 16},
                          TCase{5, 8, 256}, TCase{8, 8, 256}}) {
        SCOPED_TRACE("index bits " + std::to_string(c.bits));
        const int minSize = std::max(2, c.bits);
        const int clear = 1 << minSize;
        const auto item = Item(2, 1, c.bits,
                               Blocks(minSize, PackCodes({{clear, minSize + 1},
                                                          {1, minSize + 1},
                                                          {0, minSize + 1},
                                                          {clear + 1, minSize + 1}})));
        const TDecoded d = Decode(*item);
        const std::uint8_t* b = d.Bmp.data();
        EXPECT_EQ(b[28], c.depth);
        EXPECT_EQ(LE32(b + 10), 54u + 4u * std::uint32_t(c.paletteEntries));
        const int tableCount = 1 << c.bits;
        for (int i = 0; i < c.paletteEntries; ++i) {
            const std::uint8_t* q = b + 54 + 4 * i;
            const Bytes want =
                i < tableCount ? Bytes{std::uint8_t(i + 2), std::uint8_t(i + 1), std::uint8_t(i), 0}
                               : Bytes{128, 128, 128, 128};
            EXPECT_EQ(Bytes(q, q + 4), want) << "palette entry " << i;
        }
        EXPECT_EQ(Row(d, 0, 2), (std::vector<int>{1, 0}));
    }
}

TEST(GifDecoder, FramesWithoutPixelsGiveHeadersOnly) {
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const auto item = Item(w, h, 8, Blocks(8, PackCodes({{256, 9}, {1, 9}, {257, 9}})));
        const TDecoded d = Decode(*item);
        EXPECT_FALSE(d.Corrupted);
        EXPECT_EQ(d.Bmp.size(), 54u + 1024u);
    }
}

TEST(GifDecoder, IndexWidthOutsideOneToEightIsRejected) {
    for (int bits : {0, 9}) {
        auto item = Item(1, 1, 1, Blocks(2, PackCodes({{4, 3}, {0, 3}, {5, 3}})));
        item->BitsPerPixel = std::uint8_t(bits);
        try {
            Decode(*item);
            FAIL() << "expected an exception for " << bits << " bits";
        } catch (const rtl::EInvalidGraphicOperation& e) {
            EXPECT_EQ(e.Message(), "Wrong number of colors; must be a power of 2");
        }
    }
}

TEST(GifDecoder, SubBlockLayoutDoesNotChangePixels) {
    std::vector<int> pixels;
    auto codes = LiteralRun(1000, &pixels);
    codes.push_back({257, 10});
    const Bytes packed = PackCodes(codes);
    const std::vector<std::vector<int>> layouts = {{255}, {1}, {1, 255}, {7, 1, 200, 3}, {2}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE("first sub-block length " + std::to_string(layout[0]));
        const auto item = Item(1000, 1, 8, Blocks(8, packed, layout));
        const TDecoded d = Decode(*item);
        EXPECT_EQ(Row(d, 0, 1000), pixels);
        EXPECT_FALSE(d.Corrupted);
    }
    // Zero-length sub-blocks inside the chain add no bits.
    Bytes withEmpty = Blocks(8, packed, {100});
    withEmpty.insert(withEmpty.begin() + 1, 0);
    withEmpty.insert(withEmpty.begin() + 103, 0); // after the first 100-byte sub-block
    const TDecoded d = Decode(*Item(1000, 1, 8, withEmpty));
    EXPECT_EQ(Row(d, 0, 1000), pixels);
}

TEST(GifDecoder, DataEndingEarlyLeavesRestZeroAndMarksCorrupted) {
    // Four of six pixels, then the sub-blocks end without an end code.
    const auto item = Item(3, 2, 2, Blocks(2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 3}})));
    const TDecoded d = Decode(*item);
    EXPECT_TRUE(d.Corrupted);
    EXPECT_EQ(Row(d, 0, 3), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Row(d, 1, 3), (std::vector<int>{1, 0, 0}));
    EXPECT_THROW(Decode(*item, false, false), rtl::EInvalidGraphicOperation);

    // An end code after the last pixel is not needed.
    const auto exact = Item(2, 1, 2, Blocks(2, PackCodes({{4, 3}, {1, 3}, {2, 3}})));
    EXPECT_FALSE(Decode(*exact).Corrupted);
}

TEST(GifDecoder, PixelsNeverWrittenAreZeroInAReusedStream) {
    struct TCase {
        int Width, Height, Bits;
        bool Interlaced;
        int Pixels; // decoded before the data end
    };
    const TCase cases[] = {
        {16, 10, 8, false, 40},  // rows decoded in place, turned bottom-up
        {16, 3, 8, false, 40},   // more than half of the rows written
        {16, 3, 8, false, 48},   // every row written
        {13, 10, 8, false, 30},  // padded rows
        {16, 10, 8, true, 40},   // interlaced
        {16, 10, 1, false, 40},  // packed rows
        {16, 10, 3, false, 100}, // nibbles
        {13, 10, 8, true, 30},   // padded and interlaced, in place
        {13, 10, 3, true, 70},   {13, 10, 1, true, 50},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height) + ", " +
                     std::to_string(c.Bits) + " bits" + (c.Interlaced ? ", interlaced" : "") +
                     ", " + std::to_string(c.Pixels) + " pixels");
        const int minSize = std::max(2, c.Bits);
        const int clear = 1 << minSize;
        std::vector<std::pair<int, int>> codes{{clear, minSize + 1}};
        std::vector<int> values;
        int next = clear + 2, width = minSize + 1;
        for (int i = 0; i < c.Pixels; ++i) {
            values.push_back(1 + i % ((1 << c.Bits) - 1));
            codes.push_back({values.back(), width});
            if (i > 0 && ++next == (1 << width) && width < 12)
                ++width;
        }
        const auto item = Item(c.Width, c.Height, c.Bits, Blocks(minSize, PackCodes(codes)));
        rtl::TMemoryStream s;
        const Bytes garbage(1 << 16, 0xFF);
        s.WriteBuffer(garbage.data(), garbage.size());
        const bool corrupted = WriteBitmapStream(*item, c.Interlaced, true, {}, s);
        EXPECT_EQ(corrupted, c.Pixels < c.Width * c.Height);
        const Bytes bmp = StreamBytes(s);
        int pass = 0, row = 0;
        std::vector<int> order; // image rows in decoding order
        for (int k = 0; k < c.Height; ++k) {
            order.push_back(row);
            if (!c.Interlaced) {
                ++row;
                continue;
            }
            static const int step[4] = {8, 8, 4, 2}, start[4] = {0, 4, 2, 1};
            row += step[pass];
            while (row >= c.Height && pass < 3)
                row = start[++pass];
        }
        for (int k = 0; k < c.Width * c.Height; ++k) {
            const int want = k < c.Pixels ? values[std::size_t(k)] : 0;
            const int x = k % c.Width, y = order[std::size_t(k / c.Width)];
            ASSERT_EQ(BmpPixel(bmp.data(), x, y), want) << "pixel " << x << "," << y;
        }
    }
}

TEST(GifDecoder, SubBlockLongerThanDataRaisesReadError) {
    Bytes encoded = Blocks(2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}}), {255}, false);
    encoded[1] = 50; // the length byte promises 50 bytes; two follow
    const auto item = Item(4, 1, 2, encoded);
    try {
        Decode(*item);
        FAIL() << "expected an exception";
    } catch (const rtl::EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
    // A missing minimum code size byte too.
    EXPECT_THROW(Decode(*Item(1, 1, 1, {})), rtl::EReadError);
}

TEST(GifDecoder, SelfReferencingCodeChainIsCorrupt) {
    // Clear, 1, then 7 (beyond the next free code 6: taken as the old string plus its
    // first pixel, entry 6 added), then 0 (adds entry 7 with itself as prefix), then 7.
    const auto item =
        Item(20, 1, 2, Blocks(2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {0, 3}, {7, 4}, {5, 4}})));
    const TDecoded d = Decode(*item);
    EXPECT_TRUE(d.Corrupted);
    EXPECT_EQ(Row(d, 0, 5), (std::vector<int>{1, 1, 1, 0, 0}));
    try {
        Decode(*item, false, false);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "GIF encoded data is corrupt");
    }
}

TEST(GifDecoder, MinimumCodeSizeBelowTableDepthDecodesStrings) {
    // A 256-colour frame whose data use minimum code size 2: code 6 is the string (1, 2).
    const auto item = Item(4, 1, 8, Blocks(2, PackCodes({{4, 3}, {1, 3}, {2, 3}, {6, 3}, {5, 3}})));
    EXPECT_EQ(Row(Decode(*item), 0, 4), (std::vector<int>{1, 2, 1, 2}));
}

TEST(GifDecoder, ProgressReportsStartRunningAndEnd) {
    std::vector<std::pair<int, int>> reports;
    TGIFProgress progress;
    progress.Context = &reports;
    progress.Proc = [](void* ctx, formstream::TProgressStage stage, std::uint8_t percent,
                       const std::string&) {
        static_cast<std::vector<std::pair<int, int>>*>(ctx)->push_back({int(stage), percent});
    };
    std::vector<int> pixels;
    auto codes = LiteralRun(1000, &pixels);
    const auto item = Item(1000, 1, 8, Blocks(8, PackCodes(codes), {10}));
    rtl::TMemoryStream s;
    WriteBitmapStream(*item, false, true, progress, s);
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.front(), (std::pair<int, int>{0, 0}));
    EXPECT_EQ(reports.back(), (std::pair<int, int>{2, 100}));
    for (std::size_t i = 1; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].first, 1);
        EXPECT_GT(reports[i].second, reports[i - 1].second);
    }

    // A failure ends with 0 % and its message.
    std::vector<std::string> messages;
    progress.Context = &messages;
    progress.Proc = [](void* ctx, formstream::TProgressStage stage, std::uint8_t percent,
                       const std::string& msg) {
        if (stage == formstream::psEnding)
            static_cast<std::vector<std::string>*>(ctx)->push_back(std::to_string(percent) + msg);
    };
    auto bad = Item(1, 1, 1, Blocks(12, PackCodes({{0, 13}})));
    EXPECT_THROW(WriteBitmapStream(*bad, false, false, progress, s), rtl::Exception);
    EXPECT_EQ(messages, (std::vector<std::string>{"0GIF code size not in range 2 to 9"}));
}

// --- encoder

namespace {
Bytes EncodeBmp(const Bytes& bmp, bool interlaced = false) {
    const std::uint8_t* b = bmp.data();
    const int width = int(LE32(b + 18));
    const int height = int(LE32(b + 22));
    const int depth = b[28];
    const int stride = ((width * depth + 31) / 32) * 4;
    const std::uint8_t* bottom = b + LE32(b + 10) + std::size_t(height - 1) * stride;
    rtl::TMemoryStream out;
    EncodeRaster(out, width, height, depth, interlaced, bottom, -stride, {});
    return StreamBytes(out);
}
} // namespace

TEST(GifEncoder, TwoPixelBitmapGivesKnownBytes) {
    // 1 bit per pixel, pixels 1, 0: minimum code size 2; codes 4, 1, 0, 5 of 3 bits.
    const Bytes bmp = MakeBmp(2, 1, 1, [](int x, int) { return x == 0 ? 1 : 0; });
    EXPECT_EQ(EncodeBmp(bmp), (Bytes{0x02, 0x02, 0x0C, 0x0A, 0x00}));
}

TEST(GifEncoder, ClearsAfterCode4094AndRestartsNarrow) {
    // All pixels equal: the strings grow by one pixel per code (0, 258, 259, ...). When
    // code 4094 is assigned (after writing 4093) the pending pixel and a clear follow.
    const int width = 4096;
    const int height = 1798; // 7,364,608 pixels: the first epoch covers 7,363,203
    Bytes bmp = MakeBmp(width, height, 8, [](int, int) { return 0; });
    const Bytes encoded = EncodeBmp(bmp);
    ASSERT_EQ(encoded[0], 8);
    std::vector<std::pair<int, int>> want{{256, 9}, {0, 9}};
    for (int code = 258; code <= 4093; ++code) {
        const int bits = code < 512 ? 9 : code < 1024 ? 10 : code < 2048 ? 11 : 12;
        want.push_back({code, bits});
    }
    want.push_back({0, 12});
    want.push_back({256, 12});
    want.push_back({0, 9}); // the next epoch starts with 9-bit codes
    const Bytes wantBytes = PackCodes(want);
    const Bytes got = Unblock(encoded);
    ASSERT_GE(got.size(), wantBytes.size());
    // The last expected byte is shared with the following codes; compare whole bytes.
    EXPECT_EQ(Bytes(got.begin(), got.begin() + std::ptrdiff_t(wantBytes.size() - 1)),
              Bytes(wantBytes.begin(), wantBytes.end() - 1));
    // Sub-blocks: full 255-byte blocks, then one shorter, then the terminator.
    std::size_t i = 1;
    while (encoded[i] == 255)
        i += 256;
    ASSERT_LT(i, encoded.size());
    EXPECT_GT(encoded[i], 0);
    EXPECT_EQ(i + 1 + encoded[i] + 1, encoded.size());
    EXPECT_EQ(encoded.back(), 0);

    // And the decoder reads it back.
    auto item = TGIFItem::New();
    item->Width = width;
    item->Height = height;
    item->BitsPerPixel = 8;
    item->Data.reset(NewStream(encoded));
    rtl::TMemoryStream s;
    EXPECT_FALSE(WriteBitmapStream(*item, false, false, {}, s));
    const Bytes back = StreamBytes(s);
    EXPECT_EQ(Bytes(back.begin() + 54 + 1024, back.end()),
              Bytes(bmp.begin() + 54 + 1024, bmp.end()));
}

TEST(GifEncoder, RoundTripKeepsIndices) {
    std::mt19937 rng(7);
    struct TCase {
        int width, height, depth;
        bool noisy, interlaced;
    };
    const std::vector<TCase> cases = {
        {1, 1, 1, false, false},   {2, 1, 1, false, false},    {7, 3, 1, true, false},
        {33, 17, 1, true, false},  {1, 1, 4, false, false},    {5, 9, 4, true, true},
        {64, 64, 4, true, false},  {1, 1, 8, false, false},    {3, 2, 8, true, false},
        {257, 33, 8, true, false}, {300, 200, 8, false, true}, {640, 480, 8, true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
                     std::to_string(c.depth));
        const int maxIndex = (1 << c.depth) - 1;
        const Bytes bmp = MakeBmp(c.width, c.height, c.depth, [&](int x, int y) {
            return c.noisy ? int(rng() % unsigned(maxIndex + 1)) : ((x / 5 + y / 3) & maxIndex);
        });
        const Bytes encoded = EncodeBmp(bmp, c.interlaced);
        auto item = TGIFItem::New();
        item->Width = c.width;
        item->Height = c.height;
        item->BitsPerPixel = std::uint8_t(c.depth);
        item->Data.reset(NewStream(encoded));
        rtl::TMemoryStream s;
        EXPECT_FALSE(WriteBitmapStream(*item, c.interlaced, false, {}, s));
        const Bytes back = StreamBytes(s);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(BmpPixel(back.data(), x, y), BmpPixel(bmp.data(), x, y))
                    << "pixel " << x << "," << y;
    }
}
