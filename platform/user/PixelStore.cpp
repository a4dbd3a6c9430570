#include "platform/user/PixelStore.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace platform::user {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;
// From this size a zero-filled store is a mapping of its own, left untouched.
constexpr std::size_t ZeroMappingMin = std::size_t(64) << 10;

} // namespace

bool PixelStore::Assign(std::size_t count, std::uint32_t value) {
    Release();
    if (count == 0)
        return true;
    if (count > (std::size_t(-1) - HugePage) / sizeof(std::uint32_t))
        return false;
    std::size_t bytes = count * sizeof(std::uint32_t);
    if (value == 0 && bytes >= ZeroMappingMin) {
        // Fresh anonymous memory reads as zero: nothing is written, and only the pages
        // something draws on ever become resident (in small pages, so a few strokes on a
        // screen-sized store cost a few pages rather than megabytes).
        void* m = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED)
            return false;
        Mapping = m;
        MappingBytes = bytes;
        Pixels = static_cast<std::uint32_t*>(m);
        Count = count;
        return true;
    }
    if (bytes >= HugePage) {
        // Over-allocate by one huge page so the pixels can start on a huge-page boundary;
        // the unused head and tail cost address space only.
        std::size_t span = bytes + HugePage;
        void* m = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m != MAP_FAILED) {
            auto base = reinterpret_cast<std::uintptr_t>(m);
            auto aligned = (base + HugePage - 1) & ~(HugePage - 1);
            madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
            Mapping = m;
            MappingBytes = span;
            Pixels = reinterpret_cast<std::uint32_t*>(aligned);
        }
    }
    if (!Pixels) {
        Pixels = new (std::nothrow) std::uint32_t[count];
        if (!Pixels)
            return false;
    }
    Count = count;
    std::fill_n(Pixels, count, value);
    return true;
}

void PixelStore::Swap(PixelStore& other) noexcept {
    std::swap(Pixels, other.Pixels);
    std::swap(Count, other.Count);
    std::swap(Mapping, other.Mapping);
    std::swap(MappingBytes, other.MappingBytes);
}

void PixelStore::Release() {
    if (Mapping)
        munmap(Mapping, MappingBytes);
    else
        delete[] Pixels;
    Pixels = nullptr;
    Count = 0;
    Mapping = nullptr;
    MappingBytes = 0;
}

} // namespace platform::user
