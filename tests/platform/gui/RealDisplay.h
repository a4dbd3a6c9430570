// Helpers for tests on a real display: a message loop bounded by real time, and the
// screen read back as a binary PPM (what ImageMagick's `import` writes).
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace realdisplay {

// Runs the message loop until `done` holds; false when `seconds` of real time pass first.
template <class Pred> bool PumpUntil(Pred done, int seconds = 10) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        } else {
            WaitMessage();
        }
    }
    return true;
}

struct Ppm {
    int Width = 0, Height = 0;
    std::vector<unsigned char> Rgb;
    std::uint32_t At(int x, int y) const {
        const unsigned char* p = &Rgb[(std::size_t(y) * std::size_t(Width) + std::size_t(x)) * 3];
        return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
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

} // namespace realdisplay
