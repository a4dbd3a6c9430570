// MCI_STATUS with MCI_STATUS_POSITION while a clip plays on the device's helper thread
// (the shell polls it ten times a second). The clip is named by QUILLOT_BENCH_CLIP.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/testing/Testing.h"
#include "platform/win32.h"

namespace {

void StatusPosition(benchmark::State& state) {
    const char* clip = std::getenv("QUILLOT_BENCH_CLIP");
    if (!clip) {
        state.SkipWithError("set QUILLOT_BENCH_CLIP to a clip");
        return;
    }
    platform::testing::UseHeadless();
    platform::testing::MciUseRealTime(true);
    MCI_OPEN_PARMSA open{0, 0, nullptr, clip, nullptr};
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open)) != 0) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    MCI_PLAY_PARMS play{0, 0, 0};
    mciSendCommandA(open.wDeviceID, MCI_PLAY, 0, DWORD_PTR(&play));
    MCI_STATUS_PARMS status{0, 0, MCI_STATUS_POSITION, 0};
    for (auto _ : state) {
        mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&status));
        benchmark::DoNotOptimize(status.dwReturn);
    }
    mciSendCommandA(open.wDeviceID, MCI_CLOSE, MCI_WAIT, 0);
}
BENCHMARK(StatusPosition);

} // namespace

BENCHMARK_MAIN();
