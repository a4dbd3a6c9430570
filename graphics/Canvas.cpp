#include "graphics/Canvas.h"

#include <vector>

#include "graphics/Colors.h"
#include "graphics/GraphicsConsts.h"
#include "rtl/Exceptions.h"

namespace graphics {

using namespace formstream;

constinit const TClassInfo TCanvas::ClassInfo = ClassInfoOf<TCanvas, TPersistent>("TCanvas");

namespace {

RECT ToRECT(const rtl::TRect& r) {
    return RECT{r.Left, r.Top, r.Right, r.Bottom};
}

} // namespace

TCanvas::TCanvas() : FFont(new TFont()), FPen(new TPen()), FBrush(new TBrush()) {
    FFont->OnChange = TNotifyEvent::Of<&TCanvas::FontChanged>(this);
    FPen->OnChange = TNotifyEvent::Of<&TCanvas::PenChanged>(this);
    FBrush->OnChange = TNotifyEvent::Of<&TCanvas::BrushChanged>(this);
}

TCanvas::~TCanvas() {
    DeselectHandles();
}

HDC TCanvas::Handle() {
    RequiredState(csHandleValid | csFontValid | csPenValid | csBrushValid);
    return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
    if (FHandle == dc)
        return;
    if (FHandle)
        DeselectHandles();
    FHandle = dc;
    FState = dc ? unsigned(csHandleValid) : 0u;
}

void TCanvas::CreateHandle() {}

void TCanvas::RequiredState(unsigned state) {
    const unsigned needed = state & ~FState;
    if (!needed)
        return;
    if (needed & csHandleValid) {
        CreateHandle();
        if (!FHandle)
            throw rtl::EInvalidOperation(SNoCanvasHandle);
    }
    if (needed & csFontValid)
        CreateFont();
    if (needed & csPenValid)
        CreatePen();
    if (needed & csBrushValid)
        CreateBrush();
    FState |= state;
}

void TCanvas::DeselectHandles() {
    if (FHandle && (FState & (csFontValid | csPenValid | csBrushValid))) {
        if (FState & csFontValid)
            SelectObject(FHandle, FOldFont ? FOldFont : HGDIOBJ(GetStockObject(SYSTEM_FONT)));
        if (FState & csPenValid)
            SelectObject(FHandle, FOldPen ? FOldPen : GetStockObject(BLACK_PEN));
        if (FState & csBrushValid)
            SelectObject(FHandle, FOldBrush ? FOldBrush : GetStockObject(HOLLOW_BRUSH));
    }
    FOldFont = FOldPen = FOldBrush = nullptr;
    FState &= csHandleValid;
}

void TCanvas::Refresh() {
    DeselectHandles();
}

void TCanvas::CreateFont() {
    HGDIOBJ old = SelectObject(FHandle, FFont->Handle());
    if (!FOldFont)
        FOldFont = old;
    SetTextColor(FHandle, ColorToRGB(FFont->Color()));
}

void TCanvas::CreatePen() {
    HGDIOBJ old = SelectObject(FHandle, FPen->Handle());
    if (!FOldPen)
        FOldPen = old;
    SetROP2(FHandle, PenModeToRop2(FPen->Mode()));
}

void TCanvas::CreateBrush() {
    HGDIOBJ old = SelectObject(FHandle, FBrush->Handle());
    if (!FOldBrush)
        FOldBrush = old;
    if (FBrush->Style() == bsSolid) {
        SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
        SetBkMode(FHandle, OPAQUE);
    } else {
        SetBkColor(FHandle, ~ColorToRGB(FBrush->Color()) & 0xFFFFFF);
        SetBkMode(FHandle, TRANSPARENT);
    }
}

void TCanvas::FontChanged(TObject*) {
    if (FState & csFontValid) {
        FState &= ~unsigned(csFontValid);
        SelectObject(FHandle, FOldFont ? FOldFont : HGDIOBJ(GetStockObject(SYSTEM_FONT)));
        FOldFont = nullptr;
    }
}

void TCanvas::PenChanged(TObject*) {
    if (FState & csPenValid) {
        FState &= ~unsigned(csPenValid);
        SelectObject(FHandle, FOldPen ? FOldPen : GetStockObject(BLACK_PEN));
        FOldPen = nullptr;
    }
}

void TCanvas::BrushChanged(TObject*) {
    if (FState & csBrushValid) {
        FState &= ~unsigned(csBrushValid);
        SelectObject(FHandle, FOldBrush ? FOldBrush : GetStockObject(HOLLOW_BRUSH));
        FOldBrush = nullptr;
    }
}

void TCanvas::Changing() {
    OnChanging(this);
}

void TCanvas::Changed() {
    OnChange(this);
}

void TCanvas::FillRect(const rtl::TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    const RECT r = ToRECT(rect);
    ::FillRect(FHandle, &r, FBrush->Handle());
    Changed();
}

void TCanvas::FrameRect(const rtl::TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    const RECT r = ToRECT(rect);
    ::FrameRect(FHandle, &r, FBrush->Handle());
    Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Rectangle(FHandle, left, top, right, bottom);
    Changed();
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Ellipse(FHandle, left, top, right, bottom);
    Changed();
}

void TCanvas::MoveTo(int x, int y) {
    RequiredState(csHandleValid);
    ::MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::LineTo(FHandle, x, y);
    Changed();
}

rtl::TPoint TCanvas::PenPos() {
    RequiredState(csHandleValid);
    POINT p{};
    GetCurrentPositionEx(FHandle, &p);
    return {p.x, p.y};
}

namespace {

std::vector<POINT> ToPoints(const rtl::TPoint* points, int count) {
    std::vector<POINT> pts;
    pts.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        pts.push_back(POINT{points[i].X, points[i].Y});
    return pts;
}

} // namespace

void TCanvas::Polyline(const rtl::TPoint* points, int count) {
    if (!points || count <= 0)
        return;
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Polyline(FHandle, ToPoints(points, count).data(), count);
    Changed();
}

void TCanvas::Polygon(const rtl::TPoint* points, int count) {
    if (!points || count <= 0)
        return;
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Polygon(FHandle, ToPoints(points, count).data(), count);
    Changed();
}

void TCanvas::DrawFocusRect(const rtl::TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    const RECT r = ToRECT(rect);
    ::DrawFocusRect(FHandle, &r);
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    if (FBrush->Style() != bsSolid)
        SetBkMode(FHandle, TRANSPARENT);
    ExtTextOutA(FHandle, x, y, 0, nullptr, text.data(), UINT(text.size()), nullptr);
    MoveTo(x + TextWidth(text), y);
    Changed();
}

void TCanvas::TextRect(const rtl::TRect& rect, int x, int y, const std::string& text) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    UINT options = ETO_CLIPPED;
    if (FBrush->Style() != bsClear)
        options |= ETO_OPAQUE;
    const RECT r = ToRECT(rect);
    ExtTextOutA(FHandle, x, y, options, &r, text.data(), UINT(text.size()), nullptr);
    Changed();
}

rtl::TPoint TCanvas::TextExtent(const std::string& text) {
    RequiredState(csHandleValid | csFontValid);
    SIZE size{0, 0};
    GetTextExtentPoint32A(FHandle, text.data(), int(text.size()), &size);
    return {size.cx, size.cy};
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
    if (!graphic || graphic->Empty())
        return;
    StretchDraw(rtl::Bounds(x, y, graphic->Width(), graphic->Height()), graphic);
}

void TCanvas::StretchDraw(const rtl::TRect& rect, TGraphic* graphic) {
    if (!graphic)
        return;
    Changing();
    RequiredState(csHandleValid);
    graphic->Draw(this, rect);
    Changed();
}

void TCanvas::CopyRect(const rtl::TRect& dest, TCanvas* canvas, const rtl::TRect& source) {
    if (!canvas)
        return;
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    canvas->RequiredState(csHandleValid | csBrushValid);
    StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), canvas->FHandle,
               source.Left, source.Top, source.Width(), source.Height(), DWORD(FCopyMode));
    Changed();
}

TColor TCanvas::Pixels(int x, int y) {
    RequiredState(csHandleValid);
    return MakeColor(GetPixel(FHandle, x, y));
}

void TCanvas::SetPixels(int x, int y, TColor color) {
    Changing();
    RequiredState(csHandleValid | csPenValid);
    SetPixel(FHandle, x, y, ColorToRGB(color));
    Changed();
}

rtl::TRect TCanvas::ClipRect() {
    RequiredState(csHandleValid);
    RECT r{};
    GetClipBox(FHandle, &r);
    return {r.left, r.top, r.right, r.bottom};
}

void TCanvas::Lock() {
    FLock.lock();
    ++FLockCount;
}

bool TCanvas::TryLock() {
    if (!FLock.try_lock())
        return false;
    ++FLockCount;
    return true;
}

void TCanvas::Unlock() {
    --FLockCount;
    FLock.unlock();
}

} // namespace graphics
