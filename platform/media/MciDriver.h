// Internal to the platform layer: the media control interface's driver table and the
// interface that an open device implements. mciSendCommandA keeps the table of open
// devices (identifiers from 1 up, never 0), asks a driver to open a device and passes
// every later command to that device.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/mmsystem.h"

namespace platform::media {

struct MciOpenRequest {
    MCIDEVICEID Id = 0;
    DWORD Flags = 0;
    std::string Type;    // the device-type name (empty when the element chooses)
    std::string Element; // the file, as the program named it
    bool HasElement = false;
};

// Sound a device has played, for the testing API.
struct MciSoundCount {
    std::uint64_t Samples = 0;
    std::uint64_t Checksum = 0;
    int Rate = 0;
    int Channels = 0;
};

class MciDevice {
public:
    virtual ~MciDevice() = default;
    // Every command but MCI_OPEN, with the caller's flags and record address. MCI_CLOSE
    // is sent here before the device is destroyed.
    virtual MCIERROR Command(UINT command, DWORD flags, DWORD_PTR param) = 0;
    virtual MciSoundCount Sound() { return {}; }
};

// Opens a device for a request; on success `device` holds it.
using MciOpenFunction =
    std::function<MCIERROR(const MciOpenRequest& request, std::unique_ptr<MciDevice>& device)>;

// Installs the driver for a device-type name (compared without regard to case); the
// empty name is the driver that chooses the device from the element. A null function
// removes the entry.
void InstallMciDriver(const std::string& typeName, MciOpenFunction open);

// When set, every command goes here instead of the driver table (the testing API's
// recorder).
using MciInterceptor = std::function<MCIERROR(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR)>;
void SetMciInterceptor(MciInterceptor interceptor);

// Closes every open device (without notifications).
void CloseAllMciDevices();
MciSoundCount MciDeviceSound(MCIDEVICEID id);

// The default drivers (digital video, sound), installed on first use of the interface.
void InstallDefaultMciDrivers();

// Errors of this platform's digital-video device beyond the Windows ones. The text of
// each names the file of the last failure (SetErrorDetail); mciGetErrorStringA gives it.
constexpr MCIERROR MCIERR_DGV_FOLDER = MCIERR_CUSTOM_DRIVER_BASE + 64;
constexpr MCIERROR MCIERR_DGV_PICTURE_TOO_LARGE = MCIERR_CUSTOM_DRIVER_BASE + 65;
constexpr MCIERROR MCIERR_DGV_VIDEO_UNSUPPORTED = MCIERR_CUSTOM_DRIVER_BASE + 66;
void SetErrorDetail(MCIERROR error, std::string text);
// The text last set for `error`, or empty.
std::string ErrorDetail(MCIERROR error);

// Posts the completion message for a request.
void PostMciNotify(DWORD_PTR callback, WPARAM outcome, MCIDEVICEID device);

} // namespace platform::media
