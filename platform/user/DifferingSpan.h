// Internal to the platform layer: where two rows of the same length differ.
#pragma once

#include <cstring>
#include <utility>

namespace platform::user {

// The first and one past the last element in which two rows of `count` elements differ;
// equal rows give an empty span. Compared 64 bytes at a time from each end, then element
// by element.
template <class T> std::pair<int, int> DifferingSpan(const T* a, const T* b, int count) {
    constexpr int Block = 64 / int(sizeof(T));
    if (std::memcmp(a, b, std::size_t(count) * sizeof(T)) == 0)
        return {0, 0};
    int left = 0;
    while (left + Block <= count && std::memcmp(a + left, b + left, Block * sizeof(T)) == 0)
        left += Block;
    while (a[left] == b[left])
        ++left;
    int right = count;
    while (right - Block > left &&
           std::memcmp(a + right - Block, b + right - Block, Block * sizeof(T)) == 0)
        right -= Block;
    while (a[right - 1] == b[right - 1])
        --right;
    return {left, right};
}

} // namespace platform::user
