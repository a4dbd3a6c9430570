// Test support for the headless backend, in a library of its own (platform_testing) that
// tests and test tools link and the program never does: a virtual clock, injected input,
// pixels of windows and of the screen, the list of top-level windows and message boxes,
// screen size, code page, module path and resources registered from memory, and a
// recording driver of the media control interface.
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
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mmsystem.h"
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

// Makes the next `count` SetTimer calls fail as when the system has no timer left: they
// return 0 with ERROR_NO_SYSTEM_RESOURCES and change nothing. 0 cancels; Reset() too.
void FailNextSetTimer(int count = 1);

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

// The display's window manager: another program takes the focus (our active window is
// deactivated, the program gets WM_ACTIVATEAPP FALSE, the focus and the capture go);
// the close button of a top-level window's frame is pressed.
void ActivateOtherApplication();
void CloseFromWindowManager(HWND top);

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

// Media control interface.
//
// The real devices run on the virtual clock here: playing a 15 frames-per-second clip
// for 1000 ms moves its position by exactly 15 frames, and WaitMessage jumps the clock
// to the next frame or notification that falls due. Sound is decoded and counted, not
// played.
struct MciSound {
    std::uint64_t Samples = 0;  // sample frames played so far (one per channel set)
    std::uint64_t Checksum = 0; // over the 16-bit samples played, in order
    int Rate = 0;
    int Channels = 0;
};
// Devices opened from now on run as with a real display: decoding on a helper thread
// of the device, positions on the real clock (for tests of the threads). Reset() ends it.
void MciUseRealTime(bool on);
// Sound played by an open device; all zero for an unknown one.
MciSound MciSoundPlayed(MCIDEVICEID device);

// One command as the recording driver saw it: the device, the command, the flags word
// and the fields of the record that the flags name (the callback is kept whenever a
// record was passed, since every record starts with it).
struct MciCall {
    MCIDEVICEID Device = 0;
    UINT Command = 0;
    DWORD Flags = 0;
    bool HasRecord = false; // the parameter address was not 0
    DWORD_PTR Callback = 0;
    std::optional<std::string> DeviceType; // MCI_OPEN with MCI_OPEN_TYPE
    std::optional<DWORD> DeviceTypeId;     // MCI_OPEN with MCI_OPEN_TYPE_ID
    std::optional<std::string> Element;    // MCI_OPEN with MCI_OPEN_ELEMENT
    std::optional<std::string> Alias;      // MCI_OPEN with MCI_OPEN_ALIAS
    std::optional<DWORD> From;             // MCI_PLAY / MCI_RECORD with MCI_FROM
    std::optional<DWORD> To;               // MCI_PLAY / MCI_RECORD / MCI_SEEK with MCI_TO
    std::optional<DWORD> Item;             // MCI_STATUS / MCI_GETDEVCAPS item
    std::optional<DWORD> Track;            // MCI_STATUS with MCI_TRACK
    std::optional<DWORD> TimeFormat;       // MCI_SET with MCI_SET_TIME_FORMAT
    std::optional<DWORD> Frames;           // MCI_STEP with MCI_DGV_STEP_FRAMES
    std::optional<HWND> Window;            // MCI_WINDOW with MCI_DGV_WINDOW_HWND
    std::optional<UINT> CmdShow;           // MCI_WINDOW with MCI_DGV_WINDOW_STATE
    std::optional<RECT> Rect;              // MCI_PUT with MCI_DGV_RECT
    MCIERROR Result = 0;                   // what the driver answered

    // One line, for exact comparisons and readable failures, for example
    // "dev=1 MCI_PLAY notify from=0 to=494 callback=0x10012": the flags by name in the
    // order of their bits, each with the field it names, items and time formats by name,
    // the callback when not 0, and the result by its error's name when not 0.
    std::string Text() const;
};
std::string MciCommandName(UINT command); // "MCI_PLAY", or "0x0899" for unknown codes

// A driver that a test installs in place of the real devices: it records every command
// and answers with scripted results. MCI_OPEN gives out identifiers from 1 upwards
// (never 0) and writes them into the record; commands to identifiers it never opened
// (or closed) answer MCIERR_INVALID_DEVICE_ID unless a result is scripted.
class MciRecorder {
public:
    std::vector<MciCall> Calls;
    // Called with each call as it is recorded (a program that watches its own end).
    std::function<void(const MciCall&)> OnCall;

    // Every later `command` answers `result` (0 restores success).
    void SetResult(UINT command, MCIERROR result);
    // The next `command` only answers `result`; queued results are used in order before
    // the one SetResult gave.
    void QueueResult(UINT command, MCIERROR result);
    // Answers of MCI_STATUS by item (the track, when MCI_TRACK is given, is ignored here),
    // of MCI_GETDEVCAPS by item, and the rectangle MCI_WHERE returns. Unscripted items
    // answer 0; MCI_WHERE answers an empty rectangle.
    void SetStatus(DWORD item, DWORD_PTR answer);
    void SetTrackPosition(DWORD track, DWORD_PTR answer); // MCI_STATUS_POSITION + MCI_TRACK
    void SetDevCaps(DWORD item, DWORD answer);
    void SetWhere(RECT rect);
    // Scripts a device that answers like the real digital-video device on an open clip:
    // can play, has video, device type 520, frames, the given length and position,
    // mode stopped, one track, and a where rectangle of the given size.
    void ScriptDigitalVideo(DWORD length, int width = 320, int height = 240);

    // Posts MM_MCINOTIFY with `outcome` for `device` to the callback of the last command
    // that asked for notification (MCI_NOTIFY); false when there was none.
    bool Notify(WPARAM outcome, MCIDEVICEID device = 0);
    // The calls as lines of Text(), and clearing them.
    std::vector<std::string> Lines() const;
    void Clear() { Calls.clear(); }

    // Used by the interface; tests need not call it.
    MCIERROR Handle(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR param);

private:
    std::map<UINT, MCIERROR> FResults;
    std::map<UINT, std::vector<MCIERROR>> FQueued;
    std::map<DWORD, DWORD_PTR> FStatus;
    std::map<DWORD, DWORD_PTR> FTrackPositions;
    std::map<DWORD, DWORD> FDevCaps;
    RECT FWhere{};
    std::vector<MCIDEVICEID> FOpen;
    DWORD_PTR FLastNotifyCallback = 0;
    MCIDEVICEID FLastNotifyDevice = 0;
};
// Puts a new recorder in place of the real devices (open devices of the real driver are
// closed first) and returns it; RemoveMciRecorder() (or Reset()) restores the real ones.
std::shared_ptr<MciRecorder> InstallMciRecorder();
void RemoveMciRecorder();

} // namespace platform::testing
