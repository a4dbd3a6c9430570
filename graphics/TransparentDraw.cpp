#include "graphics/TransparentDraw.h"

#include <memory>
#include <vector>

#include "graphics/Colors.h"
#include "graphics/DibImage.h"

namespace graphics {

using namespace formstream;

namespace {

// A memory context with a bitmap of its own selected; both are freed with it.
class TMemoryContext {
public:
    TMemoryContext(HDC compatibleWith, HBITMAP bitmap)
        : FDC(CreateCompatibleDC(compatibleWith)), FBitmap(bitmap) {
        if (FDC && FBitmap)
            FOld = SelectObject(FDC, FBitmap);
    }
    ~TMemoryContext() {
        if (FPalette)
            SelectPalette(FDC, FOldPalette, TRUE);
        if (FOld)
            SelectObject(FDC, FOld);
        if (FBitmap)
            DeleteObject(FBitmap);
        if (FDC)
            DeleteDC(FDC);
    }
    TMemoryContext(const TMemoryContext&) = delete;
    TMemoryContext& operator=(const TMemoryContext&) = delete;

    bool Valid() const { return FDC && FBitmap && FOld; }
    HDC DC() const { return FDC; }
    void UsePalette(HPALETTE palette) {
        FPalette = palette;
        FOldPalette = SelectPalette(FDC, palette, TRUE);
        RealizePalette(FDC);
    }

private:
    HDC FDC;
    HBITMAP FBitmap;
    HGDIOBJ FOld = nullptr;
    HPALETTE FPalette = nullptr;
    HPALETTE FOldPalette = nullptr;
};

// Locks a canvas and switches its change-pending event off for a while.
class TCanvasHold {
public:
    explicit TCanvasHold(TCanvas* canvas) : FCanvas(canvas), FChanging(canvas->OnChanging) {
        FCanvas->Lock();
        FCanvas->OnChanging = TNotifyEvent();
    }
    ~TCanvasHold() {
        FCanvas->OnChanging = FChanging;
        FCanvas->Unlock();
    }
    TCanvasHold(const TCanvasHold&) = delete;
    TCanvasHold& operator=(const TCanvasHold&) = delete;

private:
    TCanvas* FCanvas;
    TNotifyEvent FChanging;
};

} // namespace

void StretchBltTransparent(HDC dstDC, int dstX, int dstY, int dstW, int dstH, HDC srcDC, int srcX,
                           int srcY, int srcW, int srcH, HPALETTE palette,
                           COLORREF transparentColor) {
    if (dstW <= 0 || dstH <= 0 || srcW <= 0 || srcH <= 0)
        return;
    TMemoryContext mask(dstDC, CreateBitmap(srcW, srcH, 1, 1, nullptr));
    TMemoryContext inverted(dstDC, CreateBitmap(srcW, srcH, 1, 1, nullptr));
    TMemoryContext work(dstDC, CreateCompatibleBitmap(dstDC, dstW, dstH));
    TMemoryContext copy(dstDC, CreateCompatibleBitmap(dstDC, srcW, srcH));
    if (!mask.Valid() || !inverted.Valid() || !work.Valid() || !copy.Valid())
        return;

    HPALETTE oldDstPalette = nullptr;
    if (palette) {
        oldDstPalette = SelectPalette(dstDC, palette, TRUE);
        RealizePalette(dstDC);
        copy.UsePalette(palette);
        mask.UsePalette(palette);
        work.UsePalette(palette);
    }
    const int mapMode = GetMapMode(dstDC);
    SetMapMode(srcDC, mapMode);
    SetMapMode(copy.DC(), mapMode);
    // The stretches below land in the work area: give it the destination's stretch mode.
    SetStretchBltMode(work.DC(), GetStretchBltMode(dstDC));

    BitBlt(copy.DC(), 0, 0, srcW, srcH, srcDC, srcX, srcY, SRCCOPY);
    const COLORREF oldBk = SetBkColor(copy.DC(), transparentColor | 0x02000000);
    BitBlt(mask.DC(), 0, 0, srcW, srcH, copy.DC(), 0, 0, SRCCOPY);
    SetBkColor(copy.DC(), oldBk);
    BitBlt(inverted.DC(), 0, 0, srcW, srcH, mask.DC(), 0, 0, NOTSRCCOPY);
    BitBlt(work.DC(), 0, 0, dstW, dstH, dstDC, dstX, dstY, SRCCOPY);
    StretchBlt(work.DC(), 0, 0, dstW, dstH, mask.DC(), 0, 0, srcW, srcH, SRCAND);
    BitBlt(copy.DC(), 0, 0, srcW, srcH, inverted.DC(), 0, 0, SRCAND);
    StretchBlt(work.DC(), 0, 0, dstW, dstH, copy.DC(), 0, 0, srcW, srcH, SRCPAINT);
    BitBlt(dstDC, dstX, dstY, dstW, dstH, work.DC(), 0, 0, SRCCOPY);

    if (palette)
        SelectPalette(dstDC, oldDstPalette, TRUE);
}

void StretchBitmapRectTransparent(TCanvas* dest, int x, int y, int w, int h, TBitmap* bitmap,
                                  const rtl::TRect& source, TColor transparentColor) {
    if (!dest || !bitmap || bitmap->Empty())
        return;
    if (w < 1)
        w = bitmap->Width();
    if (h < 1)
        h = bitmap->Height();
    rtl::TRect src = source;
    if (src.Width() < 1 || src.Height() < 1)
        src = rtl::Rect(0, 0, bitmap->Width(), bitmap->Height());
    HDC dstDC = dest->Handle();
    const bool monochrome = bitmap->Monochrome();
    if (!monochrome)
        SetStretchBltMode(dstDC, COLORONCOLOR);

    TCanvas* bitmapCanvas = bitmap->Canvas();
    TCanvasHold hold(bitmapCanvas);
    HDC srcDC = bitmapCanvas->Handle();
    if (transparentColor == clNone) {
        StretchBlt(dstDC, x, y, w, h, srcDC, src.Left, src.Top, src.Width(), src.Height(),
                   DWORD(dest->CopyMode()));
        return;
    }
    if (transparentColor == clDefault)
        transparentColor = bitmapCanvas->Pixels(0, bitmap->Height() - 1);
    const COLORREF rgb = monochrome ? RGB(255, 255, 255) : ColorToRGB(transparentColor);
    StretchBltTransparent(dstDC, x, y, w, h, srcDC, src.Left, src.Top, src.Width(), src.Height(),
                          bitmap->Palette(), rgb);
}

// --- the drawing members of the bitmap and the canvas that need both classes

void TBitmap::Draw(TCanvas* canvas, const rtl::TRect& rect) {
    if (!canvas || Empty())
        return;
    if (Transparent()) {
        StretchBitmapRectTransparent(canvas, rect.Left, rect.Top, rect.Width(), rect.Height(), this,
                                     rtl::Rect(0, 0, Width(), Height()), TransparentColor());
        return;
    }
    HDC dc = canvas->Handle();
    const TDibImage* image = FImage.get();
    std::unique_ptr<TDibImage> converted;
    if (image->BitCount == 16 && image->Is565) {
        converted = ConvertDib(*image, 24, false, image->Colors);
        image = converted.get();
    }
    HPALETTE oldPalette = nullptr;
    if (HPALETTE palette = GetPalette()) {
        oldPalette = SelectPalette(dc, palette, TRUE);
        RealizePalette(dc);
    }
    const int oldMode = SetStretchBltMode(dc, Monochrome() ? BLACKONWHITE : COLORONCOLOR);
    std::vector<std::uint8_t> info;
    GdiFlush();
    StretchDIBits(dc, rect.Left, rect.Top, rect.Width(), rect.Height(), 0, 0, image->Width,
                  image->Height, image->Bits(), image->InfoPtr(info), DIB_RGB_COLORS,
                  DWORD(canvas->CopyMode()));
    if (oldMode)
        SetStretchBltMode(dc, oldMode);
    if (oldPalette)
        SelectPalette(dc, oldPalette, TRUE);
}

void TCanvas::BrushCopy(const rtl::TRect& dest, TBitmap* bitmap, const rtl::TRect& source,
                        TColor color) {
    if (!bitmap || bitmap->Empty())
        return;
    const int w = source.Width(), h = source.Height();
    if (w <= 0 || h <= 0)
        return;
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    HDC srcDC = bitmap->Canvas()->Handle();
    // mask: 1 where the source has `color`; fill: the brush where the mask is 1, else 0;
    // copy: the source where the mask is 0, else 0; the result is fill OR copy.
    HDC maskDC = CreateCompatibleDC(FHandle);
    HDC fillDC = CreateCompatibleDC(FHandle);
    HDC copyDC = CreateCompatibleDC(FHandle);
    HBITMAP maskBmp = CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP fillBmp = CreateCompatibleBitmap(FHandle, w, h);
    HBITMAP copyBmp = CreateCompatibleBitmap(FHandle, w, h);
    HGDIOBJ oldMask = SelectObject(maskDC, maskBmp);
    HGDIOBJ oldFill = SelectObject(fillDC, fillBmp);
    HGDIOBJ oldCopy = SelectObject(copyDC, copyBmp);
    HGDIOBJ oldBrush = SelectObject(fillDC, FBrush->Handle());

    BitBlt(copyDC, 0, 0, w, h, srcDC, source.Left, source.Top, SRCCOPY);
    const COLORREF oldBk = SetBkColor(copyDC, ColorToRGB(color));
    BitBlt(maskDC, 0, 0, w, h, copyDC, 0, 0, SRCCOPY);
    SetBkColor(copyDC, oldBk);
    PatBlt(fillDC, 0, 0, w, h, PATCOPY);
    SetTextColor(fillDC, RGB(0, 0, 0));
    SetBkColor(fillDC, RGB(255, 255, 255));
    BitBlt(fillDC, 0, 0, w, h, maskDC, 0, 0, SRCAND);
    SetTextColor(copyDC, RGB(255, 255, 255));
    SetBkColor(copyDC, RGB(0, 0, 0));
    BitBlt(copyDC, 0, 0, w, h, maskDC, 0, 0, SRCAND);
    BitBlt(copyDC, 0, 0, w, h, fillDC, 0, 0, SRCPAINT);
    StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), copyDC, 0, 0, w, h,
               SRCCOPY);

    SelectObject(fillDC, oldBrush);
    SelectObject(maskDC, oldMask);
    SelectObject(fillDC, oldFill);
    SelectObject(copyDC, oldCopy);
    DeleteObject(maskBmp);
    DeleteObject(fillBmp);
    DeleteObject(copyBmp);
    DeleteDC(maskDC);
    DeleteDC(fillDC);
    DeleteDC(copyDC);
    Changed();
}

} // namespace graphics
