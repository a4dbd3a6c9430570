// Internal to the GIF library: the reader of LZW codes that both decoders share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "gif/GifCodec.h"
#include "rtl/Exceptions.h"

namespace gif {

// Reads LZW codes, least significant bit first, across the data sub-blocks. The bytes of
// the sub-blocks are gathered, without their length bytes, into a small staging buffer, so
// that the decoding loop refills its bit buffer with one 8-byte load. The loop keeps the
// bit buffer and the read position in locals (Bits, Count, Cur) and hands them back here
// only when the staged bytes run low.
class TCodeReader {
public:
    TCodeReader(const std::uint8_t* data, std::size_t size, const TGIFProgress& progress)
        : FStart(data), FPos(data), FEnd(data + size), FSize(size), FProgress(progress) {}

    std::uint64_t Bits = 0; // the next Count bits of the data, first bit lowest
    int Count = 0;
    const std::uint8_t* Cur = FStage;     // next staged byte not yet in Bits
    const std::uint8_t* SafeEnd = FStage; // Cur < SafeEnd: 8 staged bytes lie at Cur

    // Tops Bits up to at least 57 bits, or as far as the data go, once the loop's own
    // 8-byte refill has run out of staged bytes.
    void Refill() {
        if (Cur >= SafeEnd)
            Stage();
        while (Count <= 56 && Cur < FStageEnd) {
            Bits |= std::uint64_t(*Cur++) << Count;
            Count += 8;
        }
    }
    // A length byte promised more bytes than the data hold.
    bool Broken() const { return FBroken; }

private:
    // Moves the staged bytes not yet read to the front and fills up behind them.
    void Stage() {
        const std::size_t keep = std::size_t(FStageEnd - Cur);
        std::memmove(FStage, Cur, keep);
        std::uint8_t* end = FStage + keep;
        std::uint8_t* const full = FStage + StageBytes;
        while (end < full) {
            if (FBlockLeft == 0 && !NextBlock())
                break;
            const std::size_t take = std::min(FBlockLeft, std::size_t(full - end));
            std::memcpy(end, FBlock, take);
            end += take;
            FBlock += take;
            FBlockLeft -= take;
        }
        Cur = FStage;
        FStageEnd = end;
        SafeEnd = end - FStage >= 8 ? end - 7 : FStage;
    }
    bool NextBlock() {
        for (;;) {
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
                    FProgress(formstream::psRunning, std::uint8_t(percent), std::string());
                }
            }
            if (len != 0) // a zero-length block adds no bytes; reading goes on behind it
                return true;
        }
    }

    static constexpr std::size_t StageBytes = 4096;
    const std::uint8_t* FStart;
    const std::uint8_t* FPos;
    const std::uint8_t* FEnd;
    std::size_t FSize;
    const std::uint8_t* FBlock = nullptr;
    std::size_t FBlockLeft = 0;
    bool FBroken = false;
    int FLastPercent = 0;
    const TGIFProgress& FProgress;
    std::uint8_t FStage[StageBytes];
    const std::uint8_t* FStageEnd = FStage;
};

// Runs a decoding between the progress reports of its start and its end: ending 100 %
// when it returns, ending 0 % with the message when it raises.
template <class F> bool WithDecodeProgress(const TGIFProgress& progress, F&& decode) {
    progress(formstream::psStarting, 0, std::string());
    bool corrupted;
    try {
        corrupted = decode();
    } catch (const rtl::Exception& e) {
        progress(formstream::psEnding, 0, e.Message());
        throw;
    }
    progress(formstream::psEnding, 100, std::string());
    return corrupted;
}

} // namespace gif
