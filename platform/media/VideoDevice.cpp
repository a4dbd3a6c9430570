// The digital-video device (and, for files without pictures, the sound device) over a
// MediaFile: the MCI commands, positions on the playback clock, completion
// notifications, pictures handed to the bound window and sound to SDL audio.
//
// Threads: commands arrive on the program's thread and change the device's state under
// its lock. Decoding happens in Service(): on a helper thread of the device with a real
// display, on the program's thread (from actions scheduled on the virtual clock) with
// the headless backend. Only finished data leaves Service(): a decoded frame handed to
// the video overlay, samples queued to SDL, a posted notification.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/headless/Headless.h"
#include "platform/media/MciDriver.h"
#include "platform/media/MediaFile.h"
#include "platform/media/SdlAudio.h"
#include "platform/testing.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/wingdi.h"

namespace platform::media {

namespace {

// How far ahead of the clock sound is queued to SDL.
constexpr std::int64_t AudioLeadMs = 120;
// Sound further off the clock than this is realigned.
constexpr std::int64_t AudioSlackMs = 30;

enum class Mode { Stopped, Playing, Paused };

// The clock of devices that run on a helper thread.
DWORD RealNow() {
    static const auto start = std::chrono::steady_clock::now();
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - start)
                     .count()) +
           1000;
}

std::int64_t Elapsed(DWORD now, DWORD since) {
    return std::max<std::int64_t>(0, std::int32_t(now - since));
}

const char* VideoClassName = "QuillotVideoWindow";

void RegisterVideoClass() {
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = VideoClassName;
    registered = RegisterClassA(&wc) != 0;
}

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
        FHeadless = user::GetBackend().IsHeadless();
        FRealTime = !FHeadless || MciRealTimeForced();
    }

    ~Player() { StopWorker(); }

    void Start() {
        // Opening a sound device can take a long while (probing drivers): it happens on a
        // thread of its own, and the picture runs on the system clock until it is there.
        if (FRealTime && !FHeadless && FHasAudio)
            FOpener = std::thread([this] {
                auto output = AudioOutput::Open(FFile->SampleRate(), FFile->Channels());
                std::lock_guard<std::mutex> lock(FOpenerLock);
                FOpened = std::move(output);
            });
        if (FRealTime && FFile)
            FWorker = std::thread([this] { WorkerLoop(); });
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
    HWND FBound = nullptr;   // the program's window the video is bound to
    HWND FDefault = nullptr; // the device's own window
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
    bool FRealTime = false; // a helper thread on the real clock (else the virtual clock)
    bool FHeadless = false;

    // Service() only.
    std::int64_t FShownFrame = -1;
    std::shared_ptr<user::VideoFrame> FPicture; // the last picture decoded
    std::shared_ptr<user::VideoFrame> FSpare;   // the one before, for its memory
    std::int64_t FPictureFrame = -1;
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
    std::optional<DWORD> Service();
    void Kick();
    void Schedule(std::optional<DWORD> due);
    void WorkerLoop();
    void StopWorker();
    void ServiceAudio(bool playing, int segment, std::int64_t segStart, std::int64_t segEnd,
                      std::int64_t stopSample, DWORD startTick, DWORD now);
    void CountSound(const std::int16_t* samples, std::size_t frames);

    MCIERROR Play(DWORD flags, DWORD_PTR param);
    MCIERROR Seek(DWORD flags, DWORD_PTR param);
    MCIERROR Step(DWORD flags, DWORD_PTR param);
    MCIERROR Set(DWORD flags, DWORD_PTR param);
    MCIERROR Status(DWORD flags, DWORD_PTR param);
    MCIERROR DevCaps(DWORD flags, DWORD_PTR param);
    MCIERROR Window(DWORD flags, DWORD_PTR param);
    MCIERROR Where(DWORD flags, DWORD_PTR param);
    MCIERROR Close();
};

void Player::EnsureDefaultWindow(bool show) {
    if (!FHasVideo)
        return;
    if (!FDefault) {
        RegisterVideoClass();
        RECT r{0, 0, FFile->Width(), FFile->Height()};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        std::string title = FElement;
        std::size_t slash = title.find_last_of("\\/");
        if (slash != std::string::npos)
            title = title.substr(slash + 1);
        HWND created = CreateWindowExA(0, VideoClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                       CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                                       r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        std::lock_guard<std::mutex> lock(FLock);
        FDefault = created;
    }
    if (FDefault && show && !IsWindowVisible(FDefault))
        ShowWindow(FDefault, SW_SHOWNA);
}

void Player::CountSound(const std::int16_t* samples, std::size_t frames) {
    std::lock_guard<std::mutex> lock(FSoundLock);
    const std::size_t n = frames * std::size_t(FFile->Channels());
    std::uint64_t sum = FSound.Checksum;
    for (std::size_t i = 0; i < n; ++i)
        sum = sum * 1099511628211ULL + std::uint16_t(samples[i]);
    FSound.Checksum = sum;
    FSound.Samples += frames;
    FSound.Rate = FFile->SampleRate();
    FSound.Channels = FFile->Channels();
}

void Player::ServiceAudio(bool playing, int segment, std::int64_t segStart, std::int64_t segEnd,
                          std::int64_t stopSample, DWORD startTick, DWORD now) {
    if (!FHasAudio || segment == 0)
        return;
    const std::int64_t rate = FFile->SampleRate();
    const std::int64_t clock = segStart + Elapsed(now, startTick) * rate / 1000;
    if (!FOutput && FOpener.joinable()) {
        std::lock_guard<std::mutex> lock(FOpenerLock);
        if (FOpened) {
            // The output arrives: its sound starts where the clock stands.
            FOutput = std::move(FOpened);
            if (FAudioSegment == segment && playing) {
                FFile->SeekAudio(clock * 1000 / rate);
                FAudioCursor = clock;
            }
        }
    }
    if (FAudioSegment != segment) {
        if (FAudioCursor != segStart)
            FFile->SeekAudio(segStart * 1000 / rate);
        FAudioCursor = segStart;
        FAudioSegment = segment;
        if (FOutput)
            FOutput->Clear();
    }
    std::int64_t target;
    if (!FRealTime) {
        target = playing ? std::min(clock, segEnd) : std::min(stopSample, segEnd);
    } else if (!playing) {
        if (FOutput)
            FOutput->Clear();
        return;
    } else {
        const std::int64_t queued = FOutput ? std::int64_t(FOutput->QueuedFrames()) : 0;
        const std::int64_t heard =
            FOutput ? FAudioCursor - queued - std::int64_t(FOutput->LatencyFrames()) : 0;
        if (FOutput && queued > 0 && heard > segStart) {
            // The picture follows the sound: move the segment's clock to where the sound
            // output says it is.
            const DWORD implied = now - DWORD((heard - segStart) * 1000 / rate);
            std::lock_guard<std::mutex> lock(FLock);
            const std::int32_t drift = std::int32_t(implied - FStartTick);
            if (FSegment == segment && FMode == Mode::Playing && std::abs(drift) > 2) {
                FStartTick += DWORD(drift);
                FEndTick += DWORD(drift);
            }
        } else if (FAudioCursor < clock - AudioSlackMs * rate / 1000) {
            // Fell behind (no output, or it ran dry): skip to the clock.
            FFile->SeekAudio(clock * 1000 / rate);
            FAudioCursor = clock;
        }
        target = std::min(segEnd, clock + AudioLeadMs * rate / 1000);
    }
    if (target <= FAudioCursor)
        return;
    FSamples.clear();
    const std::size_t want = std::size_t(target - FAudioCursor);
    const std::size_t got = FFile->ReadAudio(FSamples, want);
    if (got)
        CountSound(FSamples.data(), got);
    if (FOutput && got)
        FOutput->Queue(FSamples.data(), got);
    FAudioCursor = target; // past the end of the sound, silence counts as played
}

std::optional<DWORD> Player::Service() {
    if (!FFile)
        return std::nullopt;
    const DWORD now = Now();
    bool playing;
    std::int64_t position;
    HWND window;
    int segment;
    std::int64_t segStart, segEnd, stopSample;
    DWORD startTick, endTick;
    std::int64_t from;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FClosed)
            return std::nullopt;
        SettleLocked(now);
        playing = FMode == Mode::Playing;
        position = PositionLocked(now);
        window = WindowLocked();
        segment = FSegment;
        segStart = FSegStartSample;
        segEnd = FSegEndSample;
        stopSample = FStopSample;
        startTick = FStartTick;
        endTick = FEndTick;
        from = FFrom;
    }
    if (FHasVideo && window) {
        const std::int64_t frame = std::clamp<std::int64_t>(position, 0, FLength - 1);
        if (frame != FShownFrame || window != FShownWindow) {
            if (frame != FPictureFrame || !FPicture) {
                // Reuse the pixels of the picture before last once the overlay let go of it.
                std::shared_ptr<user::VideoFrame> picture;
                if (FSpare && FSpare.use_count() == 1)
                    picture = std::move(FSpare);
                else
                    picture = std::make_shared<user::VideoFrame>();
                VideoImage image;
                image.Pixels = std::move(picture->Pixels);
                if (FFile->DecodeFrame(frame, image)) {
                    picture->Width = image.Width;
                    picture->Height = image.Height;
                    picture->Pixels = std::move(image.Pixels);
                    picture->Number = frame;
                    FSpare = std::move(FPicture);
                    FPicture = std::move(picture);
                    FPictureFrame = frame;
                }
            }
            if (FPicture) {
                user::ShowVideoFrame(this, window, FPicture);
                if (FRealTime)
                    user::GetBackend().Wake();
            }
            FShownFrame = frame;
            FShownWindow = window;
        }
    }
    ServiceAudio(playing, segment, segStart, segEnd, stopSample, startTick, now);
    if (!playing)
        return std::nullopt;
    DWORD due = endTick;
    if (FHasVideo) {
        const DWORD next =
            startTick + DWORD(((position - from + 1) * FDen * 1000 + FNum - 1) / FNum);
        if (std::int32_t(next - due) < 0)
            due = next;
    }
    if (FRealTime && FHasAudio && std::int32_t(now + 40 - due) < 0)
        due = now + 40;
    return due;
}

void Player::Schedule(std::optional<DWORD> due) {
    if (!due)
        return;
    const int generation = ++FScheduleGeneration;
    std::weak_ptr<Player> weak = shared_from_this();
    platform::testing::RunAt(*due, [weak, generation] {
        if (auto player = weak.lock())
            if (player->FScheduleGeneration == generation)
                player->Schedule(player->Service());
    });
}

void Player::Kick() {
    if (!FFile)
        return;
    if (!FRealTime) {
        Schedule(Service());
        return;
    }
    {
        std::lock_guard<std::mutex> lock(FWorkLock);
        FKicked = true;
    }
    FWake.notify_one();
}

void Player::WorkerLoop() {
    std::unique_lock<std::mutex> lock(FWorkLock);
    while (!FQuit) {
        FKicked = false;
        lock.unlock();
        std::optional<DWORD> due = Service();
        lock.lock();
        if (FQuit || FKicked)
            continue;
        DWORD wait = 250;
        if (due)
            wait = DWORD(std::clamp<std::int32_t>(std::int32_t(*due - Now()), 0, 250));
        FWake.wait_for(lock, std::chrono::milliseconds(wait), [this] { return FQuit || FKicked; });
    }
}

void Player::StopWorker() {
    {
        std::lock_guard<std::mutex> lock(FWorkLock);
        FQuit = true;
    }
    FWake.notify_one();
    if (FWorker.joinable())
        FWorker.join();
    if (FOpener.joinable())
        FOpener.join();
}

MCIERROR Player::Command(UINT command, DWORD flags, DWORD_PTR param) {
    const bool notify = (flags & MCI_NOTIFY) != 0;
    if (notify && !param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    const DWORD_PTR callback = param ? reinterpret_cast<MCI_GENERIC_PARMS*>(param)->dwCallback : 0;
    MCIERROR result;
    switch (command) {
    case MCI_PLAY:
        return Play(flags, param); // notifies itself
    case MCI_SEEK:
        result = Seek(flags, param);
        break;
    case MCI_STEP:
        result = Step(flags, param);
        break;
    case MCI_STOP:
    case MCI_PAUSE: {
        std::lock_guard<std::mutex> lock(FLock);
        const DWORD now = Now();
        SettleLocked(now);
        PostLocked(MCI_NOTIFY_ABORTED);
        HaltLocked(now, command == MCI_PAUSE ? Mode::Paused : Mode::Stopped);
        result = 0;
        break;
    }
    case MCI_RESUME: {
        std::lock_guard<std::mutex> lock(FLock);
        const DWORD now = Now();
        SettleLocked(now);
        if (FMode == Mode::Paused) {
            BeginLocked(FPos, FTo, now);
            if (notify)
                PostLocked(MCI_NOTIFY_SUPERSEDED);
            FNotify = notify ? callback : 0;
            if (FPos >= FTo)
                SettleLocked(now);
            result = 0;
        } else {
            result = FMode == Mode::Playing ? 0 : MCIERR_NONAPPLICABLE_FUNCTION;
        }
        if (result != 0)
            return result;
        break;
    }
    case MCI_SET:
        result = Set(flags, param);
        break;
    case MCI_STATUS:
        result = Status(flags, param);
        break;
    case MCI_GETDEVCAPS:
        result = DevCaps(flags, param);
        break;
    case MCI_WINDOW:
        result = Window(flags, param);
        break;
    case MCI_WHERE:
        result = Where(flags, param);
        break;
    case MCI_CLOSE:
        result = Close();
        if (result == 0 && notify)
            PostMciNotify(callback, MCI_NOTIFY_SUCCESSFUL, FId);
        return result;
    case MCI_RECORD:
    case MCI_SAVE:
    case MCI_PUT:
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
    case MCI_REALIZE:
    case MCI_CUE:
        result = 0;
        break;
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    if (result != 0)
        return result;
    Kick();
    if (notify && command != MCI_RESUME) {
        std::lock_guard<std::mutex> lock(FLock);
        // A request still pending (a play going on) gives way to this one.
        PostLocked(MCI_NOTIFY_SUPERSEDED);
        PostMciNotify(callback, MCI_NOTIFY_SUCCESSFUL, FId);
    }
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
        // The pending request ends here: replaced by this one, or cut off by it.
        PostLocked(notify ? MCI_NOTIFY_SUPERSEDED : MCI_NOTIFY_ABORTED);
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
    const DWORD now = Now();
    SettleLocked(now);
    PostLocked(MCI_NOTIFY_ABORTED);
    HaltLocked(now, Mode::Stopped);
    FMode = Mode::Stopped;
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
    const DWORD now = Now();
    SettleLocked(now);
    PostLocked(MCI_NOTIFY_ABORTED);
    HaltLocked(now, Mode::Stopped);
    FMode = Mode::Stopped;
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

MCIERROR Player::Window(DWORD flags, DWORD_PTR param) {
    if (!FHasVideo)
        return FFile ? MCIERR_UNSUPPORTED_FUNCTION : MCIERR_NONAPPLICABLE_FUNCTION;
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    const auto* p = reinterpret_cast<const MCI_DGV_WINDOW_PARMSA*>(param);
    if ((flags & MCI_DGV_WINDOW_HWND) && p->hWnd && !IsWindow(p->hWnd))
        return MCIERR_NO_WINDOW;
    bool playing;
    {
        std::lock_guard<std::mutex> lock(FLock);
        playing = FMode == Mode::Playing;
        if (flags & MCI_DGV_WINDOW_HWND)
            FBound = p->hWnd;
    }
    if ((flags & MCI_DGV_WINDOW_HWND) && !p->hWnd)
        EnsureDefaultWindow(playing);
    if (!FBound && (flags & MCI_DGV_WINDOW_STATE)) {
        EnsureDefaultWindow(false);
        ShowWindow(FDefault, int(p->nCmdShow));
    }
    if (!FBound && (flags & MCI_DGV_WINDOW_TEXT) && p->lpstrText) {
        EnsureDefaultWindow(false);
        SetWindowTextA(FDefault, p->lpstrText);
    }
    if (FBound && FDefault && IsWindowVisible(FDefault))
        ShowWindow(FDefault, SW_HIDE);
    return 0;
}

MCIERROR Player::Where(DWORD flags, DWORD_PTR param) {
    if (!FHasVideo)
        return FFile ? MCIERR_UNSUPPORTED_FUNCTION : MCIERR_NONAPPLICABLE_FUNCTION;
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    auto* p = reinterpret_cast<MCI_DGV_RECT_PARMS*>(param);
    const RECT natural{0, 0, FFile->Width(), FFile->Height()};
    if (flags & MCI_DGV_WHERE_WINDOW) {
        HWND w = FBound ? FBound : FDefault;
        RECT r{};
        if (w)
            GetClientRect(w, &r);
        p->rc = r;
        return 0;
    }
    p->rc = natural; // source, destination, frame and video are all the natural size
    return 0;
}

MCIERROR Player::Close() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        const DWORD now = Now();
        SettleLocked(now);
        PostLocked(MCI_NOTIFY_ABORTED);
        HaltLocked(now, Mode::Stopped);
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

// The MCI device around a shared player (the virtual clock's actions hold it weakly).
class PlayerDevice final : public MciDevice {
public:
    explicit PlayerDevice(std::shared_ptr<Player> player) : FPlayer(std::move(player)) {}
    ~PlayerDevice() override {
        if (FPlayer && !FClosed)
            FPlayer->Command(MCI_CLOSE, MCI_WAIT, 0);
    }
    MCIERROR Command(UINT command, DWORD flags, DWORD_PTR param) override {
        if (FClosed)
            return MCIERR_INVALID_DEVICE_ID;
        MCIERROR result = FPlayer->Command(command, flags, param);
        if (command == MCI_CLOSE && result == 0)
            FClosed = true;
        return result;
    }
    MciSoundCount Sound() override { return FPlayer->Sound(); }

private:
    std::shared_ptr<Player> FPlayer;
    bool FClosed = false;
};

enum class Kind { Choose, Video, Sound };

MCIERROR OpenPlayer(const MciOpenRequest& request, std::unique_ptr<MciDevice>& device, Kind kind) {
    std::unique_ptr<MediaFile> file;
    if (request.HasElement) {
        MCIERROR error = MediaFile::Open(request.Element, file);
        if (error)
            return error;
        if (kind == Kind::Video && !file->HasVideo())
            return MCIERR_INVALID_FILE;
        if (kind == Kind::Sound && !file->HasAudio())
            return MCIERR_INVALID_FILE;
    } else if (kind == Kind::Choose) {
        return MCIERR_FILENAME_REQUIRED;
    }
    const bool video = kind == Kind::Video || (kind == Kind::Choose && file->HasVideo());
    auto player = std::make_shared<Player>(request.Id, std::move(file), video, request.Element);
    player->Start();
    device = std::make_unique<PlayerDevice>(std::move(player));
    return 0;
}

} // namespace

void InstallPlayerDrivers() {
    InstallMciDriver("", [](const MciOpenRequest& r, std::unique_ptr<MciDevice>& d) {
        return OpenPlayer(r, d, Kind::Choose);
    });
    for (const char* name : {"AVIVideo", "DigitalVideo"})
        InstallMciDriver(name, [](const MciOpenRequest& r, std::unique_ptr<MciDevice>& d) {
            return OpenPlayer(r, d, Kind::Video);
        });
    InstallMciDriver("WaveAudio", [](const MciOpenRequest& r, std::unique_ptr<MciDevice>& d) {
        return OpenPlayer(r, d, Kind::Sound);
    });
}

} // namespace platform::media
