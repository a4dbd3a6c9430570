// Block copies of a full-screen picture, the transparent stretched drawing of pictures,
// and short text strings.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/Surface.h"
#include "platform/wingdi.h"

namespace {

struct MemoryBitmap {
    HDC Dc;
    HBITMAP Bm;
    HGDIOBJ Old;
    MemoryBitmap(int w, int h) {
        Bm = CreateBitmap(w, h, 1, 32, nullptr);
        Dc = CreateCompatibleDC(nullptr);
        Old = SelectObject(Dc, Bm);
        RECT r{0, 0, w, h};
        FillRect(Dc, &r, reinterpret_cast<HBRUSH>(std::uintptr_t(COLOR_BTNFACE + 1)));
    }
    ~MemoryBitmap() {
        SelectObject(Dc, Old);
        DeleteDC(Dc);
        DeleteObject(Bm);
    }
};

void BM_BitBltSrcCopy1280x1024(benchmark::State& state) {
    MemoryBitmap src(1280, 1024), dst(1280, 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(BitBlt(dst.Dc, 0, 0, 1280, 1024, src.Dc, 0, 0, SRCCOPY));
    state.SetBytesProcessed(int64_t(state.iterations()) * 1280 * 1024 * 4);
}
BENCHMARK(BM_BitBltSrcCopy1280x1024)->Unit(benchmark::kMillisecond);

void BM_BitBltToSurface1280x1024(benchmark::State& state) {
    MemoryBitmap src(1280, 1024);
    std::vector<std::uint32_t> pixels(1280 * 1024);
    platform::Surface s{pixels.data(), 1280, 1024, 1280};
    HDC dc = platform::CreateSurfaceDC(s, POINT{0, 0}, {RECT{0, 0, 1280, 1024}});
    for (auto _ : state)
        benchmark::DoNotOptimize(BitBlt(dc, 0, 0, 1280, 1024, src.Dc, 0, 0, SRCCOPY));
    state.SetBytesProcessed(int64_t(state.iterations()) * 1280 * 1024 * 4);
    platform::DeleteSurfaceDC(dc);
}
BENCHMARK(BM_BitBltToSurface1280x1024)->Unit(benchmark::kMillisecond);

void BM_BitBltSrcAnd1280x1024(benchmark::State& state) {
    MemoryBitmap src(1280, 1024), dst(1280, 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(BitBlt(dst.Dc, 0, 0, 1280, 1024, src.Dc, 0, 0, SRCAND));
    state.SetBytesProcessed(int64_t(state.iterations()) * 1280 * 1024 * 4);
}
BENCHMARK(BM_BitBltSrcAnd1280x1024)->Unit(benchmark::kMillisecond);

// Mask from the transparent colour, inverted mask, AND/OR composition in a work bitmap.
void DrawTransparent(HDC dest, int dw, int dh, HDC src, int sw, int sh, COLORREF transparent) {
    HDC maskDc = CreateCompatibleDC(dest), invDc = CreateCompatibleDC(dest),
        workDc = CreateCompatibleDC(dest), copyDc = CreateCompatibleDC(dest);
    HBITMAP mask = CreateBitmap(sw, sh, 1, 1, nullptr);
    HBITMAP inv = CreateBitmap(sw, sh, 1, 1, nullptr);
    HBITMAP work = CreateCompatibleBitmap(dest, dw, dh);
    HBITMAP copy = CreateCompatibleBitmap(dest, sw, sh);
    HGDIOBJ o1 = SelectObject(maskDc, mask), o2 = SelectObject(invDc, inv),
            o3 = SelectObject(workDc, work), o4 = SelectObject(copyDc, copy);
    SetStretchBltMode(dest, COLORONCOLOR);
    BitBlt(copyDc, 0, 0, sw, sh, src, 0, 0, SRCCOPY);
    COLORREF oldBk = SetBkColor(copyDc, transparent | 0x02000000);
    BitBlt(maskDc, 0, 0, sw, sh, copyDc, 0, 0, SRCCOPY);
    SetBkColor(copyDc, oldBk);
    BitBlt(invDc, 0, 0, sw, sh, maskDc, 0, 0, NOTSRCCOPY);
    BitBlt(workDc, 0, 0, dw, dh, dest, 0, 0, SRCCOPY);
    StretchBlt(workDc, 0, 0, dw, dh, maskDc, 0, 0, sw, sh, SRCAND);
    BitBlt(copyDc, 0, 0, sw, sh, invDc, 0, 0, SRCAND);
    StretchBlt(workDc, 0, 0, dw, dh, copyDc, 0, 0, sw, sh, SRCPAINT);
    BitBlt(dest, 0, 0, dw, dh, workDc, 0, 0, SRCCOPY);
    SelectObject(maskDc, o1);
    SelectObject(invDc, o2);
    SelectObject(workDc, o3);
    SelectObject(copyDc, o4);
    for (HDC dc : {maskDc, invDc, workDc, copyDc})
        DeleteDC(dc);
    for (HBITMAP bm : {mask, inv, work, copy})
        DeleteObject(bm);
}

void BM_TransparentStretch650x491(benchmark::State& state) {
    int scale = int(state.range(0));
    MemoryBitmap src(650, 491);
    for (int y = 0; y < 491; y += 3)
        for (int x = 0; x < 650; x += 2)
            SetPixel(src.Dc, x, y, RGB(255, 255, 255));
    std::vector<std::uint32_t> pixels(1300 * 982);
    platform::Surface s{pixels.data(), 1300, 982, 1300};
    HDC screen = platform::CreateSurfaceDC(s, POINT{0, 0}, {RECT{0, 0, 1300, 982}});
    for (auto _ : state)
        DrawTransparent(screen, 650 * scale, 491 * scale, src.Dc, 650, 491, RGB(255, 255, 255));
    state.SetItemsProcessed(int64_t(state.iterations()) * 650 * 491 * scale * scale);
    platform::DeleteSurfaceDC(screen);
}
BENCHMARK(BM_TransparentStretch650x491)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_DrawText1000ShortStrings(benchmark::State& state) {
    MemoryBitmap canvas(400, 300);
    HFONT font =
        CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    HGDIOBJ old = SelectObject(canvas.Dc, font);
    SetBkMode(canvas.Dc, TRANSPARENT);
    std::vector<std::string> words;
    for (int i = 0; i < 1000; ++i)
        words.push_back("Item " + std::to_string(i));
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            RECT r{(i % 4) * 100, (i / 4) % 20 * 15, (i % 4) * 100 + 100, (i / 4) % 20 * 15 + 15};
            DrawTextA(canvas.Dc, words[std::size_t(i)].c_str(), -1, &r,
                      DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 1000);
    SelectObject(canvas.Dc, old);
    DeleteObject(font);
}
BENCHMARK(BM_DrawText1000ShortStrings)->Unit(benchmark::kMillisecond);

} // namespace
