// LZW decoding of GIF rasters straight into the 32-bit pixels of a device bitmap.
//
// No index is stored anywhere: every code's string is written as colours, copied from an
// earlier place where the same colours stand. A literal's colour stands in a small table
// of the palette's colours; an entry that the table gains (the previous string followed
// by the first pixel of the current one) stands exactly where the previous string was
// written, with the current string's first pixel behind it. So each entry is a pointer
// and a length, and each code is one copy of its whole string.
//
// The rows are those of a bottom-up bitmap, de-interlaced as they are written, so that a
// string which crosses the end of a row goes on somewhere else. Strings that stay inside
// their row with room to spare take the fast path: the copy goes in 16-byte pieces that
// may write (and read) a few pixels beyond the string, never beyond the row. The others
// are put together first and written piece by piece across the rows; an entry whose
// string did not end up in one place keeps no pointer and is decoded by the classic walk
// of prefix codes and last pixels, as are the entries that follow damaged codes. The
// pixels are therefore those of the walk in every case, and those of the 8-bit decoder
// (which makes the same choices) looked up in the palette.
#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/GifTypes.h"
#include "gif/LzwCodeReader.h"
#include "gif/RasterRows.h"
#include "graphics/Bitmap.h"
#include "rtl/Exceptions.h"

namespace gif {

namespace {

using TPixel = std::uint32_t;

constexpr int MaxCodes = 4096;
constexpr int MaxLiterals = 512;    // codes below the clear code of a minimum code size of 9
constexpr std::ptrdiff_t Piece = 4; // pixels per 16-byte copy
// An entry: where a copy of its string stands (bits 0 to 47) and its length (bits 48 to
// 63); 0 when it has no copy. Links: prefix code | Dirty | last index << 16 | first index
// << 24. A dirty entry's walk runs through links that later entries may change (its
// prefix was a damaged code), so it never gets a copy, nor does any entry behind it.
constexpr int LengthShift = 48;
constexpr std::uint32_t PrefixMask = 0xFFF;
constexpr std::uint32_t Dirty = 0x8000;
constexpr std::uint64_t PointerMask = (std::uint64_t(1) << LengthShift) - 1;
// The code field of the state when the staged bytes ran out before the next code.
constexpr int NeedCode = -2;

struct TTables {
    std::uint64_t Entries[MaxCodes + 1];
    std::uint32_t Links[MaxCodes + 1];
    TPixel Literals[MaxLiterals + Piece];
    TPixel String[MaxCodes + 2 + Piece]; // a string put together before it is written
    std::uint8_t Stack[MaxCodes + 2];
};

// Copies of strings that were written across the end of a row, each with room for one
// pixel more, so that the entries made from them have a copy too; emptied at clear codes.
constexpr std::size_t PoolPixels = std::size_t(1) << 16;

inline std::uint64_t EntryOf(const TPixel* at, std::ptrdiff_t length) {
    return std::uint64_t(reinterpret_cast<std::uintptr_t>(at)) | std::uint64_t(length)
                                                                     << LengthShift;
}

// Copies `len` pixels in pieces of four; up to three pixels behind the string may be
// written, and read behind the source. `dst` lies at least `len` pixels behind `src`.
[[gnu::always_inline]] inline void CopyPixels(TPixel* dst, const TPixel* src, std::ptrdiff_t len) {
    for (std::ptrdiff_t i = 0; i < len; i += Piece) {
        unsigned char v[16];
        std::memcpy(v, src + i, 16);
        std::memcpy(dst + i, v, 16);
    }
}

// The decoder's state that the fast loop keeps in registers.
struct TState {
    std::uint64_t Bits = 0; // the next Count bits of the data, first bit lowest
    int Count = 0;
    const std::uint8_t* Cur = nullptr;
    const std::uint8_t* SafeEnd = nullptr;
    int Code = 0; // the code to decode next, -1 when the data hold no more
    int CodeSize = 0;
    std::uint32_t Mask = 0;
    int FreeCode = 0;
    TPixel* Dst = nullptr;     // where the next string goes
    TPixel* RowEnd = nullptr;  // the end of its row
    TPixel* FastEnd = nullptr; // strings ending here or before take the fast path
    std::uint64_t Base = 0;    // the entry the next code adds
    std::uint32_t Link = 0;    // the link it adds but for its last index: old code | first << 24
};

// The fast path: codes whose string the table holds as a copy and that fit their row.
[[gnu::always_inline]] inline void RunFast(TState& s, std::uint64_t* entry, std::uint32_t* links) {
    std::uint64_t bits = s.Bits;
    int count = s.Count;
    const std::uint8_t* cur = s.Cur;
    const std::uint8_t* const safeEnd = s.SafeEnd;
    int code = s.Code;
    int codeSize = s.CodeSize;
    std::uint32_t mask = s.Mask;
    int freeCode = s.FreeCode;
    TPixel* dst = s.Dst;
    TPixel* const fastEnd = s.FastEnd;
    std::uint64_t base = s.Base;
    std::uint32_t link = s.Link;
    for (;;) {
        if (unsigned(code) >= unsigned(freeCode))
            break;
        const std::uint64_t v = entry[code];
        const std::ptrdiff_t len = std::ptrdiff_t(v >> LengthShift);
        if (len == 0 || len > fastEnd - dst)
            break;
        const std::uint32_t first = links[code] >> 24;
        CopyPixels(dst, reinterpret_cast<const TPixel*>(v & PointerMask), len);
        entry[freeCode] = base;
        links[freeCode] = link | first << 16;
        // A full table takes no more entries; they then land in the spare last one.
        if (freeCode < MaxCodes && ++freeCode > int(mask) && codeSize < 12) {
            ++codeSize;
            mask = (mask << 1) | 1;
        }
        base = EntryOf(dst, len + 1);
        link = std::uint32_t(code) | first << 24;
        dst += len;
        if (count < codeSize) {
            if (cur >= safeEnd) {
                code = NeedCode;
                break;
            }
            std::uint64_t w;
            std::memcpy(&w, cur, 8);
            bits |= w << count;
            cur += (63 - count) >> 3;
            count |= 56;
        }
        code = int(bits & mask);
        bits >>= codeSize;
        count -= codeSize;
    }
    s.Bits = bits;
    s.Count = count;
    s.Cur = cur;
    s.Code = code;
    s.CodeSize = codeSize;
    s.Mask = mask;
    s.FreeCode = freeCode;
    s.Dst = dst;
    s.Base = base;
    s.Link = link;
}

class TDeviceDecoder {
public:
    TDeviceDecoder(const std::uint8_t* data, std::size_t size, const TDecodeParams& prm,
                   const std::uint32_t* colors, TPixel* pixels)
        : FPrm(prm), FReader(data + 1, size - 1, prm.Progress), FPixels(pixels),
          FWidth(std::max(prm.Width, 0)), FHeight(std::max(prm.Height, 0)), FColors(colors),
          FTables(std::make_unique<TTables>()) {
        SetMinimumCodeSize(data[0]);
        InitTables();
        FState.Cur = FReader.Cur;
        FState.SafeEnd = FReader.SafeEnd;
        ResetCodes();
        FDone = FWidth == 0 || FHeight == 0;
        if (!FDone)
            EnterRow(0);
    }

    bool Run() {
        FState.Code = ReadCode();
        for (;;) {
            if (!FFresh && !FSlot)
                RunFast(FState, FTables->Entries, FTables->Links);
            if (!Step())
                break;
        }
        Finish();
        return FCorrupted;
    }

private:
    void SetMinimumCodeSize(int minSize) {
        if (minSize < 2 || minSize > 9) {
            if (!FPrm.Tolerant)
                throw rtl::EInvalidGraphicOperation(SBadGIFCodeSize);
            // After a clamped minimum code size only clear codes are still decoded, and
            // the literal behind each of them.
            FCorrupted = true;
            FStopAtString = true;
            minSize = std::clamp(minSize, 2, 9);
        }
        FMinSize = minSize;
        FClearCode = 1 << minSize;
        FPixelMask = std::uint8_t((1 << FPrm.PixelBits) - 1);
        FFresh = !FStopAtString;
    }

    void InitTables() {
        TTables& t = *FTables;
        std::memset(t.Entries, 0, sizeof t.Entries);
        std::memset(t.Links, 0, sizeof t.Links);
        for (int i = 0; i < MaxLiterals + Piece; ++i)
            t.Literals[i] = FColors[i & FPixelMask];
        // Literals copy from their colour; without a known literal length (after a
        // clamped code size) they have none and stop the decoding.
        for (int i = 0; i < FClearCode; ++i) {
            t.Links[i] = std::uint32_t(i) | std::uint32_t(i & FPixelMask) << 24;
            if (!FStopAtString)
                t.Entries[i] = EntryOf(&t.Literals[i], 1);
        }
    }

    void ResetCodes() {
        FState.CodeSize = FMinSize + 1;
        FState.Mask = (1u << FState.CodeSize) - 1;
        FState.FreeCode = FClearCode + 2;
    }

    // Makes image row y the one being written.
    void EnterRow(int y) {
        FY = y;
        TPixel* row = FPixels + std::size_t(FHeight - 1 - y) * std::size_t(FWidth);
        FState.Dst = row;
        FState.RowEnd = row + FWidth;
        FState.FastEnd = FState.RowEnd - std::min<std::ptrdiff_t>(Piece, FWidth);
    }
    // Moves on to the next row; false when every row is written.
    bool NextRow() {
        if (++FRowsDone >= FHeight) {
            FDone = true;
            return false;
        }
        EnterRow(FPrm.Interlaced ? NextInterlacedRow(FY, FHeight, FPass) : FY + 1);
        return true;
    }

    // The next code from the reader, -1 when the data hold no more bits.
    int ReadCode() {
        TState& s = FState;
        if (s.Count < s.CodeSize) {
            FReader.Bits = s.Bits;
            FReader.Count = s.Count;
            FReader.Cur = s.Cur;
            FReader.Refill();
            s.Bits = FReader.Bits;
            s.Count = FReader.Count;
            s.Cur = FReader.Cur;
            s.SafeEnd = FReader.SafeEnd;
            if (s.Count < s.CodeSize)
                return -1;
        }
        const int code = int(s.Bits & s.Mask);
        s.Bits >>= s.CodeSize;
        s.Count -= s.CodeSize;
        return code;
    }

    // Handles what the fast path leaves: false when decoding ends.
    bool Step() {
        TState& s = FState;
        if (s.Code == NeedCode) {
            s.Code = ReadCode();
            return true;
        }
        if (s.Code < 0) {
            FOutOfData = true;
            return false;
        }
        if (FDone)
            return false;
        if (s.Code == FClearCode) {
            ResetCodes();
            FFresh = true;
            FSlot = nullptr;
            FPoolUsed = 0;
            s.Code = ReadCode();
            return true;
        }
        if (s.Code == FClearCode + 1)
            return false;
        if (FFresh) {
            PutLiteral();
        } else {
            if (FStopAtString || !PutString())
                return false;
        }
        s.Code = ReadCode();
        return true;
    }

    // A literal (the first code, or the one after a clear code), whatever its value;
    // damaged values beyond the literals are masked to a pixel and leave no copy.
    void PutLiteral() {
        TState& s = FState;
        FFresh = false;
        const std::uint8_t index = std::uint8_t(s.Code & FPixelMask);
        FTables->String[0] = FColors[index];
        const bool clean = s.Code < FClearCode && !FStopAtString;
        Emit(FTables->String, 1, clean);
        s.Link = std::uint32_t(s.Code) | (clean ? 0 : Dirty) | std::uint32_t(index) << 24;
    }

    // Any other code's string; false when a damaged chain stops the decoding.
    bool PutString() {
        TState& s = FState;
        TTables& t = *FTables;
        const int code = s.Code;
        std::ptrdiff_t len;
        std::uint8_t first;
        bool clean;
        if (code < s.FreeCode && t.Entries[code] != 0) {
            const std::uint64_t v = t.Entries[code];
            len = std::ptrdiff_t(v >> LengthShift);
            std::memcpy(t.String, reinterpret_cast<const TPixel*>(v & PointerMask),
                        std::size_t(len) * sizeof(TPixel));
            first = std::uint8_t(t.Links[code] >> 24);
            clean = true;
        } else if (code >= s.FreeCode && s.Base != 0) {
            // Not yet defined: the previous string and its own first pixel.
            const std::ptrdiff_t oldLen = std::ptrdiff_t(s.Base >> LengthShift) - 1;
            const TPixel* prev = reinterpret_cast<const TPixel*>(s.Base & PointerMask);
            std::memcpy(t.String, prev, std::size_t(oldLen) * sizeof(TPixel));
            t.String[oldLen] = prev[0];
            len = oldLen + 1;
            first = std::uint8_t(s.Link >> 24);
            clean = code == s.FreeCode;
        } else {
            len = Walk(code, first);
            if (len == 0)
                return false;
            clean = code < s.FreeCode ? (t.Links[code] & Dirty) == 0
                                      : code == s.FreeCode && (s.Link & Dirty) == 0;
        }
        if (FSlot) {
            // The previous string's pooled copy gets this string's first pixel.
            *FSlot = FColors[first];
            FSlot = nullptr;
        }
        t.Entries[s.FreeCode] = s.Base;
        t.Links[s.FreeCode] = s.Link | std::uint32_t(first) << 16;
        if (s.FreeCode < MaxCodes && ++s.FreeCode > int(s.Mask) && s.CodeSize < 12) {
            ++s.CodeSize;
            s.Mask = (s.Mask << 1) | 1;
        }
        Emit(t.String, len, clean);
        s.Link = std::uint32_t(code) | (clean ? 0 : Dirty) | std::uint32_t(first) << 24;
        return true;
    }

    // The table walk, for strings that have no copy: puts the string's colours together
    // and returns its length, or 0 when the chain is longer than any string can be.
    std::ptrdiff_t Walk(int code, std::uint8_t& first) {
        const TState& s = FState;
        TTables& t = *FTables;
        const int lastLiteral = FClearCode - 1;
        int walk = code;
        int sp = 0;
        if (walk >= s.FreeCode) {
            // The previous string's first pixel (0 before the first string).
            walk = int(s.Link & PrefixMask);
            t.Stack[sp++] = std::uint8_t(s.Link >> 24);
        }
        while (walk > lastLiteral) {
            if (sp > MaxCodes) {
                if (!FPrm.Tolerant)
                    throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
                FCorrupted = true;
                return 0;
            }
            t.Stack[sp++] = std::uint8_t(t.Links[walk] >> 16);
            walk = int(t.Links[walk] & PrefixMask);
        }
        first = std::uint8_t(walk & FPixelMask);
        t.Stack[sp++] = first;
        for (int i = 0; i < sp; ++i)
            t.String[i] = FColors[t.Stack[sp - 1 - i]];
        return sp;
    }

    // Writes a string across as many rows as it needs (what goes beyond the last row is
    // dropped). The entry the next code adds is this string with one pixel more: when the
    // string is clean, its copy is where the string stands in its row if there is room
    // behind it, else a copy in the pool, whose last pixel the next code puts in.
    void Emit(const TPixel* string, std::ptrdiff_t len, bool clean) {
        TState& s = FState;
        TPixel* const start = s.Dst;
        TPixel* const fastEnd = s.FastEnd;
        const TPixel* from = string;
        std::ptrdiff_t left = len;
        bool oneRow = true;
        while (left > 0 && !FDone) {
            const std::ptrdiff_t n = std::min(left, s.RowEnd - s.Dst);
            std::memcpy(s.Dst, from, std::size_t(n) * sizeof(TPixel));
            s.Dst += n;
            from += n;
            left -= n;
            if (s.Dst == s.RowEnd) {
                oneRow = false;
                NextRow();
            }
        }
        if (!clean) {
            s.Base = 0;
        } else if (oneRow && len + 1 <= fastEnd - start) {
            s.Base = EntryOf(start, len + 1);
        } else if (std::size_t(len) + 1 + Piece <= PoolPixels - FPoolUsed) {
            if (!FPool)
                FPool.reset(new TPixel[PoolPixels]);
            TPixel* const copy = FPool.get() + FPoolUsed;
            std::memcpy(copy, string, std::size_t(len) * sizeof(TPixel));
            FPoolUsed += std::size_t(len) + 1;
            FSlot = copy + len;
            s.Base = EntryOf(copy, len + 1);
        } else {
            s.Base = 0;
        }
    }

    void Finish() {
        if (FOutOfData && FReader.Broken())
            throw rtl::EReadError(rtl::SReadError);
        if (FOutOfData && !FDone) {
            if (!FPrm.Tolerant)
                throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
            FCorrupted = true;
        }
        // Pixels never written have index 0.
        if (FDone)
            return;
        do
            std::fill(FState.Dst, FState.RowEnd, FColors[0]);
        while (NextRow());
    }

    const TDecodeParams& FPrm;
    TCodeReader FReader;
    TPixel* const FPixels;
    const int FWidth;
    const int FHeight;
    const std::uint32_t* const FColors;
    std::unique_ptr<TTables> FTables;
    TState FState;
    std::unique_ptr<TPixel[]> FPool;
    std::size_t FPoolUsed = 0;
    TPixel* FSlot = nullptr; // the pooled copy's last pixel, until the next code puts it in
    int FMinSize = 2;
    int FClearCode = 4;
    std::uint8_t FPixelMask = 0xFF;
    bool FCorrupted = false;
    bool FStopAtString = false;
    bool FFresh = true;
    bool FOutOfData = false;
    bool FDone = false;
    int FY = 0;
    int FPass = 0;
    int FRowsDone = 0;
};

} // namespace

bool DecodeDeviceRaster(const std::uint8_t* data, std::size_t size, const TDecodeParams& params,
                        const std::uint32_t* colors, std::uint32_t* pixels) {
    return WithDecodeProgress(params.Progress, [&] {
        if (size < 1)
            throw rtl::EReadError(rtl::SReadError);
        TDeviceDecoder decoder(data, size, params, colors, pixels);
        return decoder.Run();
    });
}

bool FrameIsMonochrome(const TGIFItem& item) {
    const TGIFColorTable& t = item.ColorTable;
    return item.BitsPerPixel == 1 && t.Count >= 2 && t.Colors[0] == TGIFColorItem{0, 0, 0} &&
           t.Colors[1] == TGIFColorItem{255, 255, 255};
}

bool DecodeDeviceBitmap(const TGIFItem& item, bool interlaced, bool tolerant,
                        const TGIFProgress& progress, graphics::TBitmap& bitmap) {
    const TDecodeParams prm = FrameParams(item, interlaced, tolerant, progress);
    CheckFrameSize(prm.Width, prm.Height, prm.Depth);
    const std::vector<RGBQUAD> palette = FramePalette(item, prm.Depth);
    std::uint32_t colors[256] = {};
    for (std::size_t i = 0; i < palette.size(); ++i)
        colors[i] = std::uint32_t(palette[i].rgbBlue) | std::uint32_t(palette[i].rgbGreen) << 8 |
                    std::uint32_t(palette[i].rgbRed) << 16;
    const std::uint8_t* data = item.Data ? item.Data->Memory() : nullptr;
    const std::size_t size = item.Data ? std::size_t(item.Data->Size()) : 0;
    bool corrupted = false;
    bitmap.LoadDevicePixels(prm.Width, prm.Height, palette, [&](std::uint32_t* pixels) {
        corrupted = DecodeDeviceRaster(data, size, prm, colors, pixels);
    });
    return corrupted;
}

} // namespace gif
