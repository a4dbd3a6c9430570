#include "graphics/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "graphics/BmpCodec.h"
#include "graphics/BmpHeaders.h"
#include "graphics/Canvas.h"
#include "graphics/Colors.h"
#include "graphics/DibImage.h"
#include "graphics/GraphicsConsts.h"
#include "platform/winbase.h"
#include "platform/winuser.h"
#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace graphics {

using namespace formstream;

namespace {

int BitCountOf(TPixelFormat format) {
    switch (format) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf15bit:
    case pf16bit:
        return 16;
    case pf24bit:
        return 24;
    case pf32bit:
    case pfDevice:
        return 32;
    default:
        return 0;
    }
}

std::vector<RGBQUAD> PaletteColors(HPALETTE palette) {
    std::vector<RGBQUAD> colors;
    if (!palette)
        return colors;
    PALETTEENTRY entries[256];
    const UINT n = GetPaletteEntries(palette, 0, 256, entries);
    for (UINT i = 0; i < n && i < 256; ++i)
        colors.push_back(RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
    return colors;
}

HPALETTE CreatePaletteOf(const std::vector<RGBQUAD>& colors) {
    if (colors.empty())
        return nullptr;
    const std::size_t n = std::min<std::size_t>(colors.size(), 256);
    std::vector<std::uint8_t> buffer(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = WORD(n);
    for (std::size_t i = 0; i < n; ++i)
        lp->palPalEntry[i] =
            PALETTEENTRY{colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
    return CreatePalette(lp);
}

// Reads the pixels of a drawing-system bitmap: DIB sections keep their depth, other
// bitmaps are read as 32-bit (1-bit ones as 1-bit). `isDevice` tells which it was.
std::unique_ptr<TDibImage> ImageFromHandle(HBITMAP handle, bool& isDevice) {
    DIBSECTION ds{};
    const int n = GetObjectA(handle, sizeof ds, &ds);
    if (n < int(sizeof(BITMAP)))
        throw rtl::EInvalidGraphic(SInvalidBitmap);
    const BITMAP& bm = ds.dsBm;
    if (bm.bmWidth <= 0 || bm.bmHeight <= 0 || bm.bmWidth > MaxBitmapDimension ||
        bm.bmHeight > MaxBitmapDimension)
        throw rtl::EInvalidGraphic(SInvalidBitmap);
    const bool dib = n >= int(sizeof(DIBSECTION)) && bm.bmBits != nullptr;
    int bitCount = dib ? ds.dsBmih.biBitCount : (bm.bmBitsPixel == 1 ? 1 : 32);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24)
        bitCount = 32;
    isDevice = !dib;

    auto image = std::make_unique<TDibImage>();
    image->Width = bm.bmWidth;
    image->Height = bm.bmHeight;
    image->BitCount = bitCount;
    if (image->ImageSize() > MaxBitmapBytes)
        throw rtl::EInvalidGraphic(SInvalidBitmap);
    image->Allocate();
    std::vector<std::uint8_t> buffer(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(buffer.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = image->Width;
    info->bmiHeader.biHeight = image->Height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = WORD(bitCount);
    info->bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    const int lines =
        GetDIBits(dc, handle, 0, UINT(image->Height), image->Own.data(), info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (lines <= 0)
        throw rtl::EInvalidGraphic(SInvalidBitmap);
    if (bitCount <= 8) {
        const std::size_t full = std::size_t(1) << bitCount;
        const std::size_t used = info->bmiHeader.biClrUsed && info->bmiHeader.biClrUsed < full
                                     ? info->bmiHeader.biClrUsed
                                     : full;
        image->Colors.assign(info->bmiColors, info->bmiColors + used);
    }
    return image;
}

} // namespace

// The canvas of a bitmap: a memory context with the bitmap's DIB section (and palette)
// selected, so that drawing on it changes the bitmap's pixels.
class TBitmapCanvas : public TCanvas {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
    ~TBitmapCanvas() override { FreeContext(); }

    void FreeContext() {
        if (!FDC)
            return;
        SetHandle(nullptr);
        if (FOldBitmap)
            SelectObject(FDC, FOldBitmap);
        if (FOldPalette)
            SelectPalette(FDC, FOldPalette, TRUE);
        DeleteDC(FDC);
        FDC = nullptr;
        FOldBitmap = nullptr;
        FOldPalette = nullptr;
    }

protected:
    void CreateHandle() override {
        FreeContext();
        if (!FBitmap->Empty())
            FBitmap->EnsureSection();
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc)
            throw rtl::EOutOfResources(SOutOfResources);
        if (!FBitmap->Empty()) {
            FOldBitmap = SelectObject(dc, FBitmap->FImage->SectionHandle());
            if (HPALETTE palette = FBitmap->GetPalette()) {
                FOldPalette = SelectPalette(dc, palette, TRUE);
                RealizePalette(dc);
            }
        }
        FDC = dc;
        SetHandle(dc);
    }
    void Changed() override {
        TCanvas::Changed();
        FBitmap->Changed(FBitmap);
    }

private:
    TBitmap* FBitmap;
    HDC FDC = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
    HPALETTE FOldPalette = nullptr;
};

constinit const TClassInfo TBitmapCanvas::ClassInfo =
    ClassInfoOf<TBitmapCanvas, TCanvas>("TBitmapCanvas");
constinit const TClassInfo TBitmap::ClassInfo = ClassInfoOf<TBitmap, TGraphic>("TBitmap");

TBitmap::TBitmap() : FImage(std::make_unique<TDibImage>()) {}

TBitmap::~TBitmap() {
    FCanvas.reset();
    if (FPalette)
        DeleteObject(FPalette);
}

void TBitmap::FreeHandles() {
    if (FCanvas)
        static_cast<TBitmapCanvas*>(FCanvas.get())->FreeContext();
    if (FPalette) {
        DeleteObject(FPalette);
        FPalette = nullptr;
    }
}

void TBitmap::NewImage(std::unique_ptr<TDibImage> image) {
    FreeHandles();
    FImage = std::move(image);
}

bool TBitmap::DeviceDeferred() const {
    return FHandleType == bmDDB && FImage->BitCount != 32 && !FImage->Empty() && !Monochrome();
}

void TBitmap::DevicePixels() {
    if (!DeviceDeferred())
        return;
    // The palette handle stays: the colours are the same, and it may be selected somewhere.
    // Straight into a drawing section: every use that needs this form needs one too.
    auto image = ConvertDib(*FImage, 32, false, FImage->Colors, true);
    if (FCanvas)
        static_cast<TBitmapCanvas*>(FCanvas.get())->FreeContext();
    FImage = std::move(image);
}

void TBitmap::EnsureSection() {
    DevicePixels();
    if (FImage->Section || FImage->Empty())
        return;
    if (FImage->MakeSection())
        return;
    // The drawing system takes 16-bit pixels only as 5-5-5: draw on a 24-bit copy instead.
    if (FImage->BitCount == 16 && FImage->Is565) {
        auto image = ConvertDib(*FImage, 24, false, FImage->Colors);
        if (FCanvas)
            static_cast<TBitmapCanvas*>(FCanvas.get())->FreeContext();
        FImage = std::move(image);
        if (FImage->MakeSection())
            return;
    }
    throw rtl::EOutOfResources(SOutOfResources);
}

void TBitmap::Changed(TObject* sender) {
    TGraphic::Changed(sender);
}

// --- size

bool TBitmap::GetEmpty() const {
    return FImage->Empty();
}

std::int32_t TBitmap::GetWidth() const {
    return FImage->Width;
}

std::int32_t TBitmap::GetHeight() const {
    return FImage->Height;
}

void TBitmap::SetWidth(std::int32_t value) {
    SetSize(value, FImage->Height);
}

void TBitmap::SetHeight(std::int32_t value) {
    SetSize(FImage->Width, value);
}

void TBitmap::SetSize(std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FImage->Width && height == FImage->Height)
        return;
    DevicePixels();
    if (width > MaxBitmapDimension || height > MaxBitmapDimension ||
        TDibImage::StrideFor(width, FImage->BitCount) * std::uint64_t(height) > MaxBitmapBytes)
        throw rtl::EOutOfResources(SOutOfResources);
    const TDibImage& old = *FImage;
    auto image = std::make_unique<TDibImage>();
    image->Width = width;
    image->Height = height;
    image->BitCount = old.BitCount;
    image->TopDown = old.TopDown;
    image->Is565 = old.Is565;
    image->XPelsPerMeter = old.XPelsPerMeter;
    image->YPelsPerMeter = old.YPelsPerMeter;
    image->Colors = old.Colors;
    image->Allocate();
    if (!old.Empty() && !image->Empty()) {
        GdiFlush();
        const std::size_t bytes = std::min(old.Stride(), image->Stride());
        for (int y = 0; y < std::min(old.Height, height); ++y)
            std::memcpy(image->Row(y), old.Row(y), bytes);
    }
    NewImage(std::move(image));
    Changed(this);
}

// --- format

TPixelFormat TBitmap::PixelFormat() const {
    if (FHandleType == bmDDB)
        return pfDevice;
    switch (FImage->BitCount) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 16:
        return FImage->Is565 ? pf16bit : pf15bit;
    case 24:
        return pf24bit;
    case 32:
        return pf32bit;
    default:
        return pfCustom;
    }
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
    if (value == PixelFormat())
        return;
    if (value == pfDevice) {
        SetHandleType(bmDDB);
        return;
    }
    const int bitCount = BitCountOf(value);
    if (bitCount == 0)
        throw rtl::EInvalidGraphic(SInvalidPixelFormat);
    std::vector<RGBQUAD> table;
    if (bitCount <= 8) {
        const std::size_t full = std::size_t(1) << bitCount;
        if (!FImage->Colors.empty() && FImage->Colors.size() <= full)
            table = FImage->Colors;
        else
            table = StandardColorTable(bitCount);
    } else if (FImage->Colors.size() <= 256) {
        table = FImage->Colors;
    }
    NewImage(ConvertDib(*FImage, bitCount, value == pf16bit, table));
    FHandleType = bmDIB;
    Changed(this);
}

void TBitmap::SetHandleType(TBitmapHandleType value) {
    if (value == FHandleType)
        return;
    // To a device bitmap, palette pixels stay as they are until the 32-bit form is needed;
    // back to a DIB, that form is the DIB's.
    if (value == bmDIB)
        DevicePixels();
    FHandleType = value;
    Changed(this);
}

void TBitmap::LoadDevicePixels(std::int32_t width, std::int32_t height, int bitCount,
                               std::span<const RGBQUAD> colors,
                               const std::function<void(std::uint8_t* rows)>& fill) {
    if (width < 0 || height < 0 || width > MaxBitmapDimension || height > MaxBitmapDimension ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8))
        throw rtl::EOutOfResources(SOutOfResources);
    auto image = std::make_unique<TDibImage>();
    image->Width = width;
    image->Height = height;
    image->BitCount = bitCount;
    const std::size_t limit = std::size_t(1) << bitCount;
    image->Colors.assign(colors.begin(), colors.begin() + std::min(colors.size(), limit));
    for (auto& c : image->Colors)
        c.rgbReserved = 0;
    image->Allocate();
    if (!image->Empty())
        fill(image->Bits());
    NewImage(std::move(image));
    FHandleType = bmDDB;
    Changed(this);
}

bool TBitmap::Monochrome() const {
    const auto& c = FImage->Colors;
    return FImage->BitCount == 1 && c.size() == 2 && c[0].rgbRed == 0 && c[0].rgbGreen == 0 &&
           c[0].rgbBlue == 0 && c[1].rgbRed == 255 && c[1].rgbGreen == 255 && c[1].rgbBlue == 255;
}

void TBitmap::SetMonochrome(bool value) {
    if (value == Monochrome())
        return;
    if (value) {
        NewImage(ConvertDib(*FImage, 1, false, StandardColorTable(1)));
    } else {
        NewImage(ConvertDib(*FImage, 32, false, {}));
        FHandleType = bmDDB;
    }
    Changed(this);
}

int TBitmap::BitsPerPixel() const {
    return DeviceDeferred() ? 32 : FImage->BitCount;
}

void* TBitmap::ScanLine(int row) {
    if (row < 0 || row >= FImage->Height || FImage->Empty())
        throw rtl::EInvalidGraphicOperation(SScanLine);
    // The rows move into the drawing section now, so that a canvas made later keeps them
    // where they are (5-6-5 pixels, which the section cannot hold, stay in place).
    DevicePixels();
    FImage->MakeSection();
    GdiFlush();
    return FImage->Row(row);
}

int TBitmap::BytesPerScanLine() const {
    return int(DeviceDeferred() ? TDibImage::StrideFor(FImage->Width, 32) : FImage->Stride());
}

// --- colour table and palette

int TBitmap::PaletteCount() const {
    return int(FImage->Colors.size());
}

RGBQUAD TBitmap::PaletteEntry(int index) const {
    if (index < 0 || index >= PaletteCount())
        return RGBQUAD{0, 0, 0, 0};
    return FImage->Colors[std::size_t(index)];
}

std::span<const RGBQUAD> TBitmap::PaletteEntries() const {
    return FImage->Colors;
}

void TBitmap::SetPaletteEntries(std::span<const RGBQUAD> entries) {
    // The pixels of a device bitmap keep the colours they had.
    DevicePixels();
    std::size_t limit = 256;
    if (FImage->BitCount <= 8)
        limit = std::size_t(1) << FImage->BitCount;
    FreeHandles();
    FImage->Colors.assign(entries.begin(), entries.begin() + std::min(entries.size(), limit));
    for (auto& c : FImage->Colors)
        c.rgbReserved = 0;
    if (FImage->Section && FImage->BitCount <= 8 && !FImage->Colors.empty()) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, FImage->Section);
        SetDIBColorTable(dc, 0, UINT(FImage->Colors.size()), FImage->Colors.data());
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    SetPaletteModified(true);
    Changed(this);
}

HPALETTE TBitmap::GetPalette() const {
    if (!FPalette)
        FPalette = CreatePaletteOf(FImage->Colors);
    return FPalette;
}

void TBitmap::SetPalette(HPALETTE value) {
    if (value == FPalette)
        return;
    if (!value) {
        // Only the handle goes; the colour table stays and makes a new one on demand.
        FreeHandles();
        return;
    }
    const std::vector<RGBQUAD> colors = PaletteColors(value);
    SetPaletteEntries(colors);
    if (FPalette)
        DeleteObject(FPalette);
    FPalette = value;
}

HPALETTE TBitmap::ReleasePalette() {
    HPALETTE palette = GetPalette();
    if (FCanvas)
        static_cast<TBitmapCanvas*>(FCanvas.get())->FreeContext();
    FPalette = nullptr;
    return palette;
}

// --- handles and canvas

HBITMAP TBitmap::Handle() {
    if (FImage->Empty())
        return nullptr;
    EnsureSection();
    return FImage->Section;
}

void TBitmap::SetHandle(HBITMAP value) {
    if (value && value == FImage->Section)
        return;
    if (!value) {
        NewImage(std::make_unique<TDibImage>());
        Changed(this);
        return;
    }
    bool isDevice = false;
    std::unique_ptr<TDibImage> image;
    try {
        image = ImageFromHandle(value, isDevice);
    } catch (...) {
        DeleteObject(value);
        throw;
    }
    DeleteObject(value);
    NewImage(std::move(image));
    FHandleType = isDevice ? bmDDB : bmDIB;
    Changed(this);
}

bool TBitmap::HandleAllocated() const {
    return FImage->Section != nullptr;
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas)
        FCanvas.reset(new TBitmapCanvas(this));
    return FCanvas.get();
}

void TBitmap::Dormant() {
    FreeHandles();
}

// --- transparency

TColor TBitmap::BottomLeftColor() const {
    if (FImage->Empty())
        return clDefault;
    GdiFlush();
    return MakeColor(FImage->PixelColor(0, FImage->Height - 1));
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed && FTransparentColor != clDefault)
        return FTransparentColor;
    if (Monochrome())
        return clWhite;
    return BottomLeftColor();
}

void TBitmap::SetTransparentColor(TColor value) {
    if (value == FTransparentColor)
        return;
    FTransparentColor = value;
    FTransparentMode = value == clDefault ? tmAuto : tmFixed;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
    if (value == FTransparentMode)
        return;
    if (value == tmAuto)
        SetTransparentColor(clDefault);
    else
        SetTransparentColor(TransparentColor());
}

// --- copying

void TBitmap::Assign(TPersistent* source) {
    if (source == this)
        return;
    if (!source) {
        NewImage(std::make_unique<TDibImage>());
        FHandleType = bmDDB;
        Changed(this);
        return;
    }
    if (auto* bitmap = DynCast<TBitmap>(source)) {
        NewImage(bitmap->FImage->Clone());
        FHandleType = bitmap->FHandleType;
        FTransparentColor = bitmap->FTransparentColor;
        FTransparentMode = bitmap->FTransparentMode;
        Changed(this);
        return;
    }
    if (auto* graphic = DynCast<TGraphic>(source)) {
        try {
            TGraphic::Assign(source);
            return;
        } catch (const rtl::EConvertError&) {
        }
        auto image = std::make_unique<TDibImage>();
        image->Width = std::max(graphic->Width(), 0);
        image->Height = std::max(graphic->Height(), 0);
        image->BitCount = 24;
        if (image->Width > MaxBitmapDimension || image->Height > MaxBitmapDimension ||
            image->ImageSize() > MaxBitmapBytes)
            throw rtl::EOutOfResources(SOutOfResources);
        image->Allocate();
        NewImage(std::move(image));
        FHandleType = bmDIB;
        if (!Empty()) {
            TCanvas* canvas = Canvas();
            canvas->FillRect(rtl::Rect(0, 0, Width(), Height()));
            canvas->StretchDraw(rtl::Rect(0, 0, Width(), Height()), graphic);
        }
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

// --- streams

void TBitmap::LoadFromStream(rtl::TStream& stream) {
    std::unique_ptr<TDibImage> image = ReadBmp(stream);
    NewImage(std::move(image));
    FHandleType = bmDIB;
    Changed(this);
}

void TBitmap::SaveToStream(rtl::TStream& stream) {
    DevicePixels();
    WriteBmp(*FImage, stream);
}

void TBitmap::ReadData(rtl::TStream& stream) {
    const std::int32_t size = std::int32_t(stream.ReadDWord());
    if (size < 0 || size > stream.Size() - stream.Position())
        throw rtl::EInvalidGraphic(SInvalidBitmap);
    if (size == 0) {
        Assign(nullptr);
        return;
    }
    rtl::TMemoryStream data;
    data.CopyFrom(stream, size);
    data.SetPosition(0);
    LoadFromStream(data);
}

void TBitmap::WriteData(rtl::TStream& stream) {
    rtl::TMemoryStream data;
    SaveToStream(data);
    stream.WriteDWord(std::uint32_t(data.Size()));
    stream.WriteBuffer(data.Memory(), std::size_t(data.Size()));
}

// --- clipboard

namespace {

// A packed DIB in global memory (information header, masks, colour table, pixels), read
// as the BMP file it would be with a file header in front.
std::unique_ptr<TDibImage> ImageFromPackedDib(HGLOBAL memory) {
    const SIZE_T size = GlobalSize(memory);
    const void* bytes = GlobalLock(memory);
    if (!bytes || size == 0 || size > MaxBitmapBytes) {
        if (bytes)
            GlobalUnlock(memory);
        throw rtl::EInvalidGraphic(SInvalidBitmap);
    }
    rtl::TMemoryStream stream;
    BITMAPFILEHEADER fileHeader{}; // no pixel offset: the pixels follow the colour table
    fileHeader.bfType = BmpSignature;
    stream.WriteBuffer(&fileHeader, sizeof fileHeader);
    stream.WriteBuffer(bytes, size);
    GlobalUnlock(memory);
    stream.SetPosition(0);
    return ReadBmp(stream);
}

} // namespace

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    if ((format != CF_BITMAP && format != CF_DIB) || !data)
        throw rtl::EInvalidGraphic(rtl::SUnknownClipboardFormat);
    bool isDevice = false;
    std::unique_ptr<TDibImage> image = format == CF_DIB
                                           ? ImageFromPackedDib(data)
                                           : ImageFromHandle(static_cast<HBITMAP>(data), isDevice);
    // The palette that comes with the bitmap is its colour table (with its own length).
    std::vector<RGBQUAD> colors = PaletteColors(palette);
    const std::size_t limit = image->BitCount <= 8 ? std::size_t(1) << image->BitCount : 256;
    if (!colors.empty() && colors.size() <= limit)
        image->Colors = std::move(colors);
    NewImage(std::move(image));
    FHandleType = isDevice ? bmDDB : bmDIB;
    Changed(this);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    format = CF_BITMAP;
    data = nullptr;
    palette = nullptr;
    if (Empty())
        return;
    DevicePixels();
    const TDibImage* image = FImage.get();
    std::unique_ptr<TDibImage> converted;
    if (image->BitCount == 16 && image->Is565) {
        converted = ConvertDib(*image, 24, false, image->Colors);
        image = converted.get();
    }
    std::vector<std::uint8_t> info;
    void* bits = nullptr;
    HBITMAP copy =
        CreateDIBSection(nullptr, image->InfoPtr(info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!copy || !bits)
        throw rtl::EOutOfResources(SOutOfResources);
    GdiFlush();
    std::memcpy(bits, image->Bits(), image->ImageSize());
    data = copy;
    palette = CreatePaletteOf(image->Colors);
}

TPixelFormat GetBitmapPixelFormat(TBitmap* bitmap) {
    return bitmap ? bitmap->PixelFormat() : pfDevice;
}

} // namespace graphics
