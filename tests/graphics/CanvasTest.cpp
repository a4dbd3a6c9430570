// Drawing through a bitmap's canvas: fills, system colours, text, lines with changing
// pens, stretched drawing, copies, glyph copies with a colour replaced, change events.
#include <gtest/gtest.h>

#include "BmpBuilder.h"
#include "graphics/Graphics.h"
#include "rtl/Exceptions.h"

using namespace graphics;
using namespace testbmp;
using formstream::MakeColor;
using formstream::TColor;

TEST(Canvas, FillRectPaintsTheBrushColourIntoThePixels) {
    const struct {
        const char* Name;
        TColor Color;
    } cases[] = {
        {"red", formstream::clRed},       {"olive", formstream::clOlive},
        {"odd rgb", MakeColor(0x123456)}, {"button face", formstream::clBtnFace},
        {"window", formstream::clWindow}, {"highlight", formstream::clBtnHighlight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap bitmap;
        MakeSolid(bitmap, 6, 4, formstream::clBlack);
        bitmap.Canvas()->Brush()->SetColor(c.Color);
        bitmap.Canvas()->FillRect(rtl::Rect(1, 1, 4, 3));
        const COLORREF expected = ColorToRGB(c.Color);
        EXPECT_EQ(Hex(expected), Hex(PixelOf(bitmap, 1, 1)));
        EXPECT_EQ(Hex(expected), Hex(PixelOf(bitmap, 3, 2)));
        EXPECT_EQ(Hex(0), Hex(PixelOf(bitmap, 4, 2))) << "right edge excluded";
        EXPECT_EQ(Hex(0), Hex(PixelOf(bitmap, 1, 3))) << "bottom edge excluded";
    }
}

TEST(Canvas, SystemColoursResolveThroughTheSystemTable) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), ColorToRGB(formstream::clBtnFace));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), ColorToRGB(formstream::clWindowText));
    EXPECT_EQ(0x563412u, ColorToRGB(MakeColor(0x00563412)));
    EXPECT_EQ(CLR_NONE, ColorToRGBOrSpecial(formstream::clNone));
    EXPECT_EQ(CLR_DEFAULT, ColorToRGBOrSpecial(formstream::clDefault));
}

TEST(Canvas, FillOnAPaletteBitmapWritesTheNearestIndex) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf8bit);
    bitmap.SetSize(4, 2);
    const RGBQUAD table[] = {Quad(0, 0, 0), Quad(255, 0, 0), Quad(0, 255, 0)};
    bitmap.SetPaletteEntries(table);
    bitmap.Canvas()->Brush()->SetColor(formstream::clLime);
    bitmap.Canvas()->FillRect(rtl::Rect(0, 0, 2, 2));
    const auto* row = static_cast<const std::uint8_t*>(bitmap.ScanLine(1));
    EXPECT_EQ(2, row[0]);
    EXPECT_EQ(0, row[3]);
}

TEST(Canvas, TextOutLeavesInkAndMovesThePen) {
    TBitmap bitmap;
    MakeSolid(bitmap, 80, 30, formstream::clWhite);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Font()->SetColor(formstream::clBlack);
    canvas->Font()->SetHeight(-16);
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextOut(2, 2, "Hg");
    int ink = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            ink += PixelOf(bitmap, x, y) != RGB(255, 255, 255);
    EXPECT_GT(ink, 10);
    const int width = canvas->TextWidth("Hg");
    EXPECT_GT(width, 0);
    EXPECT_EQ(2 + width, canvas->PenPos().X);
    EXPECT_GT(canvas->TextHeight("Hg"), 10);
}

TEST(Canvas, BoldTextIsNotNarrowerAndFontChangesTakeEffect) {
    TBitmap bitmap;
    MakeSolid(bitmap, 10, 10, formstream::clWhite);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Font()->SetHeight(-20);
    const int regular = canvas->TextWidth("WWWWWW");
    canvas->Font()->SetStyle({fsBold});
    const int bold = canvas->TextWidth("WWWWWW");
    EXPECT_GE(bold, regular);
    canvas->Font()->SetHeight(-40);
    EXPECT_GT(canvas->TextWidth("WWWWWW"), bold) << "the larger font was not selected";
}

TEST(Canvas, PenChangesBetweenLinesAreApplied) {
    TBitmap bitmap;
    MakeSolid(bitmap, 10, 10, formstream::clWhite);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Pen()->SetColor(formstream::clRed);
    canvas->MoveTo(0, 2);
    canvas->LineTo(10, 2);
    canvas->Pen()->SetColor(formstream::clBlue);
    canvas->MoveTo(0, 5);
    canvas->LineTo(10, 5);
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(bitmap, 4, 2)));
    EXPECT_EQ(Hex(RGB(0, 0, 255)), Hex(PixelOf(bitmap, 4, 5)));
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(PixelOf(bitmap, 4, 4)));
}

TEST(Canvas, RectangleFramesWithPenAndFillsWithBrush) {
    TBitmap bitmap;
    MakeSolid(bitmap, 8, 8, formstream::clWhite);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Pen()->SetColor(formstream::clBlack);
    canvas->Brush()->SetColor(formstream::clYellow);
    canvas->Rectangle(1, 1, 7, 7);
    EXPECT_EQ(Hex(0), Hex(PixelOf(bitmap, 1, 1)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(bitmap, 6, 6)));
    EXPECT_EQ(Hex(RGB(255, 255, 0)), Hex(PixelOf(bitmap, 3, 3)));
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(PixelOf(bitmap, 7, 7)));
}

TEST(Canvas, PixelsReadAndWrite) {
    TBitmap bitmap;
    MakeSolid(bitmap, 3, 3, formstream::clWhite);
    bitmap.Canvas()->SetPixels(1, 2, formstream::clTeal);
    EXPECT_EQ(formstream::clTeal, bitmap.Canvas()->Pixels(1, 2));
    EXPECT_EQ(Hex(RGB(0, 128, 128)), Hex(PixelOf(bitmap, 1, 2)));
}

namespace {

// A 2x2 24-bit bitmap: red, lime / blue, yellow.
void MakeQuad(TBitmap& b) {
    MakeSolid(b, 2, 2, formstream::clRed);
    b.Canvas()->SetPixels(1, 0, formstream::clLime);
    b.Canvas()->SetPixels(0, 1, formstream::clBlue);
    b.Canvas()->SetPixels(1, 1, formstream::clYellow);
}

} // namespace

TEST(Canvas, StretchDrawScalesTheBitmap) {
    TBitmap source;
    MakeQuad(source);
    TBitmap target;
    MakeSolid(target, 8, 8, formstream::clBlack);
    target.Canvas()->StretchDraw(rtl::Rect(2, 2, 6, 6), &source);
    const struct {
        int X, Y;
        COLORREF Expected;
    } probes[] = {{2, 2, RGB(255, 0, 0)},   {3, 3, RGB(255, 0, 0)}, {4, 2, RGB(0, 255, 0)},
                  {5, 3, RGB(0, 255, 0)},   {2, 4, RGB(0, 0, 255)}, {3, 5, RGB(0, 0, 255)},
                  {5, 5, RGB(255, 255, 0)}, {1, 1, RGB(0, 0, 0)},   {6, 6, RGB(0, 0, 0)}};
    for (const auto& p : probes)
        EXPECT_EQ(Hex(p.Expected), Hex(PixelOf(target, p.X, p.Y))) << "at " << p.X << "," << p.Y;

    // Drawing at natural size and shrinking.
    target.Canvas()->Draw(0, 0, &source);
    EXPECT_EQ(Hex(RGB(255, 255, 0)), Hex(PixelOf(target, 1, 1)));
    TBitmap big;
    MakeSolid(big, 8, 8, formstream::clBlack);
    big.Canvas()->StretchDraw(rtl::Rect(0, 0, 8, 8), &source);
    TBitmap small;
    MakeSolid(small, 2, 2, formstream::clWhite);
    small.Canvas()->StretchDraw(rtl::Rect(0, 0, 2, 2), &big);
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(small, 0, 0)));
    EXPECT_EQ(Hex(RGB(255, 255, 0)), Hex(PixelOf(small, 1, 1)));
}

TEST(Canvas, DrawOfAPaletteBitmapUsesItsColours) {
    TBmpFields spec;
    spec.Width = 2;
    spec.Height = 1;
    spec.BitCount = 4;
    spec.Colors = {Quad(10, 20, 30), Quad(200, 100, 50)};
    spec.Pixels = {0x10, 0, 0, 0};
    TBitmap source;
    LoadBytes(source, BuildBmp(spec));
    TBitmap target;
    MakeSolid(target, 2, 1, formstream::clBlack);
    target.Canvas()->Draw(0, 0, &source);
    EXPECT_EQ(Hex(RGB(200, 100, 50)), Hex(PixelOf(target, 0, 0)));
    EXPECT_EQ(Hex(RGB(10, 20, 30)), Hex(PixelOf(target, 1, 0)));
}

TEST(Canvas, CopyRectUsesTheCopyMode) {
    TBitmap source;
    MakeQuad(source);
    TBitmap target;
    MakeSolid(target, 2, 2, formstream::clBlack);
    target.Canvas()->CopyRect(rtl::Rect(0, 0, 2, 2), source.Canvas(), rtl::Rect(0, 0, 2, 2));
    EXPECT_EQ(Hex(RGB(0, 255, 0)), Hex(PixelOf(target, 1, 0)));
    target.Canvas()->SetCopyMode(NOTSRCCOPY);
    target.Canvas()->CopyRect(rtl::Rect(0, 0, 2, 2), source.Canvas(), rtl::Rect(0, 0, 2, 2));
    EXPECT_EQ(Hex(RGB(255, 0, 255)), Hex(PixelOf(target, 1, 0)));
}

TEST(Canvas, BrushCopyReplacesOneColourByTheBrush) {
    // A 4-bit glyph: olive background with a black stroke, as the media bar's glyphs.
    TBmpFields spec;
    spec.Width = 4;
    spec.Height = 2;
    spec.BitCount = 4;
    spec.Colors = {Quad(0, 0, 0), Quad(128, 128, 0), Quad(255, 255, 255)};
    spec.Pixels = {0x11, 0x02, 0, 0,  // bottom row: olive olive black white
                   0x10, 0x11, 0, 0}; // top row: olive black olive olive
    TBitmap glyph;
    LoadBytes(glyph, BuildBmp(spec));
    TBitmap target;
    MakeSolid(target, 6, 4, formstream::clRed);
    target.Canvas()->Brush()->SetColor(formstream::clBtnFace);
    target.Canvas()->BrushCopy(rtl::Rect(1, 1, 5, 3), &glyph, rtl::Rect(0, 0, 4, 2),
                               formstream::clOlive);
    const COLORREF face = ColorToRGB(formstream::clBtnFace);
    EXPECT_EQ(Hex(face), Hex(PixelOf(target, 1, 1)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 2, 1)));
    EXPECT_EQ(Hex(face), Hex(PixelOf(target, 4, 1)));
    EXPECT_EQ(Hex(0), Hex(PixelOf(target, 3, 2)));
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(PixelOf(target, 4, 2)));
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(target, 0, 0))) << "outside untouched";
}

TEST(Canvas, EachDrawingOperationTellsChangingThenChange) {
    struct TCounter : formstream::TObject {
        std::string Log;
        void Changing(formstream::TObject*) { Log += "<"; }
        void Changed(formstream::TObject*) { Log += ">"; }
    } counter;
    TBitmap bitmap;
    MakeSolid(bitmap, 4, 4, formstream::clWhite);
    int bitmapChanges = 0;
    struct TBitmapWatcher : formstream::TObject {
        int* Count;
        void Changed(formstream::TObject*) { ++*Count; }
    } watcher;
    watcher.Count = &bitmapChanges;
    bitmap.OnChange = formstream::TNotifyEvent::Of<&TBitmapWatcher::Changed>(&watcher);
    TCanvas* canvas = bitmap.Canvas();
    canvas->OnChanging = formstream::TNotifyEvent::Of<&TCounter::Changing>(&counter);
    canvas->OnChange = formstream::TNotifyEvent::Of<&TCounter::Changed>(&counter);
    canvas->FillRect(rtl::Rect(0, 0, 1, 1));
    canvas->TextOut(0, 0, "x");
    canvas->TextWidth("x"); // measuring draws nothing
    EXPECT_EQ("<><>", counter.Log);
    EXPECT_EQ(2, bitmapChanges) << "drawing on the canvas changes the bitmap";
}

TEST(Canvas, LockCountsNest) {
    TCanvas canvas;
    canvas.Lock();
    canvas.Lock();
    EXPECT_EQ(2, canvas.LockCount());
    canvas.Unlock();
    EXPECT_TRUE(canvas.TryLock());
    EXPECT_EQ(2, canvas.LockCount());
    canvas.Unlock();
    canvas.Unlock();
    EXPECT_EQ(0, canvas.LockCount());
}

TEST(Canvas, ACanvasWithoutContextRefusesToDraw) {
    TCanvas canvas;
    try {
        canvas.FillRect(rtl::Rect(0, 0, 1, 1));
        ADD_FAILURE() << "drew without a context";
    } catch (const rtl::EInvalidOperation& e) {
        EXPECT_EQ("Canvas does not allow drawing", e.Message());
    }
}

TEST(Canvas, ExternalContextIsUsedAndReleased) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 2;
    bi.bmiHeader.biHeight = -2;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        canvas.Brush()->SetColor(formstream::clBlue);
        canvas.FillRect(rtl::Rect(0, 0, 2, 2));
        canvas.SetHandle(nullptr);
        EXPECT_FALSE(canvas.HandleAllocated());
    }
    EXPECT_EQ(0x000000FFu, static_cast<std::uint32_t*>(bits)[3] & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(section);
}
