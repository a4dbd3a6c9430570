// GIF images as graphics. TGIFImage reads a GIF87a/GIF89a stream into frames that keep
// their LZW-encoded rasters (ReadStream), decodes a frame into a TBitmap on first use of
// its bitmap, draws the current frame (opaque or without its transparent colour), copies
// itself to and from frames, bitmaps and other graphics, greys itself, exchanges itself
// through the clipboard ("GIF Image") and writes itself back as GIF (WriteStream),
// encoding frames that exist only as bitmaps. Images copied from each other share the
// image record and the frames' encoded rasters by reference count.
//
// Persistent form inside picture data (ReadData / WriteData): a signed 32-bit
// little-endian length n, then n bytes of GIF. LoadFromStream / SaveToStream: the GIF
// bytes alone. RegisterGifUnit() registers the classes, "gif" in the picture format
// list and the clipboard format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formstream/Graphic.h"
#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/GifTypes.h"
#include "graphics/Bitmap.h"
#include "rtl/Types.h"

namespace gif {

class TGIFImage;

using TExtensionList = std::vector<formstream::TOwned<TExtension>>;

// One image of a GIF stream: its shared raster record, its extensions, its place and
// display attributes, and the bitmap decoded from it (a cache, built on demand).
class TGIFFrame : public formstream::TPersistent {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    explicit TGIFFrame(TGIFImage* owner);
    ~TGIFFrame() override;

    void Assign(formstream::TPersistent* source) override;

    // Reads one frame, starting right after its image separator.
    void LoadFromStream(rtl::TStream& stream);
    // The bitmap file image of the decoded frame, in `stream` (left at position 0).
    void SaveToBitmapStream(rtl::TMemoryStream& stream);

    void NewImage();
    void NewBitmap();
    // The decoded picture (decoding it when needed); owned by the frame.
    graphics::TBitmap* GetBitmap();
    graphics::TBitmap* Bitmap() { return GetBitmap(); }
    bool HasBitmap() const { return FBitmap != nullptr; }
    int GetWidth();
    int GetHeight();
    int GetColorCount();

    TGIFImage* Owner() const { return FOwner; }
    TGIFItem* Item() const { return FImage.get(); }
    TExtensionList* Extensions() const { return FExtensions.get(); }
    void SetExtensions(std::unique_ptr<TExtensionList> list) { FExtensions = std::move(list); }

    std::uint16_t AnimateInterval() const { return FAnimateInterval; }
    void SetAnimateInterval(std::uint16_t value);
    TDisposalMethod DisposalMethod() const { return FDisposalMethod; }
    void SetDisposalMethod(TDisposalMethod value);
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor value);
    rtl::TPoint TopLeft() const { return FTopLeft; }
    void SetTopLeft(rtl::TPoint value);
    bool Interlaced() const { return FInterlaced; }
    void SetInterlaced(bool value) { FInterlaced = value; }
    bool Corrupted() const { return FCorrupted; }
    bool GrayScale() const { return FGrayscale; }
    bool LocalColors() const { return FLocalColors; }
    void SetLocalColors(bool value) { FLocalColors = value; }

    // The data lines of the frame's last comment extension; with `create`, the extension
    // (and the list) is made when missing, else null when missing.
    rtl::TStringList* FindComment(bool create);
    rtl::TStringList& Comment() { return *FindComment(true); }
    void SetComment(const rtl::TStringList& lines);

    void GrayscaleImage(bool forceEncoding);
    void Draw(graphics::TCanvas* canvas, const rtl::TRect& rect, bool transparent);

    // --- writing
    void EncodeRasterData();
    // Encodes the bitmap file image held in `stream` into the frame's raster.
    void EncodeBitmapStream(rtl::TMemoryStream& stream);
    void UpdateExtensions();
    void WriteImageDescriptor(rtl::TStream& stream);
    void WriteLocalColorMap(rtl::TStream& stream);
    void WriteRasterData(rtl::TStream& stream);
    void WriteExtensions(rtl::TStream& stream);

protected:
    void AssignTo(formstream::TPersistent* dest) override;

private:
    friend class TGIFImage;
    TGIFProgress ProgressProc() const;
    // Steps of LoadFromStream: the raster's sub-blocks copied as they stand, then what the
    // frame's graphic-control extensions say.
    void ReadRasterData(rtl::TStream& stream, std::uint8_t minCodeSize);
    void ApplyGraphicControls();
    void AssignGraphic(formstream::TGraphic* graphic);
    void AfterAssign();

    TGIFImage* FOwner;
    formstream::TOwned<graphics::TBitmap> FBitmap;
    TSharedRef<TGIFItem> FImage;
    std::unique_ptr<TExtensionList> FExtensions;
    rtl::TPoint FTopLeft;
    bool FInterlaced = false;
    bool FCorrupted = false;
    bool FGrayscale = false;
    TColor FTransparentColor = formstream::clNone;
    std::uint16_t FAnimateInterval = 0;
    TDisposalMethod FDisposalMethod = dmUndefined;
    bool FLocalColors = false;
};

class TGIFImage : public formstream::TGraphic {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    TGIFImage();
    ~TGIFImage() override;

    void Assign(formstream::TPersistent* source) override;
    void Draw(graphics::TCanvas* canvas, const rtl::TRect& rect) override;
    bool Equals(formstream::TGraphic* graphic) override;
    bool GetEmpty() const override;
    std::int32_t GetHeight() const override;
    std::int32_t GetWidth() const override;
    HPALETTE GetPalette() const override;
    bool GetTransparent() const override;
    void ReadData(rtl::TStream& stream) override;
    void WriteData(rtl::TStream& stream) override;
    void SetHeight(std::int32_t value) override;
    void SetWidth(std::int32_t value) override;
    void LoadFromStream(rtl::TStream& stream) override;
    void SaveToStream(rtl::TStream& stream) override;
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;

    // Appends a frame made from `value`, makes it current; returns its index.
    virtual int AddFrame(formstream::TGraphic* value);

    void Clear() { Assign(nullptr); }
    void ClearItems();
    void NewImage();

    // --- reading and writing GIF bytes
    // Replaces the image with the GIF in the next `size` bytes of `source`.
    void ReadStream(std::int32_t size, rtl::TStream& source, bool decodeFirstFrame);
    void ReadSignature(rtl::TStream& stream);
    // Writes the GIF (with a 32-bit byte count first when `withLength`).
    void WriteStream(rtl::TStream& stream, bool withLength);
    void EncodeFrames(bool decodeAfter);
    void EncodeAllFrames() { EncodeFrames(true); }
    // Reads the image from a resource of the module, as LoadFromStream does.
    void LoadFromResourceName(HINSTANCE instance, const std::string& name, LPCSTR resType);
    void LoadFromResourceID(HINSTANCE instance, int resId, LPCSTR resType);

    // --- attributes
    int GetScreenWidth() const;
    int GetScreenHeight() const;
    TColor GetTransparentColor() const;
    graphics::TBitmap* GetBitmap();
    graphics::TBitmap* Bitmap() { return GetBitmap(); }
    graphics::TPixelFormat GetPixelFormat() const;
    bool GetCorrupted() const;
    int Count() const { return int(FFrames.size()); }
    TGIFFrame* Frames(int index) const;
    int FrameIndex() const { return FFrameIndex; }
    void SetFrameIndex(int value);
    TGIFVersion Version() const { return FVersion; }
    void SetVersion(TGIFVersion value) { FVersion = value; }
    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor value);
    bool Looping() const { return FLooping; }
    void SetLooping(bool value);
    std::uint16_t RepeatCount() const { return FRepeatCount; }
    void SetRepeatCount(std::uint16_t value);
    int GetGlobalColorCount() const { return FData ? FData->ColorTable.Count : 0; }
    const rtl::TStringList& Comment() const { return FData->Comment; }
    void SetComment(const rtl::TStringList& lines);
    TGIFData* Data() const { return FData.get(); }
    void UniqueImage();
    void UpdateScreenSize();
    void DeleteFrame(int index);
    void MoveFrame(int curIndex, int newIndex);
    void DecodeAllFrames();
    void Grayscale(bool forceEncoding);
    void DoProgress(formstream::TProgressStage stage, std::uint8_t percentDone,
                    const std::string& msg);

protected:
    void AssignTo(formstream::TPersistent* dest) override;

private:
    friend class TGIFFrame;
    void Reset();
    void CheckFrameIndex();
    TGIFFrame* CurrentFrame() const;
    // Steps of ReadStream: the logical screen with the global colour table, the blocks
    // behind it (extensions, frames, comments), and the first frame's bitmap.
    void ReadScreen(rtl::TStream& data);
    void ReadBlocks(rtl::TStream& data);
    std::uint8_t ReadExtensions(rtl::TStream& data, std::uint8_t intro,
                                std::unique_ptr<TExtensionList>& list);
    void TakeComments(const TExtensionList& list);
    void DecodeFirstFrame();

    TSharedRef<TGIFData> FData;
    TGIFVersion FVersion = gvUnknown;
    std::vector<formstream::TOwned<TGIFFrame>> FFrames;
    int FFrameIndex = -1;
    std::uint16_t FScreenWidth = 0;
    std::uint16_t FScreenHeight = 0;
    TColor FBackgroundColor = formstream::clNone;
    bool FLooping = false;
    bool FCorrupted = false;
    std::uint16_t FRepeatCount = 1;
};

// The clipboard format registered as "GIF Image" (0 until RegisterGifUnit).
extern UINT CF_GIF;

// Registers CF_GIF, the stream classes TGIFFrame and TGIFImage, "gif" in the picture
// format list and CF_GIF in the clipboard format list. Idempotent.
void RegisterGifUnit();
// Removes TGIFImage from the picture format lists (the module's end); RegisterGifUnit
// puts it back.
void UnregisterGifUnit();

} // namespace gif
