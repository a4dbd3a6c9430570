// A screen read back as a binary PPM (what ImageMagick's `import` writes), for tests on
// a real display.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testutil {

struct Ppm {
    int Width = 0, Height = 0;
    std::vector<unsigned char> Rgb;
    std::uint32_t At(int x, int y) const {
        const unsigned char* p = &Rgb[(std::size_t(y) * std::size_t(Width) + std::size_t(x)) * 3];
        return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
    }
    // The bytes of a rectangle, row by row.
    std::vector<unsigned char> Region(int x, int y, int w, int h) const {
        std::vector<unsigned char> out;
        for (int row = y; row < y + h; ++row) {
            const auto* p = &Rgb[(std::size_t(row) * std::size_t(Width) + std::size_t(x)) * 3];
            out.insert(out.end(), p, p + std::size_t(w) * 3);
        }
        return out;
    }
};

inline bool ReadPpm(const std::string& path, Ppm& out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> out.Width >> out.Height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255 || out.Width <= 0 || out.Height <= 0)
        return false;
    out.Rgb.resize(std::size_t(out.Width) * std::size_t(out.Height) * 3);
    in.read(reinterpret_cast<char*>(out.Rgb.data()), std::streamsize(out.Rgb.size()));
    return bool(in);
}

} // namespace testutil
