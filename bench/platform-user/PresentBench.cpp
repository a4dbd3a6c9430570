// Presenting to a real SDL window (run under xvfb-run): repainting the whole 1280 x 1024
// window with 20 children and presenting it, and presenting one damaged child only.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "Scene.h"
#include "platform/testing/Testing.h"

namespace {

HWND Scene() {
    static HWND main = [] {
        HWND h = MakeBenchScene();
        PumpAll();
        return h;
    }();
    return main;
}

bool NoDisplay(benchmark::State& state) {
    if (!std::getenv("DISPLAY") || platform::testing::IsHeadless()) {
        state.SkipWithError("needs a display (run under xvfb-run)");
        return true;
    }
    return false;
}

void RepaintAndPresentWholeWindow(benchmark::State& state) {
    if (NoDisplay(state))
        return;
    HWND main = Scene();
    MSG m;
    for (auto _ : state) {
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        PumpAll();
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE); // an empty queue presents
    }
}
BENCHMARK(RepaintAndPresentWholeWindow)->Unit(benchmark::kMillisecond);

void RepaintAndPresentOneChild(benchmark::State& state) {
    if (NoDisplay(state))
        return;
    HWND main = Scene();
    HWND child = GetWindow(main, GW_CHILD);
    MSG m;
    for (auto _ : state) {
        InvalidateRect(child, nullptr, TRUE);
        PumpAll();
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
    }
}
BENCHMARK(RepaintAndPresentOneChild)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
