// The drivers installed by default.
#include "platform/media/MciDriver.h"

namespace platform::media {

void InstallDefaultMciDrivers() {}

} // namespace platform::media
