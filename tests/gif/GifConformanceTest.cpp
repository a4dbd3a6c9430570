// Decoding compared pixel by pixel with giflib, an independent decoder, on GIFs made by
// ImageMagick and by our own writer; damaged files against their expected results.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "GifBuilder.h"
#include "GifTestUtil.h"
#include "gif/GifImage.h"
#include "rtl/Exceptions.h"
#include "tests/common/TempDir.h"

using namespace gif;
using namespace giftest;
namespace fs = std::filesystem;

namespace {

struct TPeerFrame {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Interlaced = false;
    std::vector<TGIFColorItem> Colors; // local or global
    Bytes Pixels;                      // row-major indices
};

struct TPeerImage {
    bool Ok = false;
    int ScreenWidth = 0, ScreenHeight = 0;
    std::vector<TPeerFrame> Frames;
};

struct TReadState {
    const Bytes* Data;
    std::size_t Pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
    auto* st = static_cast<TReadState*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(std::size_t(count), st->Data->size() - st->Pos);
    std::memcpy(buffer, st->Data->data() + st->Pos, n);
    st->Pos += n;
    return int(n);
}

TPeerImage PeerDecode(const Bytes& bytes) {
    TPeerImage out;
    TReadState st{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&st, ReadFromMemory, &error);
    if (!gif)
        return out;
    out.Ok = DGifSlurp(gif) == GIF_OK;
    out.ScreenWidth = gif->SWidth;
    out.ScreenHeight = gif->SHeight;
    for (int i = 0; out.Ok && i < gif->ImageCount; ++i) {
        const SavedImage& si = gif->SavedImages[i];
        TPeerFrame f;
        f.Left = si.ImageDesc.Left;
        f.Top = si.ImageDesc.Top;
        f.Width = si.ImageDesc.Width;
        f.Height = si.ImageDesc.Height;
        f.Interlaced = si.ImageDesc.Interlace;
        const ColorMapObject* map = si.ImageDesc.ColorMap ? si.ImageDesc.ColorMap : gif->SColorMap;
        if (map)
            for (int c = 0; c < map->ColorCount; ++c)
                f.Colors.push_back({map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue});
        f.Pixels.assign(si.RasterBits,
                        si.RasterBits + std::size_t(f.Width) * std::size_t(f.Height));
        out.Frames.push_back(std::move(f));
    }
    DGifCloseFile(gif, &error);
    return out;
}

// Indices of a frame decoded by our decoder, row-major.
Bytes OurPixels(TGIFFrame& frame, bool* corrupted = nullptr) {
    rtl::TMemoryStream bmp;
    frame.SaveToBitmapStream(bmp);
    if (corrupted)
        *corrupted = frame.Corrupted();
    const Bytes b = StreamBytes(bmp);
    const int w = int(LE32(b.data() + 18));
    const int h = int(LE32(b.data() + 22));
    Bytes px;
    px.reserve(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back(std::uint8_t(BmpPixel(b.data(), x, y)));
    return px;
}

// The frame's bitmap, decoded straight into a device bitmap unless it is monochrome: each
// pixel the colour of giflib's index.
void ExpectDeviceBitmapAsPeer(TGIFFrame& frame, const TPeerFrame& pf) {
    graphics::TBitmap* bitmap = frame.GetBitmap();
    if (bitmap->Monochrome())
        return;
    ASSERT_EQ(bitmap->HandleType(), graphics::bmDDB);
    ASSERT_EQ(bitmap->Width(), pf.Width);
    ASSERT_EQ(bitmap->Height(), pf.Height);
    for (int y = 0; y < pf.Height; ++y) {
        const auto* row = static_cast<const std::uint32_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < pf.Width; ++x) {
            const TGIFColorItem& c =
                pf.Colors[pf.Pixels[std::size_t(y) * std::size_t(pf.Width) + std::size_t(x)]];
            ASSERT_EQ(row[x], std::uint32_t(c.Blue | c.Green << 8 | c.Red << 16))
                << "device pixel " << x << "," << y;
        }
    }
}

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void ExpectSameAsPeer(const Bytes& bytes) {
    const TPeerImage peer = PeerDecode(bytes);
    ASSERT_TRUE(peer.Ok) << "giflib cannot read the file";
    auto image = Load(bytes);
    ASSERT_EQ(image->Count(), int(peer.Frames.size()));
    for (int i = 0; i < image->Count(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        TGIFFrame& frame = *image->Frames(i);
        const TPeerFrame& pf = peer.Frames[std::size_t(i)];
        EXPECT_EQ(frame.TopLeft(), (rtl::TPoint{pf.Left, pf.Top}));
        EXPECT_EQ(frame.Item()->Width, pf.Width);
        EXPECT_EQ(frame.Item()->Height, pf.Height);
        EXPECT_EQ(frame.Interlaced(), pf.Interlaced);
        ASSERT_EQ(frame.Item()->ColorTable.Count, int(pf.Colors.size()));
        for (std::size_t c = 0; c < pf.Colors.size(); ++c)
            ASSERT_EQ(frame.Item()->ColorTable.Colors[c], pf.Colors[c]) << "colour " << c;
        bool corrupted = true;
        const Bytes ours = OurPixels(frame, &corrupted);
        EXPECT_FALSE(corrupted);
        ASSERT_EQ(ours.size(), pf.Pixels.size());
        for (std::size_t p = 0; p < ours.size(); ++p)
            ASSERT_EQ(int(ours[p]), int(pf.Pixels[p]))
                << "pixel " << p % std::size_t(pf.Width) << "," << p / std::size_t(pf.Width);
        ExpectDeviceBitmapAsPeer(frame, pf);
    }
}

class GifConformance : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("convert -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ImageMagick's convert is not installed";
        FTemp = std::make_unique<testutil::TTempDir>("gifconf");
        FDir = FTemp->Path();
    }
    // Runs convert with `args` writing `name`; returns the file's bytes.
    Bytes Convert(const std::string& args, const std::string& name) {
        const fs::path out = FDir / name;
        const std::string cmd = "convert " + args + " '" + out.string() + "' 2>/dev/null";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return ReadFile(out);
    }
    std::unique_ptr<testutil::TTempDir> FTemp;
    fs::path FDir;
};

} // namespace

TEST_F(GifConformance, ImageMagickFilesDecodeAsGiflibDoes) {
    struct TCase {
        std::string name, args;
    };
    const std::vector<TCase> cases = {
        {"1x1.gif", "-size 1x1 xc:red"},
        {"2c.gif", "-size 33x17 -seed 1 plasma:fractal -colors 2"},
        {"4c.gif", "-size 64x9 -seed 2 plasma:fractal -colors 4"},
        {"16c-il.gif", "-size 45x37 -seed 3 plasma:fractal -colors 16 -interlace GIF"},
        {"gradient.gif", "-size 300x200 gradient:blue-yellow -colors 256"},
        {"noise.gif", "-size 257x129 xc: +noise Random -colors 256"},
        {"noise-il.gif", "-size 131x7 xc: +noise Random -colors 200 -interlace GIF"},
        {"flat.gif", "-size 640x480 xc:white -fill red -draw 'rectangle 10,10 300,200' -fill "
                     "blue -draw 'circle 400,300 450,350' -colors 8"},
        {"big-photo.gif", "-size 1280x1024 -seed 4 plasma:fractal -colors 256"},
        {"big-il.gif",
         "-size 1280x1024 gradient:red-blue +noise Gaussian -colors 256 -interlace GIF"},
        {"frames.gif", "-size 50x40 -seed 6 plasma:fractal -colors 8 \\( -size 30x20 -seed 7 "
                       "plasma:fractal -colors 4 \\) \\( -size 50x40 gradient:red-green "
                       "-colors 32 \\) -loop 0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = Convert(c.args, c.name);
        ASSERT_FALSE(bytes.empty());
        ExpectSameAsPeer(bytes);
    }
}

TEST_F(GifConformance, OurFilesDecodeAsGiflibDoes) {
    std::mt19937 rng(3);
    struct TCase {
        int width, height, depth;
        bool noisy;
    };
    for (const TCase c :
         {TCase{1, 1, 1, false}, TCase{3, 200, 1, true}, TCase{77, 13, 4, true},
          TCase{1280, 1024, 8, true}, TCase{1280, 1024, 8, false}, TCase{650, 491, 8, false}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const int mask = (1 << c.depth) - 1;
        const Bytes bmp = MakeBmp(c.width, c.height, c.depth, [&](int x, int y) {
            return c.noisy ? int(rng() & unsigned(mask)) : ((x / 40 + y / 30 * 3) & mask);
        });
        graphics::TBitmap bitmap;
        std::unique_ptr<rtl::TMemoryStream> in(NewStream(bmp));
        bitmap.LoadFromStream(*in);
        TGIFImage image;
        image.AddFrame(&bitmap);
        image.AddFrame(&bitmap);
        image.Frames(1)->SetTopLeft({1, 2});
        rtl::TMemoryStream out;
        image.SaveToStream(out);
        ExpectSameAsPeer(StreamBytes(out));
    }
}

TEST_F(GifConformance, DamagedFilesGiveTheirExpectedResults) {
    const Bytes good = Convert("-size 120x90 -seed 8 plasma:fractal -colors 64", "good.gif");
    auto whole = Load(good);
    ASSERT_EQ(whole->Count(), 1);
    const Bytes full = OurPixels(*whole->Frames(0));

    // Garbage after the frame: reading ends quietly with the same frame.
    Bytes garbage(good.begin(), good.end() - 1);
    garbage.insert(garbage.end(), {'x', 'y', 0x2C, 1, 2});
    auto g = Load(garbage);
    ASSERT_EQ(g->Count(), 1);
    EXPECT_EQ(OurPixels(*g->Frames(0)), full);
    EXPECT_FALSE(g->GetCorrupted());

    // Sub-blocks cut short: corrupted, a prefix of the pixels, the rest index 0.
    for (std::size_t keep : {good.size() / 2, good.size() - 40, good.size() - 5}) {
        SCOPED_TRACE("kept " + std::to_string(keep) + " bytes");
        auto t = Load(Bytes(good.begin(), good.begin() + std::ptrdiff_t(keep)));
        ASSERT_EQ(t->Count(), 1);
        bool corrupted = false;
        const Bytes px = OurPixels(*t->Frames(0), &corrupted);
        EXPECT_TRUE(corrupted);
        std::size_t same = 0;
        while (same < px.size() && px[same] == full[same])
            ++same;
        EXPECT_LT(same, full.size());
        EXPECT_GT(same, 0u);
        for (std::size_t p = same; p < px.size(); ++p)
            if (px[p] != 0) {
                // Only the last string may differ from the full decode.
                EXPECT_LT(p - same, 4096u) << "pixel " << p;
                break;
            }
    }

    // A minimum code size out of range: corrupted, nothing beyond the first literal.
    const TPeerImage peer = PeerDecode(good);
    ASSERT_TRUE(peer.Ok);
    Bytes badSize = good;
    const std::size_t codeSizeAt = good.size() - 1 - whole->Frames(0)->Item()->Data->Size();
    ASSERT_EQ(badSize[codeSizeAt], 6);
    badSize[codeSizeAt] = 11;
    auto b = Load(badSize);
    bool corrupted = false;
    const Bytes px = OurPixels(*b->Frames(0), &corrupted);
    EXPECT_TRUE(corrupted);
    EXPECT_EQ(std::count(px.begin() + 1, px.end(), 0), std::ptrdiff_t(px.size() - 1));
}

TEST(GifConformanceHandBuilt, StreamsWithoutPreviousStringDecodeAsGiflibDoes) {
    // Index width 2, minimum code size 2: clear 4, end 5.
    const std::vector<std::pair<const char*, std::vector<std::pair<int, int>>>> rasters = {
        {"no leading clear code", {{1, 3}, {2, 3}, {6, 3}, {7, 4}, {5, 4}}},
        {"two clear codes in a row", {{4, 3}, {4, 3}, {1, 3}, {2, 3}, {3, 3}, {5, 3}}},
        {"two clear codes in the middle", {{4, 3}, {3, 3}, {4, 3}, {4, 3}, {1, 3}, {6, 3}, {5, 3}}},
    };
    const int widths[] = {6, 3, 4};
    for (std::size_t i = 0; i < rasters.size(); ++i) {
        SCOPED_TRACE(rasters[i].first);
        TGifBuilder gif;
        gif.Header("89a", widths[i], 1, 2);
        gif.Raw({','}).Word(0).Word(0).Word(widths[i]).Word(1).Raw({0});
        const Bytes data = Blocks(2, PackCodes(rasters[i].second));
        gif.B.insert(gif.B.end(), data.begin(), data.end());
        gif.Trailer();
        ExpectSameAsPeer(gif.B);
    }
}
