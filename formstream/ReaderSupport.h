// Internal to the form stream library: the limits and small helpers that the reader's
// parts (structure and components in Reader.cpp, typed values in ReaderValues.cpp)
// share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "formstream/ValueTags.h"
#include "rtl/Exceptions.h"

namespace formstream {

namespace readersupport {

// Deeper nesting of components, lists or collections than this is refused, so that a
// damaged stream cannot exhaust the stack.
inline constexpr int MaxNesting = 200;
// Blocks whose length the stream cannot vouch for are read in pieces of this size.
inline constexpr std::size_t BlockChunk = 1 << 20;
inline constexpr std::size_t SkipChunk = 256;

[[noreturn]] inline void ReadError() {
    throw rtl::EReadError(rtl::SReadError);
}
[[noreturn]] inline void InvalidValue() {
    throw rtl::EReadError(rtl::SInvalidPropertyValue);
}

inline bool IsIntegerTag(TValueTag tag) {
    return tag == tagInt8 || tag == tagInt16 || tag == tagInt32;
}

inline std::uint32_t LoadLE32(const std::uint8_t* b) {
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}
inline std::uint64_t LoadLE64(const std::uint8_t* b) {
    return std::uint64_t(LoadLE32(b)) | (std::uint64_t(LoadLE32(b + 4)) << 32);
}

// Reads `count` elements into a growable buffer, in bounded pieces when the stream could
// not vouch for the length. `read` fills n elements at p.
template <class Buf, class ReadFn>
void ReadSized(Buf& buf, std::size_t count, bool vouched, ReadFn&& read) {
    if (vouched) {
        buf.resize(count);
        if (count)
            read(buf.data(), count);
        return;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, BlockChunk);
        buf.resize(done + n);
        read(buf.data() + done, n);
        done += n;
    }
}

} // namespace readersupport

// Counts nesting levels of one reader (its depth counter); refuses to go deeper than
// MaxNesting.
class TNestingGuard {
public:
    explicit TNestingGuard(int& depth) : FDepth(depth) {
        if (FDepth >= readersupport::MaxNesting)
            readersupport::ReadError();
        ++FDepth;
    }
    ~TNestingGuard() { --FDepth; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;

private:
    int& FDepth;
};

} // namespace formstream
