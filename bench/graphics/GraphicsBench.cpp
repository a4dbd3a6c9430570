#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "graphics/Graphics.h"
#include "rtl/Stream.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// An 8-bit bottom-up BMP of the main window's background size, as the GIF decoder makes.
rtl::TMemoryStream& FrameStream() {
    static rtl::TMemoryStream s;
    if (s.Size() == 0) {
        const std::uint32_t imageSize = kWidth * kHeight;
        const std::uint32_t off = 54 + 1024;
        s.WriteWord(0x4D42);
        s.WriteDWord(off + imageSize);
        s.WriteDWord(0);
        s.WriteDWord(off);
        s.WriteDWord(40);
        s.WriteDWord(kWidth);
        s.WriteDWord(kHeight);
        s.WriteWord(1);
        s.WriteWord(8);
        for (int i = 0; i < 6; ++i)
            s.WriteDWord(i == 1 ? imageSize : 0);
        for (int i = 0; i < 256; ++i)
            s.WriteDWord(std::uint32_t(i * 0x010203) & 0xFFFFFF);
        std::vector<std::uint8_t> pixels(imageSize);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t((i / 7) % 256);
        s.WriteBuffer(pixels.data(), pixels.size());
    }
    return s;
}

void LoadFrame(graphics::TBitmap& bitmap) {
    rtl::TMemoryStream& stream = FrameStream();
    stream.SetPosition(0);
    bitmap.LoadFromStream(stream);
}

void BM_LoadFrame(benchmark::State& state) {
    for (auto _ : state) {
        graphics::TBitmap bitmap;
        LoadFrame(bitmap);
        benchmark::DoNotOptimize(bitmap.Width());
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_LoadFrame)->Unit(benchmark::kMillisecond);

void BM_ToDeviceBitmap(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        graphics::TBitmap bitmap;
        LoadFrame(bitmap);
        state.ResumeTiming();
        bitmap.SetHandleType(graphics::bmDDB);
    }
}
BENCHMARK(BM_ToDeviceBitmap)->Unit(benchmark::kMillisecond);

void BM_DrawFrame(benchmark::State& state) {
    const bool transparent = state.range(0) != 0;
    graphics::TBitmap frame;
    LoadFrame(frame);
    frame.SetHandleType(graphics::bmDDB);
    graphics::TBitmap target;
    target.SetSize(kWidth, kHeight);
    for (auto _ : state) {
        if (transparent)
            graphics::StretchBitmapRectTransparent(target.Canvas(), 0, 0, kWidth, kHeight, &frame,
                                                   rtl::TRect{}, formstream::clWhite);
        else
            target.Canvas()->StretchDraw(rtl::Rect(0, 0, kWidth, kHeight), &frame);
    }
}
BENCHMARK(BM_DrawFrame)->Arg(0)->Arg(1)->ArgNames({"transparent"})->Unit(benchmark::kMillisecond);

} // namespace
