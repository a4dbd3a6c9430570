// Times on an X display (Xvfb) how long a program takes to show something:
//
//   firstframe startup X Y PROGRAM...   launch to the first change of the screen pixel
//                                       (X, Y); prints milliseconds
//   firstframe click X Y CX CY PROGRAM... launch, wait until the screen is still, click
//                                       at (CX, CY) through xdotool, then time until the
//                                       pixel (X, Y) shows a clip frame (neither what it
//                                       showed before nor the empty frame's grey)
//
// The pixel is read from the root window every half millisecond.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

unsigned long Pixel(Display* d, int x, int y) {
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return ~0ul;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return p;
}

// Waits until (x, y) shows neither `from` nor `passing` (a colour shown on the way, such
// as an empty frame's face); milliseconds from `start`, -1 after 30 s.
double WaitChange(Display* d, int x, int y, unsigned long from, Clock::time_point start,
                  unsigned long passing = ~0ul) {
    while (Clock::now() - start < std::chrono::seconds(30)) {
        const unsigned long p = Pixel(d, x, y);
        if (p != from && p != passing)
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return -1;
}

pid_t Launch(char** argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    return pid;
}

} // namespace

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    if (!d || argc < 5) {
        std::fprintf(stderr, "usage: firstframe startup|click X Y [CX CY] PROGRAM...\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    double ms = -1;
    pid_t pid = -1;
    if (mode == "startup") {
        const unsigned long before = Pixel(d, x, y);
        const auto start = Clock::now();
        pid = Launch(argv + 4);
        ms = WaitChange(d, x, y, before, start);
    } else if (mode == "click" && argc >= 7) {
        pid = Launch(argv + 6);
        std::this_thread::sleep_for(std::chrono::seconds(4));
        const unsigned long before = Pixel(d, x, y);
        const std::string click =
            "xdotool mousemove " + std::string(argv[4]) + " " + std::string(argv[5]) + " click 1";
        // The clock starts before xdotool does, so the figure includes xdotool's own
        // start-up: an upper bound of the time from the click to the frame.
        const auto clicked = Clock::now();
        std::system(click.c_str());
        // The clip frame's empty face (the button-face grey) comes first: wait past it.
        ms = WaitChange(d, x, y, before, clicked, 0xD4D0C8);
    }
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    XCloseDisplay(d);
    std::printf("%.1f\n", ms);
    return ms < 0 ? 1 : 0;
}
