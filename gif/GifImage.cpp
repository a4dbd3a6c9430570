// TGIFImage and TGIFFrame: frames as bitmaps, copying, greying, drawing and
// registration. Reading GIF streams is in GifReader.cpp, writing and encoding in
// GifWriter.cpp.
#include "gif/GifImage.h"

#include <algorithm>

#include "formstream/ClassRegistry.h"
#include "gif/ColorReduction.h"
#include "graphics/Canvas.h"
#include "graphics/Colors.h"
#include "graphics/TransparentDraw.h"
#include "platform/phases.h"
#include "platform/winuser.h"
#include "rtl/Exceptions.h"

namespace gif {

using namespace formstream;
using graphics::TBitmap;
using graphics::TCanvas;
using rtl::TMemoryStream;
using rtl::TStream;

static_assert(sizeof(TGIFColorItem) == 3);
static_assert(sizeof(std::array<TGIFColorItem, 256>) == 768);

UINT CF_GIF = 0;

namespace {

void ProgressThunk(void* context, TProgressStage stage, std::uint8_t percent,
                   const std::string& msg) {
    static_cast<TGIFImage*>(context)->DoProgress(stage, percent, msg);
}

TColor NearestColor(TBitmap* bitmap, TColor color) {
    HDC dc = bitmap->Canvas()->Handle();
    return graphics::RGBToColor(GetNearestColor(dc, graphics::ColorToRGB(color)));
}

} // namespace

// ---------------------------------------------------------------- TGIFFrame

constinit const TClassInfo TGIFFrame::ClassInfo = ClassInfoOf<TGIFFrame, TPersistent>("TGIFFrame");

TGIFFrame::TGIFFrame(TGIFImage* owner) : FOwner(owner) {
    NewImage();
}

TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::NewImage() {
    FImage = TGIFItem::New();
    FGrayscale = false;
    FCorrupted = false;
    FInterlaced = false;
    FLocalColors = false;
    FTransparentColor = clNone;
    FTopLeft = {0, 0};
    FAnimateInterval = 0;
    FDisposalMethod = dmUndefined;
}

void TGIFFrame::NewBitmap() {
    FBitmap.reset(new TBitmap);
}

TGIFProgress TGIFFrame::ProgressProc() const {
    TGIFProgress p;
    if (FOwner && FOwner->OnProgress) {
        p.Proc = &ProgressThunk;
        p.Context = FOwner;
    }
    return p;
}

void TGIFFrame::SaveToBitmapStream(TMemoryStream& stream) {
    if (WriteBitmapStream(*FImage, FInterlaced, GIFLoadCorrupted, ProgressProc(), stream))
        FCorrupted = true;
}

TBitmap* TGIFFrame::GetBitmap() {
    if (FBitmap && !FBitmap->Empty())
        return FBitmap.get();
    NewBitmap();
    // A frame of no pixels stays an empty bitmap.
    if (!FImage->Data || FImage->Width <= 0 || FImage->Height <= 0)
        return FBitmap.get();
    if (!FrameIsMonochrome(*FImage)) {
        // Straight into the device bitmap's pixels: the same pixels as the bitmap file
        // image switched to a device bitmap, without the file image.
        if (DecodeDeviceBitmap(*FImage, FInterlaced, GIFLoadCorrupted, ProgressProc(), *FBitmap))
            FCorrupted = true;
        platform::MarkPhase("gif-decode");
        return FBitmap.get();
    }
    TMemoryStream stream;
    SaveToBitmapStream(stream);
    FBitmap->LoadFromStream(stream);
    return FBitmap.get();
}

int TGIFFrame::GetWidth() {
    if (!FBitmap && !FImage->Data)
        return 0;
    return GetBitmap()->Width();
}

int TGIFFrame::GetHeight() {
    if (!FBitmap && !FImage->Data)
        return 0;
    return GetBitmap()->Height();
}

int TGIFFrame::GetColorCount() {
    if (FImage->ColorTable.Count != 0)
        return FImage->ColorTable.Count;
    if (FBitmap && FBitmap->PaletteCount() > 0)
        return FBitmap->PaletteCount();
    return 0;
}

void TGIFFrame::SetAnimateInterval(std::uint16_t value) {
    if (value == FAnimateInterval)
        return;
    FAnimateInterval = value;
    if (FOwner) {
        if (value != 0)
            FOwner->FVersion = gv89a;
        FOwner->Changed(FOwner);
    }
}

void TGIFFrame::SetDisposalMethod(TDisposalMethod value) {
    if (value == FDisposalMethod)
        return;
    FDisposalMethod = value;
    if (FOwner) {
        if (value != dmUndefined)
            FOwner->FVersion = gv89a;
        FOwner->Changed(FOwner);
    }
}

void TGIFFrame::SetTransparentColor(TColor value) {
    if (value == FTransparentColor)
        return;
    FTransparentColor = value;
    if (FOwner) {
        if (value != clNone)
            FOwner->FVersion = gv89a;
        FOwner->Changed(FOwner);
    }
}

void TGIFFrame::SetTopLeft(rtl::TPoint value) {
    if (value == FTopLeft)
        return;
    FTopLeft = value;
    if (FOwner) {
        FOwner->FScreenWidth =
            std::uint16_t(std::max<int>(FOwner->FScreenWidth, FImage->Width + value.X));
        FOwner->FScreenHeight =
            std::uint16_t(std::max<int>(FOwner->FScreenHeight, FImage->Height + value.Y));
        FOwner->Changed(FOwner);
    }
}

rtl::TStringList* TGIFFrame::FindComment(bool create) {
    if (FExtensions)
        for (auto it = FExtensions->rbegin(); it != FExtensions->rend(); ++it)
            if ((*it)->ExtType == ekComment) {
                if (!(*it)->Data && create)
                    (*it)->Data = std::make_unique<rtl::TStringList>();
                return (*it)->Data.get();
            }
    if (!create)
        return nullptr;
    if (!FExtensions)
        FExtensions = std::make_unique<TExtensionList>();
    TOwned<TExtension> ext(new TExtension);
    ext->ExtType = ekComment;
    ext->Data = std::make_unique<rtl::TStringList>();
    FExtensions->push_back(std::move(ext));
    return FExtensions->back()->Data.get();
}

void TGIFFrame::SetComment(const rtl::TStringList& lines) {
    rtl::TStringList* comment = FindComment(true);
    if (comment != &lines)
        comment->Assign(lines);
}

void TGIFFrame::AfterAssign() {
    if (FOwner)
        FOwner->UpdateScreenSize();
}

void TGIFFrame::AssignGraphic(TGraphic* graphic) {
    NewImage();
    NewBitmap();
    try {
        FBitmap->Assign(graphic);
    } catch (const rtl::Exception&) {
        FBitmap->Canvas()->Brush()->SetColor(clFuchsia);
        FBitmap->SetSize(graphic->Width(), graphic->Height());
        FBitmap->Canvas()->Draw(0, 0, graphic);
    }
    if (graphic->Transparent()) {
        if (auto* bitmap = DynCast<TBitmap>(graphic))
            FTransparentColor = bitmap->TransparentColor();
        else
            FTransparentColor = NearestColor(FBitmap.get(), FBitmap->Canvas()->Brush()->Color());
    }
}

void TGIFFrame::Assign(TPersistent* source) {
    if (!source) {
        NewImage();
        FBitmap.reset();
        AfterAssign();
        return;
    }
    if (auto* frame = DynCast<TGIFFrame>(source)) {
        if (frame == this)
            return;
        FImage = frame->FImage;
        FLocalColors = frame->FOwner == FOwner ? frame->FLocalColors : true;
        FTopLeft = frame->FTopLeft;
        FInterlaced = frame->FInterlaced;
        if (frame->FBitmap) {
            NewBitmap();
            FBitmap->Assign(frame->FBitmap.get());
        }
        FTransparentColor = frame->FTransparentColor;
        FAnimateInterval = frame->FAnimateInterval;
        FDisposalMethod = frame->FDisposalMethod;
        FGrayscale = frame->FGrayscale;
        FCorrupted = frame->FCorrupted;
        if (const rtl::TStringList* comment = frame->FindComment(false);
            comment && comment->Count() > 0)
            SetComment(*comment);
        AfterAssign();
        return;
    }
    if (auto* image = DynCast<TGIFImage>(source)) {
        if (image->Count() == 0)
            Assign(nullptr);
        else
            Assign(image->Frames(std::max(image->FFrameIndex, 0)));
        return;
    }
    if (auto* graphic = DynCast<TGraphic>(source)) {
        if (graphic->Empty()) {
            NewImage();
            FBitmap.reset();
            return;
        }
        AssignGraphic(graphic);
        AfterAssign();
        return;
    }
    TPersistent::Assign(source);
}

void TGIFFrame::AssignTo(TPersistent* dest) {
    if (Isa<TGIFFrame>(dest) || Isa<TGIFImage>(dest)) {
        dest->Assign(this);
    } else if (auto* graphic = DynCast<TGraphic>(dest)) {
        graphic->Assign(GetBitmap());
        if (auto* bitmap = DynCast<TBitmap>(dest); bitmap && FTransparentColor != clNone) {
            bitmap->SetTransparentColor(NearestColor(bitmap, FTransparentColor));
            bitmap->SetTransparent(true);
        }
    } else {
        TPersistent::AssignTo(dest);
    }
}

void TGIFFrame::GrayscaleImage(bool forceEncoding) {
    if (FGrayscale || (!FBitmap && !FImage->HasData()))
        return;
    if (FImage->HasData() && FImage->ColorTable.Count > 0) {
        FBitmap.reset();
        // The record may be shared with copies of this frame: grey a private copy.
        if (FImage->RefCount() > 1) {
            auto copy = TGIFItem::New();
            copy->Data = std::make_unique<TMemoryStream>();
            copy->Data->LoadFromStream(*FImage->Data);
            copy->Width = FImage->Width;
            copy->Height = FImage->Height;
            copy->PackedFields = FImage->PackedFields;
            copy->BitsPerPixel = FImage->BitsPerPixel;
            copy->ColorTable = FImage->ColorTable;
            FImage = copy;
        }
        TGIFColorTable& table = FImage->ColorTable;
        const int index = FindColorIndex(table, FTransparentColor);
        for (int i = 0; i < std::min(table.Count, 256); ++i)
            GrayColorItem(table.Colors[std::size_t(i)]);
        FTransparentColor = index >= 0 ? ColorOf(table.Colors[std::size_t(index)]) : clNone;
        FGrayscale = true;
        try {
            GetBitmap();
        } catch (const rtl::EAbort&) {
        }
        return;
    }
    TMemoryStream reduced;
    BitmapToMemoryStream(GetBitmap(), reduced, mmGrayscale);
    FImage = TGIFItem::New();
    if (forceEncoding)
        EncodeBitmapStream(reduced);
    FGrayscale = true;
    if (FTransparentColor != clNone)
        FTransparentColor = GrayColor(FTransparentColor);
    reduced.SetPosition(0);
    FBitmap->LoadFromStream(reduced);
}

void TGIFFrame::Draw(TCanvas* canvas, const rtl::TRect& rect, bool transparent) {
    TBitmap* bitmap = GetBitmap();
    if (transparent && FTransparentColor != clNone)
        graphics::StretchBitmapRectTransparent(
            canvas, rect.Left, rect.Top, rect.Width(), rect.Height(), bitmap,
            rtl::Rect(0, 0, bitmap->Width(), bitmap->Height()), FTransparentColor);
    else
        canvas->StretchDraw(rect, bitmap);
}

// ---------------------------------------------------------------- TGIFImage

constinit const TClassInfo TGIFImage::ClassInfo = ClassInfoOf<TGIFImage, TGraphic>("TGIFImage");

TGIFImage::TGIFImage() {
    NewImage();
    FTransparent = true;
}

TGIFImage::~TGIFImage() {
    OnChange = TNotifyEvent();
    FData.reset();
    ClearItems();
}

void TGIFImage::ClearItems() {
    for (auto& frame : FFrames)
        frame.reset();
    FFrames.clear();
}

void TGIFImage::Reset() {
    FData = TGIFData::New();
    ClearItems();
    FCorrupted = false;
    FFrameIndex = -1;
    FBackgroundColor = clNone;
    FRepeatCount = 1;
    FLooping = false;
    FVersion = gvUnknown;
}

void TGIFImage::NewImage() {
    Reset();
}

TGIFFrame* TGIFImage::Frames(int index) const {
    if (index < 0 || index >= Count())
        throw rtl::EListError(rtl::SListIndexError, index);
    return FFrames[std::size_t(index)].get();
}

TGIFFrame* TGIFImage::CurrentFrame() const {
    if (FFrames.empty())
        return nullptr;
    const int index = std::max(FFrameIndex, 0);
    return index < Count() ? FFrames[std::size_t(index)].get() : nullptr;
}

void TGIFImage::SaveToStream(TStream& stream) {
    WriteStream(stream, false);
}

void TGIFImage::WriteData(TStream& stream) {
    WriteStream(stream, true);
}

bool TGIFImage::GetEmpty() const {
    const TGIFFrame* frame = CurrentFrame();
    if (!frame)
        return true;
    if (frame->FBitmap)
        return false;
    return !frame->FImage->HasData();
}

std::int32_t TGIFImage::GetWidth() const {
    if (GetEmpty() || FFrameIndex < 0 || FFrameIndex >= Count())
        return 0;
    return FFrames[std::size_t(FFrameIndex)]->GetBitmap()->Width();
}

std::int32_t TGIFImage::GetHeight() const {
    if (GetEmpty() || FFrameIndex < 0 || FFrameIndex >= Count())
        return 0;
    return FFrames[std::size_t(FFrameIndex)]->GetBitmap()->Height();
}

int TGIFImage::GetScreenWidth() const {
    return GetEmpty() ? 0 : FScreenWidth;
}

int TGIFImage::GetScreenHeight() const {
    return GetEmpty() ? 0 : FScreenHeight;
}

void TGIFImage::SetWidth(std::int32_t) {
    throw rtl::EInvalidGraphicOperation(SChangeGIFSize);
}

void TGIFImage::SetHeight(std::int32_t) {
    throw rtl::EInvalidGraphicOperation(SChangeGIFSize);
}

HPALETTE TGIFImage::GetPalette() const {
    if (FFrames.empty())
        return nullptr;
    return const_cast<TGIFImage*>(this)->GetBitmap()->GetPalette();
}

bool TGIFImage::GetTransparent() const {
    if (!FTransparent)
        return false;
    for (const auto& frame : FFrames)
        if (frame->FTransparentColor != clNone)
            return true;
    return false;
}

TColor TGIFImage::GetTransparentColor() const {
    if (FFrames.empty() || FFrameIndex < 0 || FFrameIndex >= Count())
        return clNone;
    return FFrames[std::size_t(FFrameIndex)]->FTransparentColor;
}

TBitmap* TGIFImage::GetBitmap() {
    if (!FFrames.empty())
        return CurrentFrame() ? CurrentFrame()->GetBitmap() : FFrames[0]->GetBitmap();
    FFrameIndex = 0;
    TBitmap empty;
    Assign(&empty);
    return FFrames[0]->GetBitmap();
}

void TGIFImage::Draw(TCanvas* canvas, const rtl::TRect& rect) {
    if (FFrameIndex >= 0 && FFrameIndex < Count())
        FFrames[std::size_t(FFrameIndex)]->Draw(canvas, rect, GetTransparent());
}

bool TGIFImage::Equals(TGraphic* graphic) {
    auto* other = DynCast<TGIFImage>(graphic);
    return other && other->FData.get() == FData.get();
}

graphics::TPixelFormat TGIFImage::GetPixelFormat() const {
    using namespace graphics;
    if (GetEmpty())
        return pfDevice;
    auto forCount = [](int count) {
        return count <= 2 ? pf1bit : count <= 16 ? pf4bit : count <= 256 ? pf8bit : pf24bit;
    };
    TPixelFormat result = forCount(FData->ColorTable.Count);
    for (const auto& frame : FFrames) {
        TPixelFormat f = pfDevice;
        bool contributes = false;
        if (!frame->FImage->HasData()) {
            f = frame->FBitmap ? GetBitmapPixelFormat(frame->FBitmap.get()) : pfDevice;
            contributes = true;
        } else if (frame->FLocalColors) {
            f = forCount(frame->FImage->ColorTable.Count);
            contributes = true;
        }
        if (contributes && f > result)
            result = f;
    }
    return result;
}

bool TGIFImage::GetCorrupted() const {
    if (FCorrupted)
        return true;
    for (const auto& frame : FFrames)
        if (frame->FCorrupted)
            return true;
    return false;
}

void TGIFImage::SetFrameIndex(int value) {
    value = std::max(value, -1);
    value = std::min(value, Count() - 1);
    if (value != FFrameIndex) {
        FFrameIndex = value;
        SetPaletteModified(true);
        Changed(this);
    }
}

void TGIFImage::SetBackgroundColor(TColor value) {
    if (value != FBackgroundColor) {
        FBackgroundColor = value;
        Changed(this);
    }
}

void TGIFImage::SetLooping(bool value) {
    if (value != FLooping) {
        FLooping = value;
        Changed(this);
    }
}

void TGIFImage::SetRepeatCount(std::uint16_t value) {
    value = std::min<std::uint16_t>(value, 30000);
    if (value != FRepeatCount) {
        FRepeatCount = value;
        Changed(this);
    }
}

void TGIFImage::SetComment(const rtl::TStringList& lines) {
    const rtl::TStringList copy = lines;
    UniqueImage();
    FData->Comment.Assign(copy);
}

void TGIFImage::UniqueImage() {
    if (!FData) {
        NewImage();
        return;
    }
    if (FData->RefCount() < 2)
        return;
    auto copy = TGIFData::New();
    copy->Comment.Assign(FData->Comment);
    copy->AspectRatio = FData->AspectRatio;
    copy->BitsPerPixel = FData->BitsPerPixel;
    copy->ColorResolution = FData->ColorResolution;
    copy->ColorTable = FData->ColorTable;
    FData = copy;
}

void TGIFImage::UpdateScreenSize() {
    int width = 0;
    int height = 0;
    for (const auto& frame : FFrames) {
        width = std::max(width, frame->GetWidth() + frame->FTopLeft.X);
        height = std::max(height, frame->GetHeight() + frame->FTopLeft.Y);
    }
    FScreenWidth = std::uint16_t(width);
    FScreenHeight = std::uint16_t(height);
}

int TGIFImage::AddFrame(TGraphic* value) {
    FFrames.emplace_back(new TGIFFrame(this));
    FFrameIndex = Count() - 1;
    TGIFFrame* frame = FFrames.back().get();
    frame->Assign(value);
    if (FVersion == gvUnknown)
        FVersion = gv87a;
    if (Count() > 1)
        FVersion = gv89a;
    return Count() - 1;
}

void TGIFImage::DeleteFrame(int index) {
    Frames(index);
    FFrames.erase(FFrames.begin() + index);
    UpdateScreenSize();
    if (FFrameIndex >= Count())
        --FFrameIndex;
    Changed(this);
}

void TGIFImage::MoveFrame(int curIndex, int newIndex) {
    Frames(curIndex);
    Frames(newIndex);
    TOwned<TGIFFrame> frame = std::move(FFrames[std::size_t(curIndex)]);
    FFrames.erase(FFrames.begin() + curIndex);
    FFrames.insert(FFrames.begin() + newIndex, std::move(frame));
    FFrameIndex = newIndex;
    Changed(this);
}

void TGIFImage::DecodeAllFrames() {
    for (std::size_t i = 0; i < FFrames.size(); ++i) {
        try {
            FFrames[i]->GetBitmap();
        } catch (const rtl::EAbort&) {
            FFrames.erase(FFrames.begin() + std::ptrdiff_t(i), FFrames.end());
            FFrameIndex = std::min(FFrameIndex, Count() - 1);
            FCorrupted = true;
            break;
        }
    }
}

void TGIFImage::Grayscale(bool forceEncoding) {
    if (FFrames.empty())
        throw rtl::EInvalidGraphicOperation(SNoGIFData);
    for (auto& frame : FFrames)
        frame->GrayscaleImage(forceEncoding);
    // The global table is greyed whenever it has entries: frames without a table of their
    // own are written with it.
    if (FData->ColorTable.Count > 0) {
        UniqueImage();
        TGIFColorTable& table = FData->ColorTable;
        const int index = FindColorIndex(table, FBackgroundColor);
        for (int i = 0; i < std::min(table.Count, 256); ++i)
            GrayColorItem(table.Colors[std::size_t(i)]);
        if (FBackgroundColor != clNone)
            FBackgroundColor = index >= 0 ? ColorOf(table.Colors[std::size_t(index)])
                                          : GrayColor(FBackgroundColor);
    } else if (FBackgroundColor != clNone) {
        FBackgroundColor = GrayColor(FBackgroundColor);
    }
    SetPaletteModified(true);
    Changed(this);
}

void TGIFImage::DoProgress(TProgressStage stage, std::uint8_t percentDone, const std::string& msg) {
    Progress(this, stage, percentDone, false, rtl::TRect{0, 0, 0, 0}, msg);
}

void TGIFImage::Assign(TPersistent* source) {
    if (!source) {
        NewImage();
        Changed(this);
        return;
    }
    if (auto* image = DynCast<TGIFImage>(source)) {
        if (image == this)
            return;
        FData = image->FData;
        FVersion = image->FVersion;
        FBackgroundColor = image->FBackgroundColor;
        FRepeatCount = image->FRepeatCount;
        FLooping = image->FLooping;
        FCorrupted = image->FCorrupted;
        ClearItems();
        for (const auto& src : image->FFrames) {
            TOwned<TGIFFrame> frame(new TGIFFrame(this));
            frame->Assign(src.get());
            frame->FLocalColors = src->FLocalColors;
            FFrames.push_back(std::move(frame));
        }
        FScreenWidth = image->FScreenWidth;
        FScreenHeight = image->FScreenHeight;
        FFrameIndex = image->FFrameIndex;
        Changed(this);
        return;
    }
    if (auto* frame = DynCast<TGIFFrame>(source)) {
        // One of our own frames is held out of the list while the image is reset.
        TOwned<TGIFFrame> held;
        for (auto& f : FFrames)
            if (f.get() == frame)
                held = std::move(f);
        TSharedRef<TGIFData> from(frame->FOwner ? frame->FOwner->FData.get() : nullptr);
        NewImage();
        if (from) {
            FData->AspectRatio = from->AspectRatio;
            FData->BitsPerPixel = from->BitsPerPixel;
            FData->ColorResolution = from->ColorResolution;
            FData->ColorTable = from->ColorTable;
        }
        FFrames.emplace_back(new TGIFFrame(this));
        FFrameIndex = 0;
        FFrames[0]->Assign(frame);
        if (FVersion == gvUnknown)
            FVersion = gv87a;
        Changed(this);
        return;
    }
    if (auto* bitmap = DynCast<TBitmap>(source)) {
        NewImage();
        AddFrame(bitmap);
        Changed(this);
        return;
    }
    TGraphic::Assign(source);
}

void TGIFImage::AssignTo(TPersistent* dest) {
    if (Isa<TGIFImage>(dest)) {
        dest->Assign(this);
    } else if (!Isa<TGraphic>(dest)) {
        TGraphic::AssignTo(dest);
    } else if (GetEmpty()) {
        dest->Assign(nullptr);
    } else if (FFrameIndex < 0) {
        dest->Assign(GetBitmap());
    } else {
        FFrames[std::size_t(FFrameIndex)]->AssignTo(dest);
    }
}

// ---------------------------------------------------------------- registration

namespace {
// Whether "gif" and the clipboard format are in the picture format lists; the unit
// can be registered again after UnregisterGifUnit took them out.
bool gifUnitRegistered = false;
} // namespace

void RegisterGifUnit() {
    if (gifUnitRegistered)
        return;
    gifUnitRegistered = true;
    CF_GIF = RegisterClipboardFormatA(CGIFClipboardFormatName);
    RegisterStreamClasses({&TGIFFrame::ClassInfo, &TGIFImage::ClassInfo});
    RegisterGraphicFormat("gif", SGIFImageDesc.Text, &TGIFImage::ClassInfo);
    if (CF_GIF != 0)
        RegisterGraphicClipboardFormat(CF_GIF, &TGIFImage::ClassInfo);
}

void UnregisterGifUnit() {
    UnregisterGraphicFormat(&TGIFImage::ClassInfo);
    gifUnitRegistered = false;
}

} // namespace gif
