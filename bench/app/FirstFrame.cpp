// Times on an X display (Xvfb) how long the catalogue takes to show something:
//
//   firstframe startup X Y PROGRAM...
//       launch to the first change of the screen pixel (X, Y); prints milliseconds.
//   firstframe phases X Y PROGRAM...
//       one launch with QUILLOT_PHASES set: the program's start-up marks (its standard
//       error) lined up with the launch and with the first change of the screen pixel
//       (X, Y), and the marks of the two seconds after it; prints a table of milliseconds
//       since the launch and since the row before, and the shared libraries mapped at the
//       first frame and two seconds later.
//   firstframe clicks [--runs N] [--xdotool | --no-hover] [--verbose] PROGRAM...
//       N launches (15 by default) of the catalogue; in each, a click on the English
//       choice of the still start screen, then, once the introduction has ended, a click
//       on the English "man" choice of the category screen; each timed from the button
//       press to the first frame of its clip (main_eng.avi, man_eng.avi) in the clip
//       frame. Prints each run, then the median and the 90th percentile of each click.
//       --verbose also tells, on the standard error, the time of each press and first
//       frame, to line the figure up with a trace of the program: wall-clock seconds since
//       the epoch (as strace -ttt shows them) and the monotonic clock's seconds (as
//       perf record -k CLOCK_MONOTONIC stamps its samples).
//
// The click is injected through the XTest extension from this process: the pointer is
// moved first, and the clock starts right before the button press. With --xdotool the
// click is sent the old way, by an `xdotool` process, and the clock starts before that
// process does, so its own start-up is counted in (an upper bound, for comparison).
// With --no-hover the XTest motion and press go out together, as xdotool sends them, so
// the program's answer to the pointer's arrival on the choice is counted in as well.
// A clip frame is recognised by its frame code and background colour on one row of the
// screen, read from the root window about every half millisecond.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/app/FrameProbe.h"
#include "bench/common/Stats.h"
#include "tools/generators/clipgen/Catalogue.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* WindowTitle = "Quillot 05 Vol. 1";
constexpr auto PollPeriod = std::chrono::microseconds(500);

bool Verbose = false;
bool Hover = true; // the pointer rests on the choice before the press

void Stamp(const char* what) {
    if (!Verbose)
        return;
    using Seconds = std::chrono::duration<double>;
    const double wall = Seconds(std::chrono::system_clock::now().time_since_epoch()).count();
    const double mono = Seconds(Clock::now().time_since_epoch()).count();
    std::fprintf(stderr, "%.6f (monotonic %.6f) %s\n", wall, mono, what);
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

unsigned long Pixel(Display* d, int x, int y) {
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return ~0ul;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return p;
}

// One row of the screen from (x, y), `width` pixels as 0xRRGGBB; empty if unreadable.
std::vector<std::uint32_t> Row(Display* d, int x, int y, int width) {
    std::vector<std::uint32_t> row;
    XImage* image =
        XGetImage(d, DefaultRootWindow(d), x, y, unsigned(width), 1, AllPlanes, ZPixmap);
    if (!image)
        return row;
    row.reserve(std::size_t(width));
    for (int i = 0; i < width; ++i)
        row.push_back(std::uint32_t(XGetPixel(image, i, 0) & 0xFFFFFF));
    XDestroyImage(image);
    return row;
}

// Waits until (x, y) shows neither `from` nor `passing` (a colour shown on the way);
// milliseconds from `start`, -1 after 30 s.
double WaitChange(Display* d, int x, int y, unsigned long from, Clock::time_point start,
                  unsigned long passing = ~0ul) {
    while (Clock::now() - start < std::chrono::seconds(30)) {
        const unsigned long p = Pixel(d, x, y);
        if (p != from && p != passing)
            return MsSince(start);
        std::this_thread::sleep_for(PollPeriod);
    }
    return -1;
}

// Launches a program; with `errorFile` >= 0 its standard error goes there.
pid_t Launch(char** argv, int errorFile = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (errorFile >= 0)
            dup2(errorFile, 2);
        execv(argv[0], argv);
        _exit(127);
    }
    return pid;
}

// Ends a launched program: asked first, then forced if it does not end within 3 s.
void End(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool Titled(Display* d, Window w) {
    char* name = nullptr;
    if (!XFetchName(d, w, &name) || !name)
        return false;
    const bool match = std::strncmp(name, WindowTitle, std::strlen(WindowTitle)) == 0;
    XFree(name);
    return match;
}

// The viewable window titled like the catalogue, searched depth first; 0 if none.
Window FindCatalogue(Display* d, Window w) {
    XWindowAttributes a;
    if (Titled(d, w) && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable)
        return w;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = FindCatalogue(d, children[i]);
    if (children)
        XFree(children);
    return found;
}

struct TTarget {
    bench::TCatalogueSpots Spots;
    int CodeY = 0; // screen row of the frame code
};

std::optional<TTarget> WaitForCatalogue(Display* d, pid_t pid) {
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(30)) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return std::nullopt;
        if (const Window w = FindCatalogue(d, DefaultRootWindow(d))) {
            XWindowAttributes a;
            int x = 0, y = 0;
            Window child = 0;
            if (XGetWindowAttributes(d, w, &a) &&
                XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child)) {
                TTarget t;
                t.Spots = bench::CatalogueSpots(x, y, a.width, a.height);
                t.CodeY = t.Spots.ClipFrame.Top +
                          bench::FrameCodeRow(t.Spots.ClipFrame.Width, t.Spots.ClipFrame.Height);
                return t;
            }
        }
        std::this_thread::sleep_for(milliseconds(50));
    }
    return std::nullopt;
}

std::vector<std::uint32_t> CodeRow(Display* d, const TTarget& t) {
    return Row(d, t.Spots.ClipFrame.Left, t.CodeY, t.Spots.ClipFrame.Width);
}

// Waits until the clip frame's row has stayed the same for half a second and shows no
// frame of the clip with background `notShowing`; false after `limit`.
bool WaitStill(Display* d, const TTarget& t, std::uint32_t notShowing, Clock::duration limit) {
    const auto start = Clock::now();
    std::vector<std::uint32_t> last;
    int same = 0;
    while (Clock::now() - start < limit) {
        std::vector<std::uint32_t> row = CodeRow(d, t);
        const bool playing = bench::ClipFrameInRow(row, t.Spots.ClipFrame.Height, notShowing) >= 0;
        same = (!playing && !row.empty() && row == last) ? same + 1 : 0;
        if (same >= 5)
            return true;
        last = std::move(row);
        std::this_thread::sleep_for(milliseconds(100));
    }
    return false;
}

struct TClickResult {
    double Ms = -1; // button press to the first frame; -1 when none came
    int Frame = -1; // index of the first frame seen
};

// Clicks at `p` and waits for the first frame of the clip with background `background`.
TClickResult ClickToFrame(Display* d, const TTarget& t, bench::TScreenPoint p,
                          std::uint32_t background, bool xdotool) {
    Clock::time_point start;
    if (xdotool) {
        const std::string command =
            "xdotool mousemove " + std::to_string(p.X) + " " + std::to_string(p.Y) + " click 1";
        start = Clock::now();
        Stamp("xdotool started");
        if (std::system(command.c_str()) != 0)
            return {};
    } else {
        // The pointer arrives first and rests (the program answers its arrival, as when a
        // person points at the choice), then the clock starts and the button goes down.
        if (Hover) {
            XTestFakeMotionEvent(d, -1, p.X, p.Y, CurrentTime);
            XSync(d, False);
            std::this_thread::sleep_for(milliseconds(100));
        }
        start = Clock::now();
        if (!Hover)
            XTestFakeMotionEvent(d, -1, p.X, p.Y, CurrentTime);
        Stamp("button press");
        XTestFakeButtonEvent(d, Button1, True, CurrentTime);
        XTestFakeButtonEvent(d, Button1, False, CurrentTime);
        XFlush(d);
    }
    while (Clock::now() - start < std::chrono::seconds(10)) {
        const int frame =
            bench::ClipFrameInRow(CodeRow(d, t), t.Spots.ClipFrame.Height, background);
        if (frame >= 0) {
            const double ms = MsSince(start);
            Stamp("first frame seen");
            return {ms, frame};
        }
        std::this_thread::sleep_for(PollPeriod);
    }
    return {};
}

std::uint32_t BackgroundOf(const std::string& fileName) {
    for (const clipgen::TCatalogueClip& clip : clipgen::CatalogueClips())
        if (clip.FileName == fileName)
            return clip.Spec.Background;
    return 0;
}

void Summary(const char* what, const std::vector<double>& ms, int runs) {
    std::printf("%s: median %.1f ms, 90th percentile %.1f ms, best %.1f, worst %.1f (%zu of "
                "%d runs)\n",
                what, bench::Percentile(ms, 50), bench::Percentile(ms, 90),
                bench::Percentile(ms, 0.001), bench::Percentile(ms, 100), ms.size(), runs);
}

// The system's load averages, which the figures depend on when the machine is shared.
std::string LoadAverage() {
    char text[64] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, f))
            text[0] = 0;
        std::fclose(f);
    }
    std::string load(text);
    // The first three fields: over 1, 5 and 15 minutes.
    std::size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field)
        end = load.find(' ', end ? end + 1 : 0);
    return load.substr(0, end);
}

int Clicks(Display* d, int runs, bool xdotool, char** program) {
    const std::string loadBefore = LoadAverage();
    const std::uint32_t intro = BackgroundOf("main_eng.avi");
    const std::uint32_t man = BackgroundOf("man_eng.avi");
    std::vector<double> english, category;
    for (int run = 1; run <= runs; ++run) {
        const pid_t pid = Launch(program);
        const std::optional<TTarget> t = WaitForCatalogue(d, pid);
        TClickResult a, b;
        if (t && WaitStill(d, *t, intro, std::chrono::seconds(20))) {
            a = ClickToFrame(d, *t, t->Spots.English, intro, xdotool);
            // The introduction (153 frames at 15 per second) ends on the category screen.
            if (a.Ms >= 0 && WaitStill(d, *t, intro, std::chrono::seconds(30)))
                b = ClickToFrame(d, *t, t->Spots.ManEnglish, man, xdotool);
        }
        End(pid);
        std::printf("run %d: English choice %.1f ms (frame %d), category choice %.1f ms "
                    "(frame %d)\n",
                    run, a.Ms, a.Frame, b.Ms, b.Frame);
        std::fflush(stdout);
        if (a.Ms >= 0)
            english.push_back(a.Ms);
        if (b.Ms >= 0)
            category.push_back(b.Ms);
    }
    const char* how = xdotool ? "xdotool"
                      : Hover ? "XTest"
                              : "XTest, the pointer arriving with the press";
    std::printf("clicks sent with %s; load average %s before, %s after\n", how, loadBefore.c_str(),
                LoadAverage().c_str());
    Summary("English choice to the first frame of main_eng.avi", english, runs);
    Summary("category choice to the first frame of man_eng.avi", category, runs);
    return int(english.size()) == runs && int(category.size()) == runs ? 0 : 1;
}

struct TMark {
    std::string Name;
    double Ms = 0; // since the launch
    int Count = 1; // marks of this name in a row, Ms being the last one's
};

// The "phase NAME SECONDS" lines of a program's standard error, in milliseconds since
// `launch`, runs of one name folded into one row.
std::vector<TMark> ReadMarks(FILE* f, Clock::time_point launch) {
    const double zero = std::chrono::duration<double>(launch.time_since_epoch()).count();
    std::vector<TMark> marks;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        char name[128];
        double seconds = 0;
        if (std::sscanf(line, "phase %127s %lf", name, &seconds) != 2)
            continue;
        const double ms = (seconds - zero) * 1000;
        if (!marks.empty() && marks.back().Name == name) {
            marks.back().Ms = ms;
            ++marks.back().Count;
        } else {
            marks.push_back({name, ms, 1});
        }
    }
    return marks;
}

// Shared libraries a process has mapped (distinct files named *.so*).
int MappedLibraries(pid_t pid) {
    std::vector<std::string> files;
    if (FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/maps").c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, f)) {
            const char* file = std::strchr(line, '/');
            if (file && std::strstr(file, ".so"))
                files.emplace_back(file);
        }
        std::fclose(f);
    }
    std::sort(files.begin(), files.end());
    return int(std::unique(files.begin(), files.end()) - files.begin());
}

int Phases(Display* d, int x, int y, char** program) {
    char path[] = "/tmp/firstframe-phases-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        std::fprintf(stderr, "firstframe: no temporary file for the marks\n");
        return 2;
    }
    unlink(path);
    setenv("QUILLOT_PHASES", "1", 1);
    const unsigned long before = Pixel(d, x, y);
    const auto start = Clock::now();
    const pid_t pid = Launch(program, fd);
    unsetenv("QUILLOT_PHASES");
    const double first = WaitChange(d, x, y, before, start);
    const int atFirst = MappedLibraries(pid);
    std::this_thread::sleep_for(std::chrono::seconds(2)); // what the program does next
    const int later = MappedLibraries(pid);
    End(pid);
    FILE* f = fdopen(fd, "r");
    std::rewind(f);
    std::vector<TMark> marks = ReadMarks(f, start);
    std::fclose(f);
    marks.push_back({"(first frame seen on the screen)", first, 1});
    std::stable_sort(marks.begin(), marks.end(),
                     [](const TMark& a, const TMark& b) { return a.Ms < b.Ms; });
    std::printf("%-34s %12s %10s\n", "mark", "since launch", "step");
    double last = 0;
    for (const TMark& m : marks) {
        const std::string name =
            m.Count > 1 ? m.Name + " (x" + std::to_string(m.Count) + ")" : m.Name;
        std::printf("%-34s %9.1f ms %7.1f ms\n", name.c_str(), m.Ms, m.Ms - last);
        last = m.Ms;
    }
    std::printf("shared libraries mapped: %d at the first frame, %d two seconds later\n", atFirst,
                later);
    return first < 0 ? 1 : 0;
}

int Usage() {
    std::fprintf(stderr, "usage: firstframe startup X Y PROGRAM...\n"
                         "       firstframe phases X Y PROGRAM...\n"
                         "       firstframe clicks [--runs N] [--xdotool | --no-hover] [--verbose] "
                         "PROGRAM...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "firstframe: cannot open the display\n");
        return 2;
    }
    const std::string mode = argv[1];
    int status = 2;
    if (mode == "startup" && argc >= 5) {
        const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
        const unsigned long before = Pixel(d, x, y);
        const auto start = Clock::now();
        const pid_t pid = Launch(argv + 4);
        const double ms = WaitChange(d, x, y, before, start);
        End(pid);
        std::printf("%.1f\n", ms);
        status = ms < 0 ? 1 : 0;
    } else if (mode == "phases" && argc >= 5) {
        status = Phases(d, std::atoi(argv[2]), std::atoi(argv[3]), argv + 4);
    } else if (mode == "clicks") {
        int runs = 15;
        bool xdotool = false;
        int i = 2;
        for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
            if (std::strcmp(argv[i], "--xdotool") == 0)
                xdotool = true;
            else if (std::strcmp(argv[i], "--no-hover") == 0)
                Hover = false;
            else if (std::strcmp(argv[i], "--verbose") == 0)
                Verbose = true;
            else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
                runs = std::atoi(argv[++i]);
            else
                break;
        }
        int event = 0, error = 0, major = 0, minor = 0;
        if (i >= argc || runs < 1)
            status = Usage();
        else if (!xdotool && !XTestQueryExtension(d, &event, &error, &major, &minor))
            std::fprintf(stderr, "firstframe: the display has no XTest extension\n");
        else
            status = Clicks(d, runs, xdotool, argv + i);
    } else {
        status = Usage();
    }
    XCloseDisplay(d);
    return status;
}
