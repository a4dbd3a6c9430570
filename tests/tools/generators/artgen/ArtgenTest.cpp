// artgen: the run-time layout the labels are placed by, the exact block structure of the
// four GIF pictures, each label under its hot-spot, the glyphs' sizes, depth, palette and
// colours (also as compiled resources), the icon file, and the same bytes on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "gif/GifImage.h"
#include "graphics/Graphics.h"
#include "platform/testing/Testing.h"
#include "platform/user/WindowManager.h"
#include "platform/win32.h"
#include "rtl/Stream.h"
#include "tests/common/Files.h"
#include "tools/generators/artgen/Artgen.h"
#include "tools/generators/artgen/Output.h"
#include "tools/generators/artgen/Render.h"

using namespace artgen;
using rtl::TRect;

namespace {

std::uint32_t LE16(std::string_view s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8;
}
std::uint32_t LE32(std::string_view s, std::size_t at) {
    return LE16(s, at) | LE16(s, at + 2) << 16;
}

// A directory of its own under the temp folder, removed at the end of the test.
class TTempDir {
public:
    TTempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "artgen-XXXXXX").string();
        if (mkdtemp(templ.data()))
            FPath = templ;
    }
    ~TTempDir() {
        std::error_code ec;
        if (!FPath.empty())
            std::filesystem::remove_all(FPath, ec);
    }
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

int RunArtgen(const std::string& args) {
    const int status =
        std::system((std::string(ARTGEN_PATH) + " " + args + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct TPictures {
    std::array<std::string, 4> Gif;
};

// The four GIF streams, drawn once for the whole program.
const TPictures& Pictures() {
    static const TPictures pictures = [] {
        graphics::RegisterGraphicsUnit();
        gif::RegisterGifUnit();
        TPictures p;
        for (int i = 0; i < 4; ++i)
            p.Gif[std::size_t(i)] = PictureGif(TPictureId(i));
        return p;
    }();
    return pictures;
}

// A decoded picture: colour of each pixel (0xRRGGBB) and its index.
struct TDecoded {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Rgb;
    std::vector<std::uint8_t> Index;
    std::uint32_t At(int x, int y) const { return Rgb[std::size_t(y * Width + x)]; }
};

TDecoded Decode(const std::string& gifBytes) {
    gif::TGIFImage image;
    rtl::TMemoryStream stream;
    stream.WriteBuffer(gifBytes.data(), gifBytes.size());
    stream.SetPosition(0);
    image.LoadFromStream(stream);
    // The decoded frame as a bitmap file image: 8 bits, the frame's colour table.
    rtl::TMemoryStream bmpStream;
    image.Frames(0)->SaveToBitmapStream(bmpStream);
    const std::string_view bmp(reinterpret_cast<const char*>(bmpStream.Memory()),
                               std::size_t(bmpStream.Size()));
    TDecoded d;
    d.Width = int(LE32(bmp, 18));
    d.Height = int(LE32(bmp, 22));
    EXPECT_EQ(LE16(bmp, 28), 8u);
    const std::size_t offset = LE32(bmp, 10);
    const std::size_t stride = (std::size_t(d.Width) + 3) / 4 * 4;
    for (int y = 0; y < d.Height; ++y) {
        const std::size_t row = offset + stride * std::size_t(d.Height - 1 - y);
        for (int x = 0; x < d.Width; ++x) {
            const std::uint8_t index = std::uint8_t(bmp[row + std::size_t(x)]);
            const std::size_t entry = 54 + 4 * std::size_t(index);
            d.Index.push_back(index);
            d.Rgb.push_back(std::uint32_t(std::uint8_t(bmp[entry + 2])) << 16 |
                            std::uint32_t(std::uint8_t(bmp[entry + 1])) << 8 |
                            std::uint8_t(bmp[entry]));
        }
    }
    return d;
}

// The decoded pictures, decoded once for the whole program.
const TDecoded& DecodedPicture(TPictureId picture) {
    static const std::array<TDecoded, 4> decoded = [] {
        std::array<TDecoded, 4> d;
        for (int i = 0; i < 4; ++i)
            d[std::size_t(i)] = Decode(Pictures().Gif[std::size_t(i)]);
        return d;
    }();
    return decoded[picture];
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- layout

TEST(ArtgenLayout, ResizeArithmeticAtTheEdgeCases) {
    const struct {
        int W, H;
        TRunLayout Expected;
    } cases[] = {
        // The design size: the background 1274 by 952.
        {1283, 988, {1274, 952, {287, 162}, {312, 224}, {312, 230}}},
        // Maximised on 1280 by 1024.
        {1280, 1024, {1271, 988, {285, 180}, {310, 242}, {310, 248}}},
        // Narrower and lower than the content: halves toward zero.
        {700, 500, {691, 464, {-4, -82}, {20, -20}, {20, -13}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H));
        const TRunLayout l = RunLayout(c.W, c.H);
        EXPECT_EQ(l.MainWidth, c.Expected.MainWidth);
        EXPECT_EQ(l.MainHeight, c.Expected.MainHeight);
        EXPECT_EQ(l.Control, c.Expected.Control);
        EXPECT_EQ(l.Start, c.Expected.Start);
        EXPECT_EQ(l.Select, c.Expected.Select);
    }
}

TEST(ArtgenLayout, WindowFontKeepsTheStoredTextHeight) {
    // The stored bounds are scaled when the window's font is not 13 pixels high on the
    // running system; the labels are placed for unscaled bounds.
    graphics::TBitmap bitmap;
    bitmap.SetPixelFormat(graphics::pf24bit);
    bitmap.SetSize(8, 8);
    bitmap.Canvas()->Font()->SetName("MS Sans Serif");
    bitmap.Canvas()->Font()->SetHeight(-11);
    EXPECT_EQ(bitmap.Canvas()->TextHeight("0"), 13);
}

// Worked out by hand from the resize handler's offsets for a maximised window.
const struct {
    TPictureId Picture;
    const char* Name;
    TRect Rect;
} RunTimeSpots[] = {
    {piStart, "b_korean", rtl::Bounds(301, 386, 144, 29)},
    {piStart, "b_english", rtl::Bounds(468, 386, 147, 29)},
    {piSelect, "title", rtl::Bounds(371, 388, 276, 34)},
    {piSelect, "manImage", rtl::Bounds(344, 439, 45, 18)},
    {piSelect, "womanImage", rtl::Bounds(496, 439, 66, 18)},
    {piSelect, "childbabyImage", rtl::Bounds(344, 467, 50, 18)},
    {piSelect, "childbabyImage1", rtl::Bounds(496, 467, 53, 17)},
    {piSelectEng, "title_eng", rtl::Bounds(384, 393, 268, 32)},
    {piSelectEng, "manImage_eng", rtl::Bounds(432, 436, 40, 16)},
    {piSelectEng, "womanImage_eng", rtl::Bounds(538, 436, 58, 16)},
    {piSelectEng, "childbabyImage_eng", rtl::Bounds(432, 455, 46, 16)},
    {piSelectEng, "childbabyImage1_eng", rtl::Bounds(538, 455, 50, 16)},
};

TEST(ArtgenLayout, HotSpotsOfTheMaximisedWindow) {
    std::size_t total = 0;
    for (TPictureId p : {piMain, piStart, piSelect, piSelectEng})
        total += HotSpots(p).size();
    EXPECT_EQ(total, std::size(RunTimeSpots));
    for (const auto& spot : RunTimeSpots) {
        SCOPED_TRACE(spot.Name);
        bool found = false;
        for (const THotSpot& h : HotSpots(spot.Picture))
            if (std::string(h.Name) == spot.Name) {
                found = true;
                EXPECT_EQ(h.Rect, spot.Rect);
            }
        EXPECT_TRUE(found);
    }
}

// ---------------------------------------------------------------- pictures

TEST(ArtgenPictures, GifStreamsHaveExactlyTheRequiredBlocks) {
    for (int i = 0; i < 4; ++i) {
        const TPictureSpec& spec = PictureSpec(TPictureId(i));
        SCOPED_TRACE(spec.File);
        const std::string_view g = Pictures().Gif[std::size_t(i)];
        ASSERT_GT(g.size(), 802u);
        EXPECT_EQ(g.substr(0, 6), "GIF89a");
        EXPECT_EQ(LE16(g, 6), std::uint32_t(spec.Width));
        EXPECT_EQ(LE16(g, 8), std::uint32_t(spec.Height));
        EXPECT_EQ(std::uint8_t(g[10]), 0xF7); // global table of 256, 8-bit resolution
        EXPECT_EQ(g[11], 0);                  // background index
        EXPECT_EQ(g[12], 0);                  // aspect ratio
        EXPECT_EQ(g.substr(13, 6), std::string_view("\0\0\0\xFF\xFF\xFF", 6));
        // The graphic control extension: transparent index 1, no delay, disposal 0.
        EXPECT_EQ(g.substr(781, 8), std::string_view("\x21\xF9\x04\x01\x00\x00\x01\x00", 8));
        // The one image descriptor: the whole screen, no local table, not interlaced.
        EXPECT_EQ(g[789], 0x2C);
        EXPECT_EQ(LE32(g, 790), 0u);
        EXPECT_EQ(LE16(g, 794), std::uint32_t(spec.Width));
        EXPECT_EQ(LE16(g, 796), std::uint32_t(spec.Height));
        EXPECT_EQ(g[798], 0);
        EXPECT_EQ(g[799], 8); // minimum code size
        std::size_t pos = 800;
        while (pos < g.size() && std::uint8_t(g[pos]) == 255)
            pos += 256;
        ASSERT_LT(pos, g.size());
        EXPECT_GT(std::uint8_t(g[pos]), 0);
        pos += 1 + std::uint8_t(g[pos]);
        // The terminator and the trailer end the stream: nothing else follows.
        EXPECT_EQ(g.substr(std::min(pos, g.size())), std::string_view("\0\x3B", 2));

        // Our reader sees one frame of the screen's size with white transparent.
        gif::TGIFImage image;
        rtl::TMemoryStream stream;
        stream.WriteBuffer(g.data(), g.size());
        stream.SetPosition(0);
        image.LoadFromStream(stream);
        EXPECT_EQ(image.Version(), gif::gv89a);
        EXPECT_EQ(image.Count(), 1);
        EXPECT_EQ(image.GetGlobalColorCount(), 256);
        EXPECT_EQ(image.GetScreenWidth(), spec.Width);
        EXPECT_EQ(image.GetScreenHeight(), spec.Height);
        EXPECT_EQ(image.Frames(0)->TransparentColor(), formstream::clWhite);
        EXPECT_FALSE(image.Frames(0)->Interlaced());
        EXPECT_FALSE(image.GetCorrupted());
    }
}

TEST(ArtgenPictures, NoPixelUsesTheTransparentWhite) {
    // White is the transparent colour: a picture drawn transparently must lose nothing.
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(PictureSpec(TPictureId(i)).File);
        const TDecoded d = Decode(Pictures().Gif[std::size_t(i)]);
        EXPECT_EQ(std::count(d.Index.begin(), d.Index.end(), 1), 0);
    }
}

TEST(ArtgenPictures, EachLabelLiesUnderItsRunTimeHotSpot) {
    const std::uint32_t fill = RgbOf(LabelFill()), ink = RgbOf(LabelInk());
    for (const auto& spot : RunTimeSpots) {
        SCOPED_TRACE(spot.Name);
        const TDecoded& d = DecodedPicture(spot.Picture);
        const TRect r = spot.Rect;
        const int right = std::min(r.Right, d.Width - LabelInset); // the English title
        const int cy = r.Top + r.Height() / 2;
        // The label's fill at both ends of the hot-spot ...
        EXPECT_TRUE(Near(d.At(r.Left + 1, cy), fill, 6)) << std::hex << d.At(r.Left + 1, cy);
        EXPECT_TRUE(Near(d.At(right - 2, cy), fill, 6)) << std::hex << d.At(right - 2, cy);
        // ... and not beyond it.
        EXPECT_FALSE(Near(d.At(r.Left - 2, cy), fill, 40));
        if (r.Right + 1 < d.Width) {
            EXPECT_FALSE(Near(d.At(r.Right + 1, cy), fill, 40));
        }
        EXPECT_FALSE(Near(d.At(r.Left + 3, r.Top - 2), fill, 40));
        EXPECT_FALSE(Near(d.At(r.Left + 3, r.Bottom + 1), fill, 40));
        // Its text inside.
        int inkPixels = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < right; ++x)
                inkPixels += Near(d.At(x, y), ink, 24);
        EXPECT_GE(inkPixels, 12);
    }
}

TEST(ArtgenPictures, EachLabelAndItsTextStayInsideTheCard) {
    // A hot-spot may reach past its picture (the English title does): its label then ends
    // inside the card, the border and a gap before it stay free, and the text, centred on
    // the label as drawn, keeps clear of both ends.
    const std::uint32_t fill = RgbOf(LabelFill()), ink = RgbOf(LabelInk());
    for (const auto& spot : RunTimeSpots) {
        SCOPED_TRACE(spot.Name);
        const TDecoded& d = DecodedPicture(spot.Picture);
        const TRect r = spot.Rect;
        const int right = std::min(r.Right, d.Width - LabelInset); // the label's end
        const int radius = std::min(6, r.Height() / 3);
        int inkLeft = d.Width, inkRight = -1;
        for (int y = r.Top + radius; y < r.Bottom - radius; ++y) {
            for (int x = right; r.Right > right && x < d.Width; ++x)
                EXPECT_FALSE(Near(d.At(x, y), fill, 40)) << "label past its end at " << x;
            for (const int x : {r.Left + 1, r.Left + 2, right - 3, right - 2})
                EXPECT_TRUE(Near(d.At(x, y), fill, 24))
                    << "text at (" << x << "," << y << "): " << std::hex << d.At(x, y);
            for (int x = r.Left; x < right; ++x)
                if (Near(d.At(x, y), ink, 60)) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x + 1);
                }
        }
        ASSERT_LT(inkLeft, inkRight) << "no text";
        EXPECT_LE(std::abs((inkLeft + inkRight) - (r.Left + right)), 4)
            << "text " << inkLeft << ".." << inkRight << " on label " << r.Left << ".." << right;
    }
}

// ---------------------------------------------------------------- glyphs

const RGBQUAD StandardColours[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {128, 128, 128, 0},
    {192, 192, 192, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};
enum { Black = 0, Olive = 3, Grey = 7, Lime = 10, White = 15 };

const struct {
    const char* Button;
    int Width, Height;
} GlyphSizes[] = {{"MPPLAY", 17, 16}, {"MPPAUSE", 13, 16},  {"MPSTOP", 17, 16},
                  {"MPNEXT", 21, 16}, {"MPPREV", 20, 16},   {"MPSTEP", 21, 16},
                  {"MPBACK", 21, 16}, {"MPRECORD", 13, 13}, {"MPEJECT", 19, 16}};

// The pixel indices of a 4-bit BMP file image, row by row from the top.
std::vector<int> Indices(std::string_view bmp, int width, int height) {
    std::vector<int> out;
    const std::size_t offset = LE32(bmp, 10);
    const std::size_t stride = std::size_t((width * 4 + 31) / 32 * 4);
    for (int y = 0; y < height; ++y) {
        const std::size_t row = offset + stride * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t b = std::uint8_t(bmp[row + std::size_t(x / 2)]);
            out.push_back(x % 2 ? b & 0x0F : b >> 4);
        }
    }
    return out;
}

TEST(ArtgenGlyphs, SizeDepthPaletteAndColoursOfAll27) {
    for (int button = 0; button < 9; ++button)
        for (int state = 0; state < 3; ++state) {
            const std::string name =
                std::string(GlyphStates[state]) + "_" + GlyphSizes[button].Button;
            SCOPED_TRACE(name);
            EXPECT_EQ(GlyphButtons[button], std::string(GlyphSizes[button].Button));
            const std::string bmp = GlyphBmp(button, TGlyphState(state));
            const int width = GlyphSizes[button].Width - (button == 1 && state == gsDisabled);
            const int height = GlyphSizes[button].Height;
            ASSERT_GT(bmp.size(), 54u + 64u);
            EXPECT_EQ(bmp.substr(0, 2), "BM");
            EXPECT_EQ(LE32(bmp, 2), bmp.size());
            EXPECT_EQ(LE32(bmp, 14), 40u);
            EXPECT_EQ(LE32(bmp, 18), std::uint32_t(width));
            EXPECT_EQ(LE32(bmp, 22), std::uint32_t(height));
            EXPECT_EQ(LE16(bmp, 28), 4u);
            EXPECT_EQ(LE32(bmp, 30), 0u); // BI_RGB
            const std::uint32_t colours = LE32(bmp, 46);
            EXPECT_TRUE(colours == 0 || colours == 16) << colours;
            for (int i = 0; i < 16; ++i) {
                const std::size_t at = 54 + 4 * std::size_t(i);
                EXPECT_EQ(bmp.substr(at, 3),
                          std::string(reinterpret_cast<const char*>(&StandardColours[i]), 3))
                    << "palette entry " << i;
            }
            const std::vector<int> px = Indices(bmp, width, height);
            auto has = [&](int index) { return std::count(px.begin(), px.end(), index) > 0; };
            EXPECT_EQ(px.front(), Olive);
            EXPECT_EQ(px.back(), Olive);
            EXPECT_TRUE(has(Grey));
            EXPECT_TRUE(has(White));
            EXPECT_EQ(has(Black), state == gsNormal);
            EXPECT_EQ(has(Lime), state == gsColored);
            for (int v : px)
                EXPECT_TRUE(v == Olive || v == Grey || v == White || v == Black || v == Lime) << v;
        }
}

TEST(ArtgenGlyphs, CompiledResourcesLoadAsBitmapsOfTheirSize) {
    platform::testing::UseHeadless();
    const HINSTANCE module = GetModuleHandleA(nullptr);
    for (int button = 0; button < 9; ++button)
        for (int state = 0; state < 3; ++state) {
            const std::string name =
                std::string(GlyphStates[state]) + "_" + GlyphSizes[button].Button;
            SCOPED_TRACE(name);
            HRSRC res = FindResourceA(module, name.c_str(), RT_BITMAP);
            ASSERT_NE(res, nullptr);
            EXPECT_EQ(SizeofResource(module, res),
                      GlyphBmp(button, TGlyphState(state)).size() - 14);
            HBITMAP bitmap = LoadBitmapA(module, name.c_str());
            ASSERT_NE(bitmap, nullptr);
            BITMAP info{};
            ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
            EXPECT_EQ(info.bmWidth,
                      GlyphSizes[button].Width - (button == 1 && state == gsDisabled));
            EXPECT_EQ(info.bmHeight, GlyphSizes[button].Height);
            DeleteObject(bitmap);
        }
}

// ---------------------------------------------------------------- icon

TEST(ArtgenIcon, IconFileHoldsFourSizesWithTransparentCorners) {
    const std::string ico = IconFile();
    ASSERT_GE(ico.size(), 6u + 4 * 16);
    EXPECT_EQ(LE16(ico, 0), 0u);
    EXPECT_EQ(LE16(ico, 2), 1u);
    ASSERT_EQ(LE16(ico, 4), 4u);
    const int sizes[] = {16, 32, 48, 256};
    std::size_t expectedOffset = 6 + 4 * 16;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(sizes[i]);
        const std::size_t e = 6 + 16 * std::size_t(i);
        EXPECT_EQ(std::uint8_t(ico[e]), sizes[i] % 256);
        EXPECT_EQ(std::uint8_t(ico[e + 1]), sizes[i] % 256);
        EXPECT_EQ(LE16(ico, e + 4), 1u);
        EXPECT_EQ(LE16(ico, e + 6), 32u);
        const std::size_t bytes = LE32(ico, e + 8), offset = LE32(ico, e + 12);
        EXPECT_EQ(offset, expectedOffset);
        ASSERT_LE(offset + bytes, ico.size());
        expectedOffset += bytes;
        const std::string_view image = std::string_view(ico).substr(offset, bytes);
        if (sizes[i] == 256) {
            EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1A\n");
            continue;
        }
        const std::size_t n = std::size_t(sizes[i]);
        const std::size_t maskStride = (n + 31) / 32 * 4;
        EXPECT_EQ(bytes, 40 + n * n * 4 + maskStride * n);
        EXPECT_EQ(LE32(image, 8), 2 * n); // colour rows and mask rows
        // Top-left corner (the last row of the bottom-up pixels): transparent in both the
        // alpha and the mask; the middle opaque.
        const std::size_t topRow = 40 + (n - 1) * n * 4;
        EXPECT_EQ(std::uint8_t(image[topRow + 3]), 0);
        const std::size_t maskTop = 40 + n * n * 4 + (n - 1) * maskStride;
        EXPECT_EQ(std::uint8_t(image[maskTop]) & 0x80, 0x80);
        const std::size_t middle = 40 + ((n / 2) * n + n / 2) * 4;
        EXPECT_EQ(std::uint8_t(image[middle + 3]), 255);
    }
    EXPECT_EQ(expectedOffset, ico.size());
}

TEST(ArtgenIcon, CompiledIconLoadsAtItsLargestSize) {
    platform::testing::UseHeadless();
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    ASSERT_NE(icon, nullptr);
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    ASSERT_TRUE(platform::user::IconImage(icon, width, height, pixels));
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 256);
    ASSERT_EQ(pixels.size(), 256u * 256u);
    EXPECT_EQ(pixels[0] >> 24, 0u);                // transparent corner
    EXPECT_EQ(pixels[128 * 256 + 20] >> 24, 255u); // opaque face
    EXPECT_TRUE(pixels == DrawIcon(256));
    DestroyIcon(icon);
}

// ---------------------------------------------------------------- the program

TEST(ArtgenProgram, SameBytesOnEveryRunAndAsDrawnInProcess) {
    TTempDir first, second;
    ASSERT_FALSE(first.Path().empty());
    ASSERT_FALSE(second.Path().empty());
    for (const TTempDir* dir : {&first, &second}) {
        ASSERT_EQ(RunArtgen("pictures " + dir->Path().string()), 0);
        ASSERT_EQ(RunArtgen("glyphs " + dir->Path().string()), 0);
        ASSERT_EQ(RunArtgen("icon " + (dir->Path() / "quillot.ico").string()), 0);
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(first.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names.size(), 4u + 27u + 1u + std::size(IconThemeSizes));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string a = testutil::ReadAll(first.Path() / name);
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == testutil::ReadAll(second.Path() / name));
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(testutil::ReadAll(first.Path() / PictureSpec(TPictureId(i)).File) ==
                    Pictures().Gif[std::size_t(i)]);
    EXPECT_TRUE(testutil::ReadAll(first.Path() / "EN_MPEJECT.bmp") == GlyphBmp(8, gsNormal));
    EXPECT_TRUE(testutil::ReadAll(first.Path() / "quillot-48.png") == IconPng(48));
}

TEST(ArtgenProgram, BadCommandLinesFailWithoutWriting) {
    TTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string file = (dir.Path() / "plain").string();
    std::ofstream(file) << "x";
    const struct {
        std::string Args;
        int Status;
    } cases[] = {
        {"", 2},
        {"pictures", 2},
        {"draw " + dir.Path().string(), 2},
        {"pictures " + dir.Path().string() + " extra", 2},
        {"glyphs " + file, 1}, // not a directory
        {"pictures " + (dir.Path() / "missing").string(), 1},
        {"icon " + (dir.Path() / "missing" / "q.ico").string(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        EXPECT_EQ(RunArtgen(c.Args), c.Status);
    }
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++count;
    EXPECT_EQ(count, 1u);
}

} // namespace
