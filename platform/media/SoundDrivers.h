// Internal to the platform layer: which of SDL's sound drivers a sound output tries, in
// which order, and keeping the sound libraries from printing their errors while they are
// tried.
#pragma once

#include <string>
#include <vector>

namespace platform::media {

// The drivers to try: those the user names in SDL_AUDIODRIVER (`chosen`, a comma-separated
// list, as SDL reads it), or else the sound servers and then the kernel's devices:
// "pulseaudio" (which PipeWire's PulseAudio service serves as well), "pipewire", "alsa".
// SDL's "disk" and "dummy" drivers are only tried when named: one writes a file, the
// other plays nothing.
std::vector<std::string> SoundDriverOrder(const char* chosen);

// Keeps the sound libraries quiet while the drivers are tried. The ALSA library (when it
// is installed) gets an error handler that prints nothing: without it, every failed open
// of a sound card prints lines such as "ALSA lib ... Unknown PCM default" on a machine
// without one. The handler stays for the process: the library is kept loaded, and SDL
// loads the same one. The PipeWire library logs nothing unless the user asks for its
// log (PIPEWIRE_DEBUG): installed without PipeWire's configuration, as other programs'
// packages bring it, it prints "can't load config client.conf" on every try.
void QuietSoundLibraries();

// The one line printed when no driver gives a sound output; clips then play without
// sound on the system clock.
inline constexpr const char* NoSoundOutputLine = "no sound output: clips play without sound";

} // namespace platform::media
