// The testing API of the media control interface: the recording driver and the sound
// counters of open devices.
#include <algorithm>
#include <cstdio>

#include "platform/headless/Headless.h"
#include "platform/media/MciDriver.h"
#include "platform/testing/Testing.h"

namespace platform::testing {

namespace {

struct CommandName {
    UINT Code;
    const char* Name;
};

constexpr CommandName CommandNames[] = {
    {MCI_OPEN, "MCI_OPEN"},       {MCI_CLOSE, "MCI_CLOSE"},     {MCI_ESCAPE, "MCI_ESCAPE"},
    {MCI_PLAY, "MCI_PLAY"},       {MCI_SEEK, "MCI_SEEK"},       {MCI_STOP, "MCI_STOP"},
    {MCI_PAUSE, "MCI_PAUSE"},     {MCI_INFO, "MCI_INFO"},       {MCI_GETDEVCAPS, "MCI_GETDEVCAPS"},
    {MCI_SPIN, "MCI_SPIN"},       {MCI_SET, "MCI_SET"},         {MCI_STEP, "MCI_STEP"},
    {MCI_RECORD, "MCI_RECORD"},   {MCI_SYSINFO, "MCI_SYSINFO"}, {MCI_BREAK, "MCI_BREAK"},
    {MCI_SAVE, "MCI_SAVE"},       {MCI_STATUS, "MCI_STATUS"},   {MCI_CUE, "MCI_CUE"},
    {MCI_REALIZE, "MCI_REALIZE"}, {MCI_WINDOW, "MCI_WINDOW"},   {MCI_PUT, "MCI_PUT"},
    {MCI_WHERE, "MCI_WHERE"},     {MCI_FREEZE, "MCI_FREEZE"},   {MCI_UNFREEZE, "MCI_UNFREEZE"},
    {MCI_LOAD, "MCI_LOAD"},       {MCI_CUT, "MCI_CUT"},         {MCI_COPY, "MCI_COPY"},
    {MCI_PASTE, "MCI_PASTE"},     {MCI_UPDATE, "MCI_UPDATE"},   {MCI_RESUME, "MCI_RESUME"},
    {MCI_DELETE, "MCI_DELETE"},
};

// Fills the fields of `call` that the flags of its command name.
void ReadFields(MciCall& call, DWORD_PTR param) {
    call.HasRecord = param != 0;
    if (!param)
        return;
    const DWORD f = call.Flags;
    call.Callback = reinterpret_cast<const MCI_GENERIC_PARMS*>(param)->dwCallback;
    switch (call.Command) {
    case MCI_OPEN: {
        const auto* p = reinterpret_cast<const MCI_OPEN_PARMSA*>(param);
        if (f & MCI_OPEN_TYPE_ID)
            call.DeviceTypeId = DWORD(reinterpret_cast<std::uintptr_t>(p->lpstrDeviceType));
        else if (f & MCI_OPEN_TYPE)
            call.DeviceType = p->lpstrDeviceType ? p->lpstrDeviceType : "";
        if ((f & MCI_OPEN_ELEMENT) && !(f & MCI_OPEN_ELEMENT_ID))
            call.Element = p->lpstrElementName ? p->lpstrElementName : "";
        if (f & MCI_OPEN_ALIAS)
            call.Alias = p->lpstrAlias ? p->lpstrAlias : "";
        break;
    }
    case MCI_PLAY:
    case MCI_RECORD: {
        const auto* p = reinterpret_cast<const MCI_PLAY_PARMS*>(param);
        if (f & MCI_FROM)
            call.From = p->dwFrom;
        if (f & MCI_TO)
            call.To = p->dwTo;
        break;
    }
    case MCI_SEEK:
        if (f & MCI_TO)
            call.To = reinterpret_cast<const MCI_SEEK_PARMS*>(param)->dwTo;
        break;
    case MCI_STATUS: {
        const auto* p = reinterpret_cast<const MCI_STATUS_PARMS*>(param);
        if (f & MCI_STATUS_ITEM)
            call.Item = p->dwItem;
        if (f & MCI_TRACK)
            call.Track = p->dwTrack;
        break;
    }
    case MCI_GETDEVCAPS:
        if (f & MCI_GETDEVCAPS_ITEM)
            call.Item = reinterpret_cast<const MCI_GETDEVCAPS_PARMS*>(param)->dwItem;
        break;
    case MCI_SET:
        if (f & MCI_SET_TIME_FORMAT)
            call.TimeFormat = reinterpret_cast<const MCI_SET_PARMS*>(param)->dwTimeFormat;
        break;
    case MCI_STEP:
        if (f & MCI_DGV_STEP_FRAMES)
            call.Frames = reinterpret_cast<const MCI_DGV_STEP_PARMS*>(param)->dwFrames;
        break;
    case MCI_WINDOW: {
        const auto* p = reinterpret_cast<const MCI_DGV_WINDOW_PARMSA*>(param);
        if (f & MCI_DGV_WINDOW_HWND)
            call.Window = p->hWnd;
        if (f & MCI_DGV_WINDOW_STATE)
            call.CmdShow = p->nCmdShow;
        break;
    }
    case MCI_PUT:
        if (f & MCI_DGV_RECT)
            call.Rect = reinterpret_cast<const MCI_DGV_RECT_PARMS*>(param)->rc;
        break;
    default:
        break;
    }
}

std::weak_ptr<MciRecorder>& Installed() {
    static std::weak_ptr<MciRecorder> recorder;
    return recorder;
}

} // namespace

std::string MciCommandName(UINT command) {
    for (const CommandName& c : CommandNames)
        if (c.Code == command)
            return c.Name;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04x", command);
    return buffer;
}

void MciRecorder::SetResult(UINT command, MCIERROR result) {
    FResults[command] = result;
}

void MciRecorder::QueueResult(UINT command, MCIERROR result) {
    FQueued[command].push_back(result);
}

void MciRecorder::SetStatus(DWORD item, DWORD_PTR answer) {
    FStatus[item] = answer;
}

void MciRecorder::SetTrackPosition(DWORD track, DWORD_PTR answer) {
    FTrackPositions[track] = answer;
}

void MciRecorder::SetDevCaps(DWORD item, DWORD answer) {
    FDevCaps[item] = answer;
}

void MciRecorder::SetWhere(RECT rect) {
    FWhere = rect;
}

void MciRecorder::ScriptDigitalVideo(DWORD length, int width, int height) {
    SetDevCaps(MCI_GETDEVCAPS_CAN_PLAY, TRUE);
    SetDevCaps(MCI_GETDEVCAPS_CAN_RECORD, FALSE);
    SetDevCaps(MCI_GETDEVCAPS_CAN_EJECT, FALSE);
    SetDevCaps(MCI_GETDEVCAPS_HAS_VIDEO, TRUE);
    SetDevCaps(MCI_GETDEVCAPS_HAS_AUDIO, TRUE);
    SetDevCaps(MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_DIGITAL_VIDEO);
    SetStatus(MCI_STATUS_LENGTH, length);
    SetStatus(MCI_STATUS_POSITION, 0);
    SetStatus(MCI_STATUS_NUMBER_OF_TRACKS, 1);
    SetStatus(MCI_STATUS_MODE, MCI_MODE_STOP);
    SetStatus(MCI_STATUS_TIME_FORMAT, MCI_FORMAT_FRAMES);
    SetStatus(MCI_STATUS_READY, TRUE);
    SetTrackPosition(1, 0);
    SetWhere(RECT{0, 0, width, height});
}

bool MciRecorder::Notify(WPARAM outcome, MCIDEVICEID device) {
    if (!FLastNotifyCallback)
        return false;
    media::PostMciNotify(FLastNotifyCallback, outcome, device ? device : FLastNotifyDevice);
    return true;
}

std::vector<std::string> MciRecorder::Lines() const {
    std::vector<std::string> lines;
    for (const MciCall& c : Calls)
        lines.push_back(c.Text());
    return lines;
}

MCIERROR MciRecorder::Handle(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR param) {
    MciCall call;
    call.Device = device;
    call.Command = command;
    call.Flags = DWORD(flags);
    ReadFields(call, param);

    const bool known =
        device == MCI_ALL_DEVICE_ID || std::find(FOpen.begin(), FOpen.end(), device) != FOpen.end();
    MCIERROR result = 0;
    bool scripted = false;
    if (auto q = FQueued.find(command); q != FQueued.end() && !q->second.empty()) {
        result = q->second.front();
        q->second.erase(q->second.begin());
        scripted = true;
    } else if (auto r = FResults.find(command); r != FResults.end()) {
        result = r->second;
        scripted = true;
    }
    if (!scripted && command != MCI_OPEN && !known)
        result = MCIERR_INVALID_DEVICE_ID;
    if (result == 0 && param) {
        switch (command) {
        case MCI_OPEN: {
            MCIDEVICEID id = 1;
            while (std::find(FOpen.begin(), FOpen.end(), id) != FOpen.end())
                ++id;
            FOpen.push_back(id);
            reinterpret_cast<MCI_OPEN_PARMSA*>(param)->wDeviceID = id;
            device = id;
            break;
        }
        case MCI_STATUS: {
            auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(param);
            if ((flags & MCI_TRACK) && p->dwItem == MCI_STATUS_POSITION) {
                auto it = FTrackPositions.find(p->dwTrack);
                p->dwReturn = it != FTrackPositions.end() ? it->second : 0;
            } else {
                auto it = FStatus.find(p->dwItem);
                p->dwReturn = it != FStatus.end() ? it->second : 0;
            }
            break;
        }
        case MCI_GETDEVCAPS: {
            auto* p = reinterpret_cast<MCI_GETDEVCAPS_PARMS*>(param);
            auto it = FDevCaps.find(p->dwItem);
            p->dwReturn = it != FDevCaps.end() ? it->second : 0;
            break;
        }
        case MCI_WHERE:
            reinterpret_cast<MCI_DGV_RECT_PARMS*>(param)->rc = FWhere;
            break;
        default:
            break;
        }
    }
    if (result == 0 && command == MCI_CLOSE && device == MCI_ALL_DEVICE_ID)
        FOpen.clear();
    else if (result == 0 && command == MCI_CLOSE)
        std::erase(FOpen, device);
    if (result == 0 && command == MCI_OPEN && !param)
        result = MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_NOTIFY) && param) {
        FLastNotifyCallback = call.Callback;
        FLastNotifyDevice = device;
    }
    call.Result = result;
    Calls.push_back(std::move(call));
    if (OnCall)
        OnCall(Calls.back());
    return result;
}

std::shared_ptr<MciRecorder> InstallMciRecorder() {
    media::CloseAllMciDevices();
    auto recorder = std::make_shared<MciRecorder>();
    Installed() = recorder;
    std::weak_ptr<MciRecorder> weak = recorder;
    media::SetMciInterceptor(
        [weak](MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR param) -> MCIERROR {
            if (auto r = weak.lock())
                return r->Handle(device, command, flags, param);
            return MCIERR_INVALID_DEVICE_ID;
        });
    return recorder;
}

void RemoveMciRecorder() {
    media::SetMciInterceptor(nullptr);
    Installed().reset();
}

void MciUseRealTime(bool on) {
    headless::MediaOnSystemClock() = on;
}

MciSound MciSoundPlayed(MCIDEVICEID device) {
    media::MciSoundCount c = media::MciDeviceSound(device);
    return MciSound{c.Samples, c.Checksum, c.Rate, c.Channels};
}

} // namespace platform::testing
