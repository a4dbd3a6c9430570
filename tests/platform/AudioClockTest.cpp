// The sound output's clock (how much queued sound is still to be heard, read from the
// moments the device takes blocks) and the output itself on SDL's disk driver, whose
// file shows exactly what the device took from the queue.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "platform/media/AudioClock.h"
#include "platform/media/SdlAudio.h"

namespace {

namespace fs = std::filesystem;
using platform::media::AudioClock;
using platform::media::AudioOutput;
using std::chrono::milliseconds;

TEST(AudioClock, PendingSoundFromTheLastBlockTaken) {
    // 1000 frames per second: one frame per millisecond.
    const AudioClock::TimePoint t0{std::chrono::seconds(100)};
    struct Case {
        const char* What;
        bool Took;
        std::int64_t Block, Data, Latency, Queued;
        int AtMs; // after the take
        std::optional<double> Expected;
    };
    const Case cases[] = {
        {"nothing taken yet", false, 0, 0, 0, 500, 0, std::nullopt},
        {"at the take", true, 100, 100, 0, 300, 0, 400.0},
        {"within the block", true, 100, 100, 0, 300, 40, 360.0},
        {"the block played out", true, 100, 100, 0, 300, 150, 300.0},
        {"the device's buffer comes first", true, 100, 100, 100, 300, 40, 460.0},
        {"a query older than the take", true, 100, 100, 0, 300, -20, 400.0},
        // The queue ran dry: the last sound is in the block's data, silence follows it.
        {"dry, data still playing", true, 100, 100, 0, 0, 40, 60.0},
        {"dry in the middle of the block", true, 100, 50, 0, 0, 40, 10.0},
        {"dry, the data played out", true, 100, 50, 0, 0, 60, std::nullopt},
        {"dry, the data still in the device", true, 100, 50, 100, 0, 60, 90.0},
        {"dry, a block of silence", true, 100, 0, 100, 0, 0, std::nullopt},
        {"queued after silence waits for it", true, 100, 0, 0, 200, 30, 270.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        AudioClock clock(1000.0, c.Latency);
        if (c.Took)
            clock.Took(t0, c.Block, c.Data);
        const std::optional<double> pending = clock.Pending(t0 + milliseconds(c.AtMs), c.Queued);
        ASSERT_EQ(pending.has_value(), c.Expected.has_value());
        if (pending) {
            EXPECT_NEAR(*pending, *c.Expected, 1e-6);
        }
    }
}

TEST(AudioClock, DriverLatency) {
    struct Case {
        const char* Driver;
        std::int64_t DeviceFrames, Expected;
    };
    const Case cases[] = {
        {"disk", 1024, 0},     {"dummy", 1024, 0},    {"pulseaudio", 1024, 1024},
        {"alsa", 512, 512},    {nullptr, 1024, 1024}, {"diskette", 1024, 1024},
        {"pulseaudio", -5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Driver ? c.Driver : "(none)");
        EXPECT_EQ(platform::media::DriverLatencyFrames(c.Driver, c.DeviceFrames), c.Expected);
    }
}

// The output on the disk driver: every queued sample reaches the device once, in order,
// with both channels of a frame together, and the clock runs dry at the end.
TEST(AudioOutput, DiskDriverTakesTheQueueInOrder) {
    std::string pattern = (fs::temp_directory_path() / "audiooutput-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const fs::path file = dir / "sound.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    std::unique_ptr<AudioOutput> output = AudioOutput::Open(8000, 2);
    if (!output || !fs::exists(file)) {
        output.reset();
        fs::remove_all(dir);
        GTEST_SKIP() << "SDL's disk audio driver is not available in this process";
    }
    // A ramp of 3000 stereo frames (never zero, so that it stands out from silence),
    // queued in uneven parts.
    std::vector<std::int16_t> ramp;
    for (int i = 0; i < 3000; ++i) {
        ramp.push_back(std::int16_t(1 + i));
        ramp.push_back(std::int16_t(-1 - i));
    }
    // Paused meanwhile, so that the device cannot run dry between the parts.
    output->Pause(true);
    for (std::size_t at = 0; at < ramp.size();) {
        const std::size_t frames = std::min<std::size_t>(777, (ramp.size() - at) / 2);
        output->Queue(ramp.data() + at, frames);
        at += frames * 2;
    }
    output->Pause(false);
    // Wait (without a time limit that matters) until the sound ran dry.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool started = false;
    for (;;) {
        const auto pending = output->PendingFrames(std::chrono::steady_clock::now());
        started = started || pending.has_value();
        if ((started && !pending) || std::chrono::steady_clock::now() > limit)
            break;
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_TRUE(started);
    output.reset(); // closes the device and its file
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::int16_t> written(bytes.size() / 2);
    std::memcpy(written.data(), bytes.data(), written.size() * 2);
    fs::remove_all(dir);
    std::size_t first = 0;
    while (first < written.size() && written[first] == 0)
        ++first;
    ASSERT_GE(written.size() - first, ramp.size());
    const std::vector<std::int16_t> heard(written.begin() + std::ptrdiff_t(first),
                                          written.begin() + std::ptrdiff_t(first + ramp.size()));
    EXPECT_EQ(heard, ramp);
    for (std::size_t i = first + ramp.size(); i < written.size(); ++i)
        ASSERT_EQ(written[i], 0) << "expected silence after the sound, at sample " << i;
}

} // namespace
