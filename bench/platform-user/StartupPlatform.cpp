// An empty maximised top-level window through the platform layer; exits as soon as its
// first frame has been presented (startup.sh times the whole process).
#include "platform/win32.h"

int main() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "Empty";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, "Empty", "startup", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                             nullptr, nullptr);
    ShowWindow(w, SW_SHOWMAXIMIZED);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    // The queue ran dry after the first paint: the frame is on the screen.
    return 0;
}
