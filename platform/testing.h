// Test support for the headless backend: a virtual clock, injected input, pixels of
// windows and of the screen, the list of top-level windows and message boxes, screen
// size, code page and resources registered from memory.
//
// Call UseHeadless() before the first window is created (or set the environment variable
// QUILLOT_BACKEND=headless). The virtual clock only moves when a test advances it or when
// WaitMessage finds nothing to do but a timer or a scheduled action; so a loop that waits
// for a 100-second timer runs in milliseconds. Input is queued like real input: it is
// routed when the program's message loop takes it out of the queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"

namespace platform::testing {

// Backend and environment.
void UseHeadless();
bool IsHeadless();
void SetScreenSize(int width, int height);
void SetCodePage(UINT codePage); // 0 restores the default, 65001 (UTF-8)
// Makes GetModuleFileNameA report `path` (in its backslash form) as the main module's
// file, so that a program can be run as if it were installed elsewhere; "" restores the
// real path.
void SetModuleFileName(const std::string& path);
// Destroys every window, empties the queue and forgets focus, capture and timers.
void Reset();

// Virtual clock.
DWORD Now();
void AdvanceClock(DWORD milliseconds);
// Runs `action` on the program's thread when the virtual clock reaches `tick` (while a
// message loop waits); the clock jumps there when nothing else is due earlier.
void RunAt(DWORD tick, std::function<void()> action);
// Takes and dispatches every message available now, without moving the clock.
// Returns the number of messages dispatched.
int PumpMessages();
// Runs a message loop for `milliseconds` of virtual time, including what falls due at
// its very end.
void RunFor(DWORD milliseconds);

// Input. Screen coordinates; the *Client variants take a window's client coordinates.
// Buttons: 0 left, 1 right, 2 middle.
void MouseMove(int x, int y);
void MouseDown(int x, int y, int button = 0);
void MouseUp(int x, int y, int button = 0);
void Click(int x, int y, int button = 0);
void MouseMoveClient(HWND hwnd, int x, int y);
void ClickClient(HWND hwnd, int x, int y, int button = 0);
void KeyDown(int virtualKey);
void KeyUp(int virtualKey);
void KeyPress(int virtualKey); // down and up
void Char(char character);     // a WM_CHAR without a key

// Pixels (0x00RRGGBB).
struct Image {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t At(int x, int y) const {
        return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
    }
};
Image CaptureWindow(HWND hwnd); // client area of a window (children included)
Image CaptureScreen();          // top-level windows composited in z-order, with frames
bool SavePng(const Image& image, const std::string& path);
bool SaveBmp(const Image& image, const std::string& path);

// Windows and message boxes.
struct TopLevelWindow {
    HWND Handle;
    std::string ClassName;
    std::string Text;
    bool Visible;
    bool Enabled;
    RECT Rect;
};
std::vector<TopLevelWindow> ListTopLevelWindows(); // in z-order, topmost first
struct MessageBoxInfo {
    HWND Handle;
    std::string Caption;
    std::string Text;
    UINT Flags;
    int Result = 0; // the button that closed it; 0 while open
};
// The topmost open message box, or a null handle.
MessageBoxInfo FindMessageBox();
// Clicks the box's button with the given result (IDOK ...) through injected input;
// the box closes when its loop takes the input. False when there is no such box.
bool PressMessageBoxButton(HWND box = nullptr, int id = 1);
// Every message box shown since the last Reset(), with its result (0 while open).
std::vector<MessageBoxInfo> MessageBoxHistory();

// Resources registered from memory (the bytes are copied).
void RegisterResource(LPCSTR type, LPCSTR name, const void* data, std::size_t size);

} // namespace platform::testing
