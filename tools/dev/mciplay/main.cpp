// mciplay: plays any media file through the media control interface in a window of its
// own, so that the device can be seen and heard at work.
//
//   mciplay FILE                 on the display: space pauses and resumes, the arrow keys
//                                step back and forth, Escape ends
//   mciplay --headless --at MS --screenshot PNG FILE
//                                plays on the virtual clock for MS milliseconds and saves
//                                the window's client area (video at its top left) as PNG
//   mciplay --seconds S FILE     plays for S seconds of real time, then ends
//
// Headless and with --seconds it prints where the device stands at the end,
// "FILE: position P of L".
//
// Exit code 0, or 1 with the device's error text when the file cannot be played.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/testing/Testing.h"
#include "platform/win32.h"

namespace {

MCIDEVICEID Device = 0;

std::string ErrorText(MCIERROR error) {
    char text[4096];
    if (!mciGetErrorStringA(error, text, sizeof text))
        return "Unknown error code " + std::to_string(error) + ".";
    return text;
}

DWORD_PTR Status(DWORD item) {
    MCI_STATUS_PARMS s{0, 0, item, 0};
    mciSendCommandA(Device, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, DWORD_PTR(&s));
    return s.dwReturn;
}

void UpdateTitle(HWND hwnd, const std::string& name) {
    const char* mode = Status(MCI_STATUS_MODE) == MCI_MODE_PLAY    ? "playing"
                       : Status(MCI_STATUS_MODE) == MCI_MODE_PAUSE ? "paused"
                                                                   : "stopped";
    std::string title = name + " - " + std::to_string(Status(MCI_STATUS_POSITION)) + " / " +
                        std::to_string(Status(MCI_STATUS_LENGTH)) + " (" + mode + ")";
    SetWindowTextA(hwnd, title.c_str());
}

std::string Name;

void PrintPosition() {
    std::printf("%s: position %lu of %lu\n", Name.c_str(),
                static_cast<unsigned long>(Status(MCI_STATUS_POSITION)),
                static_cast<unsigned long>(Status(MCI_STATUS_LENGTH)));
}

LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN: {
        MCI_GENERIC_PARMS generic{DWORD_PTR(hwnd)};
        if (wParam == VK_ESCAPE) {
            DestroyWindow(hwnd);
        } else if (wParam == VK_SPACE) {
            const DWORD_PTR mode = Status(MCI_STATUS_MODE);
            if (mode == MCI_MODE_PLAY) {
                mciSendCommandA(Device, MCI_PAUSE, MCI_WAIT, DWORD_PTR(&generic));
            } else if (mode == MCI_MODE_PAUSE) {
                mciSendCommandA(Device, MCI_RESUME, MCI_NOTIFY, DWORD_PTR(&generic));
            } else {
                MCI_PLAY_PARMS play{DWORD_PTR(hwnd), 0, 0};
                DWORD flags = MCI_NOTIFY;
                if (Status(MCI_STATUS_POSITION) == Status(MCI_STATUS_LENGTH))
                    flags |= MCI_FROM;
                mciSendCommandA(Device, MCI_PLAY, flags, DWORD_PTR(&play));
            }
        } else if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            MCI_DGV_STEP_PARMS step{DWORD_PTR(hwnd), 1};
            mciSendCommandA(Device, MCI_STEP,
                            MCI_DGV_STEP_FRAMES | (wParam == VK_LEFT ? MCI_DGV_STEP_REVERSE : 0),
                            DWORD_PTR(&step));
        }
        UpdateTitle(hwnd, Name);
        return 0;
    }
    case WM_TIMER:
    case MM_MCINOTIFY:
        UpdateTitle(hwnd, Name);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

int Usage() {
    std::fprintf(stderr, "usage: mciplay FILE\n"
                         "       mciplay --headless --at MS --screenshot PNG FILE\n"
                         "       mciplay --seconds S FILE\n");
    return 2;
}

struct Options {
    bool Headless = false;
    long At = -1;
    double Seconds = -1;
    std::string Screenshot, File;
};

// False when the arguments do not make one of the three forms.
bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--headless")
            o.Headless = true;
        else if (a == "--at" && i + 1 < argc)
            o.At = std::strtol(argv[++i], nullptr, 10);
        else if (a == "--screenshot" && i + 1 < argc)
            o.Screenshot = argv[++i];
        else if (a == "--seconds" && i + 1 < argc)
            o.Seconds = std::strtod(argv[++i], nullptr);
        else if (!a.empty() && a[0] != '-' && o.File.empty())
            o.File = a;
        else
            return false;
    }
    return !o.File.empty() && !(o.Headless && (o.At < 0 || o.Screenshot.empty()));
}

// A window with a client area of the video's size (or a small one for sound), with the
// device's picture bound to it.
HWND OpenPlayerWindow() {
    MCI_GETDEVCAPS_PARMS caps{0, 0, MCI_GETDEVCAPS_HAS_VIDEO};
    mciSendCommandA(Device, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM | MCI_WAIT, DWORD_PTR(&caps));
    RECT client{0, 0, 320, 60};
    if (caps.dwReturn) {
        MCI_DGV_RECT_PARMS where{};
        mciSendCommandA(Device, MCI_WHERE, MCI_DGV_WHERE_SOURCE | MCI_WAIT, DWORD_PTR(&where));
        client = where.rc;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "MciPlay";
    RegisterClassA(&wc);
    RECT outer = client;
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND hwnd = CreateWindowExA(0, "MciPlay", Name.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, nullptr, nullptr);
    if (caps.dwReturn) {
        MCI_DGV_WINDOW_PARMSA window{0, hwnd, 0, nullptr};
        mciSendCommandA(Device, MCI_WINDOW, MCI_DGV_WINDOW_HWND | MCI_WAIT, DWORD_PTR(&window));
    }
    return hwnd;
}

// Plays on the virtual clock up to `o.At`, saves the window and prints the position.
int RunHeadless(HWND hwnd, const Options& o) {
    platform::testing::RunFor(DWORD(o.At));
    UpdateTitle(hwnd, Name);
    platform::testing::PumpMessages();
    bool saved = platform::testing::SavePng(platform::testing::CaptureWindow(hwnd), o.Screenshot);
    PrintPosition();
    mciSendCommandA(Device, MCI_CLOSE, MCI_WAIT, 0);
    if (!saved) {
        std::fprintf(stderr, "mciplay: cannot write %s\n", o.Screenshot.c_str());
        return 1;
    }
    return 0;
}

// Runs the message loop until the window goes (Escape, or after `seconds` when positive).
int RunOnDisplay(HWND hwnd, double seconds) {
    SetTimer(hwnd, 1, 250, nullptr);
    if (seconds > 0)
        SetTimer(hwnd, 2, UINT(seconds * 1000),
                 [](HWND h, UINT, UINT_PTR, DWORD) { DestroyWindow(h); });
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (seconds > 0)
        PrintPosition();
    mciSendCommandA(Device, MCI_CLOSE, MCI_WAIT, 0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseArgs(argc, argv, o))
        return Usage();
    if (o.Headless)
        platform::testing::UseHeadless();
    Name = o.File.substr(o.File.find_last_of("/\\") + 1);

    MCI_OPEN_PARMSA open{0, 0, nullptr, o.File.c_str(), nullptr};
    if (MCIERROR e = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, DWORD_PTR(&open))) {
        std::fprintf(stderr, "mciplay: %s: %s\n", o.File.c_str(), ErrorText(e).c_str());
        return 1;
    }
    Device = open.wDeviceID;
    HWND hwnd = OpenPlayerWindow();
    MCI_PLAY_PARMS play{DWORD_PTR(hwnd), 0, 0};
    if (MCIERROR e = mciSendCommandA(Device, MCI_PLAY, MCI_NOTIFY, DWORD_PTR(&play))) {
        std::fprintf(stderr, "mciplay: %s: %s\n", o.File.c_str(), ErrorText(e).c_str());
        return 1;
    }
    return o.Headless ? RunHeadless(hwnd, o) : RunOnDisplay(hwnd, o.Seconds);
}
