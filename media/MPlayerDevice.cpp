// TMediaPlayer: the commands it sends to the media control interface.
#include <array>

#include "media/MPlayer.h"

namespace media {

namespace {

// The answer to MCI_GETDEVCAPS_DEVICE_TYPE of the device types that can step by frames.
bool IsSteppableDeviceType(DWORD type) {
    return type == MCI_DEVTYPE_ANIMATION || type == MCI_DEVTYPE_DIGITAL_VIDEO ||
           type == MCI_DEVTYPE_OVERLAY || type == MCI_DEVTYPE_VCR;
}

std::uint8_t TrackOf(std::uint32_t tmsf) {
    return static_cast<std::uint8_t>(tmsf & 0xFF);
}
std::uint8_t MinutesOf(std::uint32_t tmsf) {
    return static_cast<std::uint8_t>((tmsf >> 8) & 0xFF);
}
std::uint8_t SecondsOf(std::uint32_t tmsf) {
    return static_cast<std::uint8_t>((tmsf >> 16) & 0xFF);
}

// Moves a pending start and end (set through From and To) into a play or record
// record and gives the flags that name them; each is used by one command only.
template <typename TParms>
DWORD TakeRange(bool& fromPending, std::int32_t from, bool& toPending, std::int32_t to,
                TParms& parms) {
    DWORD flags = 0;
    if (fromPending) {
        flags |= MCI_FROM;
        parms.dwFrom = static_cast<DWORD>(from);
        fromPending = false;
    }
    if (toPending) {
        flags |= MCI_TO;
        parms.dwTo = static_cast<DWORD>(to);
        toPending = false;
    }
    return flags;
}

} // namespace

void TMediaPlayer::CheckIfOpen() const {
    if (!FOpen)
        throw EMCIDeviceError(rtl::SMCINil);
}

// Wait for completion unless a pending wait request says otherwise; notify only when a
// pending notify request asks for it. Both requests are consumed.
DWORD TMediaPlayer::WaitRuleFlags() {
    DWORD flags = MCI_WAIT;
    if (FWaitPending) {
        flags = FWait ? MCI_WAIT : 0;
        FWaitPending = false;
    }
    if (FNotifyPending) {
        if (FNotify)
            flags |= MCI_NOTIFY;
        FNotifyPending = false;
    }
    return flags;
}

// Notify on completion unless a pending notify request says otherwise; wait only when a
// pending wait request asks for it.
DWORD TMediaPlayer::NotifyRuleFlags(bool consume) {
    DWORD flags = MCI_NOTIFY;
    if (FNotifyPending) {
        flags = FNotify ? MCI_NOTIFY : 0;
        if (consume)
            FNotifyPending = false;
    }
    if (FWaitPending) {
        if (FWait)
            flags |= MCI_WAIT;
        if (consume)
            FWaitPending = false;
    }
    return flags;
}

DWORD_PTR TMediaPlayer::CallbackHandle() {
    return reinterpret_cast<DWORD_PTR>(Handle());
}

void TMediaPlayer::SetNotify(bool value) {
    FNotify = value;
    FNotifyPending = true;
}

void TMediaPlayer::SetWait(bool value) {
    FWait = value;
    FWaitPending = true;
}

void TMediaPlayer::SetFrom(std::int32_t value) {
    FFrom = value;
    FFromPending = true;
}

void TMediaPlayer::SetTo(std::int32_t value) {
    FTo = value;
    FToPending = true;
}

std::string TMediaPlayer::ErrorText() const {
    std::array<char, 4096> buffer{};
    if (!mciGetErrorStringA(FError, buffer.data(), static_cast<UINT>(buffer.size())))
        return rtl::LoadResString(rtl::SMCIUnknownError);
    buffer.back() = '\0';
    return std::string(buffer.data());
}

void TMediaPlayer::Open() {
    MCI_OPEN_PARMSA parms{};
    if (FOpen)
        Close();
    const std::string typeName(MPDeviceTypeNames[FDeviceType < 13 ? FDeviceType : 0]);
    parms.dwCallback = 0;
    parms.lpstrDeviceType = typeName.c_str();
    parms.lpstrElementName = FFileName.c_str();

    DWORD flags = WaitRuleFlags();
    flags |= FDeviceType != dtAutoSelect ? MCI_OPEN_TYPE : MCI_OPEN_ELEMENT;
    if (FShareable)
        flags |= MCI_OPEN_SHAREABLE;
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&parms));
    if (FError != 0)
        throw EMCIDeviceError(ErrorText());

    FOpen = true;
    FDeviceID = static_cast<MCIDEVICEID>(parms.wDeviceID & 0xFFFF);
    FStepSize = Length() / 10;
    QueryCapabilities();
    if (FHasVideo) {
        SetDisplay(FDisplay);
        MCI_DGV_RECT_PARMS where{};
        FError = mciSendCommandA(FDeviceID, MCI_WHERE, MCI_DGV_WHERE_DESTINATION,
                                 reinterpret_cast<DWORD_PTR>(&where));
        FDisplaySize = {where.rc.right - where.rc.left, where.rc.bottom - where.rc.top};
    }
    if (FDeviceType == dtCDAudio || FDeviceType == dtVideodisc)
        SetTimeFormat(MCI_FORMAT_TMSF);

    TButtonSet buttons{btNext, btPrev};
    if (FCanStep)
        buttons = buttons + TButtonSet{btStep, btBack};
    if (FCanPlay)
        buttons.Include(btPlay);
    if (FCanRecord)
        buttons.Include(btRecord);
    if (FCanEject)
        buttons.Include(btEject);
    FAutoButtons = buttons;
    if (Mode() == mpPlaying)
        AdjustAutoButtons(btPlay);
    SetAutoButtons(FAutoButtons);
}

void TMediaPlayer::QueryCapabilities() {
    auto query = [this](DWORD item) {
        MCI_GETDEVCAPS_PARMS parms{};
        parms.dwItem = item;
        mciSendCommandA(FDeviceID, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&parms));
        return parms.dwReturn;
    };
    FCanPlay = (query(MCI_GETDEVCAPS_CAN_PLAY) & 0xFF) != 0;
    FCanRecord = (query(MCI_GETDEVCAPS_CAN_RECORD) & 0xFF) != 0;
    FCanEject = (query(MCI_GETDEVCAPS_CAN_EJECT) & 0xFF) != 0;
    FHasVideo = (query(MCI_GETDEVCAPS_HAS_VIDEO) & 0xFF) != 0;
    // Every open answers afresh: a device that cannot step, opened after one that could,
    // offers no Step or Back.
    FCanStep = IsSteppableDeviceType(query(MCI_GETDEVCAPS_DEVICE_TYPE));

    MCI_DGV_RECT_PARMS where{};
    FError = mciSendCommandA(FDeviceID, MCI_WHERE, MCI_DGV_WHERE_SOURCE,
                             reinterpret_cast<DWORD_PTR>(&where));
    FDisplaySize = {where.rc.right - where.rc.left, where.rc.bottom - where.rc.top};
}

// Sends a command whose record only names the callback window; the result is the
// player's error code.
void TMediaPlayer::SendGeneric(UINT command, DWORD flags) {
    MCI_GENERIC_PARMS parms{};
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, command, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::Close() {
    if (FDeviceID == 0)
        return;
    SendGeneric(MCI_CLOSE, WaitRuleFlags());
    if (FError == 0) {
        FOpen = false;
        FDeviceID = 0;
        SetAutoButtons({});
    }
}

void TMediaPlayer::Play() {
    CheckIfOpen();
    if (FAutoRewind && !FFromPending && !FToPending && Position() == Length())
        Rewind();
    MCI_PLAY_PARMS parms{};
    const DWORD flags = NotifyRuleFlags() | TakeRange(FFromPending, FFrom, FToPending, FTo, parms);
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_PLAY, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::Record() {
    CheckIfOpen();
    MCI_RECORD_PARMS parms{};
    const DWORD flags = NotifyRuleFlags() | TakeRange(FFromPending, FFrom, FToPending, FTo, parms);
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_RECORD, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::Stop() {
    CheckIfOpen();
    SendGeneric(MCI_STOP, WaitRuleFlags());
}

void TMediaPlayer::PauseDevice() {
    CheckIfOpen();
    SendGeneric(MCI_PAUSE, WaitRuleFlags());
}

void TMediaPlayer::Resume() {
    CheckIfOpen();
    SendGeneric(MCI_RESUME, NotifyRuleFlags(false));
    if (FError == 0)
        NotifyRuleFlags(true); // the requests are used up only by a resume that worked
    else
        Play();
}

void TMediaPlayer::Pause() {
    CheckIfOpen();
    const TMPModes mode = Mode();
    if (mode == mpPlaying)
        PauseDevice();
    else if (mode == mpPaused)
        Resume();
}

void TMediaPlayer::SeekTo(DWORD flags, DWORD target, bool toPosition) {
    MCI_SEEK_PARMS parms{};
    if (toPosition) {
        flags |= MCI_TO;
        parms.dwTo = target;
    }
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_SEEK, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::GoToTrackStart(DWORD flags, std::int32_t target) {
    if (Mode() == mpPlaying) {
        SetFrom(target);
        Play();
        FCurrentButton = btPlay;
        return;
    }
    SeekTo(flags, static_cast<DWORD>(target), true);
}

void TMediaPlayer::Next() {
    CheckIfOpen();
    const DWORD flags = WaitRuleFlags();
    if (TimeFormat() == MCI_FORMAT_TMSF) {
        const std::int32_t track = TrackOf(static_cast<std::uint32_t>(Position()));
        const std::int32_t target =
            track == TrackCount() ? TrackStart(TrackCount()) : TrackStart(track + 1);
        GoToTrackStart(flags, target);
    } else {
        SeekTo(flags | MCI_SEEK_TO_END, 0, false);
    }
}

void TMediaPlayer::Previous() {
    CheckIfOpen();
    const DWORD flags = WaitRuleFlags();
    if (TimeFormat() == MCI_FORMAT_TMSF) {
        const auto current = static_cast<std::uint32_t>(Position());
        const auto trackStart =
            static_cast<std::uint32_t>(TrackStart(TrackOf(static_cast<std::uint32_t>(Position()))));
        // Within the first second of a track (other than the first) go to the track before.
        std::int32_t target = static_cast<std::int32_t>(trackStart);
        if (TrackOf(current) != 1 && MinutesOf(current) == MinutesOf(trackStart) &&
            SecondsOf(current) == SecondsOf(trackStart))
            target = TrackStart(TrackOf(static_cast<std::uint32_t>(Position())) - 1);
        GoToTrackStart(flags, target);
    } else {
        SeekTo(flags | MCI_SEEK_TO_START, 0, false);
    }
}

void TMediaPlayer::Step() {
    CheckIfOpen();
    if (!FHasVideo)
        return;
    if (FAutoRewind && Position() == Length())
        Rewind();
    MCI_DGV_STEP_PARMS parms{};
    const DWORD flags = WaitRuleFlags() | MCI_DGV_STEP_FRAMES;
    parms.dwFrames = static_cast<DWORD>(FStepSize);
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_STEP, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::Back() {
    CheckIfOpen();
    if (!FHasVideo)
        return;
    MCI_DGV_STEP_PARMS parms{};
    const DWORD flags = WaitRuleFlags() | MCI_DGV_STEP_FRAMES | MCI_DGV_STEP_REVERSE;
    parms.dwFrames = static_cast<DWORD>(FStepSize);
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_STEP, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::Eject() {
    CheckIfOpen();
    if (!FCanEject)
        return;
    MCI_SET_PARMS parms{};
    const DWORD flags = WaitRuleFlags() | MCI_SET_DOOR_OPEN;
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_SET, flags, reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::Rewind() {
    CheckIfOpen();
    MCI_SEEK_PARMS parms{};
    mciSendCommandA(FDeviceID, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT,
                    reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::SetTimeFormat(std::uint32_t format) {
    MCI_SET_PARMS parms{};
    parms.dwTimeFormat = format;
    parms.dwCallback = CallbackHandle();
    FError = mciSendCommandA(FDeviceID, MCI_SET, MCI_SET_TIME_FORMAT | MCI_NOTIFY,
                             reinterpret_cast<DWORD_PTR>(&parms));
}

// One status item; the answer, or 0 when the device gives none.
DWORD TMediaPlayer::StatusItem(DWORD item, bool keepError, bool* ok) {
    MCI_STATUS_PARMS parms{};
    parms.dwItem = item;
    const MCIERROR result = mciSendCommandA(FDeviceID, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT,
                                            reinterpret_cast<DWORD_PTR>(&parms));
    if (keepError)
        FError = result;
    if (ok)
        *ok = result == 0;
    return result == 0 ? static_cast<DWORD>(parms.dwReturn) : 0;
}

std::int32_t TMediaPlayer::Length() {
    CheckIfOpen();
    return static_cast<std::int32_t>(StatusItem(MCI_STATUS_LENGTH, true));
}

std::int32_t TMediaPlayer::Position() {
    return static_cast<std::int32_t>(StatusItem(MCI_STATUS_POSITION, true));
}

std::int32_t TMediaPlayer::TrackCount() {
    CheckIfOpen();
    return static_cast<std::int32_t>(StatusItem(MCI_STATUS_NUMBER_OF_TRACKS, true));
}

TMPModes TMediaPlayer::Mode() {
    bool ok = false;
    const DWORD answer = StatusItem(MCI_STATUS_MODE, true, &ok);
    if (!ok)
        return mpNotReady;
    // The mode codes run from MCI_MODE_NOT_READY (524, low byte 12) upwards.
    return static_cast<TMPModes>(static_cast<std::uint8_t>((answer & 0xFF) - 12));
}

std::uint32_t TMediaPlayer::TimeFormat() {
    CheckIfOpen();
    return StatusItem(MCI_STATUS_TIME_FORMAT, true) & 0xFF;
}

std::int32_t TMediaPlayer::TrackStart(std::int32_t track) {
    MCI_STATUS_PARMS parms{};
    parms.dwItem = MCI_STATUS_POSITION;
    parms.dwTrack = static_cast<DWORD>(track);
    const MCIERROR result =
        mciSendCommandA(FDeviceID, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&parms));
    return result == 0 ? static_cast<std::int32_t>(parms.dwReturn) : 0;
}

void TMediaPlayer::BindWindow(HWND window) {
    MCI_DGV_WINDOW_PARMSA parms{};
    parms.hWnd = window;
    FError = mciSendCommandA(FDeviceID, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT,
                             reinterpret_cast<DWORD_PTR>(&parms));
}

void TMediaPlayer::SetDisplay(ui::TWinControl* value) {
    if (FDisplay && FDisplay != value)
        FDisplay->RemoveFreeNotification(this);
    if (value && FOpen && FHasVideo) {
        BindWindow(value->Handle());
        FDisplay = FError == 0 ? value : nullptr;
    } else {
        FDisplay = value;
    }
    // Asked for even while closed: a display destroyed before the next Open must not be
    // left behind as a dangling reference.
    if (FDisplay)
        FDisplay->FreeNotification(this);
}

void TMediaPlayer::Notification(formstream::TComponent* component,
                                formstream::TOperation operation) {
    ui::TCustomControl::Notification(component, operation);
    if (operation == formstream::opRemove && FDisplay &&
        component == static_cast<formstream::TComponent*>(FDisplay)) {
        if (FOpen && FHasVideo)
            BindWindow(nullptr);
        FDisplay = nullptr;
    }
}

void TMediaPlayer::MMNotify(WPARAM outcome) {
    if (FAutoEnable && Mode() == mpStopped) {
        if (FCanPlay)
            FAutoButtons.Include(btPlay);
        if (FCanRecord)
            FAutoButtons.Include(btRecord);
        FAutoButtons = FAutoButtons - TButtonSet{btPause, btStop};
        SetAutoButtons(FAutoButtons);
    }
    switch (outcome) {
    case MCI_NOTIFY_SUCCESSFUL:
        FNotifyValue = nvSuccessful;
        break;
    case MCI_NOTIFY_SUPERSEDED:
        FNotifyValue = nvSuperseded;
        break;
    case MCI_NOTIFY_ABORTED:
        FNotifyValue = nvAborted;
        break;
    case MCI_NOTIFY_FAILURE:
        FNotifyValue = nvFailure;
        break;
    default:
        break; // an unknown outcome keeps the previous one
    }
    OnNotify(this);
}

void TMediaPlayer::AdjustAutoButtons(TMPBtnType button) {
    TButtonSet& set = FAutoButtons;
    switch (button) {
    case btPlay:
    case btRecord:
        set = set - TButtonSet{btPlay, btRecord} + TButtonSet{btPause, btStop};
        break;
    case btPause:
        if (FCanPlay)
            set.Include(btPlay);
        if (FCanRecord)
            set.Include(btRecord);
        break;
    default:
        if (FCanPlay)
            set.Include(btPlay);
        if (FCanRecord)
            set.Include(btRecord);
        set = set - TButtonSet{btPause, btStop};
        break;
    }
}

} // namespace media
