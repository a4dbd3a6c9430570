// Internal to the platform layer: the window manager's state (classes, windows, the
// message queue, timers, input) shared by the USER functions and the backends.
//
// Threads. Everything here belongs to the program's one GUI thread (the thread that made
// the first window), with these exceptions:
// - Any thread may call PostMessageA / PostThreadMessageA (they append to the posted
//   queue under its lock and wake the backend) and SendMessageA. A SendMessageA from
//   another thread does not run the window procedure itself: it queues the message for
//   the GUI thread and waits until that thread has run the procedure, which happens while
//   the GUI thread is in PeekMessageA, GetMessageA or WaitMessage (as on the real system).
//   So a helper thread must never send while the GUI thread waits for it (joins it, or
//   waits for a lock it holds): it would wait forever. A send to a window that is gone,
//   or that goes before it is handled, returns 0.
// - Window pixels are guarded by the pixel lock (LockPixels below), the same recursive
//   lock every drawing function takes. A surface is replaced only under it, and the old
//   pixels are freed only after every device context was moved to the new ones; the
//   table of device contexts, presenting to the display and the test captures are under
//   it too. So a device context the GUI thread hands to a helper thread stays safe to
//   draw on while its window is resized, moved or hidden (drawing then lands on the new
//   surface, clipped to what is visible); the GUI thread releases it (ReleaseDC) only
//   after the helper has stopped using it.
// - A helper thread never reads or changes the window-manager tables (Window and the
//   state tables below) themselves: it hands finished data (a decoded frame, a notification) to the
//   GUI thread, which puts it in place; code that then writes pixels directly (not through a device
//   context) holds LockPixels() while it does. Never send or wait for another thread
//   while holding the lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/gdi/Rects.h"
#include "platform/gdi/Surface.h"
#include "platform/user/Backend.h"
#include "platform/user/PixelStore.h"
#include "platform/winuser.h"

namespace platform::user {

struct WindowClass {
    std::string Name;
    UINT Style = 0;
    WNDPROC Proc = nullptr;
    HINSTANCE Instance = nullptr;
    HICON Icon = nullptr;
    HICON IconSmall = nullptr;
    HCURSOR Cursor = nullptr;
    HBRUSH Background = nullptr;
    int ClassExtra = 0;
    int WindowExtra = 0;
    ATOM Atom = 0;
    int WindowCount = 0;
    std::string MenuName;
};

struct Window {
    HWND Handle = nullptr;
    std::shared_ptr<WindowClass> Class;
    WNDPROC Proc = nullptr;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    Window* Parent = nullptr; // the desktop for top-level windows
    Window* Owner = nullptr;
    std::vector<Window*> Children; // z-order, topmost first
    RECT Rect{};                   // window rectangle in the parent's client coordinates
    RECT RestoreRect{};            // normal rectangle while maximised or minimised
    bool WasMaximized = false;     // maximised before it was minimised
    std::string Text;
    LONG_PTR UserData = 0;
    LONG_PTR Id = 0;
    HINSTANCE Instance = nullptr;
    HICON IconBig = nullptr;
    HICON IconSmall = nullptr;
    std::vector<BYTE> Extra;
    std::map<ATOM, HANDLE> Props;
    // Invalid part of the client area (bounding rectangle, client coordinates).
    bool HasUpdate = false;
    RECT Update{};
    bool Erase = false;
    bool InternalPaint = false;
    bool FrameDirty = false; // child windows with a border: WM_NCPAINT due
    bool Destroying = false;
    bool Created = false;
    // The window menu (system menu) as command identifiers, 0 for a separator; made on
    // the first GetSystemMenu call.
    bool HasSystemMenu = false;
    std::vector<UINT> SystemMenu;
    // Top-level windows only: the client-area pixels and the parts changed since the
    // backend last presented them (surface coordinates). Surf points into Pixels, or into
    // memory the backend offered (Backend::PixelsFor); its Pixels are null while the
    // window has no area, or for the moment a backend's pixels are on their way.
    PixelStore Pixels;
    Surface Surf;
    std::vector<RECT> Dirty;
    void* BackendData = nullptr;

    bool IsTopLevel() const;
    bool Visible() const { return (Style & WS_VISIBLE) != 0; }
    bool Enabled() const { return (Style & WS_DISABLED) == 0; }
    bool Minimized() const { return (Style & WS_MINIMIZE) != 0; }
    bool Maximized() const { return (Style & WS_MAXIMIZE) != 0; }
};

// Raw input waiting in the input queue, routed when it is taken out.
struct InputEvent {
    UINT Message = 0; // WM_MOUSEMOVE, WM_LBUTTONDOWN ..., WM_KEYDOWN, WM_KEYUP, WM_CHAR
    POINT Pt{};       // screen coordinates (mouse)
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    DWORD Time = 0;
    HWND Top = nullptr; // the top-level window the event was seen on, when the backend knows
};

struct Timer {
    HWND Hwnd = nullptr;
    UINT_PTR Id = 0;
    UINT Interval = 0;
    TIMERPROC Proc = nullptr;
    DWORD Due = 0;
};

using PixelLock = std::unique_lock<std::recursive_mutex>;
// Takes the pixel lock (recursive: the holder may call drawing functions).
PixelLock LockPixels();

// The state is kept in one table per concern, each with its own reset; ResetAll resets
// them all, so one test leaves nothing behind for the next.

// The windows, the classes, and the device contexts on them.
struct WindowTable {
    std::unordered_map<std::uintptr_t, std::unique_ptr<Window>> ByHandle;
    std::map<std::string, std::shared_ptr<WindowClass>> Classes; // key: upper-case name
    Window* Desktop = nullptr;
    // Handles and class atoms are never reused in a process, so a stale handle from an
    // earlier test never names a new window.
    std::uintptr_t NextHandle = 0x10010;
    ATOM NextAtom = 0xC100;
    int DefaultPlacements = 0; // top-level windows placed at CW_USEDEFAULT so far

    struct DcInfo {
        HWND Hwnd;
        bool WholeWindow;
        bool Paint;
        RECT PaintClip; // client coordinates, used for BeginPaint contexts
    };
    std::unordered_map<HDC, DcInfo> Dcs; // under the pixel lock
    PixelStore ScreenPixels;             // the screen's surface, for GetDC(NULL)
    Surface ScreenSurface;

    // Destroys every top-level window (with its children and their device contexts) and
    // forgets the default placements. The desktop and the registered classes stay.
    void Reset();
};
WindowTable& Windows();

// The raw input queue, the key state, and the windows that take keys and the mouse.
struct InputState {
    std::deque<InputEvent> Queue;
    HWND Focus = nullptr;
    HWND Active = nullptr;
    HWND Capture = nullptr;
    BYTE KeyState[256]{};
    BYTE AsyncKeyState[256]{};
    MSG LastMessage{}; // GetMessageTime / GetMessagePos
    // Double-click detection: the last button press.
    UINT LastClickMessage = 0;
    HWND LastClickWindow = nullptr;
    DWORD LastClickTime = 0;
    POINT LastClickPt{};
    bool ClickWasDouble = false;

    void Reset() { *this = InputState{}; }
};
InputState& Input();

// The mouse pointer: where it is, its shape, and the ShowCursor count.
struct CursorState {
    POINT Pos{};
    HCURSOR Shape = nullptr;
    int ShowCount = 0;

    void Reset() { *this = CursorState{}; }
};
CursorState& Cursor();

struct TimerTable {
    std::vector<Timer> List;
    UINT_PTR NextThreadTimerId = 0x7F00;
    int FailNext = 0; // tests: the next this many SetTimer calls are refused

    void Reset() { *this = TimerTable{}; }
};
TimerTable& Timers();

// A PostQuitMessage waiting to be taken as WM_QUIT.
struct QuitState {
    bool Pending = false;
    int Code = 0;

    void Reset() { *this = QuitState{}; }
};
QuitState& Quit();

// Makes every state table above (and the posted queue), so that a static object made
// after this call is destroyed before them.
void MakeWindowManagerState();

// A message another thread sends, waiting for the GUI thread to run the procedure.
struct SentMessage {
    MSG Msg{};
    LRESULT Result = 0;
    bool Done = false;
};

// Posted messages, and messages sent from other threads, shared with those threads.
struct PostedQueue {
    std::mutex Lock;
    std::deque<MSG> Messages;
    std::deque<SentMessage*> Sent;    // owned by their waiting senders
    std::condition_variable SentDone; // a sent message was handled
    std::uint64_t WakeCount = 0;      // counts Wake() calls (headless waits on it)
    std::condition_variable Woken;
    std::unordered_set<std::uintptr_t> LiveHandles;
    std::uint64_t GuiThread = 0;
};
PostedQueue& Posted();

Window* FromHandle(HWND hwnd);      // null (last error set) for invalid handles
Window* FromHandleQuiet(HWND hwnd); // null without touching the last error
Window* TopLevelOf(Window* w);      // the top-level ancestor (or w)
RECT FrameInsets(const Window* w);  // non-client widths at each side
RECT ClientRectOf(const Window* w); // (0, 0, width, height) of the client area
POINT ClientOriginInParent(const Window* w);
POINT ScreenClientOrigin(const Window* w);
POINT ScreenWindowOrigin(const Window* w);
POINT SurfaceClientOrigin(const Window* w); // client origin in its top-level's surface
bool IsReallyVisible(const Window* w);      // itself and all ancestors visible
// Visible parts of the client (or whole window) in surface coordinates.
std::vector<RECT> VisibleRects(const Window* w, bool wholeWindow);
void ResizeSurface(Window* top);
// Backends: asks again where top's pixels live (Backend::PixelsFor) at the surface's
// present size, and moves them there; with `keep` the content so far goes with them (the
// old pixels must still be readable), otherwise they start white. The whole surface is
// then due to be presented; the caller invalidates the window when its content is lost.
void RebindSurface(Window* top, bool keep);
void RetargetDcs(Window* top);
void MarkDirty(Window* top, const RECT& surfaceRect);
// Invalidates `rect` (client coordinates of w) in w and, following the real rules,
// in the children it covers; `allChildren` forces the children.
void InvalidateIn(Window* w, const RECT& rect, bool erase, bool allChildren);
// Validates the rectangles (client coordinates of w) of w's update area.
void ValidateRects(Window* w, const std::vector<RECT>& rects);
// The area of `parent`'s client `rect` was uncovered: everything in it repaints.
void ExposeArea(Window* parent, const RECT& rect);
// Window classes (WindowClass.cpp).
std::string Upper(const char* s); // class names compare without case
std::shared_ptr<WindowClass> FindClass(LPCSTR name);
// Z-order and hierarchy helpers shared by creation, positioning and activation.
void RemoveFromParent(Window* w);
void InsertInZOrder(Window* w, HWND after); // into the parent's child list, where `after` names
void BringOwnedAbove(Window* owner);
void NotifyTop(Window* w, unsigned changes);
Window* NextActivationCandidate(Window* leaving);
bool IsDescendant(Window* ancestor, Window* w);
// Applies a new position, size, z-order and visibility; sends the position messages.
BOOL SetPos(Window* w, HWND after, int x, int y, int cx, int cy, UINT flags, bool stateChanged);
RECT MaximizedRect(Window* w);
Window* HitTestWindow(POINT screen, bool skipDisabled, Window* onlyTop = nullptr);
// Applies a position or size that the backend's window manager imposed (no state change).
void ApplyExternalGeometry(Window* top, int x, int y, int width, int height, UINT flags);
void ActivateWindow(Window* w, WPARAM how);
// Another program became active (the backend saw our last window lose the focus).
void DeactivateApplication();
// The display's window manager asks to close a top-level window (its close button): a
// disabled window refuses and brings its enabled pop-up forward instead.
void CloseFromWindowManager(Window* top);
void PresentAll();
// Takes the next message off the calling thread's queue and dispatches it, as a message
// loop does. A WM_QUIT is posted again, for the loop outside to see.
enum class PumpResult { Empty, Dispatched, Quit };
PumpResult DispatchNext();
// Runs the procedures of the messages other threads sent (GUI thread; the message
// retrieval functions call it). True when there were any.
bool ProcessSentMessages();
void EnsureInit();
DWORD Now();
bool IsGuiThread();
void QueueInput(const InputEvent& ev); // backends: raw input in screen coordinates
void ResetAll(); // for tests: resets every state table above and empties the posted queue

// Helpers on rectangles (the drawing code's, with an empty overlap made (0, 0, 0, 0)).
using gdi::RectEmpty;
RECT Intersect(const RECT& a, const RECT& b);
RECT Union(const RECT& a, const RECT& b);
RECT Offset(RECT r, int dx, int dy);
void Subtract(std::vector<RECT>& rects, const RECT& cut);

int CursorShapeId(HCURSOR cursor); // IDC_* number, 0 for none
// The largest image of an icon made from an ICON resource (.ico data with 32- or 24-bit
// DIB or PNG entries), as 0xAARRGGBB pixels, rows top-down. False for other icons.
bool IconImage(HICON icon, int& width, int& height, std::vector<std::uint32_t>& pixels);

// Message boxes and the built-in classes.
void RegisterSystemClasses();
struct MessageBoxRecord {
    HWND Hwnd;
    std::string Caption;
    std::string Text;
    UINT Flags;
    int Result;
};
std::vector<MessageBoxRecord>& MessageBoxLog();

} // namespace platform::user
