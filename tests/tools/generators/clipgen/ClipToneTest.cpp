// The clip's sound: its pitch, the tick at each second, and headroom.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/generators/clipgen/ClipTone.h"

using namespace clipgen;

TEST(ClipTone, PitchTickAndHeadroomForEachTone) {
    auto rms = [](const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
        double sum = 0;
        for (std::size_t i = from; i < from + count; ++i)
            sum += double(s[i]) * s[i];
        return std::sqrt(sum / double(count));
    };
    for (int hz : {220, 440, 523, 1047, 5000}) {
        SCOPED_TRACE(std::to_string(hz) + " Hz");
        std::vector<std::int16_t> s(std::size_t(ClipSampleRate) * 2);
        ToneSamples(hz, 0, s);
        // Between the ticks (0.1 s to 0.9 s) the tone rises through zero hz times a second.
        int rising = 0;
        for (std::size_t i = ClipSampleRate / 10 + 1; i < ClipSampleRate * 9 / 10; ++i)
            rising += s[i - 1] < 0 && s[i] >= 0;
        EXPECT_NEAR(hz * 0.8, rising, 2.0);
        // The tick at the start of each second is louder than the tone half a second on.
        for (std::size_t second : {std::size_t(0), std::size_t(ClipSampleRate)})
            EXPECT_GT(rms(s, second, TickSamples / 3),
                      1.5 * rms(s, second + ClipSampleRate / 2, TickSamples / 3))
                << "second at sample " << second;
        int peak = 0;
        for (std::int16_t v : s)
            peak = std::max(peak, std::abs(int(v)));
        EXPECT_LT(peak, 32000) << "the sound clips";
        EXPECT_GT(peak, 8000) << "the sound is too quiet";
    }
}
