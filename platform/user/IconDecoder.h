// Decoding of icon resources into pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/windef.h"

namespace platform::user {

// The largest image of .ico data (32- or 24-bit DIB or PNG entries), as 0xAARRGGBB pixels,
// rows top-down. False for data it cannot read.
bool DecodeIconResource(const unsigned char* data, std::size_t size, int& width, int& height,
                        std::vector<std::uint32_t>& pixels);

// The .ico data of a Windows executable's group-icon resource: the group lists its
// images by RT_ICON number, each found in `module`. False when the group is damaged or an
// image is missing.
bool AssembleIconFile(HMODULE module, const unsigned char* group, std::size_t size,
                      std::vector<unsigned char>& ico);

} // namespace platform::user
