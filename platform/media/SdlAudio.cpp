// Sound output over SDL audio.
#include "platform/media/SdlAudio.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/media/SoundDrivers.h"
#include "platform/phases.h"

namespace platform::media {

namespace {

// Opens a device for `want` on the driver chosen for the process. The first call chooses
// it: the first driver of SoundDriverOrder that starts and opens a device stays running
// for every later output. When none does, that is said once and no output opens again.
SDL_AudioDeviceID OpenDevice(SDL_AudioSpec& want) {
    enum class Choice { NotYet, Made, NoOutput };
    static std::mutex lock;
    static Choice choice = Choice::NotYet;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts our format to the device's, and the callback sees
    // blocks of `want.samples` frames at our rate.
    const auto open = [&] { return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0); };
    std::lock_guard<std::mutex> guard(lock);
    if (choice == Choice::Made)
        return open();
    if (choice == Choice::NoOutput)
        return 0;
    QuietSoundLibraries();
    for (const std::string& driver : SoundDriverOrder(SDL_getenv("SDL_AUDIODRIVER"))) {
        // Over the user's SDL_AUDIODRIVER too, which names the whole list.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver.c_str(), SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            continue;
        if (SDL_AudioDeviceID id = open()) {
            choice = Choice::Made;
            MarkPhase("sound-device");
            return id;
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    choice = Choice::NoOutput;
    std::fprintf(stderr, "%s\n", NoSoundOutputLine);
    return 0;
}

} // namespace

AudioOutput::AudioOutput(int rate, int channels, std::int64_t latency)
    : FChannels(std::size_t(channels)), FClock(double(rate), latency) {}

std::unique_ptr<AudioOutput> AudioOutput::Open(int rate, int channels) {
    if (rate <= 0 || channels <= 0 || channels > 255)
        return nullptr;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = Uint8(channels);
    want.samples = 1024;
    want.callback = &AudioOutput::Fill;
    // The output exists before the device calls back: its address is the user data.
    std::unique_ptr<AudioOutput> out(new AudioOutput(rate, channels, 0));
    want.userdata = out.get();
    SDL_AudioDeviceID id = OpenDevice(want);
    if (id == 0)
        return nullptr;
    out->FDevice = id;
    // The device starts paused: its callback has not run yet.
    out->FClock =
        AudioClock(double(rate), DriverLatencyFrames(SDL_GetCurrentAudioDriver(), want.samples));
    SDL_PauseAudioDevice(id, 0);
    return out;
}

void AudioOutput::EndThread() {
    SDL_TLSCleanup();
}

AudioOutput::~AudioOutput() {
    // Waits for a callback under way: after this, SDL's thread no longer sees the output.
    if (FDevice)
        SDL_CloseAudioDevice(FDevice);
}

void AudioOutput::Fill(void* self, std::uint8_t* stream, int length) {
    auto* out = static_cast<AudioOutput*>(self);
    const auto at = std::chrono::steady_clock::now();
    const std::size_t wanted = std::size_t(std::max(0, length)) / sizeof(std::int16_t);
    std::lock_guard<std::mutex> lock(out->FLock);
    const std::size_t available = out->FQueue.size() - out->FRead;
    const std::size_t taken = std::min(wanted, available) / out->FChannels * out->FChannels;
    if (taken > 0) // an empty queue may have no storage at all
        std::memcpy(stream, out->FQueue.data() + out->FRead, taken * sizeof(std::int16_t));
    std::memset(stream + taken * sizeof(std::int16_t), 0,
                std::size_t(length) - taken * sizeof(std::int16_t));
    out->FRead += taken;
    out->FClock.Took(at, std::int64_t(wanted / out->FChannels),
                     std::int64_t(taken / out->FChannels));
}

void AudioOutput::Queue(const std::int16_t* samples, std::size_t frames) {
    if (!frames)
        return;
    std::lock_guard<std::mutex> lock(FLock);
    // What was taken goes before the queue grows over it.
    if (FRead > 0 && FRead * 2 >= FQueue.size()) {
        FQueue.erase(FQueue.begin(), FQueue.begin() + std::ptrdiff_t(FRead));
        FRead = 0;
    }
    FQueue.insert(FQueue.end(), samples, samples + frames * FChannels);
}

void AudioOutput::Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FQueue.clear();
    FRead = 0;
}

void AudioOutput::Pause(bool pause) {
    SDL_PauseAudioDevice(FDevice, pause ? 1 : 0);
}

std::optional<double> AudioOutput::PendingFrames(std::chrono::steady_clock::time_point at) {
    std::lock_guard<std::mutex> lock(FLock);
    return FClock.Pending(at, std::int64_t((FQueue.size() - FRead) / FChannels));
}

} // namespace platform::media
