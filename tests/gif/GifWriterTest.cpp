// Writing images as GIF streams and encoding frames that exist only as bitmaps.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "GifBuilder.h"
#include "gif/GifImage.h"
#include "graphics/Canvas.h"
#include "rtl/Exceptions.h"

using namespace gif;
using namespace giftest;
using formstream::ColorValue;
using formstream::MakeColor;
using graphics::TBitmap;

namespace {

std::unique_ptr<TBitmap> LoadBmp(const Bytes& bmp) {
    auto bitmap = std::make_unique<TBitmap>();
    std::unique_ptr<rtl::TMemoryStream> s(NewStream(bmp));
    bitmap->LoadFromStream(*s);
    return bitmap;
}

Bytes Save(TGIFImage& image) {
    rtl::TMemoryStream out;
    image.SaveToStream(out);
    return StreamBytes(out);
}

std::size_t Find(const Bytes& hay, const Bytes& needle) {
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return it == hay.end() ? std::string::npos : std::size_t(it - hay.begin());
}

} // namespace

TEST(GifWriter, TwoPixelBitmapWritesKnownStream) {
    auto bitmap = LoadBmp(MakeBmp(2, 1, 1, [](int x, int) { return x == 0 ? 1 : 0; }));
    TGIFImage image;
    image.AddFrame(bitmap.get());
    const Bytes want = {'G',  'I', 'F',  '8',  '7', 'a', // header: one frame, no extensions
                        2,    0,   1,    0,              // screen 2 x 1
                        0x80,    // global table of 2 entries, colour resolution 1
                        0,    0, // background index, aspect ratio
                        0,    255, 0,    1,    254, 0, // the bitmap's palette (red, green, blue)
                        ',',  0,   0,    0,    0,   2,
                        0,    1,   0,             // image descriptor at (0, 0), 2 x 1
                        0,                        // no local table, not interlaced
                        2,    2,   0x0C, 0x0A, 0, // codes 4, 1, 0, 5 at 3 bits
                        ';'};
    EXPECT_EQ(Save(image), want);
}

TEST(GifWriter, LoopingExtensionOnlyWithSeveralFrames) {
    auto bitmap = LoadBmp(MakeBmp(3, 2, 8, [](int x, int y) { return x + y; }));
    TGIFImage image;
    image.AddFrame(bitmap.get());
    image.SetLooping(true);
    image.SetRepeatCount(0x1234);
    Bytes loop = {0x21, 0xFF, 0x0B};
    for (char c : std::string("NETSCAPE2.0"))
        loop.push_back(std::uint8_t(c));
    loop.insert(loop.end(), {0x03, 0x01, 0x34, 0x12, 0x00});
    EXPECT_EQ(Find(Save(image), loop), std::string::npos);
    image.AddFrame(bitmap.get());
    const Bytes two = Save(image);
    EXPECT_EQ(Find(two, loop), 13u + 768u) << "right after the global table";
    EXPECT_EQ(Bytes(two.begin(), two.begin() + 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
    // Read back: looping, count, two frames.
    auto back = Load(two);
    EXPECT_TRUE(back->Looping());
    EXPECT_EQ(back->RepeatCount(), 0x1234);
    EXPECT_EQ(back->Count(), 2);
    EXPECT_TRUE(back->Frames(1)->LocalColors()) << "the second frame brings its own table";
}

TEST(GifWriter, GraphicControlFollowsFrameAttributes) {
    auto bitmap = LoadBmp(MakeBmp(3, 2, 1, [](int x, int) { return x & 1; }));
    TGIFImage image;
    image.AddFrame(bitmap.get());
    TGIFFrame* frame = image.Frames(0);
    // Palette entry 1 is (1, 254, 0): green 254, red 1 -> colour value 0x00FE01.
    frame->SetTransparentColor(MakeColor(0x00FE01));
    frame->SetAnimateInterval(250);
    frame->SetDisposalMethod(dmRestoreBackground);
    Bytes out = Save(image);
    const std::size_t at = Find(out, {0x21, 0xF9, 0x04});
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(Bytes(out.begin() + std::ptrdiff_t(at) + 3, out.begin() + std::ptrdiff_t(at) + 8),
              (Bytes{0x01 | 2 << 2, 25, 0, 1, 0}));
    EXPECT_EQ(image.Version(), gv89a);

    frame->SetTransparentColor(MakeColor(0x123456)); // not in the table
    out = Save(image);
    const std::size_t at2 = Find(out, {0x21, 0xF9, 0x04});
    ASSERT_NE(at2, std::string::npos);
    EXPECT_EQ(out[at2 + 3] & 1, 0);

    auto back = Load(out);
    EXPECT_EQ(back->Frames(0)->AnimateInterval(), 250);
    EXPECT_EQ(back->Frames(0)->DisposalMethod(), dmRestoreBackground);
}

TEST(GifWriter, CommentLinesAsSubBlocks) {
    auto bitmap = LoadBmp(MakeBmp(2, 2, 1, [](int x, int) { return x; }));
    TGIFImage image;
    image.AddFrame(bitmap.get());
    rtl::TStringList lines;
    lines.Add(std::string(300, 'a'));
    lines.Add("");
    lines.Add("bc");
    image.SetComment(lines);
    const Bytes out = Save(image);
    Bytes want = {0x21, 0xFE, 255};
    want.insert(want.end(), 255, 'a');
    want.insert(want.end(), {2, 'b', 'c', 0, ';'});
    ASSERT_GE(out.size(), want.size());
    EXPECT_EQ(Bytes(out.end() - std::ptrdiff_t(want.size()), out.end()), want);
    EXPECT_EQ(image.Version(), gv89a);

    // An empty frame comment is dropped from the frame's extensions.
    image.Frames(0)->Comment();
    const Bytes again = Save(image);
    EXPECT_EQ(again.size(), out.size());
}

TEST(GifWriter, ReadThenWrittenGivesSameBytes) {
    const std::vector<Bytes> streams = {
        TGifBuilder()
            .Header("89a", 8, 8, 8)
            .GraphicControl(0x01, 0, 1)
            .Image(0, 0, 8, 8, 8)
            .Trailer()
            .B,
        TGifBuilder().Header("87a", 5, 3, 1).Image(0, 0, 5, 3).Trailer().B,
        TGifBuilder()
            .Header("89a", 9, 9, 2)
            .Loop(3)
            .GraphicControl(0x05, 7, 0)
            .Image(0, 0, 9, 9, 2, 0, true)
            .GraphicControl(0x09, 7, 3)
            .Comment({"frame two"})
            .Image(0, 0, 9, 9, 2, 4)
            .Comment({"image"})
            .Trailer()
            .B,
    };
    for (std::size_t i = 0; i < streams.size(); ++i) {
        SCOPED_TRACE("stream " + std::to_string(i));
        auto image = Load(streams[i]);
        EXPECT_EQ(Save(*image), streams[i]);
    }
}

TEST(GifWriter, BitmapsRoundTripWithIndicesAndPalette) {
    std::mt19937 rng(11);
    for (int depth : {1, 4, 8}) {
        for (auto [w, h] :
             {std::pair{1, 1}, std::pair{7, 5}, std::pair{64, 3}, std::pair{130, 97}}) {
            SCOPED_TRACE(std::to_string(depth) + " bits, " + std::to_string(w) + "x" +
                         std::to_string(h));
            const Bytes bmp =
                MakeBmp(w, h, depth, [&](int, int) { return int(rng() % (1u << depth)); });
            auto bitmap = LoadBmp(bmp);
            TGIFImage image;
            image.AddFrame(bitmap.get());
            auto back = Load(Save(image));
            ASSERT_EQ(back->Count(), 1);
            rtl::TMemoryStream decoded;
            back->Frames(0)->SaveToBitmapStream(decoded);
            const Bytes got = StreamBytes(decoded);
            ASSERT_EQ(got[28], depth);
            for (int i = 0; i < (1 << depth); ++i)
                ASSERT_EQ(Bytes(got.begin() + 54 + 4 * i, got.begin() + 54 + 4 * i + 3),
                          Bytes(bmp.begin() + 54 + 4 * i, bmp.begin() + 54 + 4 * i + 3))
                    << "palette entry " << i;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(BmpPixel(got.data(), x, y), BmpPixel(bmp.data(), x, y))
                        << "pixel " << x << "," << y;
        }
    }
}

TEST(GifWriter, DeepBitmapsAreReduced) {
    // A 24-bit bitmap with 3 colours keeps them exactly; grey frames use grey levels.
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(graphics::pf24bit);
    bitmap->SetSize(6, 2);
    const formstream::TColor colours[3] = {MakeColor(0x0000FF), MakeColor(0x00FF00),
                                           MakeColor(0x123456)};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            bitmap->Canvas()->SetPixels(x, y, colours[(x + y) % 3]);
    TGIFImage image;
    image.AddFrame(bitmap.get());
    auto back = Load(Save(image));
    TBitmap* decoded = back->GetBitmap();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(ColorValue(decoded->Canvas()->Pixels(x, y)), ColorValue(colours[(x + y) % 3]))
                << x << "," << y;

    image.Grayscale(true);
    auto grey = Load(Save(image));
    const std::uint32_t g = (0xFF * 77) >> 8; // pure red
    EXPECT_EQ(ColorValue(grey->GetBitmap()->Canvas()->Pixels(0, 0)), g | g << 8 | g << 16);
}

TEST(GifWriter, EncodeBitmapStreamRejectsOtherDepths) {
    TGIFImage image;
    TGIFFrame frame(&image);
    Bytes bmp = MakeBmp(2, 2, 8, [](int, int) { return 0; });
    bmp[28] = 24;
    std::unique_ptr<rtl::TMemoryStream> s(NewStream(bmp));
    try {
        frame.EncodeBitmapStream(*s);
        FAIL() << "expected an exception";
    } catch (const rtl::EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), "GIF image encoding error");
    }
    // A palette shorter than the depth: the missing entries are black.
    Bytes shortPalette = MakeBmp(2, 1, 4, [](int x, int) { return x; });
    const std::uint32_t offset = 54 + 8; // two entries only
    Bytes cut(shortPalette.begin(), shortPalette.begin() + 62);
    cut.insert(cut.end(), shortPalette.begin() + 54 + 64, shortPalette.end());
    cut[10] = std::uint8_t(offset);
    std::unique_ptr<rtl::TMemoryStream> s2(NewStream(cut));
    frame.EncodeBitmapStream(*s2);
    EXPECT_EQ(frame.Item()->ColorTable.Count, 16);
    EXPECT_EQ(frame.Item()->ColorTable.Colors[1], (TGIFColorItem{1, 254, 0}));
    EXPECT_EQ(frame.Item()->ColorTable.Colors[2], (TGIFColorItem{0, 0, 0}));
}
