// A 1280 x 1024 top-level window with 20 child windows, every window erasing with its own
// solid brush and the main window drawing a few shapes over its background.
#pragma once

#include "platform/win32.h"

inline LRESULT BenchMainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        for (int i = 0; i < 8; ++i)
            Rectangle(dc, 20 + i * 150, 900, 150 + i * 150, 1000);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

inline HWND MakeBenchScene() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = BenchMainProc;
    wc.hbrBackground = CreateSolidBrush(RGB(200, 210, 230));
    wc.lpszClassName = "BenchMain";
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "BenchChild";
    wc.hbrBackground = CreateSolidBrush(RGB(90, 140, 60));
    RegisterClassA(&wc);
    HWND main = CreateWindowExA(0, "BenchMain", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 1024,
                                nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 20; ++i)
        CreateWindowExA(0, "BenchChild", "", WS_CHILD | WS_VISIBLE, 30 + (i % 5) * 240,
                        30 + (i / 5) * 200, 200, 160, main, nullptr, nullptr, nullptr);
    return main;
}

// Dispatches everything waiting (the paints of the whole tree).
inline int PumpAll() {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&m);
        ++n;
    }
    return n;
}
