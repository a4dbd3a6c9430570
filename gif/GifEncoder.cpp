// LZW encoding of bitmap rows into GIF raster data.
//
// The string table is an open-addressing hash of (prefix code, pixel) pairs packed with
// their code into one 32-bit slot; it is emptied at each clear code. The codes are those
// of the classic GIF encoder: a clear code first, the code size growing when the last
// assigned code reaches the limit, and a clear code (after the pending string) once code
// 4094 has been assigned, so codes never exceed 12 bits.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gif/GifCodec.h"
#include "gif/GifConsts.h"
#include "gif/RasterRows.h"
#include "rtl/Exceptions.h"

namespace gif {

using formstream::psEnding;
using formstream::psRunning;
using formstream::psStarting;

namespace {

constexpr int HashBits = 13;
constexpr std::uint32_t HashSize = 1u << HashBits;
constexpr std::uint32_t EmptySlot = 0xFFFFFFFF;
constexpr int LastCode = 4094;

class TStringTable {
public:
    TStringTable() { Clear(); }
    void Clear() { std::memset(FSlots, 0xFF, sizeof FSlots); }

    // The code of (prefix, pixel), or -1 with `slot` set to where it belongs.
    int Find(std::uint32_t key, std::uint32_t& slot) const {
        std::uint32_t i = (key * 2654435761u) >> (32 - HashBits);
        for (;;) {
            const std::uint32_t s = FSlots[i];
            if (s == EmptySlot) {
                slot = i;
                return -1;
            }
            if ((s >> 12) == key)
                return int(s & 0xFFF);
            i = (i + 1) & (HashSize - 1);
        }
    }
    void Insert(std::uint32_t slot, std::uint32_t key, int code) {
        FSlots[slot] = key << 12 | std::uint32_t(code);
    }

private:
    std::uint32_t FSlots[HashSize];
};

// Packs codes least significant bit first and hands the bytes on to the output in
// sub-blocks of 255 bytes, so that only a row's worth of packed bytes is ever held.
class TCodePacker {
public:
    explicit TCodePacker(rtl::TStream& out) : FOut(out) {}

    // Makes room for `moreBytes` packed bytes, passing whole sub-blocks on first.
    void Reserve(std::size_t moreBytes) {
        Flush(false);
        const std::size_t used = std::size_t(FPos - FBuf.data());
        if (FBuf.size() < used + moreBytes + 8) {
            FBuf.resize(std::max(FBuf.size() * 2, used + moreBytes + 8));
            FPos = FBuf.data() + used;
        }
    }
    void Put(std::uint32_t code, int size) {
        FAcc |= std::uint64_t(code) << FCount;
        FCount += size;
        if (FCount >= 32) {
            const std::uint32_t v = std::uint32_t(FAcc);
            std::memcpy(FPos, &v, 4);
            FPos += 4;
            FAcc >>= 32;
            FCount -= 32;
        }
    }
    // Flushes the partial byte and passes on the rest: the last, shorter sub-block and the
    // terminator.
    void Finish() {
        Reserve(8);
        while (FCount > 0) {
            *FPos++ = std::uint8_t(FAcc);
            FAcc >>= 8;
            FCount -= 8;
        }
        FCount = 0;
        Flush(true);
        const std::uint8_t terminator = 0;
        FOut.WriteBuffer(&terminator, 1);
    }

private:
    // Writes the packed bytes as sub-blocks: the whole ones, and with `all` the rest too.
    void Flush(bool all) {
        const std::uint8_t* p = FBuf.data();
        const std::uint8_t* const end = FPos;
        std::uint8_t blocks[16 * 256];
        std::size_t fill = 0;
        while (std::size_t(end - p) >= 255 || (all && end > p)) {
            const std::size_t len = std::min<std::size_t>(255, std::size_t(end - p));
            blocks[fill] = std::uint8_t(len);
            std::memcpy(blocks + fill + 1, p, len);
            fill += len + 1;
            p += len;
            if (fill > sizeof blocks - 256) {
                FOut.WriteBuffer(blocks, fill);
                fill = 0;
            }
        }
        if (fill)
            FOut.WriteBuffer(blocks, fill);
        const std::size_t rest = std::size_t(end - p);
        std::memmove(FBuf.data(), p, rest);
        FPos = FBuf.data() + rest;
    }

    rtl::TStream& FOut;
    std::vector<std::uint8_t> FBuf = std::vector<std::uint8_t>(4096);
    std::uint8_t* FPos = FBuf.data();
    std::uint64_t FAcc = 0;
    int FCount = 0;
};

void UnpackRow(const std::uint8_t* src, std::uint8_t* dst, int width, int depth) {
    if (depth == 4) {
        for (int x = 0; x < width; ++x)
            dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
    } else {
        for (int x = 0; x < width; ++x)
            dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

// The encoder's string state, kept in locals while a row is encoded.
struct TEncodeState {
    int CodeSize = 0;
    std::uint32_t Limit = 0;
    std::uint32_t Next = 0; // last assigned code
    std::uint32_t Prefix = 0;
    bool HaveString = false;
};

class TLzwEncoder {
public:
    TLzwEncoder(rtl::TStream& out, int depth)
        : FInitSize(depth == 1 ? 3 : depth + 1), FClearCode(1u << (FInitSize - 1)),
          FEndCode(FClearCode + 1), FTable(std::make_unique<TStringTable>()),
          FMemo(std::make_unique<std::uint32_t[]>(4096)), FPacker(out) {
        // Minimum code size first, then the codes in sub-blocks, then the terminator.
        const std::uint8_t minSize = std::uint8_t(FInitSize - 1);
        out.WriteBuffer(&minSize, 1);
        Restart();
        FPacker.Put(FClearCode, FState.CodeSize);
    }

    // Encodes one row of index bytes. Kept in one loop over locals: the table and code
    // stores could otherwise change any state held in the object.
    void Row(const std::uint8_t* src, int width) {
        FPacker.Reserve(std::size_t(width) * 2 + 16);
        TEncodeState s = FState;
        std::uint32_t* const memo = FMemo.get();
        int x = 0;
        if (!s.HaveString && width > 0) {
            s.Prefix = src[0];
            s.HaveString = true;
            x = 1;
        }
        for (; x < width; ++x) {
            const std::uint32_t pixel = src[x];
            const std::uint32_t m = memo[s.Prefix];
            if ((m >> 16) == pixel) {
                s.Prefix = m & 0xFFFF;
                continue;
            }
            const std::uint32_t key = s.Prefix << 8 | pixel;
            std::uint32_t slot;
            const int code = FTable->Find(key, slot);
            if (code >= 0) {
                memo[s.Prefix] = pixel << 16 | std::uint32_t(code);
                s.Prefix = std::uint32_t(code);
                continue;
            }
            FPacker.Put(s.Prefix, s.CodeSize);
            ++s.Next;
            FTable->Insert(slot, key, int(s.Next));
            memo[s.Prefix] = pixel << 16 | s.Next;
            s.Prefix = pixel;
            if (s.Next >= s.Limit) {
                s.Limit <<= 1;
                ++s.CodeSize;
            } else if (s.Next >= LastCode) {
                // The pending string, a clear code, and a fresh table.
                FPacker.Put(s.Prefix, s.CodeSize);
                FPacker.Put(FClearCode, s.CodeSize);
                Restart();
                s = FState;
                if (x + 1 < width) {
                    s.Prefix = src[++x];
                    s.HaveString = true;
                }
            }
        }
        FState = s;
    }

    void Finish() {
        FPacker.Reserve(16);
        FPacker.Put(FState.Prefix, FState.CodeSize);
        FPacker.Put(FEndCode, FState.CodeSize);
        FPacker.Finish();
    }

private:
    void Restart() {
        FState.HaveString = false;
        FState.Next = FEndCode;
        FState.CodeSize = FInitSize;
        FState.Limit = 1u << FInitSize;
        FTable->Clear();
        // The last extension found for each code: (pixel << 16 | code), all ones for
        // none. Runs of flat colour find their strings here without probing the hash.
        std::memset(FMemo.get(), 0xFF, 4096 * sizeof(std::uint32_t));
    }

    const int FInitSize;
    const std::uint32_t FClearCode;
    const std::uint32_t FEndCode;
    std::unique_ptr<TStringTable> FTable;
    std::unique_ptr<std::uint32_t[]> FMemo;
    TCodePacker FPacker;
    TEncodeState FState;
};

void Encode(rtl::TStream& out, std::int32_t width, std::int32_t height, int depth, bool interlaced,
            const std::uint8_t* rows, std::ptrdiff_t rowStep, const TGIFProgress& progress) {
    TLzwEncoder encoder(out, depth);
    progress(psStarting, 0, std::string());
    std::vector<std::uint8_t> unpacked(depth == 8 ? 0 : std::size_t(std::max(width, 0)));
    int y = 0;
    int pass = 0;
    int lastPercent = 0;
    while (y < height) {
        const std::uint8_t* src = rows + std::ptrdiff_t(y) * rowStep;
        if (depth != 8) {
            UnpackRow(src, unpacked.data(), width, depth);
            src = unpacked.data();
        }
        encoder.Row(src, width);
        y = interlaced ? NextInterlacedRow(y, height, pass) : y + 1;
        if (progress) {
            const int percent = int(std::int64_t(y) * 100 / height);
            if (percent != lastPercent) {
                lastPercent = percent;
                progress(psRunning, std::uint8_t(percent), std::string());
            }
        }
    }
    encoder.Finish();
}

} // namespace

void EncodeRaster(rtl::TStream& out, std::int32_t width, std::int32_t height, int depth,
                  bool interlaced, const std::uint8_t* rows, std::ptrdiff_t rowStep,
                  const TGIFProgress& progress) {
    if (depth != 1 && depth != 4 && depth != 8)
        throw rtl::EInvalidGraphicOperation(SGIFEncodeError);
    try {
        Encode(out, width, height, depth, interlaced, rows, rowStep, progress);
    } catch (const rtl::Exception& e) {
        progress(psEnding, 0, e.Message());
        throw;
    }
    progress(psEnding, 100, std::string());
}

} // namespace gif
