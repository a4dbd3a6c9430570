// The digital-video device (and, for files without pictures, the sound device) over a
// MediaFile: the MCI commands, positions on the playback clock, completion
// notifications, pictures handed to the bound window and sound to SDL audio.
//
// Threads: commands arrive on the program's thread and change the device's state under
// its lock. Decoding happens in Service(): on a helper thread of the device with a real
// display, on the program's thread (from actions scheduled on the virtual clock) with
// the headless backend. Only finished data leaves Service(): a decoded frame handed to
// the video overlay, samples queued to SDL, a posted notification.
#include "platform/media/Player.h"

#include <utility>

namespace platform::media {

namespace {

// Pictures decoded ahead in one go, when they convert as they are drawn (and so hold only
// the decoder's own compact picture). Decoding a few at once, the decoder finds its code,
// its tables and the picture it refers to still in the processor's cache: about a quarter
// less work than one picture at a time, each after the rest of the system ran.
constexpr std::size_t DecodeBurst = 4;

// Picture memory left by a closed device, for the next one: a fresh 700 x 628 picture
// costs its first frame the zero-filling and page faults of 1.7 MB. Only buffers that
// no thread uses any more are put here. Never destroyed: devices may close during the
// process's static destruction.
struct SparePixelStore {
    std::mutex Lock;
    std::vector<std::uint32_t> Pixels;
};

SparePixelStore& SparePixels() {
    static SparePixelStore* store = new SparePixelStore;
    return *store;
}

std::vector<std::uint32_t> TakeSparePixels() {
    std::lock_guard<std::mutex> lock(SparePixels().Lock);
    return std::exchange(SparePixels().Pixels, {});
}

SteadyTime ClockStart() {
    static const SteadyTime start = std::chrono::steady_clock::now();
    return start;
}

} // namespace

DWORD TickOf(SteadyTime at) {
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(at - ClockStart()).count()) +
           1000;
}

SteadyTime TimeOfTick(DWORD tick) {
    const std::int64_t since = std::int32_t(tick - TickOf(ClockStart()));
    return ClockStart() + std::chrono::milliseconds(since);
}

DWORD RealNow() {
    return TickOf(std::chrono::steady_clock::now());
}

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
    if (!FOutput && FOpener.joinable()) {
        std::lock_guard<std::mutex> lock(FOpenerLock);
        if (FOpened) {
            // The output arrives: its sound starts where the clock stands, or at the
            // segment's start while the clock has run no further than the slack (the
            // picture then waits for the sound, and the clip is heard whole).
            FOutput = std::move(FOpened);
            if (FAudioSegment == segment && playing) {
                std::int64_t from = segStart + Elapsed(now, startTick) * rate / 1000;
                if (from - segStart <= AudioSlackMs * rate / 1000)
                    from = segStart;
                FFile->SeekAudio(from * 1000 / rate);
                FAudioCursor = from;
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
        const std::int64_t clock = segStart + Elapsed(now, startTick) * rate / 1000;
        target = playing ? std::min(clock, segEnd) : std::min(stopSample, segEnd);
    } else if (!playing) {
        if (FOutput)
            FOutput->Clear();
        return;
    } else {
        // The sound's clock and the picture's are read at one moment.
        const SteadyTime at = std::chrono::steady_clock::now();
        now = TickOf(at);
        const std::optional<double> pending = FOutput ? FOutput->PendingFrames(at) : std::nullopt;
        const double heard = pending ? double(FAudioCursor) - *pending : 0;
        if (pending && heard >= double(segStart)) {
            // The picture follows the sound: move the segment's clock to the sample being
            // heard now.
            const DWORD implied =
                now - DWORD(std::llround((heard - double(segStart)) * 1000 / double(rate)));
            std::lock_guard<std::mutex> lock(FLock);
            const std::int32_t drift = std::int32_t(implied - FStartTick);
            if (FSegment == segment && FMode == Mode::Playing && std::abs(drift) > 2) {
                FStartTick += DWORD(drift);
                FEndTick += DWORD(drift);
            }
            startTick = FStartTick;
        }
        const std::int64_t clock = segStart + Elapsed(now, startTick) * rate / 1000;
        if (!pending && FAudioCursor < clock - AudioSlackMs * rate / 1000) {
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

std::shared_ptr<user::VideoFrame> Player::Decode(std::int64_t frame) {
    // Reuse the pixels of an older picture once the overlay let go of it.
    std::shared_ptr<user::VideoFrame> picture;
    if (user::SoleHolder(FSpare))
        picture = std::move(FSpare);
    else {
        picture = std::make_shared<user::VideoFrame>();
        picture->Pixels = TakeSparePixels();
    }
    picture->Rows.reset();
    VideoImage image;
    image.Pixels = std::move(picture->Pixels);
    // A picture that converts as it is drawn needs no pixels: the buffer waits for one
    // that does.
    std::shared_ptr<const user::VideoRows> rows;
    const bool decoded = FFile->DecodeFrame(frame, image, rows);
    picture->Pixels = std::move(image.Pixels);
    if (!decoded) {
        FSpare = std::move(picture);
        return nullptr;
    }
    if (rows) {
        std::vector<std::uint32_t> unused = std::move(picture->Pixels);
        picture->Pixels.clear();
        std::lock_guard<std::mutex> lock(SparePixels().Lock);
        if (unused.capacity() > SparePixels().Pixels.capacity())
            SparePixels().Pixels.swap(unused);
    }
    picture->Width = image.Width;
    picture->Height = image.Height;
    picture->Rows = std::move(rows);
    picture->Number = frame;
    return picture;
}

void Player::KeepPixelsForNextClip() {
    std::vector<std::uint32_t>* largest = nullptr;
    std::vector<std::shared_ptr<user::VideoFrame>*> pictures{&FSpare, &FPicture};
    for (auto& ahead : FAhead)
        pictures.push_back(&ahead);
    for (auto* picture : pictures)
        if (user::SoleHolder(*picture) &&
            (!largest || (*picture)->Pixels.capacity() > largest->capacity()))
            largest = &(*picture)->Pixels;
    if (!largest)
        return;
    SparePixelStore& store = SparePixels();
    std::lock_guard<std::mutex> lock(store.Lock);
    if (largest->capacity() > store.Pixels.capacity())
        store.Pixels.swap(*largest);
}

std::shared_ptr<user::VideoFrame> Player::Placed(const VideoPlacement& placement, int serial) {
    if (placement.IsDefault())
        return FPicture;
    const bool current = FPlaced && serial == FShownPlacement &&
                         !FPlacedFrom.owner_before(FPicture) && !FPicture.owner_before(FPlacedFrom);
    if (!current) {
        std::shared_ptr<user::VideoFrame> spare = std::move(FPlacedSpare);
        FPlacedSpare = std::move(FPlaced);
        FPlaced = PlacePicture(*FPicture, placement, std::move(spare));
        FPlacedFrom = FPicture;
    }
    return FPlaced;
}

void Player::ServiceVideo(bool playing, int segment, std::int64_t position, HWND window,
                          const VideoPlacement& placement, int placementSerial) {
    if (!FHasVideo || !window)
        return;
    std::int64_t frame = std::clamp<std::int64_t>(position, 0, FLength - 1);
    // Within one play the picture never steps back when the clock is realigned to the
    // sound.
    if (playing && segment == FShownSegment && window == FShownWindow && frame < FShownFrame)
        frame = FShownFrame;
    if (frame != FShownFrame || window != FShownWindow || placementSerial != FShownPlacement) {
        if (!FPicture || !SamePicture(frame, FPictureFrame)) {
            std::shared_ptr<user::VideoFrame> picture = TakeAhead(frame);
            if (!picture)
                picture = Decode(frame);
            if (picture) {
                if (!user::SoleHolder(FSpare))
                    FSpare = std::move(FPicture);
                FPicture = std::move(picture);
                FPictureFrame = frame;
            }
        }
        if (FPicture) {
            user::ShowVideoFrame(this, window, Placed(placement, placementSerial));
            if (FRealTime)
                user::GetBackend().Wake();
        }
        FShownFrame = frame;
        FShownWindow = window;
        FShownSegment = segment;
        FShownPlacement = placementSerial;
    }
    // The next pictures are decoded ahead, so that each goes on show the moment it falls
    // due. The virtual clock does the same, though it needs no head start: one way of
    // playing, whichever clock runs it.
    if (playing && FAhead.empty() && FPicture)
        DecodeAhead(FPictureFrame);
}

bool Player::SamePicture(std::int64_t a, std::int64_t b) const {
    return a == b || FFile->PictureOf(a) == FFile->PictureOf(b);
}

void Player::Drop(std::shared_ptr<user::VideoFrame> picture) {
    if (!user::SoleHolder(FSpare))
        FSpare = std::move(picture);
}

std::shared_ptr<user::VideoFrame> Player::TakeAhead(std::int64_t frame) {
    // Frame numbers map to pictures in order (the frames of dropped chunks show the
    // picture before them).
    const std::int64_t picture = FFile->PictureOf(frame);
    while (!FAhead.empty() && FFile->PictureOf(FAhead.front()->Number) < picture) {
        Drop(std::move(FAhead.front()));
        FAhead.pop_front();
    }
    if (!FAhead.empty() && FFile->PictureOf(FAhead.front()->Number) == picture) {
        std::shared_ptr<user::VideoFrame> found = std::move(FAhead.front());
        FAhead.pop_front();
        return found;
    }
    for (auto& ahead : FAhead)
        Drop(std::move(ahead));
    FAhead.clear();
    return nullptr;
}

// Decodes the pictures that follow the one `frame` shows: a burst of them when they
// convert as they are drawn, else the next one only (each would hold a whole converted
// picture). A picture that cannot be decoded (a damaged end) is not tried again.
void Player::DecodeAhead(std::int64_t frame) {
    std::int64_t last = frame;
    while (FAhead.size() < DecodeBurst) {
        std::int64_t next = last + 1;
        while (next < FLength && SamePicture(next, last))
            ++next;
        if (next >= FLength || next == FUndecodable)
            return;
        std::shared_ptr<user::VideoFrame> picture = Decode(next);
        if (!picture) {
            FUndecodable = next;
            return;
        }
        const bool compact = bool(picture->Rows);
        FAhead.push_back(std::move(picture));
        if (!compact)
            return;
        last = next;
    }
}

std::optional<DWORD> Player::Service() {
    if (!FFile)
        return std::nullopt;
    DWORD now = Now();
    bool playing;
    int segment;
    std::int64_t segStart, segEnd, stopSample;
    DWORD startTick;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FClosed)
            return std::nullopt;
        SettleLocked(now);
        playing = FMode == Mode::Playing;
        segment = FSegment;
        segStart = FSegStartSample;
        segEnd = FSegEndSample;
        stopSample = FStopSample;
        startTick = FStartTick;
    }
    // Sound first: on the real clock it may move the picture's clock.
    ServiceAudio(playing, segment, segStart, segEnd, stopSample, startTick, now);
    std::int64_t position;
    HWND window;
    DWORD endTick;
    std::int64_t from;
    VideoPlacement placement;
    int placementSerial;
    if (FRealTime)
        now = Now();
    {
        std::lock_guard<std::mutex> lock(FLock);
        SettleLocked(now);
        playing = FMode == Mode::Playing;
        segment = FSegment;
        position = PositionLocked(now);
        window = WindowLocked();
        startTick = FStartTick;
        endTick = FEndTick;
        from = FFrom;
        placement = FPlacement;
        placementSerial = FPlacementSerial;
    }
    ServiceVideo(playing, segment, position, window, placement, placementSerial);
    if (!playing)
        return std::nullopt;
    DWORD due = endTick;
    if (FHasVideo) {
        const DWORD next =
            startTick + DWORD(((position - from + 1) * FDen * 1000 + FNum - 1) / FNum);
        if (std::int32_t(next - due) < 0)
            due = next;
    }
    if (FRealTime && FHasAudio && std::int32_t(now + AudioTopUpMs - due) < 0)
        due = now + AudioTopUpMs;
    return due;
}

void Player::Schedule(std::optional<DWORD> due) {
    if (!due)
        return;
    const int generation = ++FScheduleGeneration;
    std::weak_ptr<Player> weak = shared_from_this();
    user::GetBackend().RunAt(*due, [weak, generation] {
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
        // Until the tick at which the next thing falls due begins, at most a quarter second.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
        if (due)
            until = std::min(until, TimeOfTick(*due));
        FWake.wait_until(lock, until, [this] { return FQuit || FKicked; });
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

namespace {

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
