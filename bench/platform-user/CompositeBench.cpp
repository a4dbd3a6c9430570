// Headless compositing: repainting a 1280 x 1024 window with 20 children into its surface,
// and compositing the screen image from the top-level surfaces.
#include <benchmark/benchmark.h>

#include "Scene.h"
#include "platform/testing/Testing.h"

namespace {

HWND Scene() {
    static HWND main = [] {
        platform::testing::UseHeadless();
        HWND h = MakeBenchScene();
        PumpAll();
        return h;
    }();
    return main;
}

void RepaintWholeWindow(benchmark::State& state) {
    HWND main = Scene();
    for (auto _ : state) {
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        benchmark::DoNotOptimize(PumpAll());
    }
    state.SetItemsProcessed(state.iterations() * 21);
}
BENCHMARK(RepaintWholeWindow)->Unit(benchmark::kMillisecond);

void RepaintOneChild(benchmark::State& state) {
    HWND main = Scene();
    HWND child = GetWindow(main, GW_CHILD);
    for (auto _ : state) {
        InvalidateRect(child, nullptr, TRUE);
        benchmark::DoNotOptimize(PumpAll());
    }
}
BENCHMARK(RepaintOneChild)->Unit(benchmark::kMicrosecond);

void CaptureScreen(benchmark::State& state) {
    Scene();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::testing::CaptureScreen().Pixels.data());
}
BENCHMARK(CaptureScreen)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
