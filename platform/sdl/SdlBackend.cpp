// The SDL backend: every visible top-level window with an area is an SDL window showing
// the client-area surface that the window manager composites (the system's window manager
// draws the frame). When SDL's window surface has the pixel format and size of the
// window's pixels, the window manager draws straight into it and presenting only sends
// the damaged rectangles to the display; otherwise the window keeps pixels of its own and
// presenting converts the damaged rectangles into the surface. Waiting sleeps in
// SDL_WaitEventTimeout until input arrives or the next timer is due; other threads wake
// it with an SDL user event.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "platform/gdi/GdiObjects.h"
#include "platform/media/MediaModule.h"
#include "platform/phases.h"
#include "platform/sdl/ComposeTable.h"
#include "platform/sdl/DisplayLoss.h"
#include "platform/user/WindowManager.h"

namespace platform::sdl {

namespace {

using user::Backend;
using user::Window;

struct SdlWindow {
    SDL_Window* Handle = nullptr;
    bool FullScreen = false; // shown with SDL_WINDOW_FULLSCREEN_DESKTOP
    bool CreateFailed = false;
    // The pixels of SDL's window surface that the window's surface points into, when it
    // does (see Bound), and a count of the times they were asked for.
    void* Bound = nullptr;
    unsigned Binds = 0;
};

// Whether SDL's window surface `s` can be a window's pixels of `width` x `height` as it
// stands: 0x00RRGGBB in 32 bits, rows a whole number of pixels apart, always addressable.
bool FitsWindowPixels(const SDL_Surface* s, int width, int height) {
    return s && s->pixels && s->format && s->format->format == SDL_PIXELFORMAT_RGB888 &&
           s->w == width && s->h == height && s->pitch % 4 == 0 && s->pitch / 4 >= width &&
           !SDL_MUSTLOCK(s);
}

int VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_CAPSLOCK:
        return VK_CAPITAL;
    case SDLK_KP_0:
        return VK_NUMPAD0;
    case SDLK_PAUSE:
        return VK_PAUSE;
    default:
        return 0;
    }
}

SDL_SystemCursor SystemCursor(int id) {
    switch (id) {
    case 32513:
        return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514:
        return SDL_SYSTEM_CURSOR_WAIT;
    case 32515:
        return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case 32640:
    case 32646:
        return SDL_SYSTEM_CURSOR_SIZEALL;
    case 32642:
        return SDL_SYSTEM_CURSOR_SIZENWSE;
    case 32643:
        return SDL_SYSTEM_CURSOR_SIZENESW;
    case 32644:
        return SDL_SYSTEM_CURSOR_SIZEWE;
    case 32645:
        return SDL_SYSTEM_CURSOR_SIZENS;
    case 32648:
        return SDL_SYSTEM_CURSOR_NO;
    case 32649:
        return SDL_SYSTEM_CURSOR_HAND;
    case 32650:
        return SDL_SYSTEM_CURSOR_WAITARROW;
    default:
        return SDL_SYSTEM_CURSOR_ARROW;
    }
}

class SdlBackend final : public Backend {
public:
    SdlBackend() : Start(std::chrono::steady_clock::now()) { WakeEvent = SDL_RegisterEvents(1); }
    ~SdlBackend() override {
        for (auto& [id, c] : Cursors)
            SDL_FreeCursor(c);
    }

    const char* Name() const override { return "sdl"; }

    DWORD Now() override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - Start)
                      .count();
        return DWORD(ms) + 1000;
    }

    RECT ScreenRect() override {
        SDL_Rect r{0, 0, 1280, 1024};
        if (SDL_GetDisplayBounds(0, &r) != 0)
            r = SDL_Rect{0, 0, 1280, 1024};
        return RECT{r.x, r.y, r.x + r.w, r.y + r.h};
    }

    void PumpEvents() override {
        // Between the first window's making and the first frame, the display's events
        // (its mapping, focus, the pointer's arrival with the cursor it asks for) wait in
        // SDL's queue: reading them takes several round trips to the display server, and
        // the first frame needs none of them. They are read as soon as the queue runs dry
        // (WaitEvents) or the first frame is presented, and after MaxEventHold at most.
        if (EventsHeld && std::int32_t(Now() - EventsHeldUntil) >= 0)
            EventsHeld = false; // never held long, whatever the program does meanwhile
        if (!EventsHeld) {
            SDL_Event ev;
            while (SDL_PollEvent(&ev))
                Handle(ev);
            SettleFocus();
        }
        user::RunDueActions(Actions, [this] { return Now(); });
    }

    void WaitEvents(DWORD timeout) override {
        EventsHeld = false;
        if (!Actions.empty()) {
            // Wake for the first scheduled action.
            const DWORD now = Now();
            const DWORD first = Actions.begin()->first;
            const DWORD untilFirst = std::int32_t(first - now) > 0 ? first - now : 0;
            timeout = std::min(timeout, untilFirst);
        }
        if (Frames > 0 && !MediaModuleLoaded) {
            // The first idle moment a little after the first frame (once the display has
            // shown it): the media module is mapped then, not when the first clip is asked
            // for, so neither the start-up nor the first clip waits for it.
            const DWORD since = Now() - FirstFrameTick;
            if (since >= MediaModuleDelay) {
                MediaModuleLoaded = true;
                if (IconsDue)
                    ApplyIcons();
                media::PreloadMediaModule();
                PumpEvents();
                return;
            }
            timeout = std::min(timeout, MediaModuleDelay - since);
        }
        SDL_Event ev;
        int got = timeout == INFINITE
                      ? SDL_WaitEvent(&ev)
                      : SDL_WaitEventTimeout(&ev, int(std::min<DWORD>(timeout, 0x7FFFFFFF)));
        if (got)
            Handle(ev);
        PumpEvents();
    }

    void RunAt(DWORD tick, std::function<void()> action) override {
        Actions.emplace(tick, std::move(action));
    }

    // The active window lost the keyboard focus: when none of our windows has it once the
    // pending events are handled, another program is active now.
    void SettleFocus() {
        if (!FocusLost)
            return;
        FocusLost = false;
        SDL_Window* focus = SDL_GetKeyboardFocus();
        if (!focus || !FromId(SDL_GetWindowID(focus)))
            user::DeactivateApplication();
    }

    void Wake() override {
        if (WakeEvent == Uint32(-1))
            return;
        SDL_Event ev{};
        ev.type = WakeEvent;
        SDL_PushEvent(&ev);
    }

    void TopLevelChanged(Window* top, unsigned changes) override {
        if (changes & Destroyed) {
            Drop(top);
            return;
        }
        if (changes & Icon) {
            // Owned windows show their owner's icon (the application window carries the
            // program's icon without ever being on the screen).
            for (Window* o : user::Windows().Desktop->Children) {
                bool owned = false;
                for (Window* p = o->Owner; p && !owned; p = p->Owner)
                    owned = p == top;
                if (owned && Find(o) && Find(o)->Handle)
                    ApplyIcon(o, Find(o));
            }
        }
        // A minimised window has no pixels but stays on the desktop (in the taskbar), from
        // where the user restores it.
        bool wanted =
            top->Visible() && (top->Minimized() || (top->Surf.Width > 0 && top->Surf.Height > 0));
        SdlWindow* sw = Find(top);
        if (!wanted) {
            if (sw && sw->Handle && (changes & (Hidden | State | Resized)))
                SDL_HideWindow(sw->Handle);
            if (sw && sw->Handle && top->Minimized())
                SDL_MinimizeWindow(sw->Handle);
            return;
        }
        if (!sw || !sw->Handle) {
            Create(top);
            return;
        }
        Applying = true;
        if (changes & Title)
            SDL_SetWindowTitle(sw->Handle, top->Text.c_str());
        if (changes & Icon)
            ApplyIcon(top, sw);
        if (changes & (Moved | Resized | State)) {
            const bool full = CoversScreen(top);
            if (full != sw->FullScreen) {
                sw->FullScreen = full;
                SDL_SetWindowFullscreen(sw->Handle, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
            }
            if (full) {
                // The display shows the client area on the whole screen.
            } else if (top->Maximized()) {
                SDL_MaximizeWindow(sw->Handle);
            } else if (top->Minimized()) {
                SDL_MinimizeWindow(sw->Handle);
            } else {
                if (SDL_GetWindowFlags(sw->Handle) & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_MINIMIZED))
                    SDL_RestoreWindow(sw->Handle);
                POINT o = user::ScreenClientOrigin(top);
                SDL_SetWindowPosition(sw->Handle, o.x, o.y);
                SDL_SetWindowSize(sw->Handle, top->Surf.Width, top->Surf.Height);
            }
        }
        if (changes & Shown) {
            SDL_ShowWindow(sw->Handle);
            top->Dirty.assign(1, RECT{0, 0, top->Surf.Width, top->Surf.Height});
        }
        if (changes & ZOrder && user::Input().Active == top->Handle)
            SDL_RaiseWindow(sw->Handle);
        if (changes & Shown)
            LinkModal(top);
        if (changes & Enabled) {
            // Disabled under a pop-up it owns (a message box): the display's window manager
            // learns that the pop-up is modal for it.
            for (Window* o : user::Windows().Desktop->Children)
                if (o->Owner == top)
                    LinkModal(o);
        }
        Applying = false;
    }

    WindowPixels PixelsFor(Window* top, int width, int height) override {
        SdlWindow* sw = Find(top);
        WindowPixels pixels;
        if (!sw || !sw->Handle) {
            // The display's window is made right after this (TopLevelChanged), before
            // anything paints: its surface is bound then (Create).
            pixels.Later =
                !Unbinding && top->Visible() && !top->Minimized() && !(sw && sw->CreateFailed);
            return pixels;
        }
        sw->Bound = nullptr;
        ++sw->Binds;
        if (Unbinding || top->Minimized())
            return pixels;
        // This may free the surface SDL gave up after a resize: the window manager holds
        // the pixel lock and moves every context off it before anything draws again.
        SDL_Surface* s = SDL_GetWindowSurface(sw->Handle);
        if (!FitsWindowPixels(s, width, height))
            return pixels;
        sw->Bound = s->pixels;
        pixels.Pixels = static_cast<std::uint32_t*>(s->pixels);
        pixels.Stride = s->pitch / 4;
        return pixels;
    }

    void Present(Window* top) override {
        SdlWindow* sw = Find(top);
        if (!sw || !sw->Handle || top->Dirty.empty() || !top->Surf.Pixels)
            return;
        // SDL gives up its surface on a resize and frees it at the next
        // SDL_GetWindowSurface: with a resize waiting in the queue, the pixels in it move
        // to a store of the window's own first (WindowEvent does the same).
        if (Bound(top) && ResizePending(sw))
            Unbind(top);
        SDL_Surface* dst = SDL_GetWindowSurface(sw->Handle);
        if (Bound(top) && (dst ? dst->pixels : nullptr) != sw->Bound) {
            // SDL remade its surface unannounced: what the window showed is gone, and it
            // repaints whole into the new pixels.
            sw->Bound = nullptr;
            RebindSurface(top, false);
            user::InvalidateIn(top, user::ClientRectOf(top), true, true);
            return;
        }
        if (!dst)
            return;
        if (!Bound(top) && !top->Minimized() &&
            FitsWindowPixels(dst, top->Surf.Width, top->Surf.Height)) {
            // The surface fits now (after a resize): the window's pixels move into it, and
            // from now on presenting only sends the damaged rectangles.
            RebindSurface(top, true);
        }
        if (Bound(top)) {
            SendDamage(sw, top);
            return;
        }
        std::vector<SDL_Rect> rects;
        if (SDL_MUSTLOCK(dst))
            SDL_LockSurface(dst);
        for (const RECT& d : top->Dirty) {
            RECT r = user::Intersect(d, RECT{0, 0, std::min(top->Surf.Width, dst->w),
                                             std::min(top->Surf.Height, dst->h)});
            if (user::RectEmpty(r))
                continue;
            int w = r.right - r.left, h = r.bottom - r.top;
            const std::uint32_t* src =
                top->Surf.Pixels + std::size_t(r.top) * std::size_t(top->Surf.Stride) + r.left;
            auto* out = static_cast<std::uint8_t*>(dst->pixels) + std::size_t(r.top) * dst->pitch +
                        std::size_t(r.left) * dst->format->BytesPerPixel;
            SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGB888, src, top->Surf.Stride * 4,
                              dst->format->format, out, dst->pitch);
            rects.push_back(SDL_Rect{r.left, r.top, w, h});
        }
        if (SDL_MUSTLOCK(dst))
            SDL_UnlockSurface(dst);
        if (Frames == 0)
            MarkPhase("converted");
        Send(sw, rects);
    }

    void SetCursorShape(HCURSOR cursor, bool visible) override {
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
        if (!cursor)
            return;
        int id = user::CursorShapeId(cursor);
        SDL_SystemCursor shape = SystemCursor(id);
        SDL_Cursor*& c = Cursors[int(shape)];
        if (!c)
            c = SDL_CreateSystemCursor(shape);
        if (c)
            SDL_SetCursor(c);
    }

    void WarpPointer(POINT p) override { SDL_WarpMouseGlobal(p.x, p.y); }

    void Sleep(DWORD ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    MediaClock MediaClockKind() const override { return MediaClock::System; }
    bool PlaysSound() const override { return true; }
    // A person at the display may answer at any time.
    bool InputCanArrive(DWORD, bool) override { return true; }

private:
    SdlWindow* Find(Window* top) { return static_cast<SdlWindow*>(top->BackendData); }

    // Whether the window's surface points into SDL's window surface.
    bool Bound(Window* top) {
        SdlWindow* sw = Find(top);
        return sw && sw->Bound && top->Surf.Pixels == sw->Bound;
    }

    // Whether a resize of the window waits in SDL's queue: SDL has given up its surface
    // then, and frees it at the next SDL_GetWindowSurface.
    static bool ResizePending(SdlWindow* sw) {
        constexpr int Look = 16;
        SDL_Event events[Look];
        const int n = SDL_PeepEvents(events, Look, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
        const Uint32 id = SDL_GetWindowID(sw->Handle);
        for (int i = 0; i < n; ++i)
            if (events[i].window.windowID == id &&
                (events[i].window.event == SDL_WINDOWEVENT_RESIZED ||
                 events[i].window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
                return true;
        return n == Look; // more than one look sees: taken as a resize
    }

    // The window's pixels leave SDL's surface for a store of its own, content and all.
    void Unbind(Window* top) {
        Unbinding = true;
        RebindSurface(top, true);
        Unbinding = false;
    }

    // Sends the damaged rectangles of a window whose pixels are SDL's surface.
    void SendDamage(SdlWindow* sw, Window* top) {
        std::vector<SDL_Rect> rects;
        rects.reserve(top->Dirty.size());
        for (const RECT& d : top->Dirty) {
            RECT r = user::Intersect(d, RECT{0, 0, top->Surf.Width, top->Surf.Height});
            if (!user::RectEmpty(r))
                rects.push_back(SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top});
        }
        Send(sw, rects);
    }

    void Send(SdlWindow* sw, const std::vector<SDL_Rect>& rects) {
        if (Frames == 0)
            FirstFrameTick = Now();
        EventsHeld = false;
        if (!rects.empty())
            SDL_UpdateWindowSurfaceRects(sw->Handle, rects.data(), int(rects.size()));
        ++Frames;
        MarkPhase("present");
    }

    Window* FromId(Uint32 id) {
        auto it = ById.find(id);
        if (it == ById.end())
            return nullptr;
        return user::FromHandleQuiet(it->second);
    }

    void Create(Window* top) {
        SdlWindow* sw = Find(top);
        if (!sw) {
            sw = new SdlWindow;
            top->BackendData = sw;
        }
        // Made visible, and maximised, in the call that creates it: every separate step is
        // a round trip to the display server before the first frame can be presented.
        Uint32 flags = 0;
        if (top->Maximized())
            flags |= SDL_WINDOW_MAXIMIZED;
        if (top->Minimized())
            flags |= SDL_WINDOW_MINIMIZED;
        sw->FullScreen = CoversScreen(top);
        if (sw->FullScreen)
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        if ((top->Style & WS_CAPTION) != WS_CAPTION)
            flags |= SDL_WINDOW_BORDERLESS;
        if (top->Style & WS_THICKFRAME)
            flags |= SDL_WINDOW_RESIZABLE;
        if (top->ExStyle & WS_EX_TOOLWINDOW)
            flags |= SDL_WINDOW_UTILITY | SDL_WINDOW_SKIP_TASKBAR;
        if (top->ExStyle & WS_EX_TOPMOST)
            flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        POINT o = user::ScreenClientOrigin(top);
        // A window made minimised gets the size it will be restored to.
        const SIZE size =
            top->Minimized() ? RestoredClientSize(top) : SIZE{top->Surf.Width, top->Surf.Height};
        Applying = true;
        MarkPhase("window-asked");
        sw->Handle = SDL_CreateWindow(top->Text.c_str(), o.x, o.y, size.cx, size.cy, flags);
        MarkPhase("window-made");
        if (!sw->Handle) {
            std::fprintf(stderr, "platform: SDL_CreateWindow failed: %s\n", SDL_GetError());
            // The window keeps pixels of its own, for another try.
            sw->CreateFailed = true;
            RebindSurface(top, true);
            Applying = false;
            return;
        }
        sw->CreateFailed = false;
        ById[SDL_GetWindowID(sw->Handle)] = top->Handle;
        // The window's pixels go into SDL's surface now, before anything paints.
        RebindSurface(top, true);
        MarkPhase("window-surface");
        // The first frame does not need the icon (a few milliseconds to decode and send):
        // the windows made before it get theirs a little after it (WaitEvents).
        if (Frames == 0) {
            IconsDue = EventsHeld = true;
            EventsHeldUntil = Now() + MaxEventHold;
        } else
            ApplyIcon(top, sw);
        MarkPhase("window-icon");
        LinkModal(top);
        if (user::Input().Active == top->Handle)
            SDL_RaiseWindow(sw->Handle);
        top->Dirty.assign(1, RECT{0, 0, top->Surf.Width, top->Surf.Height});
        Applying = false;
    }

    // A window whose client area is the whole screen, its frame outside it, is what a
    // program shows full screen (as Windows takes it): the display shows it so, without
    // the window manager's frame and panels.
    bool CoversScreen(Window* top) {
        if (top->Maximized() || top->Minimized())
            return false;
        const RECT screen = ScreenRect();
        const POINT o = user::ScreenClientOrigin(top);
        return o.x == screen.left && o.y == screen.top &&
               top->Surf.Width == screen.right - screen.left &&
               top->Surf.Height == screen.bottom - screen.top;
    }

    static SIZE RestoredClientSize(const Window* top) {
        const RECT in = user::FrameInsets(top);
        const RECT& r = top->RestoreRect;
        return SIZE{std::max<LONG>(r.right - r.left - in.left - in.right, 1),
                    std::max<LONG>(r.bottom - r.top - in.top - in.bottom, 1)};
    }

    // An enabled, visible window whose owner is disabled is modal for it.
    void LinkModal(Window* top) {
        SdlWindow* sw = Find(top);
        Window* owner = top->Owner;
        if (!sw || !sw->Handle || !owner || owner->Enabled() || !top->Enabled() || !top->Visible())
            return;
        SdlWindow* ow = Find(owner);
        if (ow && ow->Handle)
            SDL_SetWindowModalFor(sw->Handle, ow->Handle);
    }

    // Every window on the screen gets its icon.
    void ApplyIcons() {
        IconsDue = false;
        for (Window* w : user::Windows().Desktop->Children)
            if (Find(w) && Find(w)->Handle)
                ApplyIcon(w, Find(w));
    }

    void ApplyIcon(Window* top, SdlWindow* sw) {
        // The window's own icon, else its owner's (the application window carries the
        // program's icon), else the class icon.
        HICON icon = nullptr;
        for (Window* w = top; w && !icon; w = w->Owner)
            icon = w->IconBig     ? w->IconBig
                   : w->IconSmall ? w->IconSmall
                   : w->Class     ? w->Class->Icon
                                  : nullptr;
        int width = 0, height = 0;
        std::vector<std::uint32_t> pixels;
        if (!user::IconImage(icon, width, height, pixels))
            return;
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (!s)
            return;
        SDL_SetWindowIcon(sw->Handle, s);
        SDL_FreeSurface(s);
    }

    void Drop(Window* top) {
        SdlWindow* sw = Find(top);
        if (!sw)
            return;
        if (sw->Handle) {
            // Pixels in the SDL window's surface leave it before it goes (a window that
            // only changes parent keeps them, and its contexts).
            if (Bound(top))
                Unbind(top);
            ById.erase(SDL_GetWindowID(sw->Handle));
            SDL_DestroyWindow(sw->Handle);
        }
        delete sw;
        top->BackendData = nullptr;
    }

    void Handle(const SDL_Event& ev) {
        switch (ev.type) {
        case SDL_WINDOWEVENT:
            WindowEvent(ev.window);
            break;
        case SDL_MOUSEMOTION:
            Mouse(ev.motion.windowID, WM_MOUSEMOVE, ev.motion.x, ev.motion.y, ev.motion.timestamp);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            bool down = ev.type == SDL_MOUSEBUTTONDOWN;
            UINT msg =
                ev.button.button == SDL_BUTTON_RIGHT    ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                : ev.button.button == SDL_BUTTON_MIDDLE ? (down ? WM_MBUTTONDOWN : WM_MBUTTONUP)
                : ev.button.button == SDL_BUTTON_LEFT   ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
                                                        : 0;
            if (msg)
                Mouse(ev.button.windowID, msg, ev.button.x, ev.button.y, ev.button.timestamp);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int vk = VirtualKey(ev.key.keysym.sym);
            if (!vk)
                break;
            bool down = ev.type == SDL_KEYDOWN;
            LPARAM l = 1 | (LPARAM(ev.key.keysym.scancode & 0xFF) << 16);
            if (ev.key.repeat)
                l |= LPARAM(1) << 30;
            if (!down)
                l |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
            bool alt = (ev.key.keysym.mod & KMOD_ALT) != 0;
            if (alt)
                l |= LPARAM(1) << 29;
            UINT msg = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
            user::QueueInput(user::InputEvent{msg, POINT{}, WPARAM(vk), LPARAM(DWORD(l)), Now()});
            break;
        }
        default:
            break;
        }
    }

    void Mouse(Uint32 windowId, UINT msg, int x, int y, Uint32) {
        Window* top = FromId(windowId);
        POINT p{x, y};
        if (top) {
            POINT o = user::ScreenClientOrigin(top);
            p.x += o.x;
            p.y += o.y;
        }
        user::QueueInput(user::InputEvent{msg, p, 0, 0, Now(), top ? top->Handle : nullptr});
    }

    void WindowEvent(const SDL_WindowEvent& e) {
        Window* top = FromId(e.windowID);
        if (!top)
            return;
        HWND hwnd = top->Handle;
        switch (e.event) {
        case SDL_WINDOWEVENT_CLOSE:
            user::CloseFromWindowManager(top);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            // SDL has given up its surface, and frees it at the next SDL_GetWindowSurface.
            // A new size takes new pixels anyway (ResizeSurface); pixels that stay in the
            // old surface move to a store of their own while they can be read, and into
            // the new surface when they are presented.
            const unsigned binds = Find(top)->Binds;
            if (e.data1 != top->Surf.Width || e.data2 != top->Surf.Height) {
                RECT in = user::FrameInsets(top);
                user::ApplyExternalGeometry(top, 0, 0, e.data1 + in.left + in.right,
                                            e.data2 + in.top + in.bottom, SWP_NOMOVE);
                top = FromId(e.windowID);
                if (!top)
                    break;
            }
            if (Bound(top) && Find(top)->Binds == binds)
                Unbind(top);
            top->Dirty.assign(1, RECT{0, 0, top->Surf.Width, top->Surf.Height});
            break;
        }
        case SDL_WINDOWEVENT_MOVED: {
            if (Applying || top->Maximized() || top->Minimized())
                break;
            POINT o = user::ScreenClientOrigin(top);
            if (o.x != e.data1 || o.y != e.data2) {
                RECT in = user::FrameInsets(top);
                user::ApplyExternalGeometry(top, e.data1 - in.left, e.data2 - in.top, 0, 0,
                                            SWP_NOSIZE);
            }
            break;
        }
        case SDL_WINDOWEVENT_MAXIMIZED:
            if (!top->Maximized())
                ShowWindow(hwnd, SW_SHOWMAXIMIZED);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            if (!top->Minimized())
                ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case SDL_WINDOWEVENT_RESTORED:
            if (top->Minimized() || top->Maximized())
                ShowWindow(hwnd, SW_RESTORE);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
            // Presented when the queue runs dry, after the pending paints, so the frame
            // that goes to the screen is a painted one and exposures that come together
            // cost one upload.
            top->Dirty.assign(1, RECT{0, 0, top->Surf.Width, top->Surf.Height});
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (!top->Enabled()) {
                // A window disabled under a modal pop-up passes the activation on to it.
                HWND popup = GetWindow(hwnd, GW_ENABLEDPOPUP);
                top = popup ? user::FromHandleQuiet(popup) : nullptr;
            }
            if (top && user::Input().Active != top->Handle)
                user::ActivateWindow(top, WA_ACTIVE);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (user::Input().Active == hwnd)
                FocusLost = true;
            break;
        default:
            break;
        }
    }

    std::chrono::steady_clock::time_point Start;
    Uint32 WakeEvent = Uint32(-1);
    std::map<Uint32, HWND> ById;
    user::ScheduledActions Actions; // RunAt
    std::map<int, SDL_Cursor*> Cursors;
    bool Applying = false;
    bool FocusLost = false;
    bool Unbinding = false; // PixelsFor answers "pixels of the window's own"

public:
    unsigned long Frames = 0;
    // The media module is loaded (and the first windows get their icons) this long after
    // the first frame (see WaitEvents).
    static constexpr DWORD MediaModuleDelay = 150;
    DWORD FirstFrameTick = 0;
    bool MediaModuleLoaded = false;
    bool IconsDue = false; // windows made before the first frame have no icon yet
    // The display's events wait until the first frame (PumpEvents).
    bool EventsHeld = false;
    static constexpr DWORD MaxEventHold = 100;
    DWORD EventsHeldUntil = 0;
};

} // namespace

} // namespace platform::sdl

namespace platform::user {

std::unique_ptr<Backend> MakeSdlBackend() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    bool chosenDriver = std::getenv("SDL_VIDEODRIVER") != nullptr;
    if (!chosenDriver && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "platform: no display; running without windows on screen\n");
        return nullptr;
    }
    int started;
    {
        // The input method SDL opens as its video starts gets no compose table: the
        // program never takes composed text (see ComposeTable.h).
        sdl::EmptyComposeTable noCompose;
        started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    }
    if (started != 0) {
        std::fprintf(stderr, "platform: no display (%s); running without windows on screen\n",
                     SDL_GetError());
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!chosenDriver && driver &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        std::fprintf(stderr, "platform: no display; running without windows on screen\n");
        return nullptr;
    }
    if (driver && std::strcmp(driver, "x11") == 0)
        sdl::EndProcessWhenDisplayIsLost();
    MarkPhase("sdl-video");
    // The fonts' start runs beside the reading of the first form. Not before the display
    // starts: the input method's start reads its compose table a character at a time, and
    // that costs several times as much in a process with a second thread (every read then
    // locks the file).
    gdi::StartFontLookup();
    return std::make_unique<sdl::SdlBackend>();
}

} // namespace platform::user
