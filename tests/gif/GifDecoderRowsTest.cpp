// Decoded rows in every layout: 1-, 4- and 8-bit bitmaps, interlaced or not, rows with
// or without padding, decoded in place, through the default window of recent pixels and
// through the smallest window (where most strings have to be walked).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "GifTestUtil.h"
#include "gif/GifCodec.h"
#include "gif/GifTypes.h"
#include "gif/RasterRows.h"
#include "graphics/Bitmap.h"
#include "rtl/Exceptions.h"

using namespace gif;
using namespace giftest;

namespace {

// Image rows in the order a frame's data hold them.
std::vector<int> DecodingOrder(int height, bool interlaced) {
    std::vector<int> order;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            order.push_back(y);
    return order;
}

// Runs, noise, and rows repeated from far above, so that strings are found again long
// after they were written.
std::vector<int> Picture(int width, int height, int levels) {
    std::vector<int> p(std::size_t(width) * std::size_t(height));
    std::mt19937 rng(std::uint32_t(width * 31 + levels));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int v;
            if (y >= 40 && y % 5 == 3)
                v = p[std::size_t(y - 37) * std::size_t(width) + std::size_t(x)];
            else if (y % 3 == 0)
                v = int(rng() % unsigned(levels));
            else
                v = (x / (3 + y % 7) + y / 4) % levels;
            p[std::size_t(y) * std::size_t(width) + std::size_t(x)] = v;
        }
    return p;
}

std::size_t PixelOffset(const Bytes& bmp) {
    return LE32(bmp.data() + 10);
}

} // namespace

TEST(GifDecoderRows, PixelsAndPaddingInEveryRowLayout) {
    const int height = 150; // not a multiple of 8: every pass ends early
    for (int depth : {1, 4, 8})
        for (bool interlaced : {false, true})
            for (bool padded : {false, true}) {
                const int width = padded ? 301 : 512;
                SCOPED_TRACE(std::to_string(depth) + " bits, " +
                             (interlaced ? "interlaced" : "not interlaced") + ", width " +
                             std::to_string(width));
                const std::vector<int> picture = Picture(width, height, 1 << depth);
                auto at = [&](int x, int y) {
                    return picture[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                };
                // The data: the rows in decoding order, encoded as one plain image.
                const std::vector<int> order = DecodingOrder(height, interlaced);
                const Bytes inOrder = MakeBmp(width, height, depth, [&](int x, int k) {
                    return at(x, order[std::size_t(k)]);
                });
                const int stride = ((width * depth + 31) / 32) * 4;
                rtl::TMemoryStream encoded;
                EncodeRaster(encoded, width, height, depth, false,
                             inOrder.data() + PixelOffset(inOrder) +
                                 std::size_t(height - 1) * std::size_t(stride),
                             -stride, {});
                const Bytes full = StreamBytes(encoded);
                // The same data ending at 60 % of their bytes.
                const Bytes codes = Unblock(full);
                const Bytes cut =
                    Blocks(full[0], Bytes(codes.begin(), codes.begin() + codes.size() * 6 / 10));
                // The expected bitmap rows, padding included.
                const Bytes want = MakeBmp(width, height, depth, at);
                const Bytes wantRows(want.begin() + long(PixelOffset(want)), want.end());

                for (const Bytes* data : {&full, &cut}) {
                    SCOPED_TRACE(data == &full ? "whole data" : "data ending early");
                    auto item = TGIFItem::New();
                    item->Width = width;
                    item->Height = height;
                    item->BitsPerPixel = std::uint8_t(depth);
                    item->ColorTable.Count = 1 << depth;
                    item->Data.reset(NewStream(*data));
                    rtl::TMemoryStream s;
                    const bool corrupted = WriteBitmapStream(*item, interlaced, true, {}, s);
                    EXPECT_EQ(corrupted, data == &cut);
                    const Bytes bmp = StreamBytes(s);
                    const Bytes rows(bmp.begin() + long(PixelOffset(bmp)), bmp.end());

                    // The smallest window, and for 8 bits the window instead of in place.
                    TDecodeParams prm;
                    prm.Width = width;
                    prm.Height = height;
                    prm.Depth = depth;
                    prm.PixelBits = depth;
                    prm.Interlaced = interlaced;
                    prm.WindowBytes = 1;
                    Bytes small(wantRows.size(), 0);
                    EXPECT_EQ(DecodeRaster(data->data(), data->size(), prm, small.data()),
                              data == &cut);
                    EXPECT_TRUE(small == rows) << "the smallest window decodes otherwise";

                    if (data == &full) {
                        EXPECT_TRUE(rows == wantRows) << "pixels or padding differ";
                        for (int y = 0; y < height; ++y)
                            for (int x = 0; x < width; ++x)
                                ASSERT_EQ(BmpPixel(bmp.data(), x, y), at(x, y))
                                    << "pixel " << x << "," << y;
                        continue;
                    }
                    // Ending early: the pixels in decoding order up to some point, then 0.
                    std::size_t k = 0;
                    const std::size_t total = std::size_t(width) * std::size_t(height);
                    auto pixel = [&](std::size_t i, bool decoded) {
                        const int x = int(i % std::size_t(width));
                        const int y = order[i / std::size_t(width)];
                        return decoded ? BmpPixel(bmp.data(), x, y) : at(x, y);
                    };
                    while (k < total && pixel(k, true) == pixel(k, false))
                        ++k;
                    EXPECT_GT(k, total / 4) << "decoding stopped too soon";
                    EXPECT_LT(k, total);
                    for (; k < total; ++k)
                        ASSERT_EQ(pixel(k, true), 0) << "pixel " << k << " in decoding order";
                    // Padding bytes are 0 here too.
                    for (int y = 0; y < height; ++y) {
                        const std::size_t used = std::size_t(width * depth + 7) / 8;
                        for (std::size_t b = used; b < std::size_t(stride); ++b)
                            ASSERT_EQ(rows[std::size_t(y) * std::size_t(stride) + b], 0)
                                << "padding byte " << b << " of row " << y;
                    }
                }
            }
}

TEST(GifDecoderRows, NextInterlacedRowFollowsThePassOrder) {
    for (int height = 1; height <= 40; ++height) {
        SCOPED_TRACE("height " + std::to_string(height));
        const std::vector<int> order = DecodingOrder(height, true);
        ASSERT_EQ(order.size(), std::size_t(height));
        int y = 0, pass = 0;
        for (int k = 0; k < height; ++k) {
            EXPECT_EQ(y, order[std::size_t(k)]) << "row decoded as number " << k;
            y = NextInterlacedRow(y, height, pass);
        }
        EXPECT_GE(y, height) << "rows beyond the last one";
    }
}

TEST(GifDecoderRows, DeviceBitmapEqualsTheBitmapFileImageSwitchedToTheDevice) {
    struct TCase {
        int pixelBits, colors, width, height;
        bool interlaced;
    };
    std::mt19937 rng(17);
    for (const TCase c :
         {TCase{1, 2, 37, 5, false}, TCase{2, 3, 20, 9, true}, TCase{3, 8, 131, 17, false},
          TCase{5, 20, 64, 33, true}, TCase{8, 256, 300, 41, false}, TCase{8, 0, 7, 3, false}}) {
        SCOPED_TRACE(std::to_string(c.pixelBits) + " bits, " + std::to_string(c.colors) +
                     " colours");
        const int depth = BitmapDepthFor(c.pixelBits);
        const int levels = 1 << c.pixelBits;
        const Bytes bmp = MakeBmp(c.width, c.height, depth,
                                  [&](int x, int) { return (x / 3 + int(rng() % 2)) % levels; });
        const int stride = int(BitmapStride(c.width, depth));
        rtl::TMemoryStream encoded;
        EncodeRaster(encoded, c.width, c.height, depth, c.interlaced,
                     bmp.data() + LE32(bmp.data() + 10) + std::size_t(c.height - 1) * stride,
                     -stride, {});
        auto item = TGIFItem::New();
        item->Width = c.width;
        item->Height = c.height;
        item->BitsPerPixel = std::uint8_t(c.pixelBits);
        item->ColorTable.Count = c.colors;
        for (int i = 0; i < c.colors; ++i)
            item->ColorTable.Colors[std::size_t(i)] = {std::uint8_t(rng()), std::uint8_t(rng()),
                                                       std::uint8_t(rng())};
        item->Data.reset(NewStream(StreamBytes(encoded)));

        rtl::TMemoryStream file;
        WriteBitmapStream(*item, c.interlaced, true, {}, file);
        graphics::TBitmap want;
        want.LoadFromStream(file);
        want.SetHandleType(graphics::bmDDB);
        graphics::TBitmap got;
        EXPECT_FALSE(DecodeDeviceBitmap(*item, c.interlaced, true, {}, got));
        ASSERT_EQ(got.PixelFormat(), graphics::pfDevice);
        ASSERT_EQ(got.PaletteCount(), want.PaletteCount());
        for (int i = 0; i < want.PaletteCount(); ++i) {
            const RGBQUAD a = got.PaletteEntry(i), b = want.PaletteEntry(i);
            EXPECT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen &&
                        a.rgbBlue == b.rgbBlue && a.rgbReserved == b.rgbReserved)
                << "palette entry " << i;
        }
        for (int y = 0; y < c.height; ++y)
            ASSERT_EQ(std::memcmp(got.ScanLine(y), want.ScanLine(y), std::size_t(c.width) * 4), 0)
                << "row " << y;
    }
}

TEST(GifDecoderRows, FailedDeviceDecodingLeavesTheBitmapAsItWas) {
    auto item = TGIFItem::New();
    item->Width = 4;
    item->Height = 4;
    item->BitsPerPixel = 8;
    item->ColorTable.Count = 256;
    // A sub-block promising more bytes than there are.
    item->Data.reset(NewStream(Bytes{8, 200, 1, 2, 3}));
    graphics::TBitmap bitmap;
    EXPECT_THROW(DecodeDeviceBitmap(*item, false, true, {}, bitmap), rtl::EReadError);
    EXPECT_TRUE(bitmap.Empty());
}
