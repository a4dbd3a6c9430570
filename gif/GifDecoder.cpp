// LZW decoding of GIF rasters into bitmap rows.
//
// The decoder follows the classic prefix/suffix table walk, but emits strings by copying
// an earlier emission of the same string: a table entry made from the previous code's
// string plus one character is exactly the bytes from where that string was written up
// to the first byte of the string after it. Strings of up to 7 pixels are kept in the
// table entry itself, so the common short codes of detailed pictures need neither a walk
// nor a read of pixels just written. Entries whose string is not such a copy (after
// damaged codes, or strings that run through entries left over from before a clear code)
// keep no copy and are decoded by the table walk, so the pixels are those of the walk in
// every case.
//
// No index buffer of the frame's size is made. 8-bit frames are decoded in the bitmap's
// own pixel memory, in decoding order, and their rows are moved to their places after
// (bottom-up, de-interlaced, padded). 1- and 4-bit frames are decoded into a window of the
// most recent pixels, about the size of the packed bitmap: each complete row is packed
// into the bitmap before the window moves on, and a string whose earlier copy has left
// the window is decoded by the table walk instead.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/GifTypes.h"
#include "gif/LzwCodeReader.h"
#include "gif/RasterRows.h"
#include "graphics/BmpHeaders.h"
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
constexpr int StackSize = 4098;
// Room behind the index buffer for the longest string and a 16-byte copy overrun.
constexpr std::size_t Slack = StackSize + 64;
static_assert(Slack <= DecodeSlack);
// The window of recent pixels that frames not decoded in place get by default is the size
// of their bitmap rows, within these bounds.
constexpr std::size_t MinWindow = std::size_t(64) << 10;
constexpr std::size_t MaxWindow = std::size_t(8) << 20;

// The string table, in two parts. The part the decoding loop reads is one 8-byte entry per
// code, so that the whole of it stays near the processor:
//   - a string of 1 to 7 pixels: the pixels in bytes 0 to 6 (zero beyond the string), the
//     length in byte 7;
//   - a longer string: where it was written in bits 0 to 31, its length in bits 32 to 47,
//     byte 7 zero (byte 6 is not used);
//   - a string that is not held as a copy: length 0 and byte 7 zero; it is decoded by
//     walking the other part, the classic prefix code and last pixel of every entry.
// Both have one entry more than there are codes: once the table is full, the entry a code
// would add goes to the last one, which no code reads.
struct TTables {
    std::uint64_t Entries[MaxCodes + 1];
    std::uint32_t Links[MaxCodes + 1]; // prefix code | last pixel << 16
    std::uint8_t Stack[StackSize + 2];
};

constexpr int ShortTagShift = 56;   // byte 7: the length of a short string
constexpr int UnusedByteShift = 48; // byte 6 of a long entry
constexpr std::size_t MaxShortLength = 7;

inline std::size_t LongLength(std::uint64_t entry) {
    return std::size_t(entry >> 32) & 0xFFFF;
}

// Copies `len` bytes from an earlier place (dst - src >= len, or from the literals); up to
// CopyOverrun - 1 bytes behind dst + len may be overwritten.
constexpr std::size_t CopyOverrun = 16;
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t len) {
    if (len <= 8) {
        std::uint64_t v;
        std::memcpy(&v, src, 8);
        std::memcpy(dst, &v, 8);
        return;
    }
    for (std::size_t i = 0; i < len; i += 16) {
        unsigned char v[16];
        std::memcpy(v, src + i, 16);
        std::memcpy(dst + i, v, 16);
    }
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

// Packs the complete rows of the window, whose first pixel is pixel `discarded` and whose
// next string goes to pixel `pos`, then drops all but its last `keep` pixels and returns
// how many went. Long entries hold where their copy was written: those that left the
// window are decoded by the table walk from now on. Kept out of line, away from the
// registers of the decoding loop.
[[gnu::noinline]] std::size_t MoveWindow(TRowPacker& rows, std::uint8_t* window,
                                         std::size_t discarded, std::size_t pos, std::size_t keep,
                                         std::uint64_t* entry, int firstFree, int freeCode) {
    rows.Put(window, discarded, pos, false);
    const std::size_t cut = pos - discarded - keep;
    std::memmove(window, window + cut, keep);
    for (int i = firstFree; i < freeCode; ++i) {
        const std::uint64_t v = entry[i];
        if ((v >> ShortTagShift) != 0 || LongLength(v) == 0)
            continue;
        entry[i] = std::uint32_t(v) < cut ? 0 : v - cut;
    }
    return cut;
}

// Whether a frame is decoded in the bitmap's own pixel memory, or else through a window.
bool DecodesInPlace(const TDecodeParams& prm) {
    return prm.Width > 0 && prm.Height > 0 && prm.Depth == 8 && prm.PixelsSlack >= Slack;
}

// One instance per way, so that the decoding loop of frames decoded in place carries
// nothing of the window.
template <bool InPlace>
bool Decode(const std::uint8_t* data, std::size_t size, const TDecodeParams& prm,
            std::uint8_t* pixels) {
    if (size < 1)
        throw rtl::EReadError(rtl::SReadError);
    bool corrupted = false;
    int minSize = data[0];
    if (minSize < 2 || minSize > 9) {
        if (!prm.Tolerant)
            throw rtl::EInvalidGraphicOperation(SBadGIFCodeSize);
        corrupted = true;
        minSize = std::clamp(minSize, 2, 9);
    }
    // After a clamped minimum code size only clear codes are still decoded: the literals
    // then have no known length, which sends every other code to the checks below.
    const bool stopAtString = corrupted;
    const int width = std::max(prm.Width, 0);
    const int height = std::max(prm.Height, 0);
    const std::size_t total = std::size_t(width) * std::size_t(height);

    const int clearCode = 1 << minSize;
    const int endCode = clearCode + 1;
    const int firstFree = clearCode + 2;
    // Codes below the clear code stand for themselves; their pixel is masked to the
    // frame's index width so that it always fits the bitmap's depth.
    const int lastLiteral = clearCode - 1;
    const std::uint8_t pixelMask = std::uint8_t((1 << prm.PixelBits) - 1);

    auto tables = std::make_unique<TTables>();
    std::memset(tables.get(), 0, sizeof(TTables));
    std::uint64_t* const entry = tables->Entries;
    std::uint32_t* const links = tables->Links;
    std::uint8_t* const stack = tables->Stack;
    if (!stopAtString)
        for (int i = 0; i <= lastLiteral; ++i)
            entry[i] = std::uint64_t(i & pixelMask) | std::uint64_t(1) << ShortTagShift;

    // 8-bit rows are decoded top-down in place, in decoding order, and arranged into
    // bitmap rows afterwards. Other rows are decoded into a window of the most recent
    // pixels; rows are packed into the bitmap as the window moves on, and strings whose
    // earlier copy has left the window are decoded by the table walk.
    const std::size_t stride = std::size_t(BitmapStride(width, prm.Depth));
    constexpr bool inPlace = InPlace;
    std::size_t window = total;
    if (!inPlace) {
        // The last `keep` pixels stay when the window moves: at least the row being
        // decoded and the previous string.
        const std::size_t wanted =
            prm.WindowBytes != 0 ? prm.WindowBytes
                                 : std::clamp(stride * std::size_t(height), MinWindow, MaxWindow);
        window = std::min(total, std::max(wanted, 2 * std::max(std::size_t(width), Slack)));
    }
    const std::size_t keep = window / 2;
    std::unique_ptr<std::uint8_t[]> buffer(inPlace ? nullptr : new std::uint8_t[window + Slack]);
    std::uint8_t* const out = inPlace ? pixels : buffer.get();

    // The bit buffer lives in locals while decoding; the reader refills it.
    TCodeReader reader(data + 1, size - 1, prm.Progress);
    std::uint64_t bits = 0;
    int count = 0;
    const std::uint8_t* cur = reader.Cur;
    const std::uint8_t* safeEnd = reader.SafeEnd;
    int codeSize = minSize + 1;
    std::uint32_t mask = (1u << codeSize) - 1;
    // The next code of codeSize bits, or -1 when the data hold no more bits.
    auto nextCode = [&]() __attribute__((always_inline))->int {
        if (count < codeSize) {
            if (cur < safeEnd) {
                std::uint64_t v;
                std::memcpy(&v, cur, 8);
                bits |= v << count;
                cur += (63 - count) >> 3;
                count |= 56;
            } else {
                reader.Bits = bits;
                reader.Count = count;
                reader.Cur = cur;
                reader.Refill();
                bits = reader.Bits;
                count = reader.Count;
                cur = reader.Cur;
                safeEnd = reader.SafeEnd;
                if (count < codeSize)
                    return -1;
            }
        }
        const int code = int(bits & mask);
        bits >>= codeSize;
        count -= codeSize;
        return code;
    };

    int freeCode = firstFree;
    std::uint8_t* dst = out;   // where the next string goes
    std::size_t discarded = 0; // pixels that have left the window
    TRowPacker rows{pixels, stride, width, height, prm.Depth, prm.Interlaced};
    std::uint8_t* dstEnd = out + std::min(total, window); // no string starts here or beyond
    int oldCode = 0;
    const std::uint8_t* prevStart = out; // where the previous string was written
    // The entry the next code adds, but for its last pixel, which goes in at bit `shift`
    // (into the unused byte of a long entry): the previous string as a short or long
    // entry, or 0 when the table does not hold that string as a copy.
    std::uint64_t base = 0;
    int shift = UnusedByteShift;
    bool outOfData = false;

    auto addEntry = [&](std::uint8_t firstChar) __attribute__((always_inline)) {
        entry[freeCode] = base | std::uint64_t(firstChar) << shift;
        links[freeCode] = std::uint32_t(oldCode) | std::uint32_t(firstChar) << 16;
        // A full table takes no more entries; they then land in the spare last one.
        if (freeCode < MaxCodes && ++freeCode > int(mask) && codeSize < 12) {
            ++codeSize;
            mask = (mask << 1) | 1;
        }
    };
    // Makes the string of `len` pixels written at `at` the previous one; `head` holds its
    // pixels (zero beyond) when it is short enough to stay short with one pixel more.
    auto setPrevious = [&](const std::uint8_t* at, std::size_t len, std::uint64_t head)
        __attribute__((always_inline)) {
        prevStart = at;
        if (len < MaxShortLength) {
            base = head | std::uint64_t(len + 1) << ShortTagShift;
            shift = int(8 * len);
        } else {
            base = std::uint64_t(at - out) | std::uint64_t(len + 1) << 32;
            shift = UnusedByteShift;
        }
    };
    auto forgetPrevious = [&](const std::uint8_t* at) {
        prevStart = at;
        base = 0;
        shift = UnusedByteShift;
    };

    // No previous string: the first code of the data, and the code after a clear code,
    // are literals that add no entry. After a clamped minimum code size the data start
    // with a previous string, so that a first code other than a clear code stops.
    bool fresh = !stopAtString;
    int code = nextCode();
    for (;;) {
        // The common case, kept tight: a code whose string the table holds as a copy.
        while (!fresh) {
            if (unsigned(code) >= unsigned(freeCode))
                break;
            const std::uint64_t v = entry[code];
            const std::size_t tag = std::size_t(v >> ShortTagShift);
            if (tag != 0) {
                // Short strings come from the table (no reads of bytes just written).
                if (dst >= dstEnd)
                    break;
                std::memcpy(dst, &v, 8);
                addEntry(std::uint8_t(v));
                setPrevious(dst, tag, v & ((std::uint64_t(1) << ShortTagShift) - 1));
                dst += tag;
            } else {
                // Long ones are copied from where they were written before.
                const std::size_t len = LongLength(v);
                if (len == 0 || dst >= dstEnd)
                    break;
                const std::uint8_t* src = out + std::uint32_t(v);
                CopyString(dst, src, len);
                addEntry(*src);
                setPrevious(dst, len, 0);
                dst += len;
            }
            oldCode = code;
            code = nextCode();
        }
        if (code < 0) {
            outOfData = true;
            break;
        }
        if (dst >= dstEnd) {
            if constexpr (inPlace) {
                break;
            } else {
                // The next string would start at the window's end: the frame is complete,
                // or the window moves on by all but its last `keep` pixels.
                const std::size_t pos = discarded + std::size_t(dst - out);
                if (pos >= total)
                    break;
                const std::size_t cut =
                    MoveWindow(rows, out, discarded, pos, keep, entry, firstFree, freeCode);
                if (base != 0 && (base >> ShortTagShift) == 0)
                    base -= cut;
                prevStart -= cut;
                dst -= cut;
                discarded += cut;
                dstEnd = out + std::min(total - discarded, window);
                continue;
            }
        }
        if (code == clearCode) {
            codeSize = minSize + 1;
            mask = (1u << codeSize) - 1;
            freeCode = firstFree;
            fresh = true;
            code = nextCode();
            continue;
        }
        if (code == endCode)
            break;
        if (fresh) {
            // A literal, whatever its value; damaged values beyond the literals are masked
            // to a pixel and leave no string to copy.
            fresh = false;
            oldCode = code;
            *dst = std::uint8_t(code & pixelMask);
            if (code <= lastLiteral && !stopAtString)
                setPrevious(dst, 1, *dst);
            else
                forgetPrevious(dst);
            ++dst;
            code = nextCode();
            continue;
        }
        if (stopAtString)
            break;
        std::uint8_t* const start = dst;
        const std::size_t oldLen = std::size_t(dst - prevStart);
        bool copyable;
        if (code >= freeCode && base != 0) {
            // Not yet defined: the previous string and its own first pixel.
            CopyString(dst, prevStart, oldLen);
            dst[oldLen] = *prevStart;
            dst += oldLen + 1;
            copyable = code == freeCode;
        } else {
            // The table walk, for strings that cannot be copied.
            int walk = code;
            int sp = 0;
            if (walk >= freeCode) {
                // The previous string's first pixel (0 before the first string).
                walk = oldCode;
                stack[sp++] = dst > out ? *prevStart : 0;
            }
            while (walk > lastLiteral) {
                if (sp > MaxCodes) {
                    if (!prm.Tolerant)
                        throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
                    corrupted = true;
                    break;
                }
                stack[sp++] = std::uint8_t(links[walk] >> 16);
                walk = int(links[walk] & 0xFFFF);
            }
            if (corrupted)
                break;
            stack[sp++] = std::uint8_t(walk & pixelMask);
            while (sp > 0)
                *dst++ = stack[--sp];
            copyable = false;
        }
        addEntry(*start);
        oldCode = code;
        const std::size_t len = std::size_t(dst - start);
        if (copyable) {
            std::uint64_t head = 0;
            if (len < MaxShortLength) {
                std::memcpy(&head, start, 8);
                head &= (std::uint64_t(1) << (8 * len)) - 1;
            }
            setPrevious(start, len, head);
        } else {
            forgetPrevious(start);
        }
        code = nextCode();
    }
    const std::size_t pos = discarded + std::size_t(dst - out);
    if (outOfData && reader.Broken())
        throw rtl::EReadError(rtl::SReadError);
    if (outOfData && pos < total) {
        if (!prm.Tolerant)
            throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
        corrupted = true;
    }

    // Put the decoded rows into the bitmap.
    const std::size_t written = std::min(pos, total);
    if constexpr (inPlace) {
        // Only the strings' copy overruns (at most 15 bytes behind the last string) lie
        // behind the written pixels; the memory beyond them was never touched and stays as
        // it came (zero). Bytes behind the rows are cut off and need no clearing: leaving
        // them untouched keeps a complete frame from touching its scratch space at all.
        const std::size_t dirtyEnd = std::min(pos + CopyOverrun, stride * std::size_t(height));
        if (dirtyEnd > written)
            std::memset(out + written, 0, dirtyEnd - written);
        ArrangeDecodedRows(pixels, width, height, stride, prm.Interlaced,
                           (written + std::size_t(width) - 1) / std::size_t(width));
    } else {
        rows.Put(out, discarded, written, true);
    }
    return corrupted;
}

} // namespace

bool DecodeRaster(const std::uint8_t* data, std::size_t size, const TDecodeParams& params,
                  std::uint8_t* pixels) {
    return WithDecodeProgress(params.Progress, [&] {
        return DecodesInPlace(params) ? Decode<true>(data, size, params, pixels)
                                      : Decode<false>(data, size, params, pixels);
    });
}

std::vector<RGBQUAD> FramePalette(const TGIFItem& item, int depth) {
    // Table entries the colour table lacks are grey (128 in all four bytes).
    const int colors = 1 << depth;
    std::vector<RGBQUAD> palette(std::size_t(colors), RGBQUAD{128, 128, 128, 128});
    const int count = std::clamp(item.ColorTable.Count, 0, colors);
    for (int i = 0; i < count; ++i) {
        const TGIFColorItem& c = item.ColorTable.Colors[std::size_t(i)];
        palette[std::size_t(i)] = RGBQUAD{c.Blue, c.Green, c.Red, 0};
    }
    return palette;
}

void CheckFrameSize(std::int64_t width, std::int64_t height, int depth) {
    if (width > MaxFrameDimension || height > MaxFrameDimension ||
        BitmapStride(width, depth) * height > MaxFrameBytes)
        throw rtl::EInvalidGraphicOperation(SGIFImageTooLarge);
}

TDecodeParams FrameParams(const TGIFItem& item, bool interlaced, bool tolerant,
                          const TGIFProgress& progress) {
    TDecodeParams prm;
    prm.Width = std::max(item.Width, 0);
    prm.Height = std::max(item.Height, 0);
    prm.Depth = BitmapDepthFor(item.BitsPerPixel);
    prm.PixelBits = item.BitsPerPixel;
    prm.Interlaced = interlaced;
    prm.Tolerant = tolerant;
    prm.Progress = progress;
    return prm;
}

bool WriteBitmapStream(const TGIFItem& item, bool interlaced, bool tolerant,
                       const TGIFProgress& progress, rtl::TMemoryStream& dest) {
    const int depth = BitmapDepthFor(item.BitsPerPixel);
    const std::int64_t width = std::max(item.Width, 0);
    const std::int64_t height = std::max(item.Height, 0);
    CheckFrameSize(width, height, depth);
    const std::int64_t imageSize = BitmapStride(width, depth) * height;
    const std::vector<RGBQUAD> palette = FramePalette(item, depth);
    const std::int64_t offset = graphics::BmpFileHeaderSize + graphics::BmpInfoHeaderSize +
                                std::int64_t(palette.size() * sizeof(RGBQUAD));

    // Room for the decoder's scratch space behind the rows, cut off again below. The
    // stream starts from fresh zeroed memory, so rows the data never reach are not
    // touched.
    dest.Clear();
    dest.SetSize(offset + imageSize + std::int64_t(DecodeSlack));
    std::uint8_t* const p = dest.Memory();
    graphics::WriteBmpHeaders(p, std::int32_t(width), std::int32_t(height), depth,
                              std::uint32_t(palette.size()), std::uint32_t(imageSize));
    std::memcpy(p + graphics::BmpFileHeaderSize + graphics::BmpInfoHeaderSize, palette.data(),
                palette.size() * sizeof(RGBQUAD));

    TDecodeParams prm = FrameParams(item, interlaced, tolerant, progress);
    prm.PixelsSlack = DecodeSlack;
    const std::uint8_t* data = item.Data ? item.Data->Memory() : nullptr;
    const std::size_t size = item.Data ? std::size_t(item.Data->Size()) : 0;
    bool corrupted;
    try {
        corrupted = DecodeRaster(data, size, prm, p + offset);
    } catch (...) {
        dest.SetSize(0);
        throw;
    }
    dest.SetSize(offset + imageSize);
    dest.SetPosition(0);
    return corrupted;
}

} // namespace gif
