// The drivers installed by default.
extern "C" {
#include <libavutil/log.h>
}

#include "platform/media/MciDriver.h"

namespace platform::media {

void InstallPlayerDrivers(); // VideoDevice.cpp

void InstallDefaultMciDrivers() {
    // Damaged files are answered with error codes; FFmpeg's own complaints stay quiet.
    av_log_set_level(AV_LOG_QUIET);
    InstallPlayerDrivers();
}

} // namespace platform::media
