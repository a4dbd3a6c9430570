// The bitmap graphic: size changes, pixel formats and conversions, monochrome and device
// bitmaps, colour tables and palettes, transparency, copying, handles and the clipboard.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "BmpBuilder.h"
#include "formstream/ClassRegistry.h"
#include "formstream/Graphic.h"
#include "graphics/Graphics.h"
#include "platform/winbase.h"
#include "platform/winuser.h"
#include "rtl/Exceptions.h"

using namespace graphics;
using namespace testbmp;

namespace {

void LoadPalette8(TBitmap& bitmap) {
    TBmpFields spec;
    spec.Width = 3;
    spec.Height = 2;
    spec.BitCount = 8;
    spec.Colors = {Quad(0, 0, 0), Quad(255, 255, 255), Quad(200, 10, 10), Quad(10, 200, 10)};
    spec.Pixels = {3, 2, 1, 0,  // bottom row
                   0, 1, 2, 0}; // top row
    LoadBytes(bitmap, BuildBmp(spec));
}

} // namespace

TEST(Bitmap, NewBitmapIsAnEmptyDeviceBitmap) {
    TBitmap bitmap;
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(0, bitmap.Width());
    EXPECT_EQ(pfDevice, bitmap.PixelFormat());
    EXPECT_EQ(pfDevice, GetBitmapPixelFormat(&bitmap));
    EXPECT_EQ(pfDevice, GetBitmapPixelFormat(nullptr));
    EXPECT_EQ(nullptr, bitmap.Palette());
    EXPECT_EQ(nullptr, bitmap.Handle());
    EXPECT_THROW(bitmap.ScanLine(0), rtl::EInvalidGraphicOperation);
}

TEST(Bitmap, ResizingKeepsTheOverlappingPixels) {
    TBitmap bitmap;
    MakeSolid(bitmap, 4, 4, formstream::clRed);
    bitmap.Canvas()->SetPixels(1, 1, formstream::clBlue);
    bitmap.SetSize(6, 2);
    EXPECT_EQ(6, bitmap.Width());
    EXPECT_EQ(2, bitmap.Height());
    EXPECT_EQ(Hex(RGB(0, 0, 255)), Hex(PixelOf(bitmap, 1, 1)));
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(bitmap, 3, 0)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(bitmap, 5, 0))) << "new pixels are black";
    bitmap.SetWidth(0);
    EXPECT_TRUE(bitmap.Empty());
}

TEST(Bitmap, AbsurdSizesAreRefused) {
    TBitmap bitmap;
    EXPECT_THROW(bitmap.SetSize(100000, 10), rtl::EOutOfResources);
    EXPECT_TRUE(bitmap.Empty());
}

TEST(Bitmap, PixelFormatConversionsKeepTheColours) {
    const TPixelFormat formats[] = {pf24bit, pf32bit, pf15bit, pf16bit, pf8bit, pf4bit};
    // Colours every format represents exactly: black, white, pure red, lime, blue.
    const TColor colors[] = {formstream::clBlack, formstream::clWhite, formstream::clRed,
                             formstream::clLime, formstream::clBlue};
    for (TPixelFormat format : formats) {
        SCOPED_TRACE(std::string(TPixelFormatNames[format]));
        TBitmap bitmap;
        MakeSolid(bitmap, 5, 1, formstream::clBlack);
        for (int x = 0; x < 5; ++x)
            bitmap.Canvas()->SetPixels(x, 0, colors[x]);
        bitmap.SetPixelFormat(format);
        EXPECT_EQ(format, bitmap.PixelFormat());
        EXPECT_EQ(5, bitmap.Width());
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Hex(ColorToRGB(colors[x])), Hex(COLORREF(bitmap.Canvas()->Pixels(x, 0))))
                << "pixel " << x;
    }
}

TEST(Bitmap, PaletteFormatsGetStandardTablesOrKeepTheirOwn) {
    TBitmap bitmap;
    MakeSolid(bitmap, 2, 2, formstream::clWhite);
    bitmap.SetPixelFormat(pf8bit);
    EXPECT_EQ(256, bitmap.PaletteCount());
    bitmap.SetPixelFormat(pf4bit);
    EXPECT_EQ(16, bitmap.PaletteCount());

    TBitmap own;
    LoadPalette8(own);
    own.SetPixelFormat(pf4bit);
    ASSERT_EQ(4, own.PaletteCount()) << "a table that fits is kept";
    EXPECT_EQ(200, own.PaletteEntry(2).rgbRed);
    EXPECT_EQ(Hex(RGB(10, 200, 10)), Hex(COLORREF(own.Canvas()->Pixels(0, 1))));
    EXPECT_THROW(own.SetPixelFormat(pfCustom), rtl::EInvalidGraphic);
}

TEST(Bitmap, MonochromeMeansOneBitBlackAndWhite) {
    TBitmap bitmap;
    MakeSolid(bitmap, 3, 1, formstream::clWhite);
    bitmap.Canvas()->SetPixels(0, 0, formstream::clNavy);
    EXPECT_FALSE(bitmap.Monochrome());
    bitmap.SetMonochrome(true);
    EXPECT_TRUE(bitmap.Monochrome());
    EXPECT_EQ(1, bitmap.BitsPerPixel());
    EXPECT_EQ(formstream::clBlack, bitmap.Canvas()->Pixels(0, 0));
    EXPECT_EQ(formstream::clWhite, bitmap.Canvas()->Pixels(2, 0));
    EXPECT_EQ(formstream::clWhite, bitmap.TransparentColor());
    bitmap.SetMonochrome(false);
    EXPECT_FALSE(bitmap.Monochrome());
    EXPECT_EQ(formstream::clBlack, bitmap.Canvas()->Pixels(0, 0));

    // One bit with other colours is not monochrome.
    TBmpFields spec;
    spec.BitCount = 1;
    spec.Colors = {Quad(255, 0, 0), Quad(0, 0, 255)};
    spec.Pixels = {0, 0, 0, 0};
    TBitmap coloured;
    LoadBytes(coloured, BuildBmp(spec));
    EXPECT_FALSE(coloured.Monochrome());
}

TEST(Bitmap, DeviceBitmapKeepsThePaletteAndThePicture) {
    TBitmap bitmap;
    LoadPalette8(bitmap);
    bitmap.SetHandleType(bmDDB);
    EXPECT_EQ(bmDDB, bitmap.HandleType());
    EXPECT_EQ(pfDevice, bitmap.PixelFormat());
    EXPECT_EQ(4, bitmap.PaletteCount());
    EXPECT_NE(nullptr, bitmap.Palette());
    EXPECT_EQ(Hex(RGB(200, 10, 10)), Hex(COLORREF(bitmap.Canvas()->Pixels(2, 0))));
    EXPECT_EQ(Hex(RGB(10, 200, 10)), Hex(COLORREF(bitmap.Canvas()->Pixels(0, 1))));
    bitmap.SetPixelFormat(pf8bit);
    EXPECT_EQ(bmDIB, bitmap.HandleType());
    EXPECT_EQ(3, static_cast<const std::uint8_t*>(bitmap.ScanLine(1))[0]);
}

// A palette picture made a device bitmap is drawn from its palette pixels until a use
// needs the 32-bit form; whichever use comes first, the colours stay those it had.
TEST(Bitmap, DeviceBitmapOfPalettePixelsKeepsItsColoursThroughEveryUse) {
    const COLORREF want[2][3] = {{RGB(0, 0, 0), RGB(255, 255, 255), RGB(200, 10, 10)},
                                 {RGB(10, 200, 10), RGB(200, 10, 10), RGB(255, 255, 255)}};
    struct Use {
        const char* name;
        std::function<void(TBitmap&)> run;
        bool stillDevice;
    };
    const Use uses[] = {
        {"only drawn", [](TBitmap&) {}, true},
        {"scan line",
         [](TBitmap& b) {
             EXPECT_EQ(12, b.BytesPerScanLine());
             b.ScanLine(0);
         },
         true},
        {"handle", [](TBitmap& b) { EXPECT_NE(nullptr, b.Handle()); }, true},
        {"canvas", [](TBitmap& b) { b.Canvas()->Handle(); }, true},
        {"palette changed",
         [](TBitmap& b) {
             const RGBQUAD grey[4] = {Quad(9, 9, 9), Quad(9, 9, 9), Quad(9, 9, 9), Quad(9, 9, 9)};
             b.SetPaletteEntries(grey);
         },
         true},
        {"saved and loaded",
         [](TBitmap& b) {
             LoadBytes(b, SaveBytes(b));
             EXPECT_EQ(pf32bit, b.PixelFormat());
         },
         false},
        {"back to a DIB",
         [](TBitmap& b) {
             b.SetHandleType(bmDIB);
             EXPECT_EQ(pf32bit, b.PixelFormat());
         },
         false},
        {"copied",
         [](TBitmap& b) {
             TBitmap copy;
             copy.Assign(&b);
             b.Assign(&copy);
         },
         true},
    };
    for (const Use& use : uses) {
        SCOPED_TRACE(use.name);
        TBitmap bitmap;
        LoadPalette8(bitmap);
        bitmap.SetHandleType(bmDDB);
        EXPECT_EQ(32, bitmap.BitsPerPixel());
        use.run(bitmap);
        EXPECT_EQ(use.stillDevice, bitmap.PixelFormat() == pfDevice);
        TBitmap target;
        MakeSolid(target, 3, 2, formstream::clBlue);
        target.Canvas()->Draw(0, 0, &bitmap);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(Hex(want[y][x]), Hex(PixelOf(target, x, y))) << "at " << x << "," << y;
    }
}

TEST(Bitmap, PaletteHandleMirrorsTheColourTable) {
    TBitmap bitmap;
    LoadPalette8(bitmap);
    HPALETTE palette = bitmap.Palette();
    ASSERT_NE(nullptr, palette);
    PALETTEENTRY entries[8] = {};
    ASSERT_EQ(4u, GetPaletteEntries(palette, 0, 8, entries));
    EXPECT_EQ(200, entries[2].peRed);
    EXPECT_EQ(10, entries[2].peBlue);

    const RGBQUAD replacement[] = {Quad(1, 2, 3), Quad(4, 5, 6), Quad(7, 8, 9), Quad(250, 0, 250)};
    bitmap.SetPaletteEntries(replacement);
    EXPECT_TRUE(bitmap.PaletteModified());
    EXPECT_EQ(Hex(RGB(250, 0, 250)), Hex(COLORREF(bitmap.Canvas()->Pixels(0, 1))))
        << "the pixels show the new table";
    PALETTEENTRY after[4] = {};
    ASSERT_EQ(4u, GetPaletteEntries(bitmap.Palette(), 0, 4, after));
    EXPECT_EQ(250, after[3].peRed);

    // A palette set from outside becomes the table; the bitmap owns it.
    LOGPALETTE lp{0x300, 1, {{9, 9, 9, 0}}};
    HPALETTE given = CreatePalette(&lp);
    bitmap.SetPalette(given);
    EXPECT_EQ(given, bitmap.Palette());
    EXPECT_EQ(1, bitmap.PaletteCount());
    HPALETTE released = bitmap.ReleasePalette();
    EXPECT_EQ(given, released);
    EXPECT_NE(given, bitmap.Palette());
    DeleteObject(released);
    bitmap.SetPalette(nullptr); // drops the handle, keeps the table
    EXPECT_EQ(1, bitmap.PaletteCount());
    EXPECT_NE(nullptr, bitmap.Palette());
}

TEST(Bitmap, TransparentColourDefaultsToTheBottomLeftPixel) {
    TBitmap bitmap;
    MakeSolid(bitmap, 3, 3, formstream::clWhite);
    bitmap.Canvas()->SetPixels(0, 2, formstream::clPurple);
    EXPECT_EQ(tmAuto, bitmap.TransparentMode());
    EXPECT_EQ(formstream::clPurple, bitmap.TransparentColor());
    bitmap.SetTransparentColor(formstream::clAqua);
    EXPECT_EQ(tmFixed, bitmap.TransparentMode());
    EXPECT_EQ(formstream::clAqua, bitmap.TransparentColor());
    bitmap.SetTransparentMode(tmAuto);
    EXPECT_EQ(formstream::clPurple, bitmap.TransparentColor());
}

TEST(Bitmap, AssignCopiesIndependently) {
    TBitmap original;
    LoadPalette8(original);
    original.SetTransparentColor(formstream::clRed);
    TBitmap copy;
    copy.Assign(&original);
    EXPECT_EQ(SaveBytes(original), SaveBytes(copy));
    EXPECT_EQ(formstream::clRed, copy.TransparentColor());
    copy.Canvas()->SetPixels(0, 0, formstream::clWhite);
    EXPECT_NE(SaveBytes(original), SaveBytes(copy));
    EXPECT_EQ(Hex(0), Hex(COLORREF(original.Canvas()->Pixels(0, 0))));
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
}

namespace {

// A graphic that can only draw itself: a green square with a red top-left pixel.
class TSquare : public formstream::TGraphic {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    void Draw(TCanvas* canvas, const rtl::TRect& rect) override {
        canvas->Brush()->SetColor(formstream::clGreen);
        canvas->FillRect(rect);
        canvas->SetPixels(rect.Left, rect.Top, formstream::clRed);
    }
    bool GetEmpty() const override { return false; }
    std::int32_t GetWidth() const override { return 3; }
    std::int32_t GetHeight() const override { return 2; }
};
constinit const formstream::TClassInfo TSquare::ClassInfo =
    formstream::ClassInfoOf<TSquare, formstream::TGraphic>("TSquare");

} // namespace

TEST(Bitmap, AssignFromAnotherGraphicDrawsIt) {
    TSquare square;
    TBitmap bitmap;
    bitmap.Assign(&square);
    EXPECT_EQ(3, bitmap.Width());
    EXPECT_EQ(2, bitmap.Height());
    EXPECT_EQ(pf24bit, bitmap.PixelFormat());
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(bitmap, 0, 0)));
    EXPECT_EQ(Hex(RGB(0, 128, 0)), Hex(PixelOf(bitmap, 2, 1)));
    TPen pen;
    EXPECT_THROW(bitmap.Assign(&pen), rtl::EConvertError);
}

TEST(Bitmap, ScanLineAndCanvasShareThePixels) {
    TBitmap bitmap;
    MakeSolid(bitmap, 2, 2, formstream::clBlack);
    auto* row = static_cast<std::uint8_t*>(bitmap.ScanLine(1));
    row[3] = 0x30; // pixel (1, 1): blue, green, red
    row[4] = 0x20;
    row[5] = 0x10;
    EXPECT_EQ(formstream::MakeColor(RGB(0x10, 0x20, 0x30)), bitmap.Canvas()->Pixels(1, 1));
    bitmap.Canvas()->SetPixels(0, 1, formstream::clYellow);
    EXPECT_EQ(0xFF, row[1]);
    EXPECT_EQ(0xFF, row[2]);
    EXPECT_THROW(bitmap.ScanLine(2), rtl::EInvalidGraphicOperation);
    EXPECT_THROW(bitmap.ScanLine(-1), rtl::EInvalidGraphicOperation);
}

TEST(Bitmap, HandlesCanBeTakenOverAndCopiedThroughTheClipboard) {
    TBitmap bitmap;
    LoadPalette8(bitmap);
    UINT format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    bitmap.SaveToClipboardFormat(format, data, palette);
    EXPECT_EQ(2u, format);
    ASSERT_NE(nullptr, data);
    EXPECT_NE(nullptr, palette);

    TBitmap pasted;
    pasted.LoadFromClipboardFormat(format, data, palette);
    EXPECT_EQ(SaveBytes(bitmap), SaveBytes(pasted)) << "an 8-bit section stays 8-bit";
    EXPECT_THROW(pasted.LoadFromClipboardFormat(CF_METAFILEPICT, data, palette),
                 rtl::EInvalidGraphic);

    TBitmap owner;
    owner.SetHandle(static_cast<HBITMAP>(data)); // owns and frees it from now on
    EXPECT_EQ(pf8bit, owner.PixelFormat());
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(0, std::memcmp(bitmap.ScanLine(y), owner.ScanLine(y), 3)) << "row " << y;
    EXPECT_EQ(200, owner.PaletteEntry(2).rgbRed);
    DeleteObject(palette);

    HDC screen = CreateCompatibleDC(nullptr);
    HBITMAP device = CreateBitmap(4, 2, 1, 32, nullptr);
    DeleteDC(screen);
    TBitmap fromDevice;
    fromDevice.SetHandle(device);
    EXPECT_EQ(4, fromDevice.Width());
    EXPECT_EQ(pfDevice, fromDevice.PixelFormat());
}

TEST(Bitmap, RegistrationMakesBitmapsAndDrawingObjectsFindable) {
    RegisterGraphicsUnit();
    RegisterGraphicsUnit();
    EXPECT_EQ(&TBitmap::ClassInfo, formstream::FindGraphicClassByExtension("BMP"));
    EXPECT_EQ(&TBitmap::ClassInfo, formstream::FindGraphicClassByClipboardFormat(2));
    EXPECT_EQ(&TFont::ClassInfo, formstream::FindStreamClass("TFont"));
    EXPECT_EQ(&TBitmap::ClassInfo, formstream::FindStreamClass("TBitmap"));
    int bmpEntries = 0;
    for (const auto& f : formstream::GraphicFormats())
        bmpEntries += f.Extension == "bmp";
    EXPECT_EQ(1, bmpEntries) << "registering twice adds nothing";
}

TEST(Bitmap, PictureDataNamingTBitmapLoadsABitmap) {
    RegisterGraphicsUnit();
    TBitmap source;
    LoadPalette8(source);
    rtl::TMemoryStream block;
    block.WriteByte(7);
    block.WriteBuffer("TBitmap", 7);
    source.WriteData(block);
    block.SetPosition(0);
    formstream::TPicture picture;
    picture.ReadPictureData(block);
    auto* loaded = formstream::DynCast<TBitmap>(picture.Graphic());
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(SaveBytes(source), SaveBytes(*loaded));
    EXPECT_EQ(3, picture.Width());
}

TEST(Bitmap, EveryPaletteDepthTurnsIntoTheSameDevicePicture) {
    for (int depth : {1, 4, 8}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        TBmpFields spec;
        spec.Width = 11;
        spec.Height = 3;
        spec.BitCount = depth;
        spec.Colors = GreyRamp(1 << depth);
        spec.Pixels = PatternPixels(11, 3, depth);
        TBitmap bitmap;
        LoadBytes(bitmap, BuildBmp(spec));
        std::vector<TColor> before;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 11; ++x)
                before.push_back(bitmap.Canvas()->Pixels(x, y));
        bitmap.SetHandleType(bmDDB);
        ASSERT_EQ(32, bitmap.BitsPerPixel());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 11; ++x)
                ASSERT_EQ(Hex(before[std::size_t(y * 11 + x)]), Hex(PixelOf(bitmap, x, y)))
                    << "at " << x << "," << y;
    }
}

TEST(Bitmap, LargePicturesTurnIntoDeviceBitmapsPixelForPixel) {
    // Big enough for the conversion that writes past the caches; the odd width puts the
    // rows at every alignment.
    for (int width : {1283, 1280}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const int height = 1000;
        TBmpFields spec;
        spec.Width = width;
        spec.Height = height;
        spec.BitCount = 8;
        for (int i = 0; i < 256; ++i)
            spec.Colors.push_back(
                Quad(std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)));
        const int stride = Stride(width, 8);
        spec.Pixels.assign(std::size_t(stride) * std::size_t(height), 0);
        auto index = [](int x, int y) { return std::uint8_t(x * 31 + y * 17); };
        for (int y = 0; y < height; ++y) // file rows are bottom-up
            for (int x = 0; x < width; ++x)
                spec.Pixels[std::size_t(height - 1 - y) * std::size_t(stride) + std::size_t(x)] =
                    index(x, y);
        TBitmap bitmap;
        LoadBytes(bitmap, BuildBmp(spec));
        bitmap.SetHandleType(bmDDB);
        ASSERT_EQ(32, bitmap.BitsPerPixel());
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const std::uint32_t*>(bitmap.ScanLine(y));
            for (int x = 0; x < width; ++x) {
                const RGBQUAD& c = spec.Colors[index(x, y)];
                const std::uint32_t want = std::uint32_t(c.rgbBlue) |
                                           std::uint32_t(c.rgbGreen) << 8 |
                                           std::uint32_t(c.rgbRed) << 16;
                ASSERT_EQ(want, row[x]) << "at " << x << "," << y;
            }
        }
    }
}

TEST(Bitmap, PackedDibsFromTheClipboardAreCheckedLikeFiles) {
    TBmpFields spec;
    spec.Width = 5;
    spec.Height = 2;
    spec.BitCount = 16;
    spec.Is565 = true;
    spec.Pixels = PatternPixels(5, 2, 16);
    const std::vector<std::uint8_t> file = BuildBmp(spec);
    auto globalOf = [](const std::uint8_t* bytes, std::size_t n) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, n);
        std::memcpy(GlobalLock(memory), bytes, n);
        GlobalUnlock(memory);
        return memory;
    };
    HGLOBAL packed = globalOf(file.data() + 14, file.size() - 14);
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(CF_DIB, packed, nullptr);
    EXPECT_EQ(pf16bit, bitmap.PixelFormat());
    EXPECT_EQ(file, SaveBytes(bitmap));
    GlobalFree(packed);

    HGLOBAL cut = globalOf(file.data() + 14, file.size() - 20);
    EXPECT_THROW(bitmap.LoadFromClipboardFormat(CF_DIB, cut, nullptr), rtl::EInvalidGraphic);
    EXPECT_EQ(file, SaveBytes(bitmap)) << "unchanged after the refusal";
    GlobalFree(cut);
}
