// media_measure FILE: plays FILE through the media control interface into a window on the
// display and prints
//   - the time from MCI_PLAY (from frame 30) to that frame drawn and presented,
//   - the offset of sound against picture over the whole clip, when SDL's disk audio
//     driver writes the sound to QUILLOT_DISK_AUDIO (SDL_AUDIODRIVER=disk,
//     SDL_DISKAUDIOFILE=the same path): at each new frame, the sound written so far
//     against the frame's time,
//   - the resident memory added while the clip plays.
// Run by measure.sh.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: media_measure FILE\n");
        return 2;
    }
    const char* disk = std::getenv("QUILLOT_DISK_AUDIO");
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

    // Time to the first frame: play from frame 30 (not on show yet).
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
    std::sort(firsts.begin(), firsts.end());
    std::printf("first frame after MCI_PLAY: %.1f ms (median of 5, min %.1f, max %.1f)\n",
                firsts[2], firsts[0], firsts[4]);

    // The whole clip from its start, noting sound written against each new frame.
    const std::int64_t length = std::int64_t(Status(id, MCI_STATUS_LENGTH));
    MCI_SET_PARMS ms{0, MCI_FORMAT_MILLISECONDS, 0};
    mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&ms));
    const double lengthMs = double(Status(id, MCI_STATUS_LENGTH));
    MCI_SET_PARMS frames{0, MCI_FORMAT_FRAMES, 0};
    mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, DWORD_PTR(&frames));
    const double frameMs = lengthMs / double(length);
    struct stat st {};
    const long diskStart = disk && ::stat(disk, &st) == 0 ? long(st.st_size) : 0;
    mciSendCommandA(id, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, 0);
    MCI_PLAY_PARMS play{DWORD_PTR(hwnd), 0, 0};
    mciSendCommandA(id, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play));
    long rssPeak = RssKb();
    std::int64_t last = -1;
    struct Mark {
        long Size;
        std::int64_t Frame;
    };
    std::vector<Mark> marks;
    PumpUntil(
        [&] {
            const auto stats = platform::user::GetVideoStats();
            if (stats.LastNumber != last) {
                last = stats.LastNumber;
                rssPeak = std::max(rssPeak, RssKb());
                if (disk && ::stat(disk, &st) == 0 && last > 0)
                    marks.push_back(Mark{long(st.st_size), last});
            }
            return Status(id, MCI_STATUS_MODE) != MCI_MODE_PLAY;
        },
        int(lengthMs / 1000) + 30);
    // The disk driver writes silence whenever nothing is queued: the clip's sound is what
    // lies outside runs of silence. At each frame, the sound written so far is set
    // against the frame's time.
    std::vector<double> offsets;
    // The clip's sound: mono 16-bit at QUILLOT_SOUND_RATE (22050 Hz unless told).
    const double rate = std::getenv("QUILLOT_SOUND_RATE")
                            ? std::strtod(std::getenv("QUILLOT_SOUND_RATE"), nullptr)
                            : 22050.0;
    if (disk && !marks.empty()) {
        std::ifstream in(disk, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        // sound[i]: samples of the clip's sound among the first i samples after diskStart.
        const std::size_t first = std::size_t(diskStart) / 2;
        std::vector<long> sound(samples.size() - std::min(first, samples.size()) + 1, 0);
        std::size_t i = first;
        while (i < samples.size()) {
            std::size_t j = i;
            while (j < samples.size() && samples[j] == 0)
                ++j;
            const bool silence = j - i >= 64;
            if (j == i)
                ++j;
            for (std::size_t k = i; k < j; ++k)
                sound[k - first + 1] = sound[k - first] + (silence ? 0 : 1);
            i = j;
        }
        for (const Mark& m : marks) {
            const std::size_t at = std::min(sound.size() - 1, std::size_t(m.Size) / 2 - first);
            offsets.push_back(double(sound[at]) * 1000.0 / rate - double(m.Frame) * frameMs);
        }
    }
    if (!offsets.empty()) {
        std::sort(offsets.begin(), offsets.end());
        double mean = 0;
        for (double o : offsets)
            mean += o;
        mean /= double(offsets.size());
        const auto at = [&](double q) {
            return offsets[std::size_t(q * double(offsets.size() - 1))];
        };
        std::printf("sound ahead of picture: median %.1f ms, mean %.1f ms, 5%%-95%% %.1f to "
                    "%.1f ms, extremes %.1f to %.1f ms over %zu frames (the driver writes blocks "
                    "of 1024 samples)\n",
                    at(0.5), mean, at(0.05), at(0.95), offsets.front(), offsets.back(),
                    offsets.size());
    }
    std::printf("memory added while playing: %.1f MB (resident, peak over the clip)\n",
                double(rssPeak - rssBefore) / 1024.0);
    mciSendCommandA(id, MCI_CLOSE, MCI_WAIT, 0);
    DestroyWindow(hwnd);
    return 0;
}
