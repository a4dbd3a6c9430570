// LZW decoding of GIF rasters, into the index rows of a bitmap (the pixel type is a
// parameter of the decoder: each literal stands in a table as the pixel it gives).
//
// No string is decoded pixel by pixel where it can be copied: every code's string is
// written as a copy of an earlier place where the same pixels stand. A literal's pixel
// stands in a small table (its index, or its colour through the palette); an entry that
// the table gains (the previous string followed by the first pixel of the current one)
// stands exactly where the previous string was written, with the current string's first
// pixel behind it. So each entry is a pointer and a length, and each code is one copy of
// its whole string.
//
// Strings that stay inside their row with room to spare take the fast path: the copy goes
// in 16-byte pieces that may write (and read) a few pixels beyond the string, never beyond
// the row. Strings that end in the last pixels of a row but one are copied exactly and stay
// on the fast path too; whole pieces may then be read from their copy beyond the row, where
// the rows that lie behind it in memory take the reading. The others are put together first and
// written piece by piece across the rows; as the string then stands in no one place, a copy of it
// goes into a pool, where the next code adds its first pixel. An entry with no copy (the pool is
// full, or the entry made after a damaged code, whose walk runs through links that later entries
// change) is decoded by the classic walk of prefix codes and last pixels. The pixels are therefore
// those of the walk in every case.
//
// Where the strings go: 8-bit index rows are written in their rows of a bottom-up bitmap,
// de-interlaced as they go. 1- and 4-bit frames are decoded into a window of the most recent
// indices, about the size of the packed bitmap, which counts as one long row: each complete image
// row is packed into the bitmap before the window moves on, and entries whose copy has left the
// window are walked from then on.
#include <algorithm>
#include <cstring>
#include <memory>

#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/LzwCodeReader.h"
#include "gif/RasterRows.h"
#include "rtl/Exceptions.h"

namespace gif {

int BitmapDepthFor(int pixelBits) {
    if (pixelBits == 1)
        return 1;
    if (pixelBits >= 2 && pixelBits <= 4)
        return 4;
    if (pixelBits >= 5 && pixelBits <= 8)
        return 8;
    throw rtl::EInvalidGraphicOperation(SWrongGIFColors);
}

std::int64_t BitmapStride(std::int64_t width, int depth) {
    return ((width * depth + 31) / 32) * 4;
}

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxLiterals = 512; // codes below the clear code of a minimum code size of 9
// An entry: where a copy of its string stands (bits 16 to 63) and its length (bits 0 to
// 15), so that each comes out in one instruction; 0 when it has no copy. Links: prefix code | Dirty
// | last index << 16 | first index
// << 24. A dirty entry's walk runs through links that later entries may change (its
// prefix was a damaged code), so it never gets a copy, nor does any entry behind it.
constexpr int PointerShift = 16;
constexpr std::uint32_t FirstMask = 0xFF000000;
constexpr std::uint32_t PrefixMask = 0xFFF;
constexpr std::uint32_t Dirty = 0x8000;
// The code field of the state when the staged bytes ran out before the next code.
constexpr int NeedCode = -2;
// Copies of strings written across the end of a row (each with room for one pixel more),
// so that the entries made from them have a copy too; emptied at clear codes.
constexpr std::size_t PoolPixels = std::size_t(1) << 16;
// The window of recent indices that 1- and 4-bit frames get by default is the size of
// their bitmap rows, within these bounds.
constexpr std::size_t MinWindow = std::size_t(64) << 10;
constexpr std::size_t MaxWindow = std::size_t(8) << 20;

template <class TPixel> constexpr std::ptrdiff_t Piece = 16 / sizeof(TPixel);

template <class TPixel> struct TTables {
    std::uint64_t Entries[MaxCodes + 1];
    std::uint32_t Links[MaxCodes + 1];
    TPixel Literals[MaxLiterals + Piece<TPixel>];
    TPixel String[MaxCodes + 2 + Piece<TPixel>]; // a string put together before it is written
    std::uint8_t Stack[MaxCodes + 2];
};

template <class TPixel> inline std::uint64_t EntryOf(const TPixel* at, std::ptrdiff_t length) {
    return std::uint64_t(reinterpret_cast<std::uintptr_t>(at)) << PointerShift |
           std::uint64_t(length);
}
template <class TPixel> inline TPixel* PointerOf(std::uint64_t entry) {
    return reinterpret_cast<TPixel*>(entry >> PointerShift);
}
inline std::ptrdiff_t LengthOf(std::uint64_t entry) {
    return std::ptrdiff_t(entry & 0xFFFF);
}

// Copies `len` (at least 1) pixels in 16-byte pieces, the first one outside the loop (most
// strings of detailed images fit one piece): up to one piece less a pixel behind the string
// may be written, and read behind the source. `dst` lies at least `len` pixels behind
// `src`, or anywhere apart from it.
template <class TPixel>
[[gnu::always_inline]] inline void CopyPixels(TPixel* dst, const TPixel* src, std::ptrdiff_t len) {
    unsigned char v[16];
    std::memcpy(v, src, 16);
    std::memcpy(dst, v, 16);
    for (std::ptrdiff_t i = Piece<TPixel>; i < len; i += Piece<TPixel>) {
        std::memcpy(v, src + i, 16);
        std::memcpy(dst + i, v, 16);
    }
}

// Copies exactly `len` pixels, for strings that end too near their row for whole pieces.
template <class TPixel>
[[gnu::noinline]] void CopyExact(TPixel* dst, const TPixel* src, std::ptrdiff_t len) {
    std::memcpy(dst, src, std::size_t(len) * sizeof(TPixel));
}

// The decoder's state that the fast path keeps in registers.
template <class TPixel> struct TState {
    std::uint64_t Bits = 0; // the next Count bits of the data, first bit lowest
    int Count = 0;
    const std::uint8_t* Cur = nullptr;
    const std::uint8_t* SafeEnd = nullptr; // Cur < SafeEnd: 8 staged bytes lie at Cur
    int Code = 0;                          // the code to decode next, -1 when there is none
    int CodeSize = 0;
    std::uint32_t Mask = 0;
    int FreeCode = 0;
    TPixel* Dst = nullptr;     // where the next string goes
    TPixel* RowEnd = nullptr;  // the end of its row
    TPixel* FastEnd = nullptr; // strings ending here or before are copied in whole pieces
    // Strings ending here or before (and after FastEnd) are copied exactly and keep their
    // place as the copy of their entry: the row leaves room behind it for the next
    // string's first pixel, and memory behind the row for reading whole pieces of it.
    TPixel* TailEnd = nullptr;
    std::uint64_t Base = 0; // the entry the next code adds
    std::uint32_t Link = 0; // its link but for the last index: old code | first << 24
};

// The fast path: codes whose string the table holds as a copy and that fit their row, one
// after the other until one does not. It is a single loop over locals so that the state
// stays in registers (the pixel stores could otherwise change any of it); both tables are
// reached through one pointer, and the growth of the code size is one compare against the
// mask (a full table of 12-bit codes has as many codes as the mask allows plus one).
template <class TPixel>
[[gnu::always_inline]] inline void RunFast(TState<TPixel>& s, TTables<TPixel>& t) {
    std::uint64_t bits = s.Bits;
    int count = s.Count;
    const std::uint8_t* cur = s.Cur;
    const std::uint8_t* const safeEnd = s.SafeEnd;
    // Codes and counts as full-width unsigned values index the tables without widening.
    std::size_t code = std::size_t(unsigned(s.Code));
    int codeSize = s.CodeSize;
    std::uint64_t mask = s.Mask;
    std::size_t freeCode = std::size_t(s.FreeCode);
    TPixel* dst = s.Dst;
    TPixel* const fastEnd = s.FastEnd;
    TPixel* const tailEnd = s.TailEnd;
    std::uint64_t base = s.Base;
    std::uint32_t link = s.Link;
    for (;;) {
        if (code >= freeCode)
            break;
        const std::uint64_t v = t.Entries[code];
        const std::ptrdiff_t len = LengthOf(v);
        if (len == 0)
            break;
        if (dst + len > fastEnd) [[unlikely]] {
            if (dst + len > tailEnd)
                break;
            CopyExact(dst, PointerOf<TPixel>(v), len);
        } else {
            CopyPixels(dst, PointerOf<TPixel>(v), len);
        }
        const std::uint32_t first = t.Links[code] & FirstMask; // first index << 24
        t.Entries[freeCode] = base;
        t.Links[freeCode] = link | first >> 8;
        // A full table takes no more entries; they then land in the spare last one.
        if (++freeCode > mask) {
            if (codeSize < 12) {
                ++codeSize;
                mask = (mask << 1) | 1;
            } else {
                freeCode = MaxCodes;
            }
        }
        base = EntryOf(dst, len + 1);
        link = std::uint32_t(code) | first;
        dst += len;
        if (count < codeSize) {
            if (cur >= safeEnd) {
                code = std::size_t(unsigned(NeedCode));
                break;
            }
            std::uint64_t w;
            std::memcpy(&w, cur, 8);
            bits |= w << count;
            cur += (63 - count) >> 3;
            count |= 56;
        }
        code = std::size_t(bits & mask);
        bits >>= codeSize;
        count -= codeSize;
    }
    s.Bits = bits;
    s.Count = count;
    s.Cur = cur;
    s.Code = int(unsigned(code));
    s.CodeSize = codeSize;
    s.Mask = std::uint32_t(mask);
    s.FreeCode = int(freeCode);
    s.Dst = dst;
    s.Base = base;
    s.Link = link;
}

// Packs the complete rows of the window into the bitmap as decoding goes on.
struct TRowPacker {
    std::uint8_t* Pixels;
    std::size_t Stride;
    int Width, Height, Depth;
    bool Interlaced;
    std::size_t RowsOut = 0; // rows packed so far
    int Y = 0;               // the image row of the next one
    int Pass = 0;

    // Packs the rows that end at or before pixel `upto` (counted from the frame's first
    // pixel), and with `partial` the row that `upto` ends in; `window` holds the pixels
    // from `discarded` on.
    void Put(const std::uint8_t* window, std::size_t discarded, std::size_t upto, bool partial) {
        const std::size_t width = std::size_t(Width);
        while (RowsOut < std::size_t(Height)) {
            const std::size_t from = RowsOut * width;
            const std::size_t count = std::min(upto - std::min(upto, from), width);
            if (count == 0 || (count < width && !partial))
                return;
            PackRow(Pixels + std::size_t(Height - 1 - Y) * Stride, window + (from - discarded),
                    int(count), Depth);
            if (count < width)
                return;
            ++RowsOut;
            Y = Interlaced ? NextInterlacedRow(Y, Height, Pass) : Y + 1;
        }
    }
};

// Where the strings go: the rows of a bitmap, or a window of recent indices whose complete
// rows are packed into the bitmap.
template <class TPixel, bool Window> class TLzwDecoder {
public:
    // `colors`: the pixel of each index (256). `pixels`: the bitmap rows, `stride` pixels
    // apart; `zeroed` when they come cleared.
    TLzwDecoder(const std::uint8_t* data, std::size_t size, const TDecodeParams& prm,
                const TPixel* colors, TPixel* pixels, std::size_t stride, bool zeroed)
        : FPrm(prm), FReader(data + 1, size - 1, prm.Progress), FPixels(pixels), FStride(stride),
          FWidth(std::max(prm.Width, 0)), FHeight(std::max(prm.Height, 0)),
          FTotal(std::size_t(FWidth) * std::size_t(FHeight)), FColors(colors), FZeroed(zeroed),
          FTables(std::make_unique<TTables<TPixel>>()) {
        SetMinimumCodeSize(data[0]);
        InitTables();
        FState.Cur = FReader.Cur;
        FState.SafeEnd = FReader.SafeEnd;
        ResetCodes();
        FDone = FTotal == 0;
        if (!FDone)
            StartOutput();
    }

    bool Run() {
        FState.Code = ReadCode();
        for (;;) {
            if (!FFresh && !FSlot)
                RunFast(FState, *FTables);
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
        TTables<TPixel>& t = *FTables;
        std::memset(t.Entries, 0, sizeof t.Entries);
        std::memset(t.Links, 0, sizeof t.Links);
        for (int i = 0; i < MaxLiterals + Piece<TPixel>; ++i)
            t.Literals[i] = FColors[i & FPixelMask];
        // Literals copy from their pixel; without a known literal length (after a clamped
        // code size) they have none and stop the decoding.
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

    // --- where the strings go

    void StartOutput() {
        if constexpr (Window) {
            // The last half of the window stays when it moves on: at least the row being
            // decoded.
            const std::size_t stride = std::size_t(BitmapStride(FWidth, FPrm.Depth));
            const std::size_t wanted =
                FPrm.WindowBytes != 0
                    ? FPrm.WindowBytes
                    : std::clamp(stride * std::size_t(FHeight), MinWindow, MaxWindow);
            FWindow = std::min(FTotal, std::max(wanted, 2 * std::size_t(FWidth)));
            FBuffer.reset(new TPixel[FWindow + std::size_t(Piece<TPixel>)]);
            FRows = TRowPacker{reinterpret_cast<std::uint8_t*>(FPixels),
                               stride,
                               FWidth,
                               FHeight,
                               FPrm.Depth,
                               FPrm.Interlaced};
            SetRegion(FBuffer.get(), FBuffer.get() + FWindow);
        } else {
            EnterRow(0);
        }
    }
    void SetRegion(TPixel* at, TPixel* end) {
        FState.Dst = at;
        FState.RowEnd = end;
        FState.FastEnd = end - std::min<std::ptrdiff_t>(Piece<TPixel>, end - at);
        FState.TailEnd = FState.FastEnd;
    }
    // Makes image row y the one being written.
    void EnterRow(int y) {
        FY = y;
        TPixel* row = FPixels + std::size_t(FHeight - 1 - y) * FStride;
        SetRegion(row, row + FWidth);
        // The rows that lie behind this one in memory (those above it in the image) take
        // the reading of whole pieces beyond its end.
        if (y > 0 && std::size_t(y) * FStride >= std::size_t(Piece<TPixel>))
            FState.TailEnd = std::max(FState.FastEnd, row + FWidth - 1);
    }
    // Moves on once the row (or window) is full; false when every pixel is written.
    bool NextRow() {
        if constexpr (Window) {
            return MoveWindow();
        } else {
            if (++FRowsDone >= FHeight) {
                FDone = true;
                return false;
            }
            EnterRow(FPrm.Interlaced ? NextInterlacedRow(FY, FHeight, FPass) : FY + 1);
            return true;
        }
    }

    // Packs the complete rows of the full window, then keeps its last half. Copies that
    // were in the other half are gone: their entries are walked from now on.
    [[gnu::noinline]] bool MoveWindow() {
        TPixel* const out = FBuffer.get();
        const std::size_t pos = FDiscarded + std::size_t(FState.RowEnd - out);
        if (pos >= FTotal) {
            FDone = true;
            return false;
        }
        FRows.Put(reinterpret_cast<const std::uint8_t*>(out), FDiscarded, pos, false);
        const std::size_t keep = FWindow / 2;
        const std::size_t cut = FWindow - keep;
        std::memmove(out, out + cut, keep * sizeof(TPixel));
        const std::uint64_t from = reinterpret_cast<std::uintptr_t>(out);
        auto moved = [&](std::uint64_t& v) {
            const std::uint64_t p = v >> PointerShift;
            if (p < from || p >= from + FWindow * sizeof(TPixel))
                return;
            v = p < from + cut * sizeof(TPixel) ? 0 : v - (cut * sizeof(TPixel) << PointerShift);
        };
        for (int i = FClearCode + 2; i < FState.FreeCode; ++i)
            moved(FTables->Entries[i]);
        moved(FState.Base);
        FDiscarded += cut;
        SetRegion(out + keep, out + std::min(FWindow, FTotal - FDiscarded));
        return true;
    }

    // --- codes

    // The next code from the reader, -1 when the data hold no more bits.
    int ReadCode() {
        TState<TPixel>& s = FState;
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
        TState<TPixel>& s = FState;
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
        if (FFresh)
            PutLiteral();
        else if (FStopAtString || !PutString())
            return false;
        s.Code = ReadCode();
        return true;
    }

    // A literal (the first code, or the one after a clear code), whatever its value;
    // damaged values beyond the literals are masked to a pixel and leave a dirty string.
    void PutLiteral() {
        TState<TPixel>& s = FState;
        FFresh = false;
        const std::uint8_t index = std::uint8_t(s.Code & FPixelMask);
        FTables->String[0] = FColors[index];
        const bool clean = s.Code < FClearCode && !FStopAtString;
        Emit(1, clean);
        s.Link = std::uint32_t(s.Code) | (clean ? 0 : Dirty) | std::uint32_t(index) << 24;
    }

    // Any other code's string; false when a damaged chain stops the decoding.
    bool PutString() {
        TState<TPixel>& s = FState;
        TTables<TPixel>& t = *FTables;
        const int code = s.Code;
        std::ptrdiff_t len;
        std::uint8_t first;
        bool clean;
        if (code < s.FreeCode && t.Entries[code] != 0) {
            const std::uint64_t v = t.Entries[code];
            len = LengthOf(v);
            std::memcpy(t.String, PointerOf<TPixel>(v), std::size_t(len) * sizeof(TPixel));
            first = std::uint8_t(t.Links[code] >> 24);
            clean = true;
        } else if (code >= s.FreeCode && s.Base != 0) {
            // Not yet defined: the previous string and its own first pixel.
            const std::ptrdiff_t oldLen = LengthOf(s.Base) - 1;
            const TPixel* prev = PointerOf<TPixel>(s.Base);
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
        Emit(len, clean);
        s.Link = std::uint32_t(code) | (clean ? 0 : Dirty) | std::uint32_t(first) << 24;
        return true;
    }

    // The table walk, for strings that have no copy: puts the string's pixels together
    // and returns its length, or 0 when the chain is longer than any string can be.
    std::ptrdiff_t Walk(int code, std::uint8_t& first) {
        const TState<TPixel>& s = FState;
        TTables<TPixel>& t = *FTables;
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

    // Writes the string put together in String across as many rows as it needs (what goes
    // beyond the last pixel is dropped). The entry the next code adds is this string with
    // one pixel more: when the string is clean, its copy is where the string stands in its
    // row if there is room behind it, else a copy in the pool, whose last pixel the next
    // code puts in.
    void Emit(std::ptrdiff_t len, bool clean) {
        TState<TPixel>& s = FState;
        TPixel* const start = s.Dst;
        TPixel* const tailEnd = s.TailEnd;
        const TPixel* from = FTables->String;
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
        if (!clean)
            s.Base = 0;
        else if (oneRow && start + len <= tailEnd)
            s.Base = EntryOf(start, len + 1);
        else
            s.Base = PoolCopy(len);
    }
    std::uint64_t PoolCopy(std::ptrdiff_t len) {
        if (std::size_t(len) + 1 + std::size_t(Piece<TPixel>) > PoolPixels - FPoolUsed)
            return 0;
        if (!FPool)
            FPool.reset(new TPixel[PoolPixels]);
        TPixel* const copy = FPool.get() + FPoolUsed;
        std::memcpy(copy, FTables->String, std::size_t(len) * sizeof(TPixel));
        FPoolUsed += std::size_t(len) + 1;
        FSlot = copy + len;
        return EntryOf(copy, len + 1);
    }

    // --- the end

    void Finish() {
        if (FOutOfData && FReader.Broken())
            throw rtl::EReadError(rtl::SReadError);
        if (FOutOfData && !FDone) {
            if (!FPrm.Tolerant)
                throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
            FCorrupted = true;
        }
        // Pixels never written have index 0; so do the fast copies' overruns behind the
        // last string.
        if constexpr (Window) {
            if (FTotal == 0)
                return;
            // Only the pixels written are packed; the rest of the bitmap stays 0.
            TPixel* const out = FBuffer.get();
            const std::size_t pos = FDone ? FTotal : FDiscarded + std::size_t(FState.Dst - out);
            FRows.Put(reinterpret_cast<const std::uint8_t*>(out), FDiscarded, pos, true);
        } else {
            if (FDone)
                return;
            std::fill(FState.Dst, FState.RowEnd, FColors[0]);
            if (FZeroed)
                return;
            while (NextRow())
                std::fill(FState.Dst, FState.RowEnd, FColors[0]);
        }
    }

    const TDecodeParams& FPrm;
    TCodeReader FReader;
    TPixel* const FPixels;
    const std::size_t FStride;
    const int FWidth;
    const int FHeight;
    const std::size_t FTotal;
    const TPixel* const FColors;
    const bool FZeroed;
    std::unique_ptr<TTables<TPixel>> FTables;
    TState<TPixel> FState;
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
    // Rows of the bitmap.
    int FY = 0;
    int FPass = 0;
    int FRowsDone = 0;
    // The window.
    std::unique_ptr<TPixel[]> FBuffer;
    std::size_t FWindow = 0;
    std::size_t FDiscarded = 0; // pixels that have left it
    TRowPacker FRows{};
};

template <class TPixel, bool Window>
bool RunDecoder(const std::uint8_t* data, std::size_t size, const TDecodeParams& prm,
                const TPixel* colors, TPixel* pixels, std::size_t stride, bool zeroed) {
    TLzwDecoder<TPixel, Window> decoder(data, size, prm, colors, pixels, stride, zeroed);
    return decoder.Run();
}

// The decoder compiled a second time, on x86-64 processors that have them, with the BMI2
// instructions: shifts by a register amount in one instruction that leaves the flags
// alone, which the bit reader makes for every code. All of it is inlined into this copy.
#if defined(__x86_64__) && defined(__GNUC__)
#define GIF_DECODE_BMI2 1
template <class TPixel, bool Window>
[[gnu::target("bmi2"), gnu::flatten]] bool
RunDecoderBmi2(const std::uint8_t* data, std::size_t size, const TDecodeParams& prm,
               const TPixel* colors, TPixel* pixels, std::size_t stride, bool zeroed) {
    return RunDecoder<TPixel, Window>(data, size, prm, colors, pixels, stride, zeroed);
}
#endif

template <class TPixel, bool Window>
bool Decode(const std::uint8_t* data, std::size_t size, const TDecodeParams& prm,
            const TPixel* colors, TPixel* pixels, std::size_t stride, bool zeroed) {
    return WithDecodeProgress(prm.Progress, [&] {
        if (size < 1)
            throw rtl::EReadError(rtl::SReadError);
#ifdef GIF_DECODE_BMI2
        static const bool bmi2 = __builtin_cpu_supports("bmi2");
        if (bmi2)
            return RunDecoderBmi2<TPixel, Window>(data, size, prm, colors, pixels, stride, zeroed);
#endif
        return RunDecoder<TPixel, Window>(data, size, prm, colors, pixels, stride, zeroed);
    });
}

} // namespace

bool DecodeRaster(const std::uint8_t* data, std::size_t size, const TDecodeParams& params,
                  std::uint8_t* pixels) {
    std::uint8_t indices[256];
    for (int i = 0; i < 256; ++i)
        indices[i] = std::uint8_t(i);
    const std::size_t stride = std::size_t(BitmapStride(std::max(params.Width, 0), params.Depth));
    if (params.Depth == 8 && params.WindowBytes == 0)
        return Decode<std::uint8_t, false>(data, size, params, indices, pixels, stride, true);
    return Decode<std::uint8_t, true>(data, size, params, indices, pixels, stride, true);
}

} // namespace gif
