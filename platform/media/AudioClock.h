// Internal to the platform layer: the clock of a sound output, read from the moments its
// device takes blocks of samples. A device takes a block when it is about to play it:
// after a take, the block plays out at the sample rate, and `latency` frames the device
// holds beyond it come first (none for a driver that plays what it takes at once).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace platform::media {

class AudioClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    AudioClock(double rate, std::int64_t latency) : FRate(rate), FLatency(latency) {}

    // The device took `block` frames at `at`, the first `data` of them queued sound (the
    // rest silence, when the queue ran dry).
    void Took(TimePoint at, std::int64_t block, std::int64_t data);

    // Frames of time from `at` until the last sound queued so far is heard, when
    // `queued` frames wait in the queue: those, the rest of the block playing and the
    // device's latency. Nothing when no queued sound waits or plays (before the first
    // take, or after the sound ran dry): the sound cannot tell the time then.
    std::optional<double> Pending(TimePoint at, std::int64_t queued) const;

private:
    double FRate;
    std::int64_t FLatency;
    bool FTaken = false;
    TimePoint FAt{};
    std::int64_t FBlock = 0, FData = 0;
};

// The frames a driver holds beyond the block it takes, by SDL driver name: the disk and
// dummy drivers write or drop a block as they take it and then wait for its duration;
// the drivers of real devices keep one buffer of `deviceFrames` queued ahead of it.
std::int64_t DriverLatencyFrames(const char* driver, std::int64_t deviceFrames);

} // namespace platform::media
