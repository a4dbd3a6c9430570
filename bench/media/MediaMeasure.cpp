// media_measure FILE: plays FILE through the media control interface into a window on the
// display and prints
//   - the time from MCI_PLAY (from frame 30) to that frame drawn and presented,
//   - the offset of sound against picture over the whole clip, when SDL's disk audio
//     driver writes the sound to QUILLOT_DISK_AUDIO (SDL_AUDIODRIVER=disk,
//     SDL_DISKAUDIOFILE=the same path): at each new frame on the display, the sound
//     played by then against the frame's time in the clip (see PlayOut below; the
//     clip's sound is mono at QUILLOT_SOUND_RATE, 22050 Hz, and the device's block
//     QUILLOT_DISK_BLOCK, 1024 frames, unless told), and beside it the coarse figure
//     read from the file's size at each frame, and the frames seen out of order,
//   - the resident memory added while the clip plays.
// Run by measure.sh.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/common/Stats.h"
#include "platform/user/VideoOverlay.h"
#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;

long RssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

void PumpOnce() {
    MSG m;
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    } else {
        WaitMessage();
    }
}

template <class Pred> bool PumpUntil(Pred done, int seconds = 120) {
    const auto limit = Clock::now() + std::chrono::seconds(seconds);
    while (!done())
        if (Clock::now() > limit)
            return false;
        else
            PumpOnce();
    return true;
}

DWORD_PTR Status(MCIDEVICEID id, DWORD item) {
    MCI_STATUS_PARMS s{0, 0, item, 0};
    mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&s));
    return s.dwReturn;
}

// The clip's sound in the driver's file, from `first` (the file's size when the play
// began): the driver writes silence whenever nothing is queued, so the clip's sound is
// what lies outside runs of silence.
class SoundIndex {
public:
    SoundIndex(const std::vector<char>& bytes, std::size_t first) : FFirst(first / 2) {
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        // FSound[i]: samples of the clip's sound among the first i samples after FFirst.
        FSound.assign(samples.size() - std::min(FFirst, samples.size()) + 1, 0);
        std::size_t i = FFirst;
        while (i < samples.size()) {
            std::size_t j = i;
            while (j < samples.size() && samples[j] == 0)
                ++j;
            const bool silence = j - i >= 64;
            if (j == i)
                ++j;
            for (std::size_t k = i; k < j; ++k)
                FSound[k - FFirst + 1] = FSound[k - FFirst] + (silence ? 0 : 1);
            i = j;
        }
    }
    // Milliseconds of the clip's sound among the file's first `bytes` bytes.
    double Ms(long bytes, double rate) const {
        const std::size_t samples = std::size_t(std::max(0L, bytes)) / 2;
        const std::size_t at = samples < FFirst ? 0 : std::min(FSound.size() - 1, samples - FFirst);
        return double(FSound[at]) * 1000.0 / rate;
    }

private:
    std::size_t FFirst;
    std::vector<long> FSound;
};

// Times and sizes of the disk driver's writes to its file, seen through inotify.
class DiskWatch {
public:
    struct Write {
        Clock::time_point Time;
        long Size;
    };
    ~DiskWatch() { Stop(); }
    void Start(const std::string& path) {
        FPath = path;
        const std::size_t slash = path.find_last_of('/');
        FName = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
        FFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (FFd < 0 || inotify_add_watch(FFd, dir.c_str(), IN_MODIFY) < 0)
            return;
        FThread = std::thread([this] { Run(); });
    }
    void Stop() {
        FQuit = true;
        if (FThread.joinable())
            FThread.join();
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }
    // After Stop().
    const std::vector<Write>& Writes() const { return FWrites; }

private:
    void Run() {
        alignas(inotify_event) char buffer[4096];
        pollfd p{FFd, POLLIN, 0};
        while (!FQuit) {
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const auto now = Clock::now();
            const ssize_t n = ::read(FFd, buffer, sizeof buffer);
            bool ours = false;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                ours = ours || (e->len && FName == e->name);
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
            struct stat st {};
            if (ours && ::stat(FPath.c_str(), &st) == 0 &&
                (FWrites.empty() || FWrites.back().Size != long(st.st_size)))
                FWrites.push_back(Write{now, long(st.st_size)});
        }
    }
    std::string FPath, FName;
    int FFd = -1;
    std::atomic<bool> FQuit{false};
    std::thread FThread;
    std::vector<Write> FWrites;
};

// When each sample of the driver's file is played. SDL's disk driver takes one block from
// the device's callback, writes it to its file and sleeps for the block's duration. The
// file is written through the C library's buffer, which passes on what it holds when a
// new block does not fit any more: the writes the system sees happen as a block is
// taken, and hold the whole blocks before it. At a write, everything written has played
// and the block just taken starts; between writes the driver plays on at its own steady
// pace, so the played position is interpolated linearly from one write to the next.
class PlayOut {
public:
    PlayOut(const std::vector<DiskWatch::Write>& writes, long block, double rate) : FRate(rate) {
        for (const auto& w : writes)
            FPoints.push_back(Point{w.Time, double(w.Size / block * block)});
    }
    // Bytes of the file played at `t`; nothing before the first write seen.
    std::optional<double> At(Clock::time_point t) const {
        auto next =
            std::upper_bound(FPoints.begin(), FPoints.end(), t,
                             [](Clock::time_point v, const Point& p) { return v < p.Time; });
        if (next == FPoints.begin())
            return std::nullopt;
        const Point& before = *(next - 1);
        const double since = std::chrono::duration<double>(t - before.Time).count();
        if (next == FPoints.end())
            return before.Bytes + since * FRate * 2;
        const double span = std::chrono::duration<double>(next->Time - before.Time).count();
        return before.Bytes + (next->Bytes - before.Bytes) * std::min(1.0, since / span);
    }
    double MeanInterval() const {
        if (FPoints.size() < 2)
            return 0;
        return std::chrono::duration<double, std::milli>(FPoints.back().Time - FPoints.front().Time)
                   .count() /
               double(FPoints.size() - 1);
    }

private:
    struct Point {
        Clock::time_point Time;
        double Bytes;
    };
    std::vector<Point> FPoints;
    double FRate;
};

void Report(const char* what, const std::vector<double>& offsets) {
    if (offsets.empty())
        return;
    std::printf("%s: median %.1f ms, mean %.1f ms, 5%%-95%% %.1f to %.1f ms, extremes %.1f to "
                "%.1f ms over %zu frames\n",
                what, bench::Percentile(offsets, 50), bench::Mean(offsets),
                bench::Percentile(offsets, 5), bench::Percentile(offsets, 95),
                bench::Percentile(offsets, 0.001), bench::Percentile(offsets, 100), offsets.size());
}

// A visible black window for the clip's picture, with a timer so that the message loop
// keeps turning, given half a second to settle.
HWND OpenMeasureWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "Measure";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "Measure", "measure", WS_POPUP | WS_VISIBLE, 0, 0, 700, 628,
                                nullptr, nullptr, nullptr, nullptr);
    SetTimer(hwnd, 1, 20, nullptr);
    const auto settle = Clock::now() + std::chrono::milliseconds(500);
    PumpUntil([&] { return Clock::now() > settle; });
    return hwnd;
}

// Time to the first frame: play from frame 30 (not on show yet), five times.
void MeasureFirstFrame(MCIDEVICEID id, HWND hwnd) {
    std::vector<double> firsts;
    for (int round = 0; round < 5; ++round) {
        mciSendCommandA(id, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, 0);
        PumpUntil([] { return platform::user::GetVideoStats().LastNumber == 0; });
        const auto t0 = Clock::now();
        MCI_PLAY_PARMS play{DWORD_PTR(hwnd), 30, 0};
        mciSendCommandA(id, MCI_PLAY, MCI_FROM, DWORD_PTR(&play));
        PumpUntil([] { return platform::user::GetVideoStats().LastNumber >= 30; });
        firsts.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        mciSendCommandA(id, MCI_STOP, MCI_WAIT, 0);
    }
    std::printf("first frame after MCI_PLAY: %.1f ms (median of 5, min %.1f, max %.1f)\n",
                bench::Percentile(firsts, 50), bench::Percentile(firsts, 0.001),
                bench::Percentile(firsts, 100));
}

// A new frame seen on the display during the whole play.
struct Mark {
    Clock::time_point Time; // when the frame was seen on the display
    long Size;              // the sound file's size then
    std::int64_t Frame;
};

struct WholePlay {
    std::vector<Mark> Marks;
    int Backwards = 0; // frames seen out of order
    long RssPeak = 0;
};

// Plays the whole clip from its start, noting the sound file's size against each new
// frame; `disk` is the sound driver's file, or null.
WholePlay PlayWholeClip(MCIDEVICEID id, HWND hwnd, const char* disk, double lengthMs) {
    WholePlay result;
    mciSendCommandA(id, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, 0);
    MCI_PLAY_PARMS play{DWORD_PTR(hwnd), 0, 0};
    mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play));
    result.RssPeak = RssKb();
    // The frame left on show by the measurements before is not one of this play.
    std::int64_t last = platform::user::GetVideoStats().LastNumber;
    int changes = 0;
    struct stat st {};
    PumpUntil(
        [&] {
            // The layer puts frames on the display when the queue is empty; that happens
            // here rather than at the next wait, so that a frame is seen as it is shown.
            MSG m;
            PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
            const auto stats = platform::user::GetVideoStats();
            if (stats.LastNumber != last) {
                const auto now = Clock::now();
                result.Backwards += changes++ > 0 && stats.LastNumber < last;
                last = stats.LastNumber;
                if (disk && ::stat(disk, &st) == 0 && last > 0)
                    result.Marks.push_back(Mark{now, long(st.st_size), last});
                result.RssPeak = std::max(result.RssPeak, RssKb());
            }
            return Status(id, MCI_STATUS_MODE) != MCI_MODE_PLAY;
        },
        int(lengthMs / 1000) + 30);
    return result;
}

// How far the sound ran ahead of each frame, from the driver's file and its writes.
void ReportSound(const char* disk, long diskStart, const DiskWatch& watch, const WholePlay& play,
                 double frameMs) {
    // The clip's sound: mono 16-bit at QUILLOT_SOUND_RATE (22050 Hz unless told).
    const double rate = std::getenv("QUILLOT_SOUND_RATE")
                            ? std::strtod(std::getenv("QUILLOT_SOUND_RATE"), nullptr)
                            : 22050.0;
    // The driver's block: the buffer the device asks SDL for (1024 sample frames).
    const long block = 2 * (std::getenv("QUILLOT_DISK_BLOCK")
                                ? std::strtol(std::getenv("QUILLOT_DISK_BLOCK"), nullptr, 10)
                                : 1024);
    std::ifstream in(disk, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const SoundIndex sound(bytes, std::size_t(diskStart));
    const PlayOut playOut(watch.Writes(), block, rate);
    std::vector<double> coarse, played;
    for (const Mark& m : play.Marks) {
        const double frameAt = double(m.Frame) * frameMs;
        coarse.push_back(sound.Ms(m.Size, rate) - frameAt);
        if (const auto bytesPlayed = playOut.At(m.Time))
            played.push_back(sound.Ms(long(*bytesPlayed), rate) - frameAt);
    }
    Report("sound ahead of picture, played", played);
    Report("sound ahead of picture, by file size (coarse)", coarse);
    std::printf("the driver's writes: %zu, %.1f ms apart on average; frames seen out of "
                "order: %d\n",
                watch.Writes().size(), playOut.MeanInterval(), play.Backwards);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: media_measure FILE\n");
        return 2;
    }
    const char* disk = std::getenv("QUILLOT_DISK_AUDIO");
    HWND hwnd = OpenMeasureWindow();
    const long rssBefore = RssKb();

    MCI_OPEN_PARMSA open{0, 0, nullptr, argv[1], nullptr};
    if (MCIERROR e = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open))) {
        std::fprintf(stderr, "media_measure: cannot open %s (error %u)\n", argv[1], e);
        return 1;
    }
    const MCIDEVICEID id = open.wDeviceID;
    MCI_DGV_WINDOW_PARMSA bind{0, hwnd, 0, nullptr};
    mciSendCommandA(id, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, DWORD_PTR(&bind));
    PumpUntil([] { return platform::user::GetVideoStats().LastNumber == 0; });
    MeasureFirstFrame(id, hwnd);

    const std::int64_t length = std::int64_t(Status(id, MCI_STATUS_LENGTH));
    MCI_SET_PARMS ms{0, MCI_FORMAT_MILLISECONDS, 0};
    mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&ms));
    const double lengthMs = double(Status(id, MCI_STATUS_LENGTH));
    MCI_SET_PARMS frames{0, MCI_FORMAT_FRAMES, 0};
    mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&frames));
    const double frameMs = lengthMs / double(length);
    // The sound of the plays above leaves the C library's buffer before the clip starts.
    const auto flushed = Clock::now() + std::chrono::milliseconds(400);
    PumpUntil([&] { return Clock::now() > flushed; });
    struct stat st {};
    const long diskStart = disk && ::stat(disk, &st) == 0 ? long(st.st_size) : 0;
    DiskWatch watch;
    if (disk)
        watch.Start(disk);
    const WholePlay play = PlayWholeClip(id, hwnd, disk, lengthMs);
    watch.Stop();
    if (disk && !play.Marks.empty())
        ReportSound(disk, diskStart, watch, play, frameMs);
    std::printf("memory added while playing: %.1f MB (resident, peak over the clip)\n",
                double(play.RssPeak - rssBefore) / 1024.0);
    mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0);
    DestroyWindow(hwnd);
    return 0;
}
