// The message queue: posting and sending, retrieval in the real system's order (posted
// messages, input, quit, paint, timers), input routing, translation, dispatch and
// timers.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/gdi/Screen.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

using namespace platform::user;

namespace {

bool InFilter(HWND filter, HWND hwnd) {
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return hwnd == nullptr;
    return hwnd == filter || IsChild(filter, hwnd);
}

bool InRange(UINT msg, UINT lo, UINT hi) {
    if (lo == 0 && hi == 0)
        return true;
    return msg >= lo && msg <= hi;
}

WPARAM MouseKeyState(const BYTE* k) {
    WPARAM s = 0;
    if (k[VK_LBUTTON] & 0x80)
        s |= MK_LBUTTON;
    if (k[VK_RBUTTON] & 0x80)
        s |= MK_RBUTTON;
    if (k[VK_MBUTTON] & 0x80)
        s |= MK_MBUTTON;
    if (k[VK_SHIFT] & 0x80)
        s |= MK_SHIFT;
    if (k[VK_CONTROL] & 0x80)
        s |= MK_CONTROL;
    return s;
}

bool IsButtonDown(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN;
}

void UpdateKeyState(BYTE* keys, UINT message, WPARAM wParam) {
    auto press = [&](int vk, bool down) {
        if (down) {
            if (!(keys[vk] & 0x80))
                keys[vk] ^= 0x01; // toggle state
            keys[vk] |= 0x80;
        } else {
            keys[vk] &= BYTE(~0x80);
        }
    };
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        press(VK_LBUTTON, message == WM_LBUTTONDOWN);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        press(VK_RBUTTON, message == WM_RBUTTONDOWN);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        press(VK_MBUTTON, message == WM_MBUTTONDOWN);
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
        bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        int vk = int(wParam & 0xFF);
        press(vk, down);
        if (vk == VK_LSHIFT || vk == VK_RSHIFT)
            press(VK_SHIFT, down);
        if (vk == VK_LCONTROL || vk == VK_RCONTROL)
            press(VK_CONTROL, down);
        if (vk == VK_LMENU || vk == VK_RMENU)
            press(VK_MENU, down);
        break;
    }
    default:
        break;
    }
}

// Keys go to the focus window, or as system keys to the active window without one.
bool RouteKey(const InputEvent& ev, MSG& out) {
    HWND target = Input().Focus ? Input().Focus : Input().Active;
    Window* tw = FromHandleQuiet(target);
    // A disabled window takes no keys (its Alt+F4 would close it under a modal box).
    if (!tw || !tw->Enabled() || !TopLevelOf(tw)->Enabled())
        return false;
    UINT msg = ev.Message;
    if (!Input().Focus && (msg == WM_KEYDOWN || msg == WM_KEYUP))
        msg = msg == WM_KEYDOWN ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    out.hwnd = target;
    out.message = msg;
    out.wParam = ev.WParam;
    out.lParam = ev.LParam;
    return true;
}

// Double clicks: same button, same window, within the time and distance limits. A press
// that is taken (`remember`) becomes the one the next press is compared with.
bool IsDoubleClick(const InputEvent& ev, const Window* target, bool remember) {
    InputState& in = Input();
    bool dbl = (target->Class->Style & CS_DBLCLKS) && in.LastClickMessage == ev.Message &&
               in.LastClickWindow == target->Handle && !in.ClickWasDouble &&
               ev.Time - in.LastClickTime <= 500 && std::abs(ev.Pt.x - in.LastClickPt.x) <= 2 &&
               std::abs(ev.Pt.y - in.LastClickPt.y) <= 2;
    if (remember) {
        in.LastClickMessage = ev.Message;
        in.LastClickWindow = target->Handle;
        in.LastClickTime = ev.Time;
        in.LastClickPt = ev.Pt;
        in.ClickWasDouble = dbl;
    }
    return dbl;
}

// Turns the raw input event at the head of the queue into a message for its window, with
// `keys` as the key state and `cursor` as the pointer position once the event is taken.
// Returns false when the event goes nowhere (it is then dropped).
bool RouteInput(const InputEvent& ev, MSG& out, bool sendSideMessages, const BYTE* keys,
                POINT cursor) {
    out = MSG{};
    out.time = ev.Time;
    out.pt = cursor;
    if (ev.Message == WM_KEYDOWN || ev.Message == WM_KEYUP || ev.Message == WM_CHAR ||
        ev.Message == WM_SYSKEYDOWN || ev.Message == WM_SYSKEYUP)
        return RouteKey(ev, out);
    // Mouse.
    out.pt = ev.Pt;
    Window* target = nullptr;
    LRESULT hit = HTCLIENT;
    if (Input().Capture && FromHandleQuiet(Input().Capture)) {
        target = FromHandleQuiet(Input().Capture);
    } else {
        Window* hint = ev.Top ? FromHandleQuiet(ev.Top) : nullptr;
        target = HitTestWindow(ev.Pt, true, hint && hint->IsTopLevel() ? hint : nullptr);
        if (!target)
            return false;
        if (sendSideMessages) {
            hit = SendMessageA(target->Handle, WM_NCHITTEST, 0,
                               MAKELPARAM(WORD(SHORT(ev.Pt.x)), WORD(SHORT(ev.Pt.y))));
            if (!FromHandleQuiet(target->Handle))
                return false;
        } else {
            POINT p = ev.Pt;
            ScreenToClient(target->Handle, &p);
            RECT cr = ClientRectOf(target);
            hit = PtInRect(&cr, p) ? HTCLIENT : HTBORDER;
        }
        Window* top = TopLevelOf(target);
        if (!top->Enabled() || !target->Enabled()) {
            // A disabled window (under a modal box) takes no mouse input; a click on it
            // brings its enabled pop-up (the box) to the front.
            if (sendSideMessages && IsButtonDown(ev.Message)) {
                MessageBeep(0);
                if (HWND popup = GetWindow(top->Handle, GW_ENABLEDPOPUP))
                    ActivateWindow(FromHandleQuiet(popup), WA_CLICKACTIVE);
            }
            return false;
        }
        if (sendSideMessages && IsButtonDown(ev.Message) && Input().Active != top->Handle &&
            !(top->ExStyle & WS_EX_NOACTIVATE)) {
            LRESULT ma = SendMessageA(target->Handle, WM_MOUSEACTIVATE, WPARAM(top->Handle),
                                      MAKELPARAM(WORD(hit), WORD(ev.Message)));
            if (ma != MA_NOACTIVATE && ma != MA_NOACTIVATEANDEAT && FromHandleQuiet(top->Handle))
                ActivateWindow(top, WA_CLICKACTIVE);
            if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT)
                return false;
            if (!FromHandleQuiet(target->Handle))
                return false;
        }
        if (sendSideMessages) {
            SendMessageA(target->Handle, WM_SETCURSOR, WPARAM(target->Handle),
                         MAKELPARAM(WORD(SHORT(hit)), WORD(ev.Message)));
            if (!FromHandleQuiet(target->Handle))
                return false;
        }
    }
    UINT msg = ev.Message;
    if (IsButtonDown(msg) && IsDoubleClick(ev, target, sendSideMessages))
        msg += 2; // WM_xBUTTONDOWN -> WM_xBUTTONDBLCLK
    out.hwnd = target->Handle;
    if (hit == HTCLIENT || Input().Capture) {
        POINT p = ev.Pt;
        ScreenToClient(target->Handle, &p);
        out.message = msg;
        out.wParam = MouseKeyState(keys);
        out.lParam = MAKELPARAM(WORD(SHORT(p.x)), WORD(SHORT(p.y)));
    } else {
        out.message = msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
        out.wParam = WPARAM(hit);
        out.lParam = MAKELPARAM(WORD(SHORT(ev.Pt.x)), WORD(SHORT(ev.Pt.y)));
    }
    return true;
}

// Finds a window needing paint, parents before their children, top-level windows in
// z-order.
Window* FindPaint(Window* w, HWND filter) {
    if (!w->Visible())
        return nullptr;
    if (w != Windows().Desktop && (w->HasUpdate || w->InternalPaint) &&
        InFilter(filter, w->Handle) && !(w->IsTopLevel() && w->Minimized()))
        return w;
    if (w->IsTopLevel() && w->Minimized())
        return nullptr;
    for (auto it = w->Children.rbegin(); it != w->Children.rend(); ++it)
        if (Window* p = FindPaint(*it, filter))
            return p;
    return nullptr;
}

Timer* FindDueTimer(HWND filter, DWORD now) {
    Timer* best = nullptr;
    for (Timer& t : Timers().List) {
        if (!InFilter(filter, t.Hwnd))
            continue;
        if (std::int32_t(now - t.Due) < 0)
            continue;
        if (!best || std::int32_t(t.Due - best->Due) < 0)
            best = &t;
    }
    return best;
}

// The first posted message in the filter; messages of windows that went away are dropped
// on the way.
bool PeekPosted(MSG* msg, HWND filter, UINT lo, UINT hi, bool doRemove) {
    std::unique_lock<std::mutex> lock(Posted().Lock);
    auto& q = Posted().Messages;
    for (auto it = q.begin(); it != q.end();) {
        if (it->hwnd && !Posted().LiveHandles.count(std::uintptr_t(it->hwnd))) {
            it = q.erase(it); // the window went away
            continue;
        }
        if (InFilter(filter, it->hwnd) && InRange(it->message, lo, hi)) {
            *msg = *it;
            if (doRemove)
                q.erase(it);
            lock.unlock();
            if (doRemove)
                Input().LastMessage = *msg;
            return true;
        }
        ++it;
    }
    return false;
}

// The next input message, looked at only. Looking changes nothing: events that go nowhere
// stay for the removal to deal with (a click on a disabled window still brings its pop-up
// forward then), and the message carries the key state and position its removal would
// give it.
bool LookAtInput(MSG* msg, HWND filter, UINT lo, UINT hi) {
    BYTE keys[256];
    std::memcpy(keys, Input().KeyState, sizeof keys);
    POINT cursor = Cursor().Pos;
    for (const InputEvent& ev : Input().Queue) {
        if (ev.Message >= WM_MOUSEFIRST && ev.Message <= WM_MOUSELAST)
            cursor = ev.Pt;
        UpdateKeyState(keys, ev.Message, ev.WParam);
        MSG m;
        if (!RouteInput(ev, m, false, keys, cursor))
            continue;
        if (InFilter(filter, m.hwnd) && InRange(m.message, lo, hi)) {
            *msg = m;
            return true;
        }
        break;
    }
    return false;
}

// The next input message, taken from the queue with the key state and cursor it brings;
// events that go nowhere are consumed on the way, and a message outside the filter stays.
bool TakeInput(MSG* msg, HWND filter, UINT lo, UINT hi) {
    while (!Input().Queue.empty()) {
        InputEvent ev = Input().Queue.front();
        MSG m;
        MSG preview;
        if (RouteInput(ev, preview, false, Input().KeyState, Cursor().Pos) &&
            !(InFilter(filter, preview.hwnd) && InRange(preview.message, lo, hi)))
            break;
        Input().Queue.pop_front();
        Cursor().Pos =
            ev.Message >= WM_MOUSEFIRST && ev.Message <= WM_MOUSELAST ? ev.Pt : Cursor().Pos;
        UpdateKeyState(Input().KeyState, ev.Message, ev.WParam);
        if (!RouteInput(ev, m, true, Input().KeyState, Cursor().Pos))
            continue;
        *msg = m;
        Input().LastMessage = m;
        return true;
    }
    return false;
}

// The messages made when the queues are empty: quit, then paint, then timers.
bool PeekGenerated(MSG* msg, HWND filter, UINT lo, UINT hi, bool doRemove) {
    if (Quit().Pending && (filter == nullptr || filter == reinterpret_cast<HWND>(-1))) {
        *msg = MSG{nullptr, WM_QUIT, WPARAM(Quit().Code), 0, Now(), Cursor().Pos};
        if (doRemove)
            Quit().Pending = false;
        return true;
    }
    if (InRange(WM_PAINT, lo, hi)) {
        if (Window* w = FindPaint(Windows().Desktop, filter)) {
            *msg = MSG{w->Handle, WM_PAINT, 0, 0, Now(), Cursor().Pos};
            if (doRemove)
                Input().LastMessage = *msg;
            return true;
        }
    }
    if (InRange(WM_TIMER, lo, hi)) {
        DWORD now = Now();
        if (Timer* t = FindDueTimer(filter, now)) {
            *msg = MSG{t->Hwnd, WM_TIMER, t->Id, LPARAM(t->Proc), now, Cursor().Pos};
            if (doRemove) {
                t->Due = now + t->Interval;
                Input().LastMessage = *msg;
            }
            return true;
        }
    }
    return false;
}

// The message order: posted messages, input, quit, paint, timers.
bool PeekInternal(MSG* msg, HWND filter, UINT lo, UINT hi, UINT remove) {
    if (CurrentBackend())
        GetBackend().PumpEvents();
    // Messages other threads sent are handled here and never returned.
    ProcessSentMessages();
    const bool doRemove = (remove & PM_REMOVE) != 0;
    if (PeekPosted(msg, filter, lo, hi, doRemove))
        return true;
    if (doRemove ? TakeInput(msg, filter, lo, hi) : LookAtInput(msg, filter, lo, hi))
        return true;
    return PeekGenerated(msg, filter, lo, hi, doRemove);
}

bool AnythingPending() {
    MSG m;
    return PeekInternal(&m, nullptr, 0, 0, PM_NOREMOVE);
}

// A send from a thread other than the GUI thread: the GUI thread runs the procedure (in
// its message retrieval) while this one waits.
LRESULT SendFromOtherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    SentMessage sent;
    sent.Msg = MSG{hwnd, msg, wParam, lParam, 0, POINT{}};
    PostedQueue& q = Posted();
    {
        std::lock_guard<std::mutex> lock(q.Lock);
        if (hwnd != HWND_BROADCAST && !q.LiveHandles.count(std::uintptr_t(hwnd))) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        q.Sent.push_back(&sent);
    }
    if (Backend* backend = CurrentBackend())
        backend->Wake();
    std::unique_lock<std::mutex> lock(q.Lock);
    q.SentDone.wait(lock, [&] { return sent.Done; });
    return sent.Result;
}

} // namespace

namespace platform::user {

bool ProcessSentMessages() {
    PostedQueue& q = Posted();
    bool any = false;
    for (;;) {
        SentMessage* sent = nullptr;
        {
            std::lock_guard<std::mutex> lock(q.Lock);
            if (q.Sent.empty())
                return any;
            sent = q.Sent.front();
            q.Sent.pop_front();
        }
        any = true;
        LRESULT result = 0;
        // The sender is released even when the procedure throws (the exception goes on
        // in this thread).
        struct Release {
            SentMessage* Sent;
            LRESULT& Result;
            ~Release() {
                std::lock_guard<std::mutex> lock(Posted().Lock);
                Sent->Result = Result;
                Sent->Done = true;
                Posted().SentDone.notify_all();
            }
        } release{sent, result};
        const MSG m = sent->Msg;
        if (m.hwnd == HWND_BROADCAST || FromHandleQuiet(m.hwnd))
            result = SendMessageA(m.hwnd, m.message, m.wParam, m.lParam);
    }
}

} // namespace platform::user

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsGuiThread())
        return SendFromOtherThread(hwnd, msg, wParam, lParam);
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> tops;
        for (Window* w : Windows().Desktop->Children)
            tops.push_back(w->Handle);
        for (HWND h : tops)
            if (FromHandleQuiet(h))
                SendMessageA(h, msg, wParam, lParam);
        return 0;
    }
    Window* w = FromHandle(hwnd);
    if (!w)
        return 0;
    if (!w->Proc)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return w->Proc(hwnd, msg, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> tops;
        for (Window* w : Windows().Desktop->Children)
            tops.push_back(w->Handle);
        for (HWND h : tops)
            PostMessageA(h, msg, wParam, lParam);
        return TRUE;
    }
    DWORD time = CurrentBackend() ? CurrentBackend()->Now() : 0;
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        if (hwnd && !Posted().LiveHandles.count(std::uintptr_t(hwnd))) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        POINT pt = IsGuiThread() ? Cursor().Pos : POINT{};
        Posted().Messages.push_back(MSG{hwnd, msg, wParam, lParam, time, pt});
    }
    if (CurrentBackend())
        CurrentBackend()->Wake();
    return TRUE;
}

BOOL PostThreadMessageA(DWORD, UINT msg, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(nullptr, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    Quit().Pending = true;
    Quit().Code = exitCode;
    if (CurrentBackend())
        CurrentBackend()->Wake();
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    EnsureInit();
    if (!msg)
        return FALSE;
    if (PeekInternal(msg, hwnd, filterMin, filterMax, removeMsg))
        return TRUE;
    PresentAll();
    return FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    EnsureInit();
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !FromHandle(hwnd))
        return -1;
    for (;;) {
        if (PeekInternal(msg, hwnd, filterMin, filterMax, PM_REMOVE))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        WaitMessage();
    }
}

BOOL WaitMessage() {
    EnsureInit();
    if (AnythingPending())
        return TRUE;
    PresentAll();
    DWORD timeout = INFINITE;
    DWORD now = Now();
    for (const Timer& t : Timers().List) {
        std::int32_t d = std::int32_t(t.Due - now);
        DWORD wait = d < 0 ? 0 : DWORD(d);
        timeout = std::min(timeout, wait);
    }
    GetBackend().WaitEvents(timeout);
    return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE*, BOOL, DWORD milliseconds, DWORD) {
    EnsureInit();
    if (count != 0)
        return WAIT_FAILED;
    if (AnythingPending())
        return WAIT_OBJECT_0;
    PresentAll();
    DWORD timeout = milliseconds;
    DWORD now = Now();
    for (const Timer& t : Timers().List) {
        std::int32_t d = std::int32_t(t.Due - now);
        timeout = std::min(timeout, d < 0 ? DWORD(0) : DWORD(d));
    }
    GetBackend().WaitEvents(timeout);
    return AnythingPending() ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

DWORD GetQueueStatus(UINT flags) {
    EnsureInit();
    DWORD status = 0;
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        if (!Posted().Messages.empty())
            status |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
        if (!Posted().Sent.empty())
            status |= QS_SENDMESSAGE;
    }
    for (const InputEvent& ev : Input().Queue)
        status |= ev.Message == WM_MOUSEMOVE                                    ? QS_MOUSEMOVE
                  : (ev.Message >= WM_MOUSEFIRST && ev.Message <= WM_MOUSELAST) ? QS_MOUSEBUTTON
                                                                                : QS_KEY;
    if (FindPaint(Windows().Desktop, nullptr))
        status |= QS_PAINT;
    if (FindDueTimer(nullptr, Now()))
        status |= QS_TIMER;
    return (status & flags) << 16 | (status & flags);
}

LONG GetMessageTime() {
    return LONG(Input().LastMessage.time);
}

DWORD GetMessagePos() {
    POINT p = Input().LastMessage.pt;
    return DWORD(MAKELONG(WORD(SHORT(p.x)), WORD(SHORT(p.y))));
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    int vk = int(msg->wParam & 0xFF);
    bool shift = (Input().KeyState[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (Input().KeyState[VK_CONTROL] & 0x80) != 0;
    bool caps = (Input().KeyState[VK_CAPITAL] & 0x01) != 0;
    int ch = -1;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl)
            ch = vk - 'A' + 1;
        else
            ch = (shift != caps) ? vk : vk + 32;
    } else if (vk >= '0' && vk <= '9') {
        static const char shifted[] = ")!@#$%^&*(";
        ch = shift ? shifted[vk - '0'] : vk;
    } else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
        ch = '0' + vk - VK_NUMPAD0;
    } else {
        switch (vk) {
        case VK_SPACE:
            ch = ' ';
            break;
        case VK_RETURN:
            ch = '\r';
            break;
        case VK_ESCAPE:
            ch = 0x1B;
            break;
        case VK_BACK:
            ch = 0x08;
            break;
        case VK_TAB:
            ch = '\t';
            break;
        default:
            break;
        }
    }
    if (ch < 0)
        return FALSE;
    UINT charMsg = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    {
        std::lock_guard<std::mutex> lock(Posted().Lock);
        // Posted like any other message: it comes after what is already waiting.
        Posted().Messages.push_back(
            MSG{msg->hwnd, charMsg, WPARAM(ch), msg->lParam, msg->time, msg->pt});
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg)
        return 0;
    if ((msg->message == WM_TIMER || msg->message == WM_SYSTIMER) && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, msg->message, msg->wParam, Now());
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    Window* w = FromHandle(msg->hwnd);
    if (!w)
        return 0;
    LRESULT r = SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_PAINT) {
        // A window procedure that did not validate: the system validates for it, so the
        // same invalid region does not come back forever.
        Window* after = FromHandleQuiet(msg->hwnd);
        if (after && after->InternalPaint)
            after->InternalPaint = false;
    }
    return r;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    EnsureInit();
    if (hwnd && !FromHandle(hwnd))
        return 0;
    if (Timers().FailNext > 0) {
        // The system is out of timers (a test asked for it): nothing changes.
        --Timers().FailNext;
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return 0;
    }
    elapse = std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    if (!hwnd) {
        auto it = std::find_if(Timers().List.begin(), Timers().List.end(),
                               [&](const Timer& t) { return !t.Hwnd && t.Id == id && id; });
        if (it == Timers().List.end()) {
            id = Timers().NextThreadTimerId++;
            Timers().List.push_back(Timer{nullptr, id, elapse, proc, Now() + elapse});
        } else {
            it->Interval = elapse;
            it->Proc = proc;
            it->Due = Now() + elapse;
        }
        return id;
    }
    for (Timer& t : Timers().List)
        if (t.Hwnd == hwnd && t.Id == id) {
            t.Interval = elapse;
            t.Proc = proc;
            t.Due = Now() + elapse;
            return id ? id : 1;
        }
    Timers().List.push_back(Timer{hwnd, id, elapse, proc, Now() + elapse});
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    auto it = std::find_if(Timers().List.begin(), Timers().List.end(),
                           [&](const Timer& t) { return t.Hwnd == hwnd && t.Id == id; });
    if (it == Timers().List.end()) {
        SetLastError(ERROR_TIMER_NOT_FOUND);
        return FALSE;
    }
    Timers().List.erase(it);
    return TRUE;
}

namespace platform::user {

// Called by the backends to queue input (screen coordinates).
void QueueInput(const InputEvent& ev) {
    UpdateKeyState(Input().AsyncKeyState, ev.Message, ev.WParam);
    auto& input = Input().Queue;
    // Pointer moves are coalesced as the real system does: only the latest position of a
    // run of moves is kept.
    if (ev.Message == WM_MOUSEMOVE && !input.empty() && input.back().Message == WM_MOUSEMOVE &&
        input.back().Top == ev.Top) {
        input.back() = ev;
        return;
    }
    input.push_back(ev);
}

} // namespace platform::user
