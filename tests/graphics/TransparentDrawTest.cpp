// Stretched drawing with a transparent colour: the transparent colour shows the
// destination, every other colour the source, whatever the scale; the default colour is
// the bottom-left pixel's, clNone draws opaque, monochrome bitmaps leave out white.
#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "graphics/Graphics.h"

using namespace graphics;
using namespace testbmp;
using formstream::TColor;

namespace {

// A 4x4 24-bit picture: columns 0-1 red, columns 2-3 lime, except that the bottom-left
// pixel is blue. Lime is the colour to leave out.
void MakePicture(TBitmap& b) {
    MakeSolid(b, 4, 4, formstream::clRed);
    b.Canvas()->Brush()->SetColor(formstream::clLime);
    b.Canvas()->FillRect(rtl::Rect(2, 0, 4, 4));
    b.Canvas()->SetPixels(0, 3, formstream::clBlue);
}

} // namespace

TEST(TransparentDraw, TransparentColourShowsTheDestinationAtEveryScale) {
    const struct {
        const char* Name;
        int W, H;
    } scales[] = {{"same size", 4, 4},
                  {"doubled", 8, 8},
                  {"tripled wide", 12, 4},
                  {"halved", 2, 2},
                  {"odd", 7, 5}};
    for (const auto& s : scales) {
        SCOPED_TRACE(s.Name);
        TBitmap picture;
        MakePicture(picture);
        TBitmap target;
        MakeSolid(target, s.W + 2, s.H + 2, formstream::clBlack);
        StretchBitmapRectTransparent(target.Canvas(), 1, 1, s.W, s.H, &picture, rtl::TRect{},
                                     formstream::clLime);
        // The same stretch drawn opaque says which source pixel lands where.
        TBitmap opaque;
        MakeSolid(opaque, s.W, s.H, formstream::clWhite);
        opaque.Canvas()->StretchDraw(rtl::Rect(0, 0, s.W, s.H), &picture);
        int red = 0, blue = 0;
        for (int y = 0; y < s.H; ++y)
            for (int x = 0; x < s.W; ++x) {
                const COLORREF source = PixelOf(opaque, x, y);
                red += source == RGB(255, 0, 0);
                blue += source == RGB(0, 0, 255);
                const COLORREF expected = source == RGB(0, 255, 0) ? RGB(0, 0, 0) : source;
                ASSERT_EQ(Hex(expected), Hex(PixelOf(target, x + 1, y + 1)))
                    << "at " << x << "," << y;
            }
        EXPECT_GT(red, 0);
        if (s.W >= 4 && s.H >= 4) {
            EXPECT_GT(blue, 0);
        }
        EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(target, 1, 1))) << "top-left is red";
        EXPECT_EQ(Hex(0), Hex(PixelOf(target, s.W, 1))) << "top-right is left out";
        EXPECT_EQ(Hex(0), Hex(PixelOf(target, 0, 0))) << "outside the rectangle";
        EXPECT_EQ(Hex(0), Hex(PixelOf(target, s.W + 1, s.H + 1))) << "outside the rectangle";
    }
}

TEST(TransparentDraw, DefaultColourIsTheBottomLeftPixel) {
    TBitmap picture;
    MakePicture(picture);
    TBitmap target;
    MakeSolid(target, 4, 4, formstream::clBlack);
    StretchBitmapRectTransparent(target.Canvas(), 0, 0, 4, 4, &picture, rtl::TRect{},
                                 formstream::clDefault);
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 0, 3))) << "blue left out";
    EXPECT_EQ(Hex(RGB(0, 255, 0)), Hex(PixelOf(target, 3, 3)));
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(target, 0, 0)));
}

TEST(TransparentDraw, NoneDrawsOpaqueWithTheCopyMode) {
    TBitmap picture;
    MakePicture(picture);
    TBitmap target;
    MakeSolid(target, 8, 8, formstream::clBlack);
    StretchBitmapRectTransparent(target.Canvas(), 0, 0, 8, 8, &picture, rtl::TRect{},
                                 formstream::clNone);
    EXPECT_EQ(Hex(RGB(0, 255, 0)), Hex(PixelOf(target, 7, 0)));
    EXPECT_EQ(Hex(RGB(0, 0, 255)), Hex(PixelOf(target, 0, 7)));
    target.Canvas()->SetCopyMode(NOTSRCCOPY);
    StretchBitmapRectTransparent(target.Canvas(), 0, 0, 8, 8, &picture, rtl::TRect{},
                                 formstream::clNone);
    EXPECT_EQ(Hex(RGB(255, 0, 255)), Hex(PixelOf(target, 7, 0)));
}

TEST(TransparentDraw, SizesBelowOneTakeTheBitmapsAndSourceRectanglesCut) {
    TBitmap picture;
    MakePicture(picture);
    TBitmap target;
    MakeSolid(target, 6, 6, formstream::clBlack);
    StretchBitmapRectTransparent(target.Canvas(), 1, 1, 0, -3, &picture, rtl::TRect{},
                                 formstream::clLime);
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(target, 1, 1)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 4, 1)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 5, 5)));

    // Only the right half of the source (all lime but nothing else), stretched over 4x4.
    TBitmap second;
    MakeSolid(second, 4, 4, formstream::clBlack);
    StretchBitmapRectTransparent(second.Canvas(), 0, 0, 4, 4, &picture, rtl::Rect(1, 0, 3, 4),
                                 formstream::clLime);
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(second, 0, 0)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(second, 3, 0)));
}

TEST(TransparentDraw, PaletteBitmapLeavesOutItsTransparentEntry) {
    // 8-bit, like a decoded GIF frame: index 1 (white) is transparent.
    TBmpFields spec;
    spec.Width = 3;
    spec.Height = 1;
    spec.BitCount = 8;
    spec.Colors.assign(256, Quad(128, 128, 128));
    spec.Colors[0] = Quad(0, 0, 0);
    spec.Colors[1] = Quad(255, 255, 255);
    spec.Colors[2] = Quad(200, 10, 10);
    spec.Pixels = {2, 1, 0, 0};
    for (bool device : {false, true}) {
        SCOPED_TRACE(device ? "device bitmap" : "palette bitmap");
        TBitmap frame;
        LoadBytes(frame, BuildBmp(spec));
        if (device)
            frame.SetHandleType(bmDDB);
        TBitmap target;
        MakeSolid(target, 3, 1, formstream::clBlue);
        StretchBitmapRectTransparent(target.Canvas(), 0, 0, 3, 1, &frame, rtl::TRect{},
                                     formstream::clWhite);
        EXPECT_EQ(Hex(RGB(200, 10, 10)), Hex(PixelOf(target, 0, 0)));
        EXPECT_EQ(Hex(RGB(0, 0, 255)), Hex(PixelOf(target, 1, 0)));
        EXPECT_EQ(Hex(RGB(0, 0, 0)), Hex(PixelOf(target, 2, 0)));
    }
}

TEST(TransparentDraw, MonochromeBitmapAlwaysLeavesOutWhite) {
    TBmpFields spec;
    spec.Width = 2;
    spec.Height = 1;
    spec.BitCount = 1;
    spec.Colors = {Quad(0, 0, 0), Quad(255, 255, 255)};
    spec.Pixels = {0x40, 0, 0, 0}; // black, white
    TBitmap mask;
    LoadBytes(mask, BuildBmp(spec));
    ASSERT_TRUE(mask.Monochrome());
    TBitmap target;
    MakeSolid(target, 2, 1, formstream::clRed);
    StretchBitmapRectTransparent(target.Canvas(), 0, 0, 2, 1, &mask, rtl::TRect{},
                                 formstream::clBlack);
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 0, 0)));
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(target, 1, 0)));
}

TEST(TransparentDraw, BitmapCanvasIsLockedAndQuietWhileDrawing) {
    struct TProbe : formstream::TObject {
        TCanvas* Watched = nullptr;
        int Calls = 0;
        int LockSeen = -1;
        void Changing(formstream::TObject*) { ++Calls; }
        void TargetChanging(formstream::TObject*) { LockSeen = Watched->LockCount(); }
    } probe;
    TBitmap picture;
    MakePicture(picture);
    picture.Canvas()->OnChanging = formstream::TNotifyEvent::Of<&TProbe::Changing>(&probe);
    probe.Watched = picture.Canvas();
    TBitmap target;
    MakeSolid(target, 4, 4, formstream::clBlack);
    StretchBitmapRectTransparent(target.Canvas(), 0, 0, 4, 4, &picture, rtl::TRect{},
                                 formstream::clLime);
    EXPECT_EQ(0, probe.Calls);
    EXPECT_EQ(0, picture.Canvas()->LockCount());
    EXPECT_TRUE(bool(picture.Canvas()->OnChanging)) << "the event is restored";
}

TEST(TransparentDraw, TransparentBitmapDrawsThroughTheCanvas) {
    TBitmap picture;
    MakePicture(picture);
    picture.SetTransparent(true);
    picture.SetTransparentColor(formstream::clLime);
    TBitmap target;
    MakeSolid(target, 8, 8, formstream::clBlack);
    target.Canvas()->StretchDraw(rtl::Rect(0, 0, 8, 8), &picture);
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 7, 0)));
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(target, 0, 0)));
    picture.SetTransparent(false);
    target.Canvas()->StretchDraw(rtl::Rect(0, 0, 8, 8), &picture);
    EXPECT_EQ(Hex(RGB(0, 255, 0)), Hex(PixelOf(target, 7, 0)));
}
