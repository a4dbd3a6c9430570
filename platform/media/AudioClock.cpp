// The clock of a sound output.
#include "platform/media/AudioClock.h"

#include <algorithm>
#include <cstring>

namespace platform::media {

void AudioClock::Took(TimePoint at, std::int64_t block, std::int64_t data) {
    FTaken = true;
    FAt = at;
    FBlock = std::max<std::int64_t>(0, block);
    FData = std::clamp<std::int64_t>(data, 0, FBlock);
}

std::optional<double> AudioClock::Pending(TimePoint at, std::int64_t queued) const {
    if (!FTaken)
        return std::nullopt;
    const double played = std::max(0.0, std::chrono::duration<double>(at - FAt).count()) * FRate;
    if (queued > 0)
        return double(queued) + std::max(0.0, double(FBlock) - played) + double(FLatency);
    // The queue ran dry: the last queued sample came in the last block's data.
    const double rest = double(FData) - played + double(FLatency);
    if (FData == 0 || rest <= 0)
        return std::nullopt;
    return rest;
}

std::int64_t DriverLatencyFrames(const char* driver, std::int64_t deviceFrames) {
    if (driver && (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0))
        return 0;
    return std::max<std::int64_t>(0, deviceFrames);
}

} // namespace platform::media
