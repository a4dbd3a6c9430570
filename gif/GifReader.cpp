// Reading GIF streams: the signature and screen descriptor, extension blocks, image
// descriptors with their colour tables, and the encoded rasters, which frames keep as
// they stand until their bitmaps are needed.
#include <algorithm>
#include <cstring>

#include "gif/GifImage.h"
#include "rtl/Exceptions.h"
#include "rtl/ResourceStream.h"
#include "rtl/SysUtils.h"

namespace gif {

using namespace formstream;
using rtl::TMemoryStream;
using rtl::TStream;

namespace {

// A read-only stream over bytes that another stream holds, so that a GIF held in memory is
// parsed where it stands.
class TMemoryView : public rtl::TCustomMemoryStream {
public:
    TMemoryView(std::uint8_t* memory, std::int64_t size) { SetPointer(memory, size); }
    std::size_t Write(const void*, std::size_t) override { return 0; }
};

bool AtEnd(TStream& s) {
    return s.Position() >= s.Size();
}

// The bytes of a chain of data sub-blocks from the stream's position on, length bytes and
// terminator included, up to the last whole block; `cut` tells that a block was cut short.
// The stream's position is left anywhere.
std::int64_t StreamChainSpan(TStream& stream, bool& cut) {
    std::int64_t span = 0;
    while (!AtEnd(stream)) {
        const std::uint8_t len = stream.ReadByte();
        if (stream.Size() - stream.Position() < len) {
            cut = true;
            break;
        }
        stream.Seek(len, rtl::TSeekOrigin::soCurrent);
        span += 1 + len;
        if (len == 0)
            break;
    }
    return span;
}
// The same over the bytes of a memory stream, which stays where it is.
constexpr std::int64_t ChainPrefetch = 8 * 256;
std::int64_t MemoryChainSpan(rtl::TCustomMemoryStream& stream, bool& cut) {
    const std::int64_t start = stream.Position();
    const std::int64_t size = stream.Size();
    const std::uint8_t* const bytes = stream.Memory();
    std::int64_t at = start;
    while (at < size) {
        // Each length byte gives the place of the next: the bytes some blocks of full
        // length ahead are asked for early, so that the walk does not wait for each.
        __builtin_prefetch(bytes + std::min(at + ChainPrefetch, size - 1));
        const std::uint8_t len = bytes[at];
        if (size - at - 1 < len) {
            cut = true;
            break;
        }
        at += 1 + len;
        if (len == 0)
            break;
    }
    return at - start;
}

// The next byte that is not 0, or 0 at the end of the data.
std::uint8_t NextIntroducer(TStream& s) {
    std::uint8_t b = 0;
    while (s.Read(&b, 1) == 1)
        if (b != 0)
            return b;
    return 0;
}

// Data sub-blocks as lines, read tolerantly: the reading stops after a zero length byte
// or at the end of the data; a short last block gives a short line.
std::unique_ptr<rtl::TStringList> ReadSubBlocks(TStream& s) {
    std::unique_ptr<rtl::TStringList> list;
    std::uint8_t len = 0;
    while (s.Read(&len, 1) == 1 && len != 0) {
        std::string line(len, '\0');
        line.resize(s.Read(line.data(), len));
        if (!list)
            list = std::make_unique<rtl::TStringList>();
        list->Add(std::move(line));
    }
    return list;
}

TOwned<TExtension> ReadExtension(TStream& s) {
    const std::uint8_t label = s.ReadByte();
    TOwned<TExtension> ext(new TExtension);
    switch (label) {
    case 0xF9:
        ext->ExtType = ekGraphicControl;
        s.ReadBuffer(ext->ExtRec.data(), 6);
        break;
    case 0xFE:
        ext->ExtType = ekComment;
        ext->Data = ReadSubBlocks(s);
        break;
    case 0x01:
        ext->ExtType = ekPlainText;
        s.ReadBuffer(ext->ExtRec.data(), 13);
        ext->Data = ReadSubBlocks(s);
        break;
    case 0xFF:
        ext->ExtType = ekApplication;
        s.ReadBuffer(ext->ExtRec.data(), 12);
        ext->Data = ReadSubBlocks(s);
        break;
    default:
        throw rtl::EInvalidGraphicOperation(SUnrecognizedGIFExt, label);
    }
    return ext;
}

// An application extension that sets looping ("NETSCAPE2.0" or "ANIMEXTS1.0", first
// data line starting with 1); gives its count.
bool IsLoopExtension(const TExtension& ext, std::uint16_t& count) {
    if (ext.ExtType != ekApplication || !ext.Data || ext.Data->Count() == 0)
        return false;
    const int n = std::min<int>(ext.ExtRec[0], 11);
    auto matches = [&](const char* id) {
        return std::memcmp(ext.ExtRec.data() + 1, id, std::size_t(n)) == 0;
    };
    if (!matches("NETSCAPE2.0") && !matches("ANIMEXTS1.0"))
        return false;
    const std::string& first = (*ext.Data)[0];
    if (first.size() < 3 || std::uint8_t(first[0]) != 1)
        return false;
    count = std::uint16_t(std::uint8_t(first[1]) | std::uint8_t(first[2]) << 8);
    return true;
}

} // namespace

void TGIFFrame::LoadFromStream(TStream& stream) {
    TGIFItem& item = *FImage;
    item.Data = std::make_unique<TMemoryStream>();
    try {
        std::uint8_t d[9];
        stream.ReadBuffer(d, 9);
        const int left = d[0] | d[1] << 8;
        const int top = d[2] | d[3] << 8;
        int width = d[4] | d[5] << 8;
        int height = d[6] | d[7] << 8;
        const std::uint8_t packed = d[8];
        FInterlaced = (packed & 0x40) != 0;
        item.ColorTable.Clear();
        FLocalColors = (packed & 0x80) != 0;
        if (FLocalColors) {
            item.BitsPerPixel = std::uint8_t((packed & 7) + 1);
            item.ColorTable.Count = 1 << item.BitsPerPixel;
            stream.ReadBuffer(item.ColorTable.Colors.data(),
                              std::size_t(item.ColorTable.Count) * 3);
        }
        ReadRasterData(stream, stream.ReadByte());

        if (height == 0)
            height = FOwner ? FOwner->FScreenHeight : 0;
        if (width == 0)
            width = FOwner ? FOwner->FScreenWidth : 0;
        FTopLeft = {left, top};
        item.Width = width;
        item.Height = height;
        item.PackedFields = packed;
        if (!FLocalColors && FOwner)
            item.ColorTable = FOwner->FData->ColorTable;
        ApplyGraphicControls();
    } catch (...) {
        item.Data.reset();
        throw;
    }
}

void TGIFFrame::ReadRasterData(TStream& stream, std::uint8_t minCodeSize) {
    // Copy the sub-blocks as they stand; a block cut short ends the frame's data. The
    // chain is measured first and then copied in one piece; in memory, both where the
    // blocks stand (and the copy is not cleared first).
    const std::int64_t chainStart = stream.Position();
    auto* memory = dynamic_cast<rtl::TCustomMemoryStream*>(&stream);
    const std::int64_t span =
        memory ? MemoryChainSpan(*memory, FCorrupted) : StreamChainSpan(stream, FCorrupted);
    if (FCorrupted && !GIFLoadCorrupted)
        throw rtl::EInvalidGraphicOperation(SGIFStreamReadError);
    TMemoryStream& data = *FImage->Data;
    if (memory) {
        data.WriteBuffer(&minCodeSize, 1);
        data.WriteBuffer(memory->Memory() + chainStart, std::size_t(span));
        stream.SetPosition(chainStart + span);
    } else {
        data.SetSize(span + 1);
        data.Memory()[0] = minCodeSize;
        stream.SetPosition(chainStart);
        stream.ReadBuffer(data.Memory() + 1, std::size_t(span));
    }
    if (FCorrupted)
        stream.Seek(0, rtl::TSeekOrigin::soEnd);
    data.SetPosition(0);
}

void TGIFFrame::ApplyGraphicControls() {
    FAnimateInterval = 0;
    if (!FExtensions)
        return;
    const TGIFColorTable& table = FImage->ColorTable;
    for (const auto& ext : *FExtensions) {
        if (ext->ExtType != ekGraphicControl)
            continue;
        const std::uint8_t gcPacked = ext->GCPacked();
        if (gcPacked & 1) {
            const int index = ext->GCTransparentIndex();
            if (index < table.Count)
                FTransparentColor = ColorOf(table.Colors[std::size_t(index)]);
        } else {
            FTransparentColor = clNone;
        }
        FAnimateInterval =
            std::max<std::uint16_t>(FAnimateInterval, std::uint16_t(ext->GCDelay() * 10));
        FDisposalMethod = TDisposalMethod((gcPacked >> 2) & 7);
    }
}

void TGIFImage::ReadSignature(TStream& stream) {
    char sig[3] = {};
    const std::size_t n = stream.Read(sig, 3);
    if (!rtl::SameText(std::string_view(sig, n), "GIF"))
        throw rtl::EInvalidGraphicOperation(SUnknownGIFVersion);
    char ver[3] = {};
    const std::size_t m = stream.Read(ver, 3);
    for (TGIFVersion v : {gvUnknown, gv87a, gv89a})
        if (rtl::SameText(std::string_view(ver, m), GIFVersionName(v))) {
            FVersion = v;
            break;
        }
    if (FVersion == gvUnknown)
        throw rtl::EInvalidGraphicOperation(SUnknownGIFVersion);
}

void TGIFImage::ReadStream(std::int32_t size, TStream& source, bool decodeFirstFrame) {
    Reset();
    if (size < 0)
        throw rtl::EReadError(rtl::SReadError);
    if (size > 0) {
        if (source.Size() - source.Position() < size)
            throw rtl::EReadError(rtl::SReadError);
        // The bytes are parsed where they stand when the source holds them in memory,
        // else from a copy.
        TMemoryStream copy;
        std::unique_ptr<TMemoryView> view;
        rtl::TCustomMemoryStream* data = &copy;
        if (auto* memory = dynamic_cast<rtl::TCustomMemoryStream*>(&source)) {
            view = std::make_unique<TMemoryView>(memory->Memory() + source.Position(), size);
            data = view.get();
            source.Seek(size, rtl::TSeekOrigin::soCurrent);
        } else {
            copy.SetSize(size);
            source.ReadBuffer(copy.Memory(), std::size_t(size));
            copy.SetPosition(0);
        }
        ReadSignature(*data);
        ReadScreen(*data);
        ReadBlocks(*data);
    }
    if (!FFrames.empty()) {
        FFrameIndex = 0;
        if (decodeFirstFrame)
            DecodeFirstFrame();
    }
    SetPaletteModified(true);
    Changed(this);
}

void TGIFImage::ReadScreen(TStream& data) {
    std::uint8_t screen[7] = {};
    data.Read(screen, 7);
    FScreenWidth = std::uint16_t(screen[0] | screen[1] << 8);
    FScreenHeight = std::uint16_t(screen[2] | screen[3] << 8);
    const std::uint8_t packed = screen[4];
    FData->AspectRatio = screen[6];
    FData->BitsPerPixel = std::uint8_t((packed & 7) + 1);
    FData->ColorResolution = std::uint8_t(((packed & 0x70) >> 4) + 1);
    if (packed & 0x80) {
        TGIFColorTable& table = FData->ColorTable;
        table.Count = 1 << FData->BitsPerPixel;
        data.Read(table.Colors.data(), std::size_t(table.Count) * 3);
        if (screen[5] < table.Count)
            FBackgroundColor = ColorOf(table.Colors[screen[5]]);
    }
}

void TGIFImage::ReadBlocks(TStream& data) {
    std::uint8_t intro = NextIntroducer(data);
    while (intro != 0 && intro != ';' && !AtEnd(data)) {
        std::unique_ptr<TExtensionList> list;
        intro = ReadExtensions(data, intro, list);
        if (intro == ',') {
            TOwned<TGIFFrame> frame(new TGIFFrame(this));
            if (FData->ColorTable.Count > 0)
                frame->FImage->BitsPerPixel =
                    std::uint8_t(ColorCountToBits(FData->ColorTable.Count));
            frame->FExtensions = std::move(list);
            frame->LoadFromStream(data);
            FFrames.push_back(std::move(frame));
            intro = AtEnd(data) ? std::uint8_t(';') : NextIntroducer(data);
            if (intro != '!' && intro != ',' && intro != ';')
                intro = 0;
        } else if (FData->Comment.Count() == 0 && list) {
            TakeComments(*list);
        } else if (intro != 0 && intro != ';') {
            throw rtl::EInvalidGraphicOperation(SGIFStreamReadError);
        }
    }
}

// Reads the extensions from `intro` on into `list` (the looping extension sets the repeat
// count instead, a plain-text extension drops those before it); returns the introducer
// behind them.
std::uint8_t TGIFImage::ReadExtensions(TStream& data, std::uint8_t intro,
                                       std::unique_ptr<TExtensionList>& list) {
    while (intro == '!') {
        TOwned<TExtension> ext = ReadExtension(data);
        if (ext->ExtType == ekPlainText && list)
            list->clear();
        if (ext->ExtType == ekPlainText || ext->ExtType == ekApplication) {
            std::uint16_t count = 0;
            if (IsLoopExtension(*ext, count)) {
                FLooping = true;
                FRepeatCount = std::min<std::uint16_t>(count, 30000);
            }
        } else {
            if (!list)
                list = std::make_unique<TExtensionList>();
            list->push_back(std::move(ext));
        }
        intro = AtEnd(data) ? std::uint8_t(';') : NextIntroducer(data);
    }
    return intro;
}

void TGIFImage::TakeComments(const TExtensionList& list) {
    for (const auto& ext : list) {
        if (ext->ExtType != ekComment || !ext->Data)
            continue;
        if (FData->Comment.Count() > 0)
            FData->Comment.Add("\r\n\r\n");
        FData->Comment.AddStrings(*ext->Data);
    }
}

// A first frame that cannot be decoded is removed.
void TGIFImage::DecodeFirstFrame() {
    try {
        FFrames[0]->GetBitmap();
    } catch (...) {
        FFrames.erase(FFrames.begin());
        if (FFrames.empty())
            FFrameIndex = -1;
        throw;
    }
}

void TGIFImage::LoadFromStream(TStream& stream) {
    const std::int64_t left = stream.Size() - stream.Position();
    if (left > 0x7FFFFFFF)
        throw rtl::EReadError(rtl::SReadError);
    ReadStream(std::int32_t(std::max<std::int64_t>(left, 0)), stream, true);
}

void TGIFImage::LoadFromResourceName(HINSTANCE instance, const std::string& name, LPCSTR resType) {
    rtl::TResourceStream stream(instance, name, resType);
    LoadFromStream(stream);
}

void TGIFImage::LoadFromResourceID(HINSTANCE instance, int resId, LPCSTR resType) {
    rtl::TResourceStream stream(instance, resId, resType);
    LoadFromStream(stream);
}

void TGIFImage::ReadData(TStream& stream) {
    std::int32_t size;
    stream.ReadBuffer(&size, 4);
    ReadStream(size, stream, true);
}

} // namespace gif
