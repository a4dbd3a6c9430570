// The clip's sound: its pitch, the tick at each second, headroom, and samples that do not
// depend on how the sound is cut into pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/clipgen/ClipTone.h"

using namespace clipgen;

namespace {

double Rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(to - from));
}

} // namespace

TEST(ClipTone, PitchTickAndHeadroomForEachTone) {
    for (int hz : {220, 440, 523, 1047, 5000}) {
        SCOPED_TRACE(std::to_string(hz) + " Hz");
        std::vector<std::int16_t> s(std::size_t(ClipSampleRate) * 2);
        ToneSamples(hz, 0, s);
        // Between the ticks (from 0.1 s to 0.9 s) the tone crosses zero upwards hz times
        // a second.
        const std::size_t from = ClipSampleRate / 10, to = ClipSampleRate * 9 / 10;
        int rising = 0;
        for (std::size_t i = from + 1; i < to; ++i)
            rising += s[i - 1] < 0 && s[i] >= 0;
        EXPECT_NEAR(hz * 0.8, rising, 2.0);
        // The tick at the start of each second is louder than the tone around it.
        for (std::size_t second : {std::size_t(0), std::size_t(ClipSampleRate)}) {
            const double tick = Rms(s, second, second + TickSamples / 3);
            const double tone =
                Rms(s, second + ClipSampleRate / 2, second + ClipSampleRate / 2 + TickSamples / 3);
            EXPECT_GT(tick, tone * 1.5) << "second at sample " << second;
        }
        int peak = 0;
        for (std::int16_t v : s)
            peak = std::max(peak, std::abs(int(v)));
        EXPECT_LT(peak, 32000) << "the sound clips";
        EXPECT_GT(peak, 8000) << "the sound is too quiet";
    }
}

TEST(ClipTone, PiecesJoinToTheWholeAndFramesShareTheSamples) {
    std::vector<std::int16_t> whole(50000);
    ToneSamples(587, 1000, whole);
    std::vector<std::int16_t> joined;
    for (int piece : {1, 1469, 7, 22050, 26473}) {
        std::vector<std::int16_t> part(static_cast<std::size_t>(piece));
        ToneSamples(587, 1000 + std::int64_t(joined.size()), part);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(whole == joined);

    // Frames of a clip cover its sound without gap or overlap, a second's worth each
    // second, at any frame rate.
    for (int fps : {1, 7, 15, 24, 25, 30, 120}) {
        SCOPED_TRACE(fps);
        EXPECT_EQ(0, FirstSampleOfFrame(0, fps));
        EXPECT_EQ(std::int64_t(ClipSampleRate) * 3, FirstSampleOfFrame(3 * fps, fps));
        for (int frame = 0; frame < 3 * fps; ++frame)
            EXPECT_LT(FirstSampleOfFrame(frame, fps), FirstSampleOfFrame(frame + 1, fps));
    }
}
