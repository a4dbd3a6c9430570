// The in-memory model of a GIF stream: colour tables, the shared records of an image
// (TGIFData) and of a frame (TGIFItem), extension blocks (TExtension), the enumerations
// and the module switch GIFLoadCorrupted. Images and frames hold the shared records by
// reference count (TSharedRef); the last holder's release clears and destroys a record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "formstream/IdentTypes.h"
#include "formstream/Persistent.h"
#include "rtl/SharedImage.h"
#include "rtl/Stream.h"
#include "rtl/StringList.h"

namespace gif {

using formstream::TColor;

enum TGIFVersion : std::uint8_t { gvUnknown, gv87a, gv89a };

enum TDisposalMethod : std::uint8_t {
    dmUndefined,
    dmLeave,
    dmRestoreBackground,
    dmRestorePrevious,
    dmReserved4,
    dmReserved5,
    dmReserved6,
    dmReserved7
};

// Bits per pixel of a colour table, 1 to 8.
using TGIFBits = std::uint8_t;

// "", "87a" or "89a".
std::string_view GIFVersionName(TGIFVersion version);

// When true (the initial value) damaged frame data is tolerated and the frame is marked
// corrupted; when false the same damage raises an error.
extern bool GIFLoadCorrupted;

struct TGIFColorItem {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const TGIFColorItem&) const = default;
};

struct TGIFColorTable {
    std::int32_t Count = 0; // 0 to 256; 0 = no table
    std::array<TGIFColorItem, 256> Colors{};
    void Clear() { *this = TGIFColorTable(); }
};

// The framework colour value of a table entry (red in the low byte).
constexpr TColor ColorOf(const TGIFColorItem& c) {
    return formstream::MakeColor(std::uint32_t(c.Red) | std::uint32_t(c.Green) << 8 |
                                 std::uint32_t(c.Blue) << 16);
}
// The first entry of `table` whose colour equals `color` (as red-green-blue), or -1;
// clNone and other non-RGB values are never found.
int FindColorIndex(const TGIFColorTable& table, TColor color);
// The grey of a colour value: (red * 77 + green * 150 + blue * 29) >> 8 in all three.
TColor GrayColor(TColor color);
void GrayColorItem(TGIFColorItem& item);
// 1 for 2 colours, 2 for 4, ... 8 for 256; raises "Wrong number of colors; must be a
// power of 2" for any other count.
int ColorCountToBits(int count);

// Holds one reference of a shared record; copies share it.
template <class T> class TSharedRef {
public:
    TSharedRef() = default;
    explicit TSharedRef(T* p) : FPtr(p) {
        if (FPtr)
            FPtr->Reference();
    }
    TSharedRef(const TSharedRef& o) : TSharedRef(o.FPtr) {}
    TSharedRef& operator=(const TSharedRef& o) {
        TSharedRef tmp(o);
        std::swap(FPtr, tmp.FPtr);
        return *this;
    }
    ~TSharedRef() { rtl::TSharedImage::Release(FPtr); }
    T* get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    T& operator*() const { return *FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }
    void reset() { *this = TSharedRef(); }

private:
    T* FPtr = nullptr;
};

// The image-level record, shared between copies of an image.
class TGIFData : public rtl::TSharedImage {
public:
    rtl::TStringList Comment;
    std::uint8_t AspectRatio = 0;
    std::uint8_t BitsPerPixel = 0;
    std::uint8_t ColorResolution = 0;
    TGIFColorTable ColorTable;

    static TSharedRef<TGIFData> New() { return TSharedRef<TGIFData>(new TGIFData); }

protected:
    void FreeHandle() override { Comment.Clear(); }
};

// The frame-level record: the frame's encoded raster exactly as read (minimum code size
// byte, then the length-prefixed data sub-blocks and their terminator), its size, the
// descriptor's packed byte, the pixel index width and its colour table.
class TGIFItem : public rtl::TSharedImage {
public:
    std::unique_ptr<rtl::TMemoryStream> Data;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint8_t PackedFields = 0;
    std::uint8_t BitsPerPixel = 0;
    TGIFColorTable ColorTable;

    static TSharedRef<TGIFItem> New() { return TSharedRef<TGIFItem>(new TGIFItem); }
    bool HasData() const { return Data && Data->Size() > 0; }

protected:
    void FreeHandle() override {
        if (Data)
            Data->SetSize(0);
    }
};

// Extension kinds and their labels in the stream.
enum TExtensionKind : std::uint8_t { ekGraphicControl, ekPlainText, ekApplication, ekComment };
inline constexpr std::uint8_t ExtensionLabels[4] = {0xF9, 0x01, 0xFF, 0xFE};
// Bytes of the fixed part after the label, by kind.
inline constexpr int ExtensionFixedSize[4] = {6, 13, 12, 0};

// One extension block: its kind, the fixed part that follows the label (block-size byte
// first) and one string per data sub-block.
class TExtension : public formstream::TPersistent {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    std::uint8_t ExtType = ekComment;
    std::unique_ptr<rtl::TStringList> Data;
    std::array<std::uint8_t, 13> ExtRec{};

    void Assign(formstream::TPersistent* source) override;

    // Graphic-control fields inside the fixed part.
    std::uint8_t GCPacked() const { return ExtRec[1]; }
    void SetGCPacked(std::uint8_t v) { ExtRec[1] = v; }
    std::uint16_t GCDelay() const { return std::uint16_t(ExtRec[2] | ExtRec[3] << 8); }
    void SetGCDelay(std::uint16_t v) {
        ExtRec[2] = std::uint8_t(v);
        ExtRec[3] = std::uint8_t(v >> 8);
    }
    std::uint8_t GCTransparentIndex() const { return ExtRec[4]; }
    void SetGCTransparentIndex(std::uint8_t v) { ExtRec[4] = v; }
};

} // namespace gif
