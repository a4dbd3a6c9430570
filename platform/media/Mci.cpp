// mciSendCommandA and mciGetErrorStringA: the table of open devices, the driver table,
// the error texts.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/media/MciDriver.h"
#include "platform/mmsystem.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/winuser.h"

namespace platform::media {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Table {
    std::recursive_mutex Lock;
    std::map<std::string, MciOpenFunction> Drivers; // key: lower-case type name
    std::map<MCIDEVICEID, std::unique_ptr<MciDevice>> Devices;
    MciInterceptor Interceptor;
    bool DefaultsInstalled = false;
};

// Sent like any command, so that a recording driver in place of the devices sees it.
void CloseDevicesAtExit() {
    mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, MCI_WAIT, 0);
}

// The table is never destroyed: a device may still be closed from a static object's
// destructor or from another step at exit, in any order. The devices still open at exit
// are closed (and their helper threads ended) by a step registered when the table is
// made; what closing a device touches is made before that, so that it is destroyed only
// after the step ran.
Table& Devices() {
    static Table* const table = [] {
        user::MakeWindowManagerState();
        user::GetVideoStats();
        user::CurrentBackend(); // the slot only; a backend is chosen into it later
        auto* made = new Table;
        std::atexit(&CloseDevicesAtExit);
        return made;
    }();
    return *table;
}

// The table is made before main, so that its step at exit is registered before any step
// of the program's own and runs after them (steps run in the reverse order): a framework
// that closes its devices at exit (a media player destroyed with its form) does so while
// they are still open, and the table's step closes only what is left.
[[maybe_unused]] const bool TableMadeBeforeMain = (Devices(), true);

void EnsureDrivers() {
    Table& t = Devices();
    std::lock_guard<std::recursive_mutex> lock(t.Lock);
    if (t.DefaultsInstalled)
        return;
    t.DefaultsInstalled = true;
    InstallDefaultMciDrivers();
}

MCIDEVICEID FreeId(const Table& t) {
    MCIDEVICEID id = 1;
    for (const auto& [used, device] : t.Devices) {
        if (used != id)
            break;
        ++id;
    }
    return id;
}

MCIERROR Open(DWORD flags, DWORD_PTR param) {
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    auto* parms = reinterpret_cast<MCI_OPEN_PARMSA*>(param);
    MciOpenRequest request;
    request.Flags = flags;
    if (flags & MCI_OPEN_TYPE_ID)
        return MCIERR_INVALID_DEVICE_NAME; // device-type identifiers are not installed
    if (flags & MCI_OPEN_ELEMENT_ID)
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (flags & MCI_OPEN_TYPE) {
        if (!parms->lpstrDeviceType)
            return MCIERR_MISSING_STRING_ARGUMENT;
        request.Type = parms->lpstrDeviceType;
        if (request.Type.empty())
            return MCIERR_INVALID_DEVICE_NAME;
    }
    if (flags & MCI_OPEN_ELEMENT) {
        if (!parms->lpstrElementName)
            return MCIERR_MISSING_STRING_ARGUMENT;
        request.Element = parms->lpstrElementName;
        request.HasElement = true;
    }
    if (!(flags & (MCI_OPEN_TYPE | MCI_OPEN_ELEMENT)))
        return MCIERR_MISSING_PARAMETER;
    EnsureDrivers();
    Table& t = Devices();
    std::unique_lock<std::recursive_mutex> lock(t.Lock);
    auto driver = t.Drivers.find(Lower(request.Type));
    if (driver == t.Drivers.end() || !driver->second)
        return MCIERR_INVALID_DEVICE_NAME;
    MciOpenFunction open = driver->second;
    request.Id = FreeId(t);
    // Reserve the identifier while the driver works (it may take a while on a big file).
    t.Devices.emplace(request.Id, nullptr);
    lock.unlock();
    std::unique_ptr<MciDevice> device;
    MCIERROR result = open(request, device);
    lock.lock();
    if (result != 0 || !device) {
        t.Devices.erase(request.Id);
        return result ? result : MCIERR_CANNOT_LOAD_DRIVER;
    }
    t.Devices[request.Id] = std::move(device);
    parms->wDeviceID = request.Id;
    lock.unlock();
    if (flags & MCI_NOTIFY)
        PostMciNotify(parms->dwCallback, MCI_NOTIFY_SUCCESSFUL, request.Id);
    return 0;
}

} // namespace

void InstallMciDriver(const std::string& typeName, MciOpenFunction open) {
    Table& t = Devices();
    std::lock_guard<std::recursive_mutex> lock(t.Lock);
    if (open)
        t.Drivers[Lower(typeName)] = std::move(open);
    else
        t.Drivers.erase(Lower(typeName));
}

void SetMciInterceptor(MciInterceptor interceptor) {
    Table& t = Devices();
    std::lock_guard<std::recursive_mutex> lock(t.Lock);
    t.Interceptor = std::move(interceptor);
}

void CloseAllMciDevices() {
    Table& t = Devices();
    std::map<MCIDEVICEID, std::unique_ptr<MciDevice>> devices;
    {
        std::lock_guard<std::recursive_mutex> lock(t.Lock);
        devices.swap(t.Devices);
    }
    for (auto& [id, device] : devices)
        if (device)
            device->Command(MCI_CLOSE, MCI_WAIT, 0);
    devices.clear();
}

MciSoundCount MciDeviceSound(MCIDEVICEID id) {
    Table& t = Devices();
    std::lock_guard<std::recursive_mutex> lock(t.Lock);
    auto it = t.Devices.find(id);
    return it != t.Devices.end() && it->second ? it->second->Sound() : MciSoundCount{};
}

void PostMciNotify(DWORD_PTR callback, WPARAM outcome, MCIDEVICEID device) {
    if (callback)
        PostMessageA(reinterpret_cast<HWND>(callback), MM_MCINOTIFY, outcome, LPARAM(device));
}

} // namespace platform::media

using namespace platform::media;

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR param) {
    Table& t = Devices();
    {
        std::unique_lock<std::recursive_mutex> lock(t.Lock);
        if (t.Interceptor) {
            MciInterceptor interceptor = t.Interceptor;
            lock.unlock();
            return interceptor(device, command, flags, param);
        }
    }
    if (command == MCI_OPEN)
        return Open(DWORD(flags), param);
    if (device == MCI_ALL_DEVICE_ID) {
        if (command != MCI_CLOSE)
            return MCIERR_CANNOT_USE_ALL;
        CloseAllMciDevices();
        return 0;
    }
    std::unique_ptr<MciDevice> closing;
    MciDevice* target = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(t.Lock);
        auto it = t.Devices.find(device);
        if (it == t.Devices.end() || !it->second)
            return MCIERR_INVALID_DEVICE_ID;
        target = it->second.get();
    }
    // Commands arrive on the program's thread, one at a time; only the close removes a
    // device, so the pointer stays valid for this call.
    MCIERROR result = target->Command(command, DWORD(flags), param);
    if (command == MCI_CLOSE && result == 0) {
        std::lock_guard<std::recursive_mutex> lock(t.Lock);
        auto it = t.Devices.find(device);
        if (it != t.Devices.end()) {
            closing = std::move(it->second);
            t.Devices.erase(it);
        }
    }
    return result;
}

namespace {

struct ErrorText {
    MCIERROR Code;
    const char* Text;
};

constexpr ErrorText ErrorTexts[] = {
    {0, "The command was carried out."},
    {MCIERR_INVALID_DEVICE_ID, "The device identifier is not that of an open device."},
    {MCIERR_UNRECOGNIZED_KEYWORD, "The command contains a parameter the device does not know."},
    {MCIERR_UNRECOGNIZED_COMMAND, "The device does not know this command."},
    {MCIERR_HARDWARE, "The media device reported a hardware fault."},
    {MCIERR_INVALID_DEVICE_NAME, "The device type is not installed or not known."},
    {MCIERR_OUT_OF_MEMORY, "There is not enough memory for this command."},
    {MCIERR_DEVICE_OPEN, "The device is already open."},
    {MCIERR_CANNOT_LOAD_DRIVER, "The device driver could not be loaded."},
    {MCIERR_MISSING_COMMAND_STRING, "No command was given."},
    {MCIERR_PARAM_OVERFLOW, "The answer does not fit in the buffer given."},
    {MCIERR_MISSING_STRING_ARGUMENT, "The command needs a text that was not given."},
    {MCIERR_BAD_INTEGER, "A number in the command is not valid."},
    {MCIERR_PARSER_INTERNAL, "The command parser failed."},
    {MCIERR_DRIVER_INTERNAL, "The device driver failed."},
    {MCIERR_MISSING_PARAMETER, "The command needs a parameter that was not given."},
    {MCIERR_UNSUPPORTED_FUNCTION, "The device cannot carry out this command."},
    {MCIERR_FILE_NOT_FOUND, "The file cannot be found. Check the path and the file name."},
    {MCIERR_DEVICE_NOT_READY, "The device is not ready."},
    {MCIERR_INTERNAL, "The media control interface failed."},
    {MCIERR_DRIVER, "The device driver reported an error."},
    {MCIERR_CANNOT_USE_ALL, "The command cannot be sent to all devices."},
    {MCIERR_MULTIPLE, "Errors occurred in more than one device."},
    {MCIERR_EXTENSION_NOT_FOUND, "No device type belongs to the file name's extension."},
    {MCIERR_OUTOFRANGE, "The position or value is outside the range the device allows."},
    {MCIERR_FLAGS_NOT_COMPATIBLE, "The flags of the command cannot be used together."},
    {MCIERR_FILE_NOT_SAVED, "The file was not saved."},
    {MCIERR_DEVICE_TYPE_REQUIRED, "The device needs a device type."},
    {MCIERR_DEVICE_LOCKED, "The device is locked; wait and try again."},
    {MCIERR_DUPLICATE_ALIAS, "The alias is already in use."},
    {MCIERR_BAD_CONSTANT, "A value in the command is not valid."},
    {MCIERR_MUST_USE_SHAREABLE, "The device is in use; open it as shareable."},
    {MCIERR_MISSING_DEVICE_NAME, "The command needs a device name."},
    {MCIERR_BAD_TIME_FORMAT, "The device does not support this time format."},
    {MCIERR_NO_CLOSING_QUOTE, "A closing quotation mark is missing."},
    {MCIERR_DUPLICATE_FLAGS, "A parameter was given twice."},
    {MCIERR_INVALID_FILE,
     "The file cannot be played on this device. It may be damaged or not a media file."},
    {MCIERR_NULL_PARAMETER_BLOCK, "The command was sent without its parameter record."},
    {MCIERR_UNNAMED_RESOURCE, "A file cannot be saved without a name."},
    {MCIERR_NEW_REQUIRES_ALIAS, "A new element needs an alias."},
    {MCIERR_NOTIFY_ON_AUTO_OPEN, "Notification is not possible on an automatically opened device."},
    {MCIERR_NO_ELEMENT_ALLOWED, "This device does not take a file name."},
    {MCIERR_NONAPPLICABLE_FUNCTION,
     "The command cannot be carried out in the device's present state."},
    {MCIERR_ILLEGAL_FOR_AUTO_OPEN, "The command is not allowed on an automatically opened device."},
    {MCIERR_FILENAME_REQUIRED, "A file name is required and none was given."},
    {MCIERR_EXTRA_CHARACTERS, "The command has extra characters after a quoted text."},
    {MCIERR_DEVICE_NOT_INSTALLED, "The device is not installed."},
    {MCIERR_GET_CD, "The file or folder cannot be reached."},
    {MCIERR_SET_CD, "The file or folder cannot be reached."},
    {MCIERR_SET_DRIVE, "The drive cannot be reached."},
    {MCIERR_DEVICE_LENGTH, "The device or driver name is too long."},
    {MCIERR_DEVICE_ORD_LENGTH, "The device or driver name is too long."},
    {MCIERR_NO_INTEGER, "The command needs a number."},
    {MCIERR_WAVE_OUTPUTSINUSE, "Every sound output is in use; try again later."},
    {MCIERR_WAVE_SETOUTPUTINUSE, "The sound output is in use; try again later."},
    {MCIERR_WAVE_INPUTSINUSE, "Every sound input is in use; try again later."},
    {MCIERR_WAVE_SETINPUTINUSE, "The sound input is in use; try again later."},
    {MCIERR_WAVE_OUTPUTUNSPECIFIED, "No sound output is available."},
    {MCIERR_WAVE_INPUTUNSPECIFIED, "No sound input is available."},
    {MCIERR_WAVE_OUTPUTSUNSUITABLE, "No sound output can play this format."},
    {MCIERR_WAVE_SETOUTPUTUNSUITABLE, "The sound output cannot play this format."},
    {MCIERR_WAVE_INPUTSUNSUITABLE, "No sound input can record this format."},
    {MCIERR_WAVE_SETINPUTUNSUITABLE, "The sound input cannot record this format."},
    {MCIERR_NO_WINDOW, "There is no window to show the video in."},
    {MCIERR_CREATEWINDOW, "The video window could not be created."},
    {MCIERR_FILE_READ, "The file could not be read. It may be damaged or cut short."},
    {MCIERR_FILE_WRITE, "The file could not be written."},
    {MCIERR_NO_IDENTITY, "The device has no identity."},
    {MCIERR_DGV_DEVICE_LIMIT, "No more devices of this kind can be opened."},
    {MCIERR_DGV_IOERR, "A file could not be read or written."},
    {MCIERR_DGV_WORKSPACE_EMPTY, "The workspace is empty."},
    {MCIERR_DGV_DISK_FULL, "The disk is full."},
    {MCIERR_DGV_DEVICE_MEMORY_FULL, "The device's memory is full."},
    {MCIERR_DGV_BAD_CLIPBOARD_RANGE, "The range cannot be placed on the clipboard."},
    {MCIERR_DGV_FOLDER, "The name given is a folder, not a media file."},
    {MCIERR_DGV_PICTURE_TOO_LARGE, "The video's picture is larger than the device can show."},
    {MCIERR_DGV_VIDEO_UNSUPPORTED, "The video is in a format the device cannot decode."},
};

} // namespace

BOOL mciGetErrorStringA(MCIERROR error, LPSTR text, UINT length) {
    if (!text || length == 0)
        return FALSE;
    // The device's own errors name the file that failed.
    if (const std::string detail = platform::media::ErrorDetail(error); !detail.empty()) {
        const std::size_t n = std::min<std::size_t>(detail.size(), length - 1);
        std::memcpy(text, detail.data(), n);
        text[n] = '\0';
        return TRUE;
    }
    const auto* entry = std::find_if(std::begin(ErrorTexts), std::end(ErrorTexts),
                                     [&](const ErrorText& e) { return e.Code == error; });
    if (entry == std::end(ErrorTexts)) {
        text[0] = '\0';
        return FALSE;
    }
    std::size_t n = std::min<std::size_t>(std::strlen(entry->Text), length - 1);
    std::memcpy(text, entry->Text, n);
    text[n] = '\0';
    return TRUE;
}
