// Sound output over SDL audio.
#include "platform/media/SdlAudio.h"

#include <SDL.h>
#include <algorithm>
#include <mutex>

namespace platform::media {

namespace {

bool InitAudio() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; });
    return ok;
}

} // namespace

std::unique_ptr<AudioOutput> AudioOutput::Open(int rate, int channels) {
    if (rate <= 0 || channels <= 0 || !InitAudio())
        return nullptr;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = Uint8(channels);
    want.samples = 1024;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts our format to the device's.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0)
        return nullptr;
    std::unique_ptr<AudioOutput> out(new AudioOutput);
    out->FDevice = id;
    out->FChannels = channels;
    // The device's buffer, in our sample frames.
    out->FLatency =
        std::size_t(have.samples) * std::size_t(rate) / std::size_t(std::max(have.freq, 1));
    SDL_PauseAudioDevice(id, 0);
    return out;
}

AudioOutput::~AudioOutput() {
    if (FDevice)
        SDL_CloseAudioDevice(FDevice);
}

void AudioOutput::Queue(const std::int16_t* samples, std::size_t frames) {
    if (frames)
        SDL_QueueAudio(FDevice, samples, Uint32(frames * std::size_t(FChannels) * 2));
}

std::size_t AudioOutput::QueuedFrames() const {
    return SDL_GetQueuedAudioSize(FDevice) / (std::size_t(FChannels) * 2);
}

void AudioOutput::Clear() {
    SDL_ClearQueuedAudio(FDevice);
}

void AudioOutput::Pause(bool pause) {
    SDL_PauseAudioDevice(FDevice, pause ? 1 : 0);
}

} // namespace platform::media
