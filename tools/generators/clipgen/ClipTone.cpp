#include "tools/generators/clipgen/ClipTone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace clipgen {

namespace {

// sin(2 pi hz n / rate), with the phase reduced in integers so that it stays exact however
// long the clip is.
double Wave(int hz, std::int64_t n) {
    const std::int64_t step = (static_cast<std::int64_t>(hz) * n) % ClipSampleRate;
    return std::sin(2.0 * std::numbers::pi * double(step) / ClipSampleRate);
}

} // namespace

void ToneSamples(int toneHz, std::int64_t first, std::span<std::int16_t> out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::int64_t n = first + std::int64_t(i);
        double v = Wave(toneHz, n) / 3.0;
        const std::int64_t sinceTick = n % ClipSampleRate;
        if (sinceTick < TickSamples)
            v += 0.6 * (1.0 - double(sinceTick) / TickSamples) * Wave(TickHz, n);
        out[i] = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
    }
}

std::int64_t FirstSampleOfFrame(std::int64_t frame, int framesPerSecond) {
    return frame * ClipSampleRate / framesPerSecond;
}

} // namespace clipgen
