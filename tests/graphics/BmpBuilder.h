// Test helper: builds BMP file images byte by byte, in the canonical layout the bitmap
// writes (14-byte file header, 40-byte information header, masks for 5-6-5, colour
// table, rows padded to 4 bytes), and reads colours out of bitmaps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "rtl/Stream.h"

namespace testbmp {

struct TBmpFields {
    int Width = 1;
    int Height = 1;
    int BitCount = 24;
    bool TopDown = false;
    bool Is565 = false;
    std::vector<RGBQUAD> Colors;      // written as given; ColorsUsed 0 when 2^depth entries
    std::vector<std::uint8_t> Pixels; // rows in file order, each padded to 4 bytes
};

inline int Stride(int width, int bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

inline void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

inline std::vector<std::uint8_t> BuildBmp(const TBmpFields& s) {
    const bool masks = s.BitCount == 16 && s.Is565;
    const std::uint32_t tableBytes = std::uint32_t(s.Colors.size() * 4);
    const std::uint32_t offBits = 14 + 40 + (masks ? 12 : 0) + tableBytes;
    const std::uint32_t imageSize = std::uint32_t(Stride(s.Width, s.BitCount) * s.Height);
    std::vector<std::uint8_t> b;
    b.push_back('B'); // signature
    b.push_back('M');
    Put32(b, offBits + imageSize);                             // file size
    Put32(b, 0);                                               // reserved
    Put32(b, offBits);                                         // offset of the pixels
    Put32(b, 40);                                              // header size
    Put32(b, std::uint32_t(s.Width));                          // width
    Put32(b, std::uint32_t(s.TopDown ? -s.Height : s.Height)); // height
    Put16(b, 1);                                               // planes
    Put16(b, std::uint32_t(s.BitCount));                       // bits per pixel
    Put32(b, masks ? BI_BITFIELDS : BI_RGB);                   // compression
    Put32(b, imageSize);                                       // image size
    Put32(b, 0);                                               // horizontal resolution
    Put32(b, 0);                                               // vertical resolution
    const bool full = s.BitCount <= 8 && s.Colors.size() == (std::size_t(1) << s.BitCount);
    Put32(b, full ? 0 : std::uint32_t(s.Colors.size())); // colours used
    Put32(b, 0);                                         // colours important
    if (masks) {
        Put32(b, 0xF800);
        Put32(b, 0x07E0);
        Put32(b, 0x001F);
    }
    for (const RGBQUAD& q : s.Colors) {
        b.push_back(q.rgbBlue);
        b.push_back(q.rgbGreen);
        b.push_back(q.rgbRed);
        b.push_back(0);
    }
    b.insert(b.end(), s.Pixels.begin(), s.Pixels.end());
    return b;
}

// Pixels with a recognisable pattern: byte i of the image is (i * 7 + 3), with the pad
// bytes of each row 0 (as a writer leaves them).
inline std::vector<std::uint8_t> PatternPixels(int width, int height, int bitCount) {
    const int stride = Stride(width, bitCount);
    const int used = (width * bitCount + 7) / 8;
    std::vector<std::uint8_t> p(std::size_t(stride * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < used; ++x)
            p[std::size_t(y * stride + x)] = std::uint8_t((y * stride + x) * 7 + 3);
    // Bits past the width in the last used byte are padding too.
    const int tailBits = (width * bitCount) % 8;
    if (tailBits)
        for (int y = 0; y < height; ++y)
            p[std::size_t(y * stride + used - 1)] &= std::uint8_t(0xFF << (8 - tailBits));
    return p;
}

inline RGBQUAD Quad(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return RGBQUAD{b, g, r, 0};
}

inline std::vector<RGBQUAD> GreyRamp(int count) {
    std::vector<RGBQUAD> c;
    for (int i = 0; i < count; ++i)
        c.push_back(Quad(std::uint8_t(i * 3), std::uint8_t(255 - i), std::uint8_t(i * 5)));
    return c;
}

inline void LoadBytes(graphics::TBitmap& bitmap, const std::vector<std::uint8_t>& bytes) {
    rtl::TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.SetPosition(0);
    bitmap.LoadFromStream(stream);
}

inline std::vector<std::uint8_t> SaveBytes(graphics::TBitmap& bitmap) {
    rtl::TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return std::vector<std::uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

// A 24-bit bitmap of the given size filled with one colour.
inline void MakeSolid(graphics::TBitmap& bitmap, int w, int h, formstream::TColor color) {
    bitmap.SetPixelFormat(graphics::pf24bit);
    bitmap.SetSize(w, h);
    bitmap.Canvas()->Brush()->SetColor(color);
    bitmap.Canvas()->FillRect(rtl::Rect(0, 0, w, h));
}

// The colour of pixel (x, y) of a 24- or 32-bit bitmap, read from its rows.
inline COLORREF PixelOf(graphics::TBitmap& bitmap, int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(bitmap.ScanLine(y));
    const int bytes = bitmap.BitsPerPixel() / 8;
    const std::uint8_t* p = row + x * bytes;
    return RGB(p[2], p[1], p[0]);
}

inline std::string Hex(COLORREF c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", unsigned(c));
    return buf;
}

} // namespace testbmp
