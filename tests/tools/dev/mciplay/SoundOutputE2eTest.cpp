// mciplay on SDL's real sound drivers (and its offscreen video driver, so no display is
// needed). With a sound server, a PulseAudio server of the test's own with a null sink:
// the clip's sound, recorded from the sink's monitor, is the clip's own sound, whole and
// in time. Without any sound output: one line says so, nothing else is printed, and the
// picture runs to the end on the system clock.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/Command.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/tools/dev/mciplay/SoundMatch.h"

namespace {

using soundtest::MatchSound;
using soundtest::TSoundMatch;
using testutil::RunCommand;
using testutil::TTempDir;

constexpr int Rate = 16000;                  // the rate the sound is compared at
constexpr std::size_t Window = Rate / 10;    // 100 ms
constexpr std::ptrdiff_t Search = Rate / 20; // 50 ms
constexpr std::ptrdiff_t MaxDrift = Rate * 40 / 1000;
constexpr double MinCorrelation = 0.8;

bool Whole(const TSoundMatch& m) {
    return m.Windows > 0 && m.WorstCorrelation >= MinCorrelation && m.WorstDrift < MaxDrift;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

std::vector<float> ReadSamples(const std::string& path) {
    const std::string bytes = testutil::ReadAll(path);
    std::vector<float> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] =
            float(std::int16_t(std::uint8_t(bytes[2 * i]) | (std::uint8_t(bytes[2 * i + 1]) << 8)));
    return out;
}

// A program run through the shell in the background, ended with SIGTERM and waited for
// with the object.
class TBackground {
public:
    explicit TBackground(const std::string& command) {
        FPid = fork();
        if (FPid == 0) {
            execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TBackground() { Stop(); }
    TBackground(const TBackground&) = delete;
    TBackground& operator=(const TBackground&) = delete;
    bool Running() const { return FPid > 0 && waitpid(FPid, nullptr, WNOHANG) == 0; }
    void Stop() {
        if (FPid <= 0)
            return;
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
        FPid = -1;
    }

private:
    pid_t FPid = -1;
};

// Waits (for at most `seconds`) until `command` succeeds.
bool WaitFor(const std::string& command, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (RunCommand(command + " >/dev/null 2>&1").Exit == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// A 3-second clip of 15 frames a second with pink noise as its sound (stereo, 44.1 kHz,
// so that the way to the 48 kHz sink resamples), and its sound decoded by FFmpeg's own
// command at the rate of comparison.
class ClipSound : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RunCommand("command -v ffmpeg pulseaudio parec pacat pactl >/dev/null").Exit, 0)
            << "ffmpeg, pulseaudio and pulseaudio-utils are needed (scripts/packages.txt)";
        FClip = FDir / "clip.avi";
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i "
                             "anoisesrc=d=3:c=pink:r=44100:a=0.4:seed=7 -f lavfi -i "
                             "testsrc=s=160x120:r=15:d=3 -c:v mpeg4 -c:a pcm_s16le -ac 2 " +
                             Quote(FClip))
                      .Exit,
                  0);
        const std::string ref = FDir / "reference.raw";
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + Quote(FClip) +
                             " -vn -ac 1 -ar 16000 -f s16le " + Quote(ref))
                      .Exit,
                  0);
        FReference = ReadSamples(ref);
        ASSERT_EQ(FReference.size(), std::size_t(3 * Rate));
        for (const char* sub : {"home", "runtime"})
            ASSERT_EQ(mkdir((FDir / sub).c_str(), 0700), 0);
    }

    // mciplay on the clip for 4.5 seconds; its standard output, its standard error in
    // `stderrFile`.
    testutil::TCommandRun Play(const std::string& environment, const std::string& stderrFile) {
        return RunCommand("env -u SDL_AUDIODRIVER SDL_VIDEODRIVER=offscreen HOME=" +
                          Quote(FDir / "home") + " " + environment + " " + Quote(MCIPLAY_PATH) +
                          " --seconds 4.5 " + Quote(FClip) + " 2>" + Quote(stderrFile));
    }

    TTempDir FDir{"quillot-sound"};
    std::string FClip;
    std::vector<float> FReference;
};

TEST_F(ClipSound, ReachesAPulseAudioServerWholeAndInTime) {
    const std::string runtime = FDir / "runtime";
    const std::string socket = runtime + "/native";
    {
        std::ofstream script(FDir / "server.pa");
        script << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket
               << "\nload-module module-null-sink sink_name=quillot rate=48000 channels=2"
                  "\nset-default-sink quillot\n";
    }
    // Everything of the server's lies in the test's directory; it reaches no session bus
    // and no display.
    const std::string own = "HOME=" + Quote(FDir / "home") + " XDG_RUNTIME_DIR=" + Quote(runtime) +
                            " PULSE_RUNTIME_PATH=" + Quote(runtime) +
                            " PULSE_STATE_PATH=" + Quote(FDir / "home") +
                            " DBUS_SESSION_BUS_ADDRESS=unix:path=" + Quote(FDir / "no-bus");
    TBackground server("env -u DISPLAY " + own +
                       " pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit "
                       "--use-pid-file=no --log-target=file:" +
                       Quote(FDir / "server.log") + " -F " + Quote(FDir / "server.pa"));
    const std::string client = own + " PULSE_SERVER=unix:" + Quote(socket);
    ASSERT_TRUE(WaitFor("env " + client + " pactl info", 20))
        << "the PulseAudio server did not come up:\n"
        << testutil::ReadAll(FDir / "server.log");

    // A silent stream with a short latency keeps the null sink running in short blocks:
    // idle, it renders 2 s ahead, and the first sound would wait behind that.
    TBackground silence("env " + client +
                        " pacat --playback --latency-msec=20 --format=s16le --rate=48000 "
                        "--channels=2 --raw /dev/zero");
    ASSERT_TRUE(WaitFor(
        "env " + client + " pactl list sinks | awk '/^\tLatency:/ {exit !($2 < 50000)}'", 20))
        << "the null sink's latency did not come down";

    // A loaded machine can make a real server drop a block now and then; a second play,
    // whole, shows that the way itself loses nothing. A fault of ours fails both.
    testutil::TCommandRun run;
    TSoundMatch m;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::string recording = FDir / ("recording" + std::to_string(attempt) + ".raw");
        TBackground recorder("env " + client +
                             " parec -d quillot.monitor --format=s16le --rate=16000 "
                             "--channels=1 --raw " +
                             Quote(recording));
        ASSERT_TRUE(WaitFor("env " + client + " pactl list short source-outputs | grep -q .", 20));
        run = Play(client, FDir / "play.err");
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the sink's last blocks
        recorder.Stop();
        m = MatchSound(ReadSamples(recording), FReference, Window, Search);
        RecordProperty("worst_correlation_" + std::to_string(attempt),
                       std::to_string(m.WorstCorrelation));
        RecordProperty("worst_drift_ms_" + std::to_string(attempt),
                       std::to_string(m.WorstDrift * 1000 / Rate));
        if (run.Exit != 0 || Whole(m))
            break;
    }
    silence.Stop();
    server.Stop();

    EXPECT_EQ(run.Exit, 0);
    EXPECT_EQ(run.Out, "clip.avi: position 45 of 45\n");
    EXPECT_EQ(testutil::ReadAll(FDir / "play.err"), "");
    EXPECT_TRUE(Whole(m)) << "windows " << m.Windows << ", worst correlation " << m.WorstCorrelation
                          << " (expected at least " << MinCorrelation << "), worst offset "
                          << m.WorstDrift * 1000 / Rate << " ms (expected below 40 ms)";
}

TEST_F(ClipSound, WithoutASoundOutputOneLineSaysSoAndThePicturePlaysOn) {
    // No server to reach and an ALSA configuration without any device: ALSA would report
    // "Unknown PCM default" and more on every try.
    std::ofstream(FDir / "alsa.conf").close();
    const std::string none = "PULSE_SERVER=unix:" + Quote(FDir / "no-server") +
                             " PIPEWIRE_REMOTE=" + Quote(FDir / "no-pipewire") +
                             " ALSA_CONFIG_PATH=" + Quote(FDir / "alsa.conf");
    const struct {
        const char* What;
        std::string Environment;
    } cases[] = {
        {"the drivers tried in order", none},
        {"the user's choice of driver", none + " SDL_AUDIODRIVER=alsa"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const testutil::TCommandRun run = Play(c.Environment, FDir / "play.err");
        EXPECT_EQ(run.Exit, 0);
        EXPECT_EQ(run.Out, "clip.avi: position 45 of 45\n");
        EXPECT_EQ(testutil::ReadAll(FDir / "play.err"),
                  "no sound output: clips play without sound\n");
    }
}

// The comparison itself, on noise made here: a delayed copy passes; a gap of silence,
// a piece left out and sound running 2.5 % fast do not.
TEST(SoundMatch, FindsWhatIsMissingOrOutOfTime) {
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0, 3000);
    std::vector<float> ref(2 * Rate);
    float low = 0;
    for (float& s : ref)
        s = low = 0.7f * low + noise(random); // weighted to the low end, like pink noise
    const auto delayed = [&](std::vector<float> sound) {
        sound.insert(sound.begin(), std::size_t(Rate * 3 / 10), 0.0f);
        sound.resize(sound.size() + Rate / 2, 0.0f);
        return sound;
    };
    std::vector<float> gap = ref, cut = ref, fast;
    std::fill(gap.begin() + Rate, gap.begin() + Rate + Rate / 10, 0.0f);
    cut.erase(cut.begin() + Rate, cut.begin() + Rate + Rate / 10);
    for (double t = 0; t + 1 < double(ref.size()); t += 1.025) {
        const std::size_t i = std::size_t(t);
        fast.push_back(float(ref[i] + (t - double(i)) * (ref[i + 1] - ref[i])));
    }
    const struct {
        const char* What;
        std::vector<float> Recording;
        bool Whole;
    } cases[] = {
        {"delayed copy", delayed(ref), true},
        {"100 ms of silence", delayed(gap), false},
        {"100 ms left out", delayed(cut), false},
        {"2.5 % fast", delayed(fast), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TSoundMatch m = MatchSound(c.Recording, ref, Window, Search);
        EXPECT_EQ(Whole(m), c.Whole) << "worst correlation " << m.WorstCorrelation
                                     << ", worst offset " << m.WorstDrift << " samples";
        if (c.Whole) {
            EXPECT_EQ(m.Lag, Rate * 3 / 10);
        }
    }
}

} // namespace
