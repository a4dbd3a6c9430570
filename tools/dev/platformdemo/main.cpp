// platformdemo: a maximised window drawn through the platform layer: shapes, text in
// several faces and heights (English and Korean), a child window, a ticking clock and a
// push button that opens a message box.
//
//   platformdemo                          on the display
//   platformdemo --headless --screenshot FILE
//                                         headless: opens the box, saves the screen as PNG
//   platformdemo --idle SECONDS [--timer MS]
//                                         waits in the message loop for SECONDS (for CPU
//                                         measurements), optionally with a window timer
//   platformdemo --first-frame            exits once the first frame is on the screen and
//                                         prints the time since the process started
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/testing/Testing.h"
#include "platform/win32.h"

namespace {

const RECT ButtonRect{40, 40, 240, 80};
bool ButtonDown = false;
int Ticks = 0;
HWND Panel = nullptr;

HFONT Font(const char* face, int height, bool bold = false) {
    LOGFONTA lf{};
    lf.lfHeight = -height;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

void Text(HDC dc, const char* face, int height, int x, int y, const char* text,
          COLORREF colour = RGB(20, 20, 20), bool bold = false) {
    HFONT f = Font(face, height, bold);
    HGDIOBJ old = SelectObject(dc, f);
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text, int(std::strlen(text)));
    SelectObject(dc, old);
    DeleteObject(f);
}

void Paint(HWND hwnd, HDC dc) {
    RECT cr;
    GetClientRect(hwnd, &cr);
    // Background bands.
    for (int i = 0; i < 16; ++i) {
        RECT band{cr.left, cr.top + (cr.bottom * i) / 16, cr.right,
                  cr.top + (cr.bottom * (i + 1)) / 16};
        HBRUSH b = CreateSolidBrush(RGB(235 - i * 4, 240 - i * 3, 250));
        FillRect(dc, &band, b);
        DeleteObject(b);
    }
    SetBkMode(dc, TRANSPARENT);
    // Push button.
    RECT br = ButtonRect;
    DrawFrameControl(dc, &br, DFC_BUTTON, DFCS_BUTTONPUSH | (ButtonDown ? DFCS_PUSHED : 0));
    HFONT bf = Font("DejaVu Sans", 15);
    HGDIOBJ old = SelectObject(dc, bf);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT tr = ButtonRect;
    if (ButtonDown)
        OffsetRect(&tr, 1, 1);
    DrawTextA(dc, "Open a message box", -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(bf);
    // Text in several faces and heights.
    int y = 110;
    struct Line {
        const char* Face;
        int Height;
        const char* Sample;
        bool Bold;
    };
    const Line lines[] = {
        {"DejaVu Sans", 12, "DejaVu Sans 12: The quick brown fox jumps over the lazy dog.", false},
        {"DejaVu Sans", 18, "DejaVu Sans 18: The quick brown fox jumps over the lazy dog.", false},
        {"Liberation Serif", 24, "Liberation Serif 24: Quillot 05 Vol. 1", false},
        {"DejaVu Sans Mono", 16, "DejaVu Sans Mono 16: 0123456789 {}[]()", false},
        {"Franklin Gothic Medium", 19, "Franklin Gothic Medium 19: Back  Close", false},
        {"DejaVu Sans", 28, "Bold 28: Catalogue", true},
        {"NanumGothic", 24, "NanumGothic 24: \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 (Korean)", false},
        {"DejaVu Sans", 32, "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4 / English", false},
    };
    for (const Line& l : lines) {
        Text(dc, l.Face, l.Height, 40, y, l.Sample, RGB(20, 20, 60), l.Bold);
        y += l.Height + 14;
    }
    // Shapes.
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(200, 40, 40));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HBRUSH fill = CreateSolidBrush(RGB(250, 200, 60));
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    Ellipse(dc, 700, 120, 900, 260);
    Rectangle(dc, 940, 120, 1140, 260);
    MoveToEx(dc, 700, 300, nullptr);
    for (int i = 1; i <= 10; ++i)
        LineTo(dc, 700 + i * 44, 300 + ((i % 2) ? 60 : 0));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(fill);
    // Clock.
    char clock[64];
    std::snprintf(clock, sizeof clock, "Timer ticks: %d", Ticks);
    Text(dc, "DejaVu Sans", 16, 300, 52, clock);
}

LRESULT MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        Paint(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SIZE:
        if (Panel)
            MoveWindow(Panel, LOWORD(lParam) - 360, HIWORD(lParam) - 260, 320, 220, TRUE);
        return 0;
    case WM_TIMER: {
        ++Ticks;
        RECT r{300, 40, 600, 80};
        InvalidateRect(hwnd, &r, TRUE);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (PtInRect(&ButtonRect, p)) {
            ButtonDown = true;
            SetCapture(hwnd);
            InvalidateRect(hwnd, &ButtonRect, TRUE);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        if (!ButtonDown)
            return 0;
        ButtonDown = false;
        ReleaseCapture();
        InvalidateRect(hwnd, &ButtonRect, TRUE);
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (PtInRect(&ButtonRect, p))
            MessageBoxA(hwnd,
                        "This message box is a modal window of the platform layer. The timer "
                        "keeps ticking while it is open.",
                        "Platform demo", MB_OK | MB_ICONERROR);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
        SetBkMode(dc, TRANSPARENT);
        Text(dc, "DejaVu Sans", 14, 16, 16, "A child window (panel)");
        Text(dc, "NanumGothic", 20, 16, 48, "\xEC\x9E\x90\xEC\x8B\x9D \xEC\xB0\xBD", RGB(0, 90, 0));
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string field;
    for (int i = 0; i < 22 && stat >> field; ++i) {
    }
    double startTicks = std::atof(field.c_str());
    std::ifstream up("/proc/uptime");
    double uptime = 0;
    up >> uptime;
    return uptime - startTicks / double(sysconf(_SC_CLK_TCK));
}

struct Options {
    bool Headless = false, FirstFrame = false;
    std::string Screenshot;
    int IdleSeconds = 0;
    unsigned TimerMs = 0;
};

bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--headless")
            o.Headless = true;
        else if (a == "--screenshot" && i + 1 < argc)
            o.Screenshot = argv[++i];
        else if (a == "--idle" && i + 1 < argc)
            o.IdleSeconds = std::atoi(argv[++i]);
        else if (a == "--timer" && i + 1 < argc)
            o.TimerMs = unsigned(std::atoi(argv[++i]));
        else if (a == "--first-frame")
            o.FirstFrame = true;
        else
            return false;
    }
    return true;
}

// The main window's class (drawing nothing when only measuring) and the panel's.
void RegisterClasses(bool measuring) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = measuring ? DefWindowProcA : MainProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "PlatformDemo";
    RegisterClassA(&wc);
    wc.lpfnWndProc = PanelProc;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.hCursor = LoadCursorA(nullptr, IDC_HAND);
    wc.lpszClassName = "DemoPanel";
    RegisterClassA(&wc);
}

// The first frame is presented when the queue runs dry after the first paint.
int RunToFirstFrame(std::chrono::steady_clock::time_point started) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    double inProcess =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    std::printf("first frame: %.1f ms since main, %.0f ms since process start\n", inProcess,
                SecondsSinceProcessStart() * 1000.0);
    return 0;
}

// Waits in the message loop until a thread of its own closes the window.
int RunIdle(HWND main, int idleSeconds, unsigned timerMs) {
    if (timerMs)
        SetTimer(main, 1, timerMs, nullptr);
    std::thread closer([main, idleSeconds] {
        std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
        PostMessageA(main, WM_CLOSE, 0, 0);
    });
    closer.detach();
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_CLOSE) {
            DestroyWindow(main);
            break;
        }
        DispatchMessageA(&m);
    }
    return 0;
}

// Headless: clicks the button, saves the screen with the message box open, then ends.
void ScheduleScreenshot(HWND main, const std::string& screenshot) {
    namespace t = platform::testing;
    DWORD start = t::Now();
    POINT p{(ButtonRect.left + ButtonRect.right) / 2, (ButtonRect.top + ButtonRect.bottom) / 2};
    t::RunAt(start + 500, [main, p] { t::ClickClient(main, p.x, p.y); });
    t::RunAt(start + 1500, [screenshot] {
        bool ok = t::SavePng(t::CaptureScreen(), screenshot);
        std::printf("%s %s\n", ok ? "saved" : "could not save", screenshot.c_str());
        t::PressMessageBoxButton();
    });
    t::RunAt(start + 2000, [main] { DestroyWindow(main); });
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseArgs(argc, argv, o)) {
        std::fprintf(stderr, "usage: platformdemo [--headless] [--screenshot FILE] [--idle SECONDS "
                             "[--timer MS]] [--first-frame]\n");
        return 2;
    }
    auto started = std::chrono::steady_clock::now();
    if (o.Headless)
        platform::testing::UseHeadless();
    const bool measuring = o.IdleSeconds || o.FirstFrame;
    RegisterClasses(measuring);
    HWND main = CreateWindowExA(0, "PlatformDemo", "Platform demo", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 1283, 988, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!main) {
        std::fprintf(stderr, "platformdemo: cannot create the window\n");
        return 1;
    }
    if (!measuring)
        Panel = CreateWindowExA(0, "DemoPanel", "", WS_CHILD | WS_VISIBLE, 0, 0, 320, 220, main,
                                nullptr, nullptr, nullptr);
    ShowWindow(main, SW_SHOWMAXIMIZED);
    UpdateWindow(main);
    if (o.FirstFrame)
        return RunToFirstFrame(started);
    if (o.IdleSeconds)
        return RunIdle(main, o.IdleSeconds, o.TimerMs);
    SetTimer(main, 1, 100, nullptr);
    if (o.Headless && !o.Screenshot.empty())
        ScheduleScreenshot(main, o.Screenshot);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}
