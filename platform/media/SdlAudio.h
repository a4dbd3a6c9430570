// Internal to the platform layer: sound output through SDL audio for the media devices.
// Each device that plays sound opens an output of its own; SDL converts and resamples
// the samples to the output device's format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::media {

class AudioOutput {
public:
    // Null when the machine has no sound device (playback then runs silently).
    static std::unique_ptr<AudioOutput> Open(int rate, int channels);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Any thread.
    void Queue(const std::int16_t* samples, std::size_t frames);
    std::size_t QueuedFrames() const;                      // queued and not yet played
    std::size_t LatencyFrames() const { return FLatency; } // held by the device beyond that
    void Clear();
    void Pause(bool pause);

private:
    AudioOutput() = default;
    std::uint32_t FDevice = 0;
    int FChannels = 0;
    std::size_t FLatency = 0;
};

} // namespace platform::media
