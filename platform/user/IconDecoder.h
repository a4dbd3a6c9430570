// Decoding of icon resources into pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::user {

// The largest image of .ico data (32- or 24-bit DIB or PNG entries), as 0xAARRGGBB pixels,
// rows top-down. False for data it cannot read.
bool DecodeIconResource(const unsigned char* data, std::size_t size, int& width, int& height,
                        std::vector<std::uint32_t>& pixels);

} // namespace platform::user
