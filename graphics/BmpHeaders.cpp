#include "graphics/BmpHeaders.h"

#include <cstring>

namespace graphics {

std::uint32_t WriteBmpHeaders(std::uint8_t* dest, std::int32_t width, std::int32_t height,
                              int bitCount, std::uint32_t tableEntries, std::uint32_t imageSize) {
    const std::uint32_t offset =
        BmpFileHeaderSize + BmpInfoHeaderSize + tableEntries * sizeof(RGBQUAD);
    BITMAPFILEHEADER file{};
    file.bfType = BmpSignature;
    file.bfSize = offset + imageSize;
    file.bfOffBits = offset;
    BITMAPINFOHEADER info{};
    info.biSize = BmpInfoHeaderSize;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = WORD(bitCount);
    info.biCompression = BI_RGB;
    info.biSizeImage = imageSize;
    std::memcpy(dest, &file, BmpFileHeaderSize);
    std::memcpy(dest + BmpFileHeaderSize, &info, BmpInfoHeaderSize);
    return offset;
}

bool ParseBmpHeaders(const std::uint8_t* bytes, std::size_t size, BITMAPFILEHEADER& file,
                     BITMAPINFOHEADER& info) {
    if (size < BmpFileHeaderSize + BmpInfoHeaderSize)
        return false;
    std::memcpy(&file, bytes, BmpFileHeaderSize);
    std::memcpy(&info, bytes + BmpFileHeaderSize, BmpInfoHeaderSize);
    return file.bfType == BmpSignature;
}

} // namespace graphics
