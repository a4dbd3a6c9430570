// Test helper of the drawing tests: a memory context over a top-down 32-bit DIB section
// whose pixels the test reads and writes directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wingdi.h"

struct DibCanvas {
    HDC Dc = nullptr;
    HBITMAP Bm = nullptr;
    HGDIOBJ Old = nullptr;
    std::uint32_t* Bits = nullptr;
    int W = 0, H = 0;

    DibCanvas(int w, int h, COLORREF fill = RGB(0, 0, 0)) : W(w), H(h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        Bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        Bits = static_cast<std::uint32_t*>(bits);
        Dc = CreateCompatibleDC(nullptr);
        Old = SelectObject(Dc, Bm);
        Fill(fill);
    }
    ~DibCanvas() {
        SelectObject(Dc, Old);
        DeleteDC(Dc);
        DeleteObject(Bm);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    void Fill(COLORREF c) {
        for (int i = 0; i < W * H; ++i)
            Bits[i] = Pix(c);
    }
    // The pixel value (0x00RRGGBB) of a colour.
    static std::uint32_t Pix(COLORREF c) {
        return (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) |
               GetBValue(c);
    }
    COLORREF At(int x, int y) const {
        std::uint32_t p = Bits[y * W + x];
        return RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p));
    }
    // The picture as rows of characters: '.' for `background`, '#' for anything else.
    std::vector<std::string> Map(COLORREF background) const {
        std::vector<std::string> rows;
        for (int y = 0; y < H; ++y) {
            std::string r;
            for (int x = 0; x < W; ++x)
                r += At(x, y) == background ? '.' : '#';
            rows.push_back(r);
        }
        return rows;
    }
};
