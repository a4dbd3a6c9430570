// Writing GIF streams: frame preparation (encoding bitmaps, extension upkeep) and the
// block layout of the stream.
#include <algorithm>
#include <cstring>

#include "gif/ColorReduction.h"
#include "gif/GifImage.h"
#include "graphics/BmpHeaders.h"
#include "rtl/Exceptions.h"

namespace gif {

using namespace formstream;
using graphics::TBitmap;
using rtl::TMemoryStream;
using rtl::TStream;

namespace {

void WriteWord(TStream& s, int v) {
    s.WriteWord(std::uint16_t(v));
}

// Lines as data sub-blocks: each non-empty line cut to 255 bytes, then the terminator.
void WriteLines(TStream& s, const rtl::TStringList* lines) {
    if (lines)
        for (const std::string& line : *lines) {
            const std::size_t n = std::min<std::size_t>(line.size(), 255);
            if (n > 0) {
                s.WriteByte(std::uint8_t(n));
                s.WriteBuffer(line.data(), n);
            }
        }
    s.WriteByte(0);
}

int BitsFor(int count) {
    int b = 1;
    while ((1 << b) < count && b < 8)
        ++b;
    return b;
}

} // namespace

// ---------------------------------------------------------------- frames

void TGIFFrame::EncodeRasterData() {
    if (!FBitmap || FBitmap->Empty())
        throw rtl::EInvalidGraphicOperation(SNoGIFData);
    TMemoryStream stream;
    const graphics::TPixelFormat format = graphics::GetBitmapPixelFormat(FBitmap.get());
    if (format == graphics::pf1bit || format == graphics::pf4bit || format == graphics::pf8bit) {
        FBitmap->SaveToStream(stream);
    } else {
        const TMappingMethod method = FGrayscale ? mmGrayscale : DefaultMappingMethod;
        BitmapToMemoryStream(FBitmap.get(), stream, method);
        if (method == mmGrayscale)
            FGrayscale = true;
        if (stream.Size() == 0)
            FBitmap->SaveToStream(stream);
    }
    EncodeBitmapStream(stream);
}

namespace {

// What the encoder needs of a 1-, 4- or 8-bit bitmap file image, checked against its size.
struct TIndexBitmap {
    std::int32_t Width = 0;
    std::int64_t Height = 0;
    bool TopDown = false;
    int Depth = 0;
    int Colors = 0;
    std::int64_t Stride = 0;
    std::int64_t PaletteStart = 0;
    std::uint32_t Offset = 0; // of the pixels
};

TIndexBitmap ParseIndexBitmap(const std::uint8_t* b, std::int64_t size) {
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER infoHeader;
    if (!graphics::ParseBmpHeaders(b, std::size_t(size), fileHeader, infoHeader))
        throw rtl::EInvalidGraphicOperation(SGIFEncodeError);
    TIndexBitmap bmp;
    bmp.Width = infoHeader.biWidth;
    bmp.TopDown = infoHeader.biHeight < 0;
    bmp.Height = bmp.TopDown ? -std::int64_t(infoHeader.biHeight) : infoHeader.biHeight;
    bmp.Depth = infoHeader.biBitCount;
    if (bmp.Depth != 1 && bmp.Depth != 4 && bmp.Depth != 8)
        throw rtl::EInvalidGraphicOperation(SGIFEncodeError);
    bmp.Colors = 1 << bmp.Depth;
    bmp.Offset = fileHeader.bfOffBits;
    bmp.Stride = ((std::int64_t(std::max(bmp.Width, 0)) * bmp.Depth + 31) / 32) * 4;
    bmp.PaletteStart = graphics::BmpFileHeaderSize + std::int64_t(infoHeader.biSize);
    if (bmp.Width < 0 || infoHeader.biSize < 40 || bmp.Offset > size ||
        bmp.Stride * bmp.Height > size - bmp.Offset)
        throw rtl::EInvalidGraphicOperation(SGIFEncodeError);
    return bmp;
}

// The bitmap's colour table; a short palette leaves the missing entries black.
void ReadIndexPalette(const std::uint8_t* b, const TIndexBitmap& bmp, TGIFColorTable& table) {
    table.Clear();
    table.Count = bmp.Colors;
    for (int i = 0; i < table.Count; ++i) {
        const std::int64_t at = bmp.PaletteStart + std::int64_t(sizeof(RGBQUAD)) * i;
        if (at + std::int64_t(sizeof(RGBQUAD)) > std::int64_t(bmp.Offset))
            break;
        table.Colors[std::size_t(i)] = {b[at + 2], b[at + 1], b[at]};
    }
}

} // namespace

void TGIFFrame::EncodeBitmapStream(TMemoryStream& stream) {
    stream.SetPosition(0);
    const std::uint8_t* b = stream.Memory();
    const TIndexBitmap bmp = ParseIndexBitmap(b, stream.Size());
    const std::int32_t width = bmp.Width;
    const std::int64_t height = bmp.Height;
    const std::int64_t stride = bmp.Stride;
    FInterlaced = false;
    TGIFItem& item = *FImage;
    ReadIndexPalette(b, bmp, item.ColorTable);

    if (!item.Data)
        item.Data = std::make_unique<TMemoryStream>();
    item.Data->SetSize(0);
    item.Data->SetPosition(0);
    const std::uint8_t* pixels = b + bmp.Offset;
    const std::uint8_t* top = bmp.TopDown ? pixels : pixels + (height - 1) * stride;
    const std::ptrdiff_t step = bmp.TopDown ? stride : -stride;
    try {
        EncodeRaster(*item.Data, width, std::int32_t(height), bmp.Depth, false,
                     height > 0 ? top : pixels, step, ProgressProc());
    } catch (const rtl::EAbort&) {
        NewImage();
        throw;
    }
    item.Data->SetPosition(0);
    item.BitsPerPixel = std::uint8_t(BitsFor(item.ColorTable.Count));

    if (FOwner) {
        if (FOwner->GetGlobalColorCount() > 0) {
            FLocalColors = true;
        } else {
            FOwner->UniqueImage();
            FOwner->FData->ColorTable = item.ColorTable;
            FOwner->FData->BitsPerPixel = item.BitsPerPixel;
            FLocalColors = false;
        }
    } else {
        FLocalColors = true;
    }
    item.Width = width;
    item.Height = std::int32_t(height);
    if (FOwner) {
        FOwner->FScreenWidth =
            std::uint16_t(std::max<int>(FOwner->FScreenWidth, width + FTopLeft.X));
        FOwner->FScreenHeight =
            std::uint16_t(std::max<int>(FOwner->FScreenHeight, int(height) + FTopLeft.Y));
    }
}

void TGIFFrame::UpdateExtensions() {
    TExtension* gce = nullptr;
    if (FExtensions)
        for (auto it = FExtensions->rbegin(); it != FExtensions->rend(); ++it)
            if ((*it)->ExtType == ekGraphicControl) {
                gce = it->get();
                break;
            }
    if (!gce &&
        (FAnimateInterval > 0 || FTransparentColor != clNone || FDisposalMethod != dmUndefined)) {
        if (!FExtensions)
            FExtensions = std::make_unique<TExtensionList>();
        TOwned<TExtension> ext(new TExtension);
        ext->ExtType = ekGraphicControl;
        ext->ExtRec[0] = 4;
        gce = ext.get();
        FExtensions->push_back(std::move(ext));
    }
    if (gce) {
        gce->SetGCDelay(std::uint16_t(FAnimateInterval / 10));
        std::uint8_t packed = gce->GCPacked();
        const int index = FindColorIndex(FImage->ColorTable, FTransparentColor);
        if (index >= 0) {
            gce->SetGCTransparentIndex(std::uint8_t(index));
            packed |= 1;
        } else {
            packed &= std::uint8_t(~1);
        }
        packed = std::uint8_t((packed & ~0x1C) | (FDisposalMethod & 7) << 2);
        gce->SetGCPacked(packed);
    }
    if (FExtensions) {
        for (std::size_t i = FExtensions->size(); i-- > 0;) {
            const TExtension& ext = *(*FExtensions)[i];
            if (ext.ExtType == ekComment && (!ext.Data || ext.Data->Count() == 0))
                FExtensions->erase(FExtensions->begin() + std::ptrdiff_t(i));
        }
        if (!FExtensions->empty() && FOwner)
            FOwner->FVersion = gv89a;
    }
}

void TGIFFrame::WriteExtensions(TStream& stream) {
    if (!FExtensions)
        return;
    for (const auto& ext : *FExtensions) {
        const int kind = ext->ExtType & 3;
        stream.WriteByte(0x21);
        stream.WriteByte(ExtensionLabels[kind]);
        switch (kind) {
        case ekGraphicControl:
            stream.WriteBuffer(ext->ExtRec.data(), 6);
            break;
        case ekPlainText:
            stream.WriteBuffer(ext->ExtRec.data(), 13);
            WriteLines(stream, ext->Data.get());
            break;
        case ekApplication:
            stream.WriteBuffer(ext->ExtRec.data(), 12);
            WriteLines(stream, ext->Data.get());
            break;
        default:
            WriteLines(stream, ext->Data.get());
            break;
        }
    }
}

void TGIFFrame::WriteImageDescriptor(TStream& stream) {
    std::uint8_t packed = 0;
    if (FLocalColors) {
        FImage->BitsPerPixel = std::uint8_t(BitsFor(FImage->ColorTable.Count));
        packed = std::uint8_t(0x80 + FImage->BitsPerPixel - 1);
    }
    if (FInterlaced)
        packed |= 0x40;
    WriteWord(stream, FTopLeft.X);
    WriteWord(stream, FTopLeft.Y);
    WriteWord(stream, FImage->Width);
    WriteWord(stream, FImage->Height);
    stream.WriteByte(packed);
}

void TGIFFrame::WriteLocalColorMap(TStream& stream) {
    // As many entries as the descriptor announces (the table is zero beyond its count).
    if (FLocalColors)
        stream.WriteBuffer(FImage->ColorTable.Colors.data(),
                           std::size_t(3) << BitsFor(FImage->ColorTable.Count));
}

void TGIFFrame::WriteRasterData(TStream& stream) {
    if (FImage->Data && FImage->Data->Size() > 0)
        stream.WriteBuffer(FImage->Data->Memory(), std::size_t(FImage->Data->Size()));
}

// ---------------------------------------------------------------- images

void TGIFImage::EncodeFrames(bool decodeAfter) {
    for (auto& frame : FFrames) {
        if (!frame->FImage->HasData()) {
            frame->FImage->Data.reset();
            frame->EncodeRasterData();
            if (decodeAfter && frame->FBitmap && !frame->FBitmap->GetPalette()) {
                frame->FBitmap.reset();
                try {
                    frame->GetBitmap();
                } catch (const rtl::EAbort&) {
                }
            }
        }
        frame->UpdateExtensions();
    }
}

void TGIFImage::WriteStream(TStream& stream, bool withLength) {
    if (FFrames.empty())
        throw rtl::EInvalidGraphicOperation(SNoGIFData);
    EncodeFrames(false);

    TMemoryStream out;
    if (FData->Comment.Count() > 0)
        FVersion = gv89a;
    const std::string_view version = GIFVersionName(FVersion);
    out.WriteBuffer("GIF", 3);
    out.WriteBuffer(version.data(), version.size());

    UpdateScreenSize();
    const TGIFColorTable& table = FData->ColorTable;
    std::uint8_t packed = 0;
    std::uint8_t background = 0;
    if (table.Count > 0) {
        const int bits = ColorCountToBits(table.Count);
        packed = std::uint8_t(0x80 + ((bits - 1) << 4) + ((FData->BitsPerPixel - 1) & 7));
        if (FBackgroundColor != clNone)
            background = std::uint8_t(std::max(FindColorIndex(table, FBackgroundColor), 0));
    }
    WriteWord(out, FScreenWidth);
    WriteWord(out, FScreenHeight);
    out.WriteByte(packed);
    out.WriteByte(background);
    out.WriteByte(FData->AspectRatio);
    if (table.Count > 0)
        out.WriteBuffer(table.Colors.data(), std::size_t(table.Count) * 3);

    if (FLooping && FFrames.size() > 1) {
        static constexpr std::uint8_t head[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',
                                                'C',  'A',  'P',  'E', '2', '.', '0'};
        out.WriteBuffer(head, sizeof head);
        const std::uint8_t loop[] = {0x03, 0x01, std::uint8_t(FRepeatCount),
                                     std::uint8_t(FRepeatCount >> 8), 0x00};
        out.WriteBuffer(loop, sizeof loop);
    }
    for (auto& frame : FFrames) {
        frame->WriteExtensions(out);
        out.WriteByte(',');
        frame->WriteImageDescriptor(out);
        frame->WriteLocalColorMap(out);
        frame->WriteRasterData(out);
    }
    if (FData->Comment.Count() > 0) {
        out.WriteByte(0x21);
        out.WriteByte(0xFE);
        WriteLines(out, &FData->Comment);
    }
    out.WriteByte(';');

    if (withLength)
        stream.WriteDWord(std::uint32_t(out.Size()));
    stream.WriteBuffer(out.Memory(), std::size_t(out.Size()));
}

} // namespace gif
