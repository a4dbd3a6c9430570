// The order of SDL's sound drivers and quiet sound libraries.
#include "platform/media/SoundDrivers.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <mutex>

namespace platform::media {

std::vector<std::string> SoundDriverOrder(const char* chosen) {
    std::vector<std::string> order;
    const std::string list = chosen ? chosen : "";
    for (std::size_t at = 0; at <= list.size();) {
        std::size_t end = list.find(',', at);
        if (end == std::string::npos)
            end = list.size();
        std::string name = list.substr(at, end - at);
        const std::size_t first = name.find_first_not_of(" \t");
        const std::size_t last = name.find_last_not_of(" \t");
        if (first != std::string::npos)
            order.push_back(name.substr(first, last - first + 1));
        at = end + 1;
    }
    if (order.empty())
        order = {"pulseaudio", "pipewire", "alsa"};
    return order;
}

namespace {

// snd_lib_error_handler_t of <alsa/error.h>.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* fmt, ...);

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void QuietSoundLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Read by the library when SDL first starts it; level 0 logs nothing.
        setenv("PIPEWIRE_DEBUG", "0", /*overwrite=*/0);
        void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!alsa)
            return;
        using SetHandler = int (*)(AlsaErrorHandler);
        if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
            set(&IgnoreAlsaError);
        // Never closed: unloading would drop the handler for SDL's use of the library.
    });
}

} // namespace platform::media
