// LZW decoding of GIF rasters into bitmap rows.
//
// The decoder follows the classic prefix/suffix table walk, but emits strings by copying
// an earlier emission of the same string: a table entry made from the previous code's
// string plus one character is exactly the bytes from where that string was written up
// to the first byte of the string after it. Entries whose string is not such a copy
// (after damaged codes, or strings that run through entries left over from before a
// clear code) keep no copy source and are decoded by the table walk, so the pixels are
// those of the walk in every case. Strings go to an index buffer in the order they are
// decoded; its rows are then put into the bitmap rows (bottom-up, de-interlaced, packed
// to 1 or 4 bits).
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/GifTypes.h"
#include "rtl/Exceptions.h"

namespace gif {

using formstream::psEnding;
using formstream::psRunning;
using formstream::psStarting;

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

// Reads LZW codes, least significant bit first, across the data sub-blocks.
class TCodeReader {
public:
    TCodeReader(const std::uint8_t* data, std::size_t size, const TGIFProgress& progress)
        : FStart(data), FPos(data), FEnd(data + size), FSize(size), FProgress(progress) {}

    // The next code of `size` bits, or -1 when the data hold no more bits.
    int Read(int size, std::uint32_t mask) {
        if (FCount < size) {
            Refill();
            if (FCount < size)
                return -1;
        }
        const int code = int(FBits & mask);
        FBits >>= size;
        FCount -= size;
        return code;
    }
    // A length byte promised more bytes than the data hold.
    bool Broken() const { return FBroken; }

private:
    void Refill() {
        while (FCount <= 56) {
            if (FBlockLeft == 0) {
                if (!NextBlock())
                    return;
                continue;
            }
            if (FBlockLeft >= 8) {
                std::uint64_t v;
                std::memcpy(&v, FBlock, 8);
                const int take = (64 - FCount) >> 3;
                if (take < 8)
                    v &= (std::uint64_t(1) << (take * 8)) - 1;
                FBits |= v << FCount;
                FCount += take * 8;
                FBlock += take;
                FBlockLeft -= take;
            } else {
                FBits |= std::uint64_t(*FBlock++) << FCount;
                FCount += 8;
                --FBlockLeft;
            }
        }
    }
    bool NextBlock() {
        if (FPos >= FEnd)
            return false;
        const std::size_t len = *FPos++;
        if (len > std::size_t(FEnd - FPos)) {
            FBroken = true;
            FPos = FEnd;
            return false;
        }
        FBlock = FPos;
        FBlockLeft = len;
        FPos += len;
        if (FProgress) {
            const int percent = int(std::size_t(FPos - FStart) * 100 / FSize);
            if (percent != FLastPercent) {
                FLastPercent = percent;
                FProgress(psRunning, std::uint8_t(percent), std::string());
            }
        }
        return true;
    }

    const std::uint8_t* FStart;
    const std::uint8_t* FPos;
    const std::uint8_t* FEnd;
    std::size_t FSize;
    const std::uint8_t* FBlock = nullptr;
    std::size_t FBlockLeft = 0;
    std::uint64_t FBits = 0;
    int FCount = 0;
    bool FBroken = false;
    int FLastPercent = 0;
    const TGIFProgress& FProgress;
};

// One string table entry, kept together so that a code costs one cache line.
struct TEntry {
    std::uint64_t Head;   // the string's first (up to) 8 pixels, zero beyond
    std::uint32_t Source; // where the string was written (strings over 8 pixels)
    std::uint16_t Length; // its length; 0 = not known, walk the table instead
    std::uint16_t Prefix; // the table's prefix code
};

struct TTables {
    TEntry Entries[MaxCodes];
    std::uint8_t Suffix[MaxCodes];
    std::uint8_t Stack[StackSize + 2];
};

// Copies `len` bytes from an earlier place (dst - src >= len, or from the literals); up to
// 15 bytes behind dst + len may be overwritten.
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

// The image row written after row y of an interlaced frame of `height` rows; height or
// more when all rows are done.
int NextInterlacedRow(int y, int height, int& pass) {
    static constexpr int Step[4] = {8, 8, 4, 2};
    static constexpr int Start[4] = {0, 4, 2, 1};
    int next = y + Step[pass];
    while (next >= height) {
        if (++pass > 3)
            return height;
        next = Start[pass];
    }
    return next;
}

void PutRow(std::uint8_t* dst, const std::uint8_t* src, int count, int depth) {
    switch (depth) {
    case 8:
        std::memcpy(dst, src, std::size_t(count));
        break;
    case 4: {
        int i = 0;
        for (; i + 1 < count; i += 2)
            *dst++ = std::uint8_t(src[i] << 4 | src[i + 1]);
        if (i < count)
            *dst = std::uint8_t(src[i] << 4);
        break;
    }
    default: {
        int i = 0;
        for (; i + 8 <= count; i += 8) {
            const std::uint8_t* s = src + i;
            *dst++ = std::uint8_t(s[0] << 7 | s[1] << 6 | s[2] << 5 | s[3] << 4 | s[4] << 3 |
                                  s[5] << 2 | s[6] << 1 | s[7]);
        }
        if (i < count) {
            std::uint8_t b = 0;
            for (int k = 0; i < count; ++i, ++k)
                b |= std::uint8_t(src[i] << (7 - k));
            *dst = b;
        }
        break;
    }
    }
}

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
    TEntry* const entry = tables->Entries;
    std::uint8_t* const suffix = tables->Suffix;
    std::uint8_t* const stack = tables->Stack;
    for (int i = 0; i <= lastLiteral; ++i) {
        entry[i].Head = std::uint8_t(i & pixelMask);
        entry[i].Length = 1;
    }

    // Rows without padding are decoded top-down in place and flipped afterwards.
    const std::size_t stride = std::size_t(BitmapStride(width, prm.Depth));
    const bool inPlace = total > 0 && prm.Depth == 8 && !prm.Interlaced &&
                         stride == std::size_t(width) && prm.PixelsSlack >= Slack;
    std::unique_ptr<std::uint8_t[]> buffer(inPlace ? nullptr : new std::uint8_t[total + Slack]);
    std::uint8_t* const out = inPlace ? pixels : buffer.get();

    TCodeReader reader(data + 1, size - 1, prm.Progress);
    int codeSize = minSize + 1;
    int limit = 1 << codeSize;
    std::uint32_t mask = std::uint32_t(limit - 1);
    int freeCode = firstFree;
    bool tableFull = false;

    std::size_t pos = 0;
    int oldCode = 0;
    std::uint8_t firstChar = 0;
    bool oldCopyable = false; // the previous string was written as the table has it
    std::size_t oldPos = 0;
    std::size_t oldLen = 0;
    std::uint64_t oldHead = 0; // first 8 pixels of the previous string
    bool outOfData = false;

    int code = reader.Read(codeSize, mask);
    for (;;) {
        if (code < 0) {
            outOfData = true;
            break;
        }
        if (pos >= total)
            break;
        // After a clamped minimum code size only clear codes are still decoded.
        if (stopAtString && code != clearCode)
            break;
        const std::size_t start = pos;
        const TEntry& e = entry[code];
        const std::size_t len = code < freeCode ? e.Length : 0;
        bool copyable;
        std::uint64_t curHead = 0;
        if (len != 0) {
            // A literal or a string written before: short ones come from the table (no
            // reads of bytes just written), long ones are copied.
            curHead = e.Head;
            if (len <= 8)
                std::memcpy(out + pos, &curHead, 8);
            else
                CopyString(out + pos, out + e.Source, len);
            pos += len;
            copyable = true;
        } else if (code == endCode) {
            break;
        } else if (code == clearCode) {
            codeSize = minSize + 1;
            limit = 1 << codeSize;
            mask = std::uint32_t(limit - 1);
            freeCode = firstFree;
            code = reader.Read(codeSize, mask);
            if (code < 0) {
                outOfData = true;
                break;
            }
            // The code after a clear is a literal, whatever its value.
            oldCode = code;
            firstChar = std::uint8_t(code & pixelMask);
            oldPos = pos;
            oldLen = 1;
            oldHead = firstChar;
            oldCopyable = code <= lastLiteral;
            out[pos++] = firstChar;
            tableFull = false;
            code = reader.Read(codeSize, mask);
            continue;
        } else if (code >= freeCode && oldCopyable) {
            // Not yet defined: the previous string and its own first pixel.
            curHead = oldLen < 8 ? oldHead | std::uint64_t(firstChar) << (8 * oldLen) : oldHead;
            if (oldLen < 8) {
                std::memcpy(out + pos, &curHead, 8);
                pos += oldLen;
            } else {
                CopyString(out + pos, out + oldPos, oldLen);
                pos += oldLen;
                out[pos] = firstChar;
            }
            ++pos;
            copyable = code == freeCode;
        } else {
            // The table walk, for strings that cannot be copied.
            int cur = code;
            int sp = 0;
            if (cur >= freeCode) {
                cur = oldCode;
                stack[sp++] = firstChar;
            }
            while (cur > lastLiteral) {
                if (sp > MaxCodes) {
                    if (!prm.Tolerant)
                        throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
                    corrupted = true;
                    break;
                }
                stack[sp++] = suffix[cur];
                cur = entry[cur].Prefix;
            }
            if (corrupted)
                break;
            stack[sp++] = std::uint8_t(cur & pixelMask);
            while (sp > 0)
                out[pos++] = stack[--sp];
            copyable = false;
        }
        firstChar = copyable || len != 0 ? std::uint8_t(curHead) : out[start];
        if (!tableFull) {
            TEntry& n = entry[freeCode];
            n.Prefix = std::uint16_t(oldCode);
            suffix[freeCode] = firstChar;
            n.Length = oldCopyable ? std::uint16_t(oldLen + 1) : 0;
            n.Source = std::uint32_t(oldPos);
            n.Head = oldLen < 8 ? oldHead | std::uint64_t(firstChar) << (8 * oldLen) : oldHead;
            if (++freeCode >= limit) {
                if (codeSize < 12) {
                    ++codeSize;
                    limit <<= 1;
                    mask = std::uint32_t(limit - 1);
                } else {
                    tableFull = true;
                }
            }
        }
        oldCode = code;
        oldPos = start;
        oldLen = pos - start;
        oldHead = curHead;
        oldCopyable = copyable;
        code = reader.Read(codeSize, mask);
    }
    if (outOfData && reader.Broken())
        throw rtl::EReadError(rtl::SReadError);
    if (outOfData && pos < total) {
        if (!prm.Tolerant)
            throw rtl::EInvalidGraphicOperation(SGIFDecodeError);
        corrupted = true;
    }

    // Put the decoded rows into the bitmap.
    const std::size_t written = std::min(pos, total);
    if (inPlace) {
        std::memset(out + written, 0, total - written);
        std::vector<std::uint8_t> temp(stride);
        for (int y = 0, z = height - 1; y < z; ++y, --z) {
            std::uint8_t* a = out + std::size_t(y) * stride;
            std::uint8_t* b = out + std::size_t(z) * stride;
            std::memcpy(temp.data(), a, stride);
            std::memcpy(a, b, stride);
            std::memcpy(b, temp.data(), stride);
        }
        return corrupted;
    }
    if (written == 0)
        return corrupted;
    const std::size_t fullRows = written / std::size_t(width);
    const int rest = int(written % std::size_t(width));
    int y = 0;
    int pass = 0;
    for (std::size_t k = 0; k <= fullRows && y < height; ++k) {
        const int count = k < fullRows ? width : rest;
        if (count == 0)
            break;
        PutRow(pixels + std::size_t(height - 1 - y) * stride, out + k * std::size_t(width), count,
               prm.Depth);
        y = prm.Interlaced ? NextInterlacedRow(y, height, pass) : y + 1;
    }
    return corrupted;
}

} // namespace

bool DecodeRaster(const std::uint8_t* data, std::size_t size, const TDecodeParams& params,
                  std::uint8_t* pixels) {
    params.Progress(psStarting, 0, std::string());
    bool corrupted;
    try {
        corrupted = Decode(data, size, params, pixels);
    } catch (const rtl::Exception& e) {
        params.Progress(psEnding, 0, e.Message());
        throw;
    }
    params.Progress(psEnding, 100, std::string());
    return corrupted;
}

namespace {
void PutLE(std::uint8_t* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}
} // namespace

bool WriteBitmapStream(const TGIFItem& item, bool interlaced, bool tolerant,
                       const TGIFProgress& progress, rtl::TMemoryStream& dest) {
    const int depth = BitmapDepthFor(item.BitsPerPixel);
    const std::int64_t width = std::max(item.Width, 0);
    const std::int64_t height = std::max(item.Height, 0);
    const std::int64_t stride = BitmapStride(width, depth);
    const std::int64_t imageSize = stride * height;
    const std::int64_t paletteSize = std::int64_t(4) << depth;
    const std::int64_t offset = 54 + paletteSize;
    if (width > MaxFrameDimension || height > MaxFrameDimension || imageSize > MaxFrameBytes)
        throw rtl::EInvalidGraphicOperation(SGIFImageTooLarge);

    // Room for the decoder's scratch space behind the rows, cut off again below.
    const bool fresh = dest.Size() == 0;
    dest.SetPosition(0);
    dest.SetSize(offset + imageSize + std::int64_t(DecodeSlack));
    std::uint8_t* const p = dest.Memory();
    if (!fresh)
        std::memset(p, 0, std::size_t(offset + imageSize));
    p[0] = 'B';
    p[1] = 'M';
    PutLE(p + 2, std::uint32_t(offset + imageSize), 4);
    PutLE(p + 10, std::uint32_t(offset), 4);
    PutLE(p + 14, 40, 4);
    PutLE(p + 18, std::uint32_t(width), 4);
    PutLE(p + 22, std::uint32_t(height), 4);
    PutLE(p + 26, 1, 2);
    PutLE(p + 28, std::uint32_t(depth), 2);
    PutLE(p + 34, std::uint32_t(imageSize), 4);
    const int colors = 1 << depth;
    const int count = std::clamp(item.ColorTable.Count, 0, colors);
    for (int i = 0; i < colors; ++i) {
        std::uint8_t* q = p + 54 + 4 * i;
        if (i < count) {
            const TGIFColorItem& c = item.ColorTable.Colors[std::size_t(i)];
            q[0] = c.Blue;
            q[1] = c.Green;
            q[2] = c.Red;
            q[3] = 0;
        } else {
            std::memset(q, 128, 4);
        }
    }

    TDecodeParams prm;
    prm.Width = std::int32_t(width);
    prm.Height = std::int32_t(height);
    prm.Depth = depth;
    prm.PixelBits = item.BitsPerPixel;
    prm.Interlaced = interlaced;
    prm.Tolerant = tolerant;
    prm.Progress = progress;
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
