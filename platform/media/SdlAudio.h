// Internal to the platform layer: sound output through SDL audio for the media devices.
// Each device that plays sound opens an output of its own; SDL converts and resamples
// the samples to the output device's format.
//
// Threads: the device queues samples from its own thread; SDL's audio thread takes
// them block by block through the output's callback, which notes when it took each
// block, so that the device can tell which sample is being heard at any moment.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/media/AudioClock.h"

namespace platform::media {

class AudioOutput {
public:
    // Null when the machine has no sound device (playback then runs silently).
    static std::unique_ptr<AudioOutput> Open(int rate, int channels);
    // Frees what SDL keeps for the calling thread (its error text). Threads that SDL did
    // not make and that called into it call this before they end, or that memory is lost.
    static void EndThread();
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Any thread.
    void Queue(const std::int16_t* samples, std::size_t frames);
    // Drops what is queued and not yet taken (what the device took plays out).
    void Clear();
    void Pause(bool pause);
    // Frames of time from `at` until the last sample queued so far is heard; nothing
    // while no queued sound waits or plays (see AudioClock).
    std::optional<double> PendingFrames(std::chrono::steady_clock::time_point at);

private:
    AudioOutput(int rate, int channels, std::int64_t latency);
    static void Fill(void* self, std::uint8_t* stream, int length); // SDL's audio thread

    std::uint32_t FDevice = 0;
    const std::size_t FChannels;
    std::mutex FLock; // guards what follows
    std::vector<std::int16_t> FQueue;
    std::size_t FRead = 0; // samples of FQueue already taken
    AudioClock FClock;
};

} // namespace platform::media
