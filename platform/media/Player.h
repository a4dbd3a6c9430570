// The player behind the digital-video and sound devices, shared by the file that runs
// it (VideoDevice.cpp) and the one that carries out its MCI commands
// (PlayerCommands.cpp).
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/media/MciDriver.h"
#include "platform/media/MediaFile.h"
#include "platform/media/SdlAudio.h"
#include "platform/media/VideoPlacement.h"
#include "platform/user/Backend.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/wingdi.h"

namespace platform::media {

// How far ahead of the clock sound is queued to SDL: enough for the block the device
// takes, the buffer it holds beyond it and the device's wake-ups between top-ups.
constexpr std::int64_t AudioLeadMs = 200;
// The longest the helper thread sleeps between top-ups of the sound: longer than a frame
// of a clip at 10 frames a second or more, so that a clip's sound is topped up when the
// thread wakes for a picture and it wakes for nothing else, and short enough that the
// sound queued ahead still holds a device block or two when the next top-up comes.
constexpr DWORD AudioTopUpMs = 100;
// Sound further off the clock than this is realigned.
constexpr std::int64_t AudioSlackMs = 30;

enum class Mode { Stopped, Playing, Paused };
// The clock of devices that run on a helper thread, in milliseconds, and the moment a
// tick of it begins.
using SteadyTime = std::chrono::steady_clock::time_point;
DWORD RealNow();
DWORD TickOf(SteadyTime at);
SteadyTime TimeOfTick(DWORD tick);

inline std::int64_t Elapsed(DWORD now, DWORD since) {
    return std::max<std::int64_t>(0, std::int32_t(now - since));
}

inline constexpr const char* VideoClassName = "QuillotVideoWindow";

void RegisterVideoClass();

class Player : public std::enable_shared_from_this<Player> {
public:
    Player(MCIDEVICEID id, std::unique_ptr<MediaFile> file, bool video, std::string element)
        : FId(id), FFile(std::move(file)), FElement(std::move(element)) {
        FVideoDevice = video;
        FHasVideo = video && FFile && FFile->HasVideo();
        FHasAudio = FFile && FFile->HasAudio();
        if (FHasVideo) {
            FNum = FFile->RateNum();
            FDen = FFile->RateDen();
            FLength = FFile->FrameCount();
            FTimeFormat = MCI_FORMAT_FRAMES;
        } else {
            FLength = FFile ? FFile->LengthMs() : 0;
            FTimeFormat = video ? MCI_FORMAT_FRAMES : MCI_FORMAT_MILLISECONDS;
        }
        const user::Backend& backend = user::GetBackend();
        FRealTime = backend.MediaClockKind() == user::Backend::MediaClock::System;
        FPlaysSound = backend.PlaysSound();
    }

    ~Player() {
        StopWorker();
        KeepPixelsForNextClip();
    }

    void Start() {
        // Opening a sound device can take a long while (probing drivers): it happens on a
        // thread of its own, and the picture runs on the system clock until it is there.
        if (FRealTime && FPlaysSound && FHasAudio)
            FOpener = std::thread([this] {
                auto output = AudioOutput::Open(FFile->SampleRate(), FFile->Channels());
                {
                    std::lock_guard<std::mutex> lock(FOpenerLock);
                    FOpened = std::move(output);
                }
                Kick(); // the helper thread takes the output at once
                AudioOutput::EndThread();
            });
        if (FRealTime && FFile)
            FWorker = std::thread([this] {
                WorkerLoop();
                AudioOutput::EndThread();
            });
    }

    MCIERROR Command(UINT command, DWORD flags, DWORD_PTR param);

    MciSoundCount Sound() {
        if (!FRealTime)
            Service();
        std::lock_guard<std::mutex> lock(FSoundLock);
        return FSound;
    }

private:
    // State shared with Service(), under FLock.
    std::mutex FLock;
    Mode FMode = Mode::Stopped;
    std::int64_t FPos = 0;              // units, while not playing
    std::int64_t FFrom = 0, FTo = 0;    // the segment being played
    DWORD FStartTick = 0, FEndTick = 0; // the clock at its start and end
    DWORD_PTR FNotify = 0;              // the callback of the pending request, 0 for none
    DWORD FTimeFormat = MCI_FORMAT_FRAMES;
    HWND FBound = nullptr;     // the program's window the video is bound to
    HWND FDefault = nullptr;   // the device's own window
    VideoPlacement FPlacement; // as MCI_PUT set it
    int FPlacementSerial = 0;  // counts changes of FPlacement
    int FSegment = 0;
    std::int64_t FSegStartSample = 0, FSegEndSample = 0, FStopSample = 0;
    bool FClosed = false;

    // Fixed at open.
    MCIDEVICEID FId;
    std::unique_ptr<MediaFile> FFile;
    std::string FElement;
    bool FVideoDevice = false; // the digital-video device (with or without a file)
    bool FHasVideo = false, FHasAudio = false;
    std::int64_t FNum = 1000, FDen = 1; // units per second (frames, or milliseconds)
    std::int64_t FLength = 0;           // units
    bool FRealTime = false;   // a helper thread on the system's clock (else the backend's)
    bool FPlaysSound = false; // sound goes to SDL (else it is only counted)

    // Service() only.
    std::int64_t FShownFrame = -1;
    int FShownSegment = 0;
    std::shared_ptr<user::VideoFrame> FPicture; // the picture on show
    // The pictures after it, in order, decoded ahead (see DecodeAhead).
    std::deque<std::shared_ptr<user::VideoFrame>> FAhead;
    std::int64_t FUndecodable = -1; // a picture that failed to decode ahead
    // The decoded picture for `frame` from FAhead, dropping those before it; null, and
    // FAhead emptied, when it does not hold it.
    std::shared_ptr<user::VideoFrame> TakeAhead(std::int64_t frame);
    void DecodeAhead(std::int64_t frame);
    // Frames of dropped chunks show the picture before them: nothing new to decode.
    bool SamePicture(std::int64_t a, std::int64_t b) const;
    void Drop(std::shared_ptr<user::VideoFrame> picture);
    std::shared_ptr<user::VideoFrame> FSpare; // an older one, for its memory
    // On the way out: the largest picture memory no one else holds goes to the next
    // device, whose first frame then needs no fresh memory.
    void KeepPixelsForNextClip();
    std::int64_t FPictureFrame = -1;
    int FShownPlacement = 0;                   // the placement serial on show
    std::shared_ptr<user::VideoFrame> FPlaced; // FPicture as placed
    std::weak_ptr<const user::VideoFrame> FPlacedFrom;
    std::shared_ptr<user::VideoFrame> FPlacedSpare; // an older one, for its memory
    // The picture on show as the placement puts it (FPicture itself by default).
    std::shared_ptr<user::VideoFrame> Placed(const VideoPlacement& placement, int serial);
    HWND FShownWindow = nullptr;
    int FAudioSegment = -1;
    std::int64_t FAudioCursor = 0;
    std::unique_ptr<AudioOutput> FOutput;
    std::thread FOpener;
    std::mutex FOpenerLock;
    std::unique_ptr<AudioOutput> FOpened; // handed from the opener to Service()
    std::vector<std::int16_t> FSamples;
    std::mutex FSoundLock;
    MciSoundCount FSound;

    // The helper thread (real display).
    std::thread FWorker;
    std::mutex FWorkLock;
    std::condition_variable FWake;
    bool FKicked = false, FQuit = false;
    int FScheduleGeneration = 0; // headless: actions of older generations do nothing

    // Units and the caller's time format.
    std::int64_t ToFormat(std::int64_t units) const {
        if (FHasVideo && FTimeFormat == MCI_FORMAT_MILLISECONDS)
            return units * 1000 * FDen / FNum;
        return units;
    }
    std::int64_t FromFormat(std::int64_t value) const {
        if (FHasVideo && FTimeFormat == MCI_FORMAT_MILLISECONDS)
            return value * FNum / (FDen * 1000);
        return value;
    }
    std::int64_t SampleOf(std::int64_t units) const {
        return FHasAudio ? units * FDen * FFile->SampleRate() / FNum : 0;
    }
    // The tick at which `k` units after the segment's start are reached.
    DWORD TickAfter(std::int64_t k) const {
        return FStartTick + DWORD((k * FDen * 1000 + FNum - 1) / FNum);
    }

    std::int64_t PositionLocked(DWORD now) const {
        if (FMode != Mode::Playing)
            return FPos;
        return std::min(FTo, FFrom + Elapsed(now, FStartTick) * FNum / (FDen * 1000));
    }
    void PostLocked(WPARAM outcome) {
        if (FNotify)
            PostMciNotify(FNotify, outcome, FId);
        FNotify = 0;
    }
    // A play that reached its end comes to rest there.
    void SettleLocked(DWORD now) {
        if (FMode == Mode::Playing && std::int32_t(now - FEndTick) >= 0) {
            FMode = Mode::Stopped;
            FPos = FTo;
            FStopSample = FSegEndSample;
            PostLocked(MCI_NOTIFY_SUCCESSFUL);
        }
    }
    void HaltLocked(DWORD now, Mode mode) {
        if (FMode == Mode::Playing) {
            FPos = PositionLocked(now);
            FStopSample = std::min(
                FSegEndSample, FSegStartSample + Elapsed(now, FStartTick) *
                                                     (FHasAudio ? FFile->SampleRate() : 0) / 1000);
        }
        FMode = FMode == Mode::Stopped ? Mode::Stopped : mode;
    }
    // A command that interrupts the play going on: its request is aborted.
    void InterruptLocked(DWORD now, Mode mode) {
        SettleLocked(now);
        PostLocked(MCI_NOTIFY_ABORTED);
        HaltLocked(now, mode);
    }
    void BeginLocked(std::int64_t from, std::int64_t to, DWORD now) {
        ++FSegment;
        FMode = Mode::Playing;
        FFrom = from;
        FTo = to;
        FStartTick = now;
        FEndTick = TickAfter(to - from);
        FSegStartSample = SampleOf(from);
        FSegEndSample = SampleOf(to);
        FStopSample = -1;
    }
    HWND WindowLocked() const { return FBound ? FBound : FDefault; }
    DWORD Now() const { return FRealTime ? RealNow() : user::GetBackend().Now(); }

    void EnsureDefaultWindow(bool show);
    // The window the video goes to: the program's, or the device's own (made if need be).
    HWND DisplayWindow();
    std::optional<DWORD> Service();
    void Kick();
    void Schedule(std::optional<DWORD> due);
    void WorkerLoop();
    void StopWorker();
    void ServiceAudio(bool playing, int segment, std::int64_t segStart, std::int64_t segEnd,
                      std::int64_t stopSample, DWORD startTick, DWORD now);
    void CountSound(const std::int16_t* samples, std::size_t frames);
    std::shared_ptr<user::VideoFrame> Decode(std::int64_t frame); // null past a damaged end
    void ServiceVideo(bool playing, int segment, std::int64_t position, HWND window,
                      const VideoPlacement& placement, int placementSerial);

    MCIERROR CarryOut(UINT command, DWORD flags, DWORD_PTR param);
    void Answer(DWORD_PTR callback);
    MCIERROR Resume(bool notify, DWORD_PTR callback);
    MCIERROR Play(DWORD flags, DWORD_PTR param);
    MCIERROR Seek(DWORD flags, DWORD_PTR param);
    MCIERROR Step(DWORD flags, DWORD_PTR param);
    MCIERROR Set(DWORD flags, DWORD_PTR param);
    MCIERROR Status(DWORD flags, DWORD_PTR param);
    MCIERROR DevCaps(DWORD flags, DWORD_PTR param);
    MCIERROR Window(DWORD flags, DWORD_PTR param);
    MCIERROR Where(DWORD flags, DWORD_PTR param);
    MCIERROR Put(DWORD flags, DWORD_PTR param);
    MCIERROR Close();
};

} // namespace platform::media
