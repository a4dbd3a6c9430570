// Drawing from two threads at once. Long sequences of calls with random, extreme and
// stale arguments are the fuzz target fuzz/platform-gdi/GdiCallsFuzz.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

namespace {

// Random choices for the drawing thread test: colours of every kind.
class Chaos {
public:
    explicit Chaos(unsigned seed) : Rng(seed) {}

    unsigned Pick(unsigned n) { return unsigned(Rng() % n); }
    COLORREF Colour() {
        switch (Pick(4)) {
        case 0:
            return PALETTEINDEX(WORD(Rng()));
        case 1:
            return PALETTERGB(BYTE(Rng()), BYTE(Rng()), BYTE(Rng()));
        case 2:
            return DWORD(Rng());
        default:
            return RGB(BYTE(Rng()), BYTE(Rng()), BYTE(Rng()));
        }
    }

private:
    std::mt19937 Rng;
};

TEST(GdiRobustness, DrawingFromASecondThreadIsSerialised) {
    // A video thread keeps drawing frames while the main thread creates, selects and
    // deletes objects; every frame must arrive whole.
    std::vector<std::uint32_t> pixels(32 * 32, 0);
    platform::Surface surface{pixels.data(), 32, 32, 32};
    HDC screen = platform::CreateSurfaceDC(surface, POINT{0, 0}, {RECT{0, 0, 32, 32}});
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread video([&] {
        std::vector<std::uint32_t> frame(16 * 16);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 16;
        bi.bmiHeader.biHeight = -16;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        for (std::uint32_t n = 1; !stop || frames < 200; ++n) {
            std::fill(frame.begin(), frame.end(), n & 0xFFFFFF);
            StretchDIBits(screen, 0, 0, 32, 32, 0, 0, 16, 16, frame.data(), &bi, DIB_RGB_COLORS,
                          SRCCOPY);
            ++frames;
        }
    });
    Chaos r(7);
    for (int i = 0; i < 3000; ++i) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bm = CreateCompatibleBitmap(screen, 8, 8);
        HGDIOBJ old = SelectObject(dc, bm);
        HBRUSH brush = CreateSolidBrush(r.Colour());
        RECT rc{0, 0, 8, 8};
        FillRect(dc, &rc, brush);
        BitBlt(dc, 0, 0, 8, 8, screen, int(r.Pick(24)), int(r.Pick(24)), SRCCOPY);
        // The copy saw one whole frame.
        COLORREF first = GetPixel(dc, 0, 0);
        int torn = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                torn += GetPixel(dc, x, y) != first;
        EXPECT_EQ(0, torn);
        SelectObject(dc, old);
        DeleteObject(brush);
        DeleteObject(bm);
        DeleteDC(dc);
    }
    stop = true;
    video.join();
    platform::DeleteSurfaceDC(screen);
    EXPECT_GE(frames.load(), 200);
}

} // namespace
