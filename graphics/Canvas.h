// TCanvas: a drawing surface with a pen, a brush and a font over a device context. The
// context comes from CreateHandle (overridden by the canvases of bitmaps and controls) or
// from SetHandle. Before each operation the canvas selects what the operation needs (its
// font, pen and brush); attribute changes of those objects are picked up automatically.
// Every drawing operation tells OnChanging before and OnChange after it draws.
// Lock/Unlock serialise drawing between threads (the lock is recursive).
#pragma once

#include <mutex>
#include <string>

#include "formstream/Graphic.h"
#include "graphics/Brush.h"
#include "graphics/Font.h"
#include "graphics/Pen.h"
#include "rtl/Types.h"

namespace graphics {

class TBitmap;

class TCanvas : public formstream::TPersistent {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    TCanvas();
    ~TCanvas() override;

    // The device context, made with CreateHandle when there is none, with the canvas's
    // font, pen and brush selected (so that drawing calls made on it use them).
    HDC Handle();
    // Uses `dc` (not owned) from now on; null deselects the objects and drops the context.
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return FHandle != nullptr; }

    TPen* Pen() const { return FPen.get(); }
    TBrush* Brush() const { return FBrush.get(); }
    TFont* Font() const { return FFont.get(); }
    void SetPen(TPen* value) { FPen->Assign(value); }
    void SetBrush(TBrush* value) { FBrush->Assign(value); }
    void SetFont(TFont* value) { FFont->Assign(value); }

    // Raster operation of CopyRect and of drawing bitmaps (default SRCCOPY).
    TCopyMode CopyMode() const { return FCopyMode; }
    void SetCopyMode(TCopyMode value) { FCopyMode = value; }

    // Shapes and fills (rectangles exclude their right and bottom edges).
    void FillRect(const rtl::TRect& rect);
    void FrameRect(const rtl::TRect& rect);
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const rtl::TRect& rect) {
        Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom);
    }
    void Ellipse(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    rtl::TPoint PenPos();
    void SetPenPos(rtl::TPoint p) { MoveTo(p.X, p.Y); }
    void Polyline(const rtl::TPoint* points, int count);
    void Polygon(const rtl::TPoint* points, int count);
    void DrawFocusRect(const rtl::TRect& rect);

    // Text in the font's colour; the background is filled with the brush unless the brush
    // style is bsClear.
    void TextOut(int x, int y, const std::string& text);
    // Text clipped to `rect`, starting at (x, y).
    void TextRect(const rtl::TRect& rect, int x, int y, const std::string& text);
    rtl::TPoint TextExtent(const std::string& text); // X: width, Y: height
    int TextWidth(const std::string& text) { return TextExtent(text).X; }
    int TextHeight(const std::string& text) { return TextExtent(text).Y; }

    // Graphics: Draw places the graphic at its own size, StretchDraw scales it to `rect`.
    void Draw(int x, int y, formstream::TGraphic* graphic);
    void StretchDraw(const rtl::TRect& rect, formstream::TGraphic* graphic);
    // Copies `source` of `canvas` onto `dest` of this canvas with CopyMode, stretching.
    void CopyRect(const rtl::TRect& dest, TCanvas* canvas, const rtl::TRect& source);
    // Copies `source` of `bitmap` onto `dest` with every pixel of colour `color` replaced
    // by this canvas's brush (as for button glyphs).
    void BrushCopy(const rtl::TRect& dest, TBitmap* bitmap, const rtl::TRect& source, TColor color);

    TColor Pixels(int x, int y);
    void SetPixels(int x, int y, TColor color);

    // The clip box in logical coordinates.
    rtl::TRect ClipRect();

    void Lock();
    bool TryLock();
    void Unlock();
    int LockCount() const { return FLockCount; }

    // Deselects the pen, brush and font, so that their handles can be remade.
    void Refresh();

    formstream::TNotifyEvent OnChange;
    formstream::TNotifyEvent OnChanging;

protected:
    virtual void Changing();
    virtual void Changed();
    // Makes a device context for this canvas (SetHandle); the default makes none, which
    // makes drawing fail with EInvalidOperation "Canvas does not allow drawing".
    virtual void CreateHandle();

    enum TCanvasStateBit : unsigned {
        csHandleValid = 1,
        csFontValid = 2,
        csPenValid = 4,
        csBrushValid = 8
    };
    // Makes sure the context exists and the objects in `state` are selected.
    void RequiredState(unsigned state);
    // Unselects everything before the context goes away.
    void DeselectHandles();

private:
    void FontChanged(formstream::TObject* sender);
    void PenChanged(formstream::TObject* sender);
    void BrushChanged(formstream::TObject* sender);
    void CreateFont();
    void CreatePen();
    void CreateBrush();

    HDC FHandle = nullptr;
    unsigned FState = 0;
    formstream::TOwned<TFont> FFont;
    formstream::TOwned<TPen> FPen;
    formstream::TOwned<TBrush> FBrush;
    rtl::TPoint FPenPos;
    TCopyMode FCopyMode = TCopyMode(SRCCOPY);
    std::recursive_mutex FLock;
    int FLockCount = 0;
    HGDIOBJ FOldFont = nullptr;
    HGDIOBJ FOldPen = nullptr;
    HGDIOBJ FOldBrush = nullptr;
};

} // namespace graphics
