// The drivers installed by default.
#include "platform/media/MciDriver.h"

#include <map>
#include <mutex>

namespace platform::media {

namespace {

struct ErrorDetails {
    std::mutex Lock;
    std::map<MCIERROR, std::string> Texts;
};

// Never destroyed: devices may fail to open during the process's static destruction.
ErrorDetails& Details() {
    static ErrorDetails* details = new ErrorDetails;
    return *details;
}

} // namespace

void SetErrorDetail(MCIERROR error, std::string text) {
    std::lock_guard<std::mutex> lock(Details().Lock);
    Details().Texts[error] = std::move(text);
}

std::string ErrorDetail(MCIERROR error) {
    std::lock_guard<std::mutex> lock(Details().Lock);
    auto it = Details().Texts.find(error);
    return it == Details().Texts.end() ? std::string() : it->second;
}

void InstallPlayerDrivers(); // VideoDevice.cpp

void InstallDefaultMciDrivers() {
    InstallPlayerDrivers();
}

} // namespace platform::media
