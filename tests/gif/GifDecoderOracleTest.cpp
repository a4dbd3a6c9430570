// The decoder against a plain table-walk decoder, on random and on encoder-made data.
// The fast decoder copies strings from earlier output; the walk is the definition of
// the pixels, also for damaged data (codes beyond the next free one, strings through
// entries left from before a clear, chains that loop).
#include <gtest/gtest.h>

#include <random>

#include "GifTestUtil.h"
#include "gif/GifCodec.h"
#include "gif/GifTypes.h"
#include "gif/RasterRows.h"
#include "rtl/Exceptions.h"

using namespace gif;
using namespace giftest;

namespace {

struct TWalkResult {
    std::vector<int> Pixels; // row-major, -1 = never written
    bool Corrupted = false;
};

// Codes below the clear code are literals; others walk prefix and suffix tables.
TWalkResult WalkDecode(const Bytes& encoded, int width, int height, int pixelBits) {
    TWalkResult r;
    const std::size_t total = std::size_t(width) * std::size_t(height);
    r.Pixels.assign(total, -1);
    int m = encoded[0];
    if (m < 2 || m > 9) {
        r.Corrupted = true;
        m = std::clamp(m, 2, 9);
    }
    const bool stopAtString = r.Corrupted;
    const Bytes data = Unblock(encoded);
    std::size_t bitPos = 0;
    auto read = [&](int size) -> int {
        if (bitPos + std::size_t(size) > data.size() * 8)
            return -1;
        int v = 0;
        for (int i = 0; i < size; ++i, ++bitPos)
            v |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << i;
        return v;
    };
    const int clear = 1 << m, end = clear + 1, first = clear + 2, lit = clear - 1;
    const int pixelMask = (1 << pixelBits) - 1;
    std::vector<int> prefix(4096, 0), suffix(4096, 0), stack;
    int codeSize = m + 1, limit = 1 << codeSize, freeCode = first;
    bool full = false;
    int oldCode = 0, firstChar = 0;
    std::size_t pos = 0;
    auto put = [&](int v) {
        if (pos < total)
            r.Pixels[pos] = v;
        ++pos;
    };
    // The first code and the code after a clear are literals that add no entry.
    bool fresh = !stopAtString;
    int code = read(codeSize);
    for (;;) {
        if (code < 0) {
            if (pos < total)
                r.Corrupted = true;
            break;
        }
        if (pos >= total)
            break;
        if (code == clear) {
            codeSize = m + 1;
            limit = 1 << codeSize;
            freeCode = first;
            full = false;
            fresh = true;
        } else if (code == end) {
            break;
        } else if (fresh) {
            fresh = false;
            oldCode = code;
            firstChar = code & pixelMask;
            put(firstChar);
        } else {
            if (stopAtString)
                break;
            int cur = code;
            stack.clear();
            if (cur >= freeCode) {
                cur = oldCode;
                stack.push_back(firstChar);
            }
            bool overflow = false;
            while (cur > lit) {
                if (stack.size() > 4096) {
                    overflow = true;
                    break;
                }
                stack.push_back(suffix[std::size_t(cur)]);
                cur = prefix[std::size_t(cur)];
            }
            if (overflow) {
                r.Corrupted = true;
                break;
            }
            firstChar = cur & pixelMask;
            stack.push_back(firstChar);
            for (auto it = stack.rbegin(); it != stack.rend(); ++it)
                put(*it);
            if (!full) {
                prefix[std::size_t(freeCode)] = oldCode;
                suffix[std::size_t(freeCode)] = firstChar;
                if (++freeCode >= limit) {
                    if (codeSize < 12) {
                        ++codeSize;
                        limit <<= 1;
                    } else {
                        full = true;
                    }
                }
            }
            oldCode = code;
        }
        code = read(codeSize);
    }
    for (int& p : r.Pixels)
        if (p < 0)
            p = 0;
    return r;
}

void ExpectSameAsWalk(const Bytes& encoded, int width, int height, int pixelBits) {
    auto item = TGIFItem::New();
    item->Width = width;
    item->Height = height;
    item->BitsPerPixel = std::uint8_t(pixelBits);
    item->ColorTable.Count = 1 << pixelBits;
    item->Data.reset(NewStream(encoded));
    rtl::TMemoryStream bmp;
    const bool corrupted = WriteBitmapStream(*item, false, true, {}, bmp);
    const TWalkResult want = WalkDecode(encoded, width, height, pixelBits);
    EXPECT_EQ(corrupted, want.Corrupted);
    const Bytes got = StreamBytes(bmp);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(BmpPixel(got.data(), x, y), want.Pixels[std::size_t(y * width + x)])
                << "pixel " << x << "," << y;
    // Through the smallest window of recent pixels, where strings written before it are
    // walked: the same rows.
    TDecodeParams prm;
    prm.Width = width;
    prm.Height = height;
    prm.Depth = BitmapDepthFor(pixelBits);
    prm.PixelBits = pixelBits;
    prm.WindowBytes = 1;
    const std::size_t offset = LE32(got.data() + 10);
    Bytes rows(got.size() - offset, 0);
    EXPECT_EQ(DecodeRaster(encoded.data(), encoded.size(), prm, rows.data()), want.Corrupted);
    EXPECT_TRUE(std::equal(rows.begin(), rows.end(), got.begin() + long(offset)))
        << "the smallest window decodes otherwise";
}

} // namespace

TEST(GifDecoderOracle, RandomDataDecodesAsTheTableWalk) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 400; ++round) {
        const int pixelBits = 1 + int(rng() % 8);
        const int minSize = round % 50 == 0 ? int(rng() % 13) : 2 + int(rng() % 7);
        const int width = 1 + int(rng() % 64);
        const int height = 1 + int(rng() % 64);
        Bytes packed(std::size_t(rng() % 3000), 0);
        // Mostly small values so that codes stay near the table, with runs of repeats.
        for (std::size_t i = 0; i < packed.size(); ++i)
            packed[i] = (rng() % 4 == 0) ? std::uint8_t(rng()) : std::uint8_t(rng() % 8);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(width) + "x" +
                     std::to_string(height) + ", index bits " + std::to_string(pixelBits) +
                     ", minimum code size " + std::to_string(minSize));
        ExpectSameAsWalk(Blocks(minSize, packed), width, height, pixelBits);
    }
}

TEST(GifDecoderOracle, EncodedImagesWithDamagedTailsDecodeAsTheTableWalk) {
    std::mt19937 rng(99);
    for (int round = 0; round < 40; ++round) {
        const int depth = round % 3 == 0 ? 1 : round % 3 == 1 ? 4 : 8;
        const int width = 1 + int(rng() % 300), height = 1 + int(rng() % 200);
        const int levels = 1 << depth;
        const int runs = 1 + int(rng() % 20);
        const Bytes bmp = MakeBmp(width, height, depth, [&](int x, int y) {
            return ((x / runs) * 7 + y / 3 + int(rng() % 2)) % levels;
        });
        const int stride = ((width * depth + 31) / 32) * 4;
        rtl::TMemoryStream out;
        EncodeRaster(out, width, height, depth, false,
                     bmp.data() + LE32(bmp.data() + 10) + std::size_t(height - 1) * stride, -stride,
                     {});
        Bytes encoded = StreamBytes(out);
        // Flip some bits in the second half of the data: strings through damaged entries.
        if (round % 2 == 1)
            for (int k = 0; k < 5; ++k) {
                const std::size_t at = encoded.size() / 2 + rng() % (encoded.size() / 2);
                if (at % 256 != 1) // keep the sub-block length bytes
                    encoded[at] ^= std::uint8_t(1 << (rng() % 8));
            }
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectSameAsWalk(encoded, width, height, depth);
    }
}

TEST(GifDecoderOracle, LongStringsAcrossNarrowRowsDecodeAsTheTableWalk) {
    // One colour throughout: strings grow to thousands of pixels, and in rows this narrow
    // nearly every one crosses the end of a row, far more than their copies can hold.
    for (const int width : {1, 3, 4, 5, 9, 17}) {
        const int height = 32768;
        const Bytes bmp = MakeBmp(width, height, 8, [](int, int) { return 7; });
        const int stride = ((width * 8 + 31) / 32) * 4;
        rtl::TMemoryStream out;
        EncodeRaster(out, width, height, 8, false,
                     bmp.data() + LE32(bmp.data() + 10) + std::size_t(height - 1) * stride, -stride,
                     {});
        SCOPED_TRACE("width " + std::to_string(width));
        ExpectSameAsWalk(StreamBytes(out), width, height, 8);
    }
}

TEST(GifDecoderOracle, ShortStringsEndingAtRowEndsDecodeAsTheTableWalk) {
    // Noise of few colours: strings of one to a few pixels, many of which end in the last
    // pixels of a row, in rows about as wide as a copied piece and images a few rows high
    // (the rows at the end of the bitmap's memory have nothing behind them to read).
    std::mt19937 rng(7);
    for (const int width : {2, 3, 4, 5, 7, 8, 15, 16, 17, 31, 33})
        for (const int height : {1, 2, 3, 5, 40}) {
            const Bytes bmp = MakeBmp(width, height, 8, [&](int, int) { return int(rng() % 6); });
            const int stride = ((width * 8 + 31) / 32) * 4;
            rtl::TMemoryStream out;
            EncodeRaster(out, width, height, 8, false,
                         bmp.data() + LE32(bmp.data() + 10) + std::size_t(height - 1) * stride,
                         -stride, {});
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            ExpectSameAsWalk(StreamBytes(out), width, height, 8);
        }
}
