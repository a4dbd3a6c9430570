// Shared set-up of the window-manager tests: the headless backend, a clean state per
// test, and a window class whose procedure records every message it receives.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/Testing.h"
#include "platform/win32.h"

struct Recorded {
    HWND Hwnd;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
};

inline std::vector<Recorded>& Log() {
    static std::vector<Recorded> log;
    return log;
}

// A copy of the CREATESTRUCTA of the last WM_CREATE (the original lives on the stack).
inline CREATESTRUCTA& LastCreate() {
    static CREATESTRUCTA cs{};
    return cs;
}

inline LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Log().push_back(Recorded{hwnd, msg, wParam, lParam});
    if (msg == WM_CREATE)
        LastCreate() = *reinterpret_cast<CREATESTRUCTA*>(lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Messages of one kind received by one window (or by any window with a null handle).
inline std::vector<Recorded> Received(UINT msg, HWND hwnd = nullptr) {
    std::vector<Recorded> out;
    for (const Recorded& r : Log())
        if (r.Msg == msg && (!hwnd || r.Hwnd == hwnd))
            out.push_back(r);
    return out;
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::testing::UseHeadless();
        platform::testing::Reset();
        platform::testing::SetScreenSize(1280, 1024);
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = RecordingProc;
            wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            wc.lpszClassName = "Recorder";
            ASSERT_NE(RegisterClassA(&wc), 0);
            registered = true;
        }
        Log().clear();
    }
    void TearDown() override {
        platform::testing::Reset();
        Log().clear();
    }

    static HWND TopLevel(int x, int y, int w, int h,
                         DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
        return CreateWindowExA(0, "Recorder", "top", style, x, y, w, h, nullptr, nullptr, nullptr,
                               nullptr);
    }
    static HWND Child(HWND parent, int x, int y, int w, int h, DWORD style = WS_VISIBLE,
                      int id = 0) {
        return CreateWindowExA(0, "Recorder", "child", WS_CHILD | style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(std::uintptr_t(id)), nullptr, nullptr);
    }
    // Takes and dispatches everything available now; returns the messages taken.
    static std::vector<MSG> Drain() {
        std::vector<MSG> taken;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(m);
            if (m.message == WM_QUIT)
                break;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        return taken;
    }
};
