// The order in which sound outputs try SDL's drivers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/media/SoundDrivers.h"

namespace {

TEST(SoundDrivers, ServersFirstUnlessTheUserNamesDrivers) {
    using List = std::vector<std::string>;
    const List servers = {"pulseaudio", "pipewire", "alsa"};
    const struct {
        const char* Chosen;
        List Expected;
    } cases[] = {
        {nullptr, servers},
        {"", servers},
        {" , ", servers},
        {"alsa", {"alsa"}},
        {"disk", {"disk"}},
        {"pipewire,alsa", {"pipewire", "alsa"}},
        {" pulseaudio , jack ,", {"pulseaudio", "jack"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Chosen ? c.Chosen : "(not set)");
        EXPECT_EQ(platform::media::SoundDriverOrder(c.Chosen), c.Expected);
    }
}

} // namespace
