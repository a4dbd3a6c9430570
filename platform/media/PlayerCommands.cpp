// The MCI commands of the player: play, seek, step, set, status, device capabilities
// and close (the window and its rectangles: PlayerWindow.cpp).
#include "platform/media/Player.h"

namespace platform::media {

// Every command but MCI_OPEN. Notifications follow one rule (docs/MCI.md): a command
// that interrupts the play going on aborts its request; any other command sent with
// MCI_NOTIFY supersedes it; a command that fails leaves it alone and posts nothing.
MCIERROR Player::Command(UINT command, DWORD flags, DWORD_PTR param) {
    const bool notify = (flags & MCI_NOTIFY) != 0;
    if (notify && !param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    const DWORD_PTR callback = notify ? reinterpret_cast<MCI_GENERIC_PARMS*>(param)->dwCallback : 0;
    switch (command) {
    case MCI_PLAY:
        return Play(flags, param); // its request stays pending until the play ends
    case MCI_RESUME:
        return Resume(notify, callback);
    case MCI_CLOSE: {
        const MCIERROR result = Close();
        if (result == 0 && notify)
            PostMciNotify(callback, MCI_NOTIFY_SUCCESSFUL, FId);
        return result;
    }
    default:
        break;
    }
    const MCIERROR result = CarryOut(command, flags, param);
    if (result != 0)
        return result;
    // A question changes nothing the helper thread waits on: it is not woken for one (a
    // program asks for the position several times a second while a clip plays).
    if (command != MCI_STATUS && command != MCI_GETDEVCAPS && command != MCI_WHERE)
        Kick();
    if (notify)
        Answer(callback);
    return 0;
}

// The commands that are done when they return.
MCIERROR Player::CarryOut(UINT command, DWORD flags, DWORD_PTR param) {
    switch (command) {
    case MCI_SEEK:
        return Seek(flags, param);
    case MCI_STEP:
        return Step(flags, param);
    case MCI_STOP:
    case MCI_PAUSE: {
        std::lock_guard<std::mutex> lock(FLock);
        InterruptLocked(Now(), command == MCI_PAUSE ? Mode::Paused : Mode::Stopped);
        return 0;
    }
    case MCI_SET:
        return Set(flags, param);
    case MCI_STATUS:
        return Status(flags, param);
    case MCI_GETDEVCAPS:
        return DevCaps(flags, param);
    case MCI_WINDOW:
        return Window(flags, param);
    case MCI_WHERE:
        return Where(flags, param);
    case MCI_PUT:
        return Put(flags, param);
    case MCI_REALIZE:
    case MCI_CUE:
        return 0;
    case MCI_RECORD:
    case MCI_SAVE:
    case MCI_FREEZE:
    case MCI_UNFREEZE:
    case MCI_CUT:
    case MCI_COPY:
    case MCI_PASTE:
    case MCI_DELETE:
    case MCI_LOAD:
    case MCI_UPDATE:
    case MCI_SPIN:
    case MCI_ESCAPE:
        return MCIERR_UNSUPPORTED_FUNCTION;
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

// A command sent with MCI_NOTIFY that is done: the request of a play it did not interrupt
// is superseded, and its own succeeds.
void Player::Answer(DWORD_PTR callback) {
    std::lock_guard<std::mutex> lock(FLock);
    SettleLocked(Now());
    PostLocked(MCI_NOTIFY_SUPERSEDED);
    PostMciNotify(callback, MCI_NOTIFY_SUCCESSFUL, FId);
}

// Resuming a paused play goes on to the play's end; resuming one that plays changes
// nothing. Either way a request sent with it is the one answered at that end.
MCIERROR Player::Resume(bool notify, DWORD_PTR callback) {
    {
        std::lock_guard<std::mutex> lock(FLock);
        const DWORD now = Now();
        SettleLocked(now);
        if (FMode == Mode::Stopped)
            return MCIERR_NONAPPLICABLE_FUNCTION;
        if (FMode == Mode::Paused)
            BeginLocked(FPos, FTo, now);
        if (notify) {
            PostLocked(MCI_NOTIFY_SUPERSEDED);
            FNotify = callback;
        }
        SettleLocked(now); // paused at the very end: done at once
    }
    Kick();
    return 0;
}

MCIERROR Player::Play(DWORD flags, DWORD_PTR param) {
    if (!FFile)
        return MCIERR_NONAPPLICABLE_FUNCTION;
    if ((flags & (MCI_FROM | MCI_TO)) && !param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & (MCI_DGV_PLAY_REVERSE | MCI_DGV_PLAY_REPEAT))
        return MCIERR_UNSUPPORTED_FUNCTION;
    const auto* p = reinterpret_cast<const MCI_PLAY_PARMS*>(param);
    const DWORD_PTR callback = param ? p->dwCallback : 0;
    const bool notify = (flags & MCI_NOTIFY) != 0;
    int segment;
    {
        std::lock_guard<std::mutex> lock(FLock);
        const DWORD now = Now();
        SettleLocked(now);
        std::int64_t from = PositionLocked(now);
        std::int64_t to = FLength;
        if (flags & MCI_FROM) {
            from = FromFormat(p->dwFrom);
            if (std::int64_t(p->dwFrom) > ToFormat(FLength))
                return MCIERR_OUTOFRANGE;
        }
        if (flags & MCI_TO) {
            to = FromFormat(p->dwTo);
            if (std::int64_t(p->dwTo) > ToFormat(FLength))
                return MCIERR_OUTOFRANGE;
        }
        if (to < from)
            return MCIERR_OUTOFRANGE;
        // A new play interrupts the one going on, whether or not it asks to be told.
        PostLocked(MCI_NOTIFY_ABORTED);
        BeginLocked(from, to, now);
        FNotify = notify ? callback : 0;
        SettleLocked(now); // an empty range is finished at once
        segment = FSegment;
    }
    if (!FBound)
        EnsureDefaultWindow(true);
    Kick();
    if (flags & MCI_WAIT) {
        for (;;) {
            DWORD remaining;
            {
                std::lock_guard<std::mutex> lock(FLock);
                const DWORD now = Now();
                SettleLocked(now);
                if (FMode != Mode::Playing || FSegment != segment)
                    break;
                remaining = DWORD(std::max<std::int32_t>(1, std::int32_t(FEndTick - now)));
            }
            if (FRealTime)
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::min<DWORD>(remaining, 10)));
            else
                user::GetBackend().Sleep(remaining);
        }
        Kick();
    }
    return 0;
}

MCIERROR Player::Seek(DWORD flags, DWORD_PTR param) {
    if (!FFile)
        return MCIERR_NONAPPLICABLE_FUNCTION;
    const int given = ((flags & MCI_SEEK_TO_START) != 0) + ((flags & MCI_SEEK_TO_END) != 0) +
                      ((flags & MCI_TO) != 0);
    if (given == 0)
        return MCIERR_MISSING_PARAMETER;
    if (given > 1)
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    if ((flags & MCI_TO) && !param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    std::lock_guard<std::mutex> lock(FLock);
    std::int64_t target = 0;
    if (flags & MCI_SEEK_TO_END)
        target = FLength;
    if (flags & MCI_TO) {
        const DWORD to = reinterpret_cast<const MCI_SEEK_PARMS*>(param)->dwTo;
        if (std::int64_t(to) > ToFormat(FLength))
            return MCIERR_OUTOFRANGE;
        target = FromFormat(to);
    }
    InterruptLocked(Now(), Mode::Stopped);
    FPos = target;
    return 0;
}

MCIERROR Player::Step(DWORD flags, DWORD_PTR param) {
    if (!FHasVideo)
        return FFile ? MCIERR_UNSUPPORTED_FUNCTION : MCIERR_NONAPPLICABLE_FUNCTION;
    std::int64_t frames = 1;
    if (flags & MCI_DGV_STEP_FRAMES) {
        if (!param)
            return MCIERR_NULL_PARAMETER_BLOCK;
        frames = reinterpret_cast<const MCI_DGV_STEP_PARMS*>(param)->dwFrames;
    }
    std::lock_guard<std::mutex> lock(FLock);
    InterruptLocked(Now(), Mode::Stopped);
    const std::int64_t target = (flags & MCI_DGV_STEP_REVERSE) ? FPos - frames : FPos + frames;
    FPos = std::clamp<std::int64_t>(target, 0, FLength);
    return 0;
}

MCIERROR Player::Set(DWORD flags, DWORD_PTR param) {
    if (flags & (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED))
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (!(flags & (MCI_SET_TIME_FORMAT | MCI_SET_AUDIO | MCI_SET_VIDEO)))
        return MCIERR_MISSING_PARAMETER;
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    const auto* p = reinterpret_cast<const MCI_SET_PARMS*>(param);
    if (flags & MCI_SET_TIME_FORMAT) {
        const DWORD format = p->dwTimeFormat;
        const bool ok =
            format == MCI_FORMAT_MILLISECONDS || (FHasVideo && format == MCI_FORMAT_FRAMES);
        if (!ok)
            return MCIERR_BAD_TIME_FORMAT;
        std::lock_guard<std::mutex> lock(FLock);
        FTimeFormat = format;
    }
    return 0;
}

MCIERROR Player::Status(DWORD flags, DWORD_PTR param) {
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(param);
    if ((flags & MCI_TRACK) && p->dwTrack != 1)
        return MCIERR_OUTOFRANGE;
    std::lock_guard<std::mutex> lock(FLock);
    const DWORD now = Now();
    SettleLocked(now);
    switch (p->dwItem) {
    case MCI_STATUS_LENGTH:
        p->dwReturn = DWORD_PTR(ToFormat(FLength));
        return 0;
    case MCI_STATUS_POSITION:
        if ((flags & (MCI_TRACK | MCI_STATUS_START)) != 0)
            p->dwReturn = 0;
        else
            p->dwReturn = DWORD_PTR(ToFormat(PositionLocked(now)));
        return 0;
    case MCI_STATUS_NUMBER_OF_TRACKS:
    case MCI_STATUS_CURRENT_TRACK:
        p->dwReturn = 1;
        return 0;
    case MCI_STATUS_MODE:
        p->dwReturn = FMode == Mode::Playing  ? MCI_MODE_PLAY
                      : FMode == Mode::Paused ? MCI_MODE_PAUSE
                                              : MCI_MODE_STOP;
        return 0;
    case MCI_STATUS_MEDIA_PRESENT:
        p->dwReturn = FFile ? TRUE : FALSE;
        return 0;
    case MCI_STATUS_READY:
        p->dwReturn = TRUE;
        return 0;
    case MCI_STATUS_TIME_FORMAT:
        p->dwReturn = FTimeFormat;
        return 0;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

MCIERROR Player::DevCaps(DWORD flags, DWORD_PTR param) {
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_GETDEVCAPS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    auto* p = reinterpret_cast<MCI_GETDEVCAPS_PARMS*>(param);
    const bool video = FVideoDevice;
    switch (p->dwItem) {
    case MCI_GETDEVCAPS_CAN_RECORD:
    case MCI_GETDEVCAPS_CAN_EJECT:
    case MCI_GETDEVCAPS_CAN_SAVE:
        p->dwReturn = FALSE;
        return 0;
    case MCI_GETDEVCAPS_CAN_PLAY:
    case MCI_GETDEVCAPS_USES_FILES:
    case MCI_GETDEVCAPS_COMPOUND_DEVICE:
        p->dwReturn = TRUE;
        return 0;
    case MCI_GETDEVCAPS_HAS_AUDIO:
        p->dwReturn = FHasAudio || !FFile ? TRUE : FALSE;
        return 0;
    case MCI_GETDEVCAPS_HAS_VIDEO:
        p->dwReturn = video ? TRUE : FALSE;
        return 0;
    case MCI_GETDEVCAPS_DEVICE_TYPE:
        p->dwReturn = video ? MCI_DEVTYPE_DIGITAL_VIDEO : MCI_DEVTYPE_WAVEFORM_AUDIO;
        return 0;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

MCIERROR Player::Close() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        InterruptLocked(Now(), Mode::Stopped);
        FClosed = true;
    }
    StopWorker();
    FOutput.reset();
    user::RemoveVideo(this);
    HWND own = nullptr;
    {
        std::lock_guard<std::mutex> lock(FLock);
        std::swap(own, FDefault);
    }
    if (own)
        DestroyWindow(own);
    return 0;
}
} // namespace platform::media
