// The pixel memory of a top-level window's surface (and of the screen's). A maximised
// window holds several megabytes that are written in full before its first frame is
// shown; taking them in huge pages where the system offers them spares a page fault per
// 4 KB of it. A large store filled with zero is not written at all: its pages stay
// untouched (not resident) until something draws on them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::user {

class PixelStore {
public:
    PixelStore() = default;
    PixelStore(const PixelStore&) = delete;
    PixelStore& operator=(const PixelStore&) = delete;
    ~PixelStore() { Release(); }

    // Replaces the contents with count pixels of the given value; false when the memory
    // cannot be had (the store is then empty). A value of 0 leaves large stores untouched.
    bool Assign(std::size_t count, std::uint32_t value);
    void Release();
    // Exchanges the contents with `other` (a new surface goes in, the old one comes out).
    void Swap(PixelStore& other) noexcept;

    std::uint32_t* Data() const { return Pixels; }
    std::size_t Size() const { return Count; }
    bool Empty() const { return Count == 0; }

private:
    std::uint32_t* Pixels = nullptr;
    std::size_t Count = 0;
    void* Mapping = nullptr; // set when the pixels live in a mapping of their own
    std::size_t MappingBytes = 0;
};

} // namespace platform::user
