// The testing API over the headless backend.
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <png.h>
#include <string>
#include <vector>

#include "platform/gdi/Screen.h"
#include "platform/headless/Headless.h"
#include "platform/kernel/KernelState.h"
#include "platform/kernel/ResourceTable.h"
#include "platform/media/MciDriver.h"
#include "platform/testing/Testing.h"
#include "platform/user/VideoOverlay.h"
#include "platform/user/WindowManager.h"
#include "platform/wingdi.h"

namespace platform::testing {

using namespace platform::user;

void UseHeadless() {
    SelectBackend("headless");
}

bool IsHeadless() {
    return std::strcmp(GetBackend().Name(), "headless") == 0;
}

void SetCodePage(UINT codePage) {
    SetAnsiCodePage(codePage);
}

void SetModuleFileName(const std::string& path) {
    SetMainModuleFileName(path);
}

void RegisterResource(LPCSTR type, LPCSTR name, const void* data, std::size_t size) {
    // The registry keeps pointers to its entries for the whole run: the entries, their
    // names and their bytes live here, in containers that never move what they hold.
    static std::mutex lock;
    static std::deque<ResourceEntry> entries;
    static std::deque<std::string> strings;
    static std::deque<std::vector<unsigned char>> bytes;
    std::lock_guard<std::mutex> guard(lock);
    ResourceEntry e{};
    if (IS_INTRESOURCE(type)) {
        e.TypeId = WORD(ULONG_PTR(type));
    } else {
        strings.emplace_back(type);
        e.TypeName = strings.back().c_str();
    }
    if (IS_INTRESOURCE(name)) {
        e.NameId = WORD(ULONG_PTR(name));
    } else {
        strings.emplace_back(name);
        e.Name = strings.back().c_str();
    }
    const auto* first = static_cast<const unsigned char*>(data);
    bytes.emplace_back(first, first + size);
    e.Data = bytes.back().data();
    e.Size = size;
    entries.push_back(e);
    RegisterResourceTable(&entries.back(), 1);
}

void SetScreenSize(int width, int height) {
    headless::ScreenWidth() = std::max(1, width);
    headless::ScreenHeight() = std::max(1, height);
    if (Windows().Desktop)
        Windows().Desktop->Rect = RECT{0, 0, headless::ScreenWidth(), headless::ScreenHeight()};
    SetGdiScreenSize(headless::ScreenWidth(), headless::ScreenHeight());
}

void Reset() {
    EnsureInit();
    RemoveMciRecorder();
    media::CloseAllMciDevices();
    MciUseRealTime(false);
    ResetAll();
    headless::Actions().clear();
}

void FailNextSetTimer(int count) {
    EnsureInit();
    Timers().FailNext = std::max(0, count);
}

DWORD Now() {
    return GetBackend().Now();
}

void AdvanceClock(DWORD milliseconds) {
    headless::Clock() += milliseconds;
    headless::RunDueActions();
}

void RunAt(DWORD tick, std::function<void()> action) {
    headless::Actions().emplace(tick, std::move(action));
}

int PumpMessages() {
    EnsureInit();
    int count = 0;
    while (DispatchNext() == PumpResult::Dispatched)
        ++count;
    return count;
}

void RunFor(DWORD milliseconds) {
    EnsureInit();
    DWORD end = Now() + milliseconds;
    bool endMarker = false;
    RunAt(end, [&] { endMarker = true; });
    while (!endMarker) {
        const PumpResult pumped = DispatchNext();
        if (pumped == PumpResult::Quit)
            break;
        if (pumped == PumpResult::Empty)
            WaitMessage();
    }
    // What became due at the last moment (a timer at exactly the end) is handled too.
    PumpMessages();
}

namespace {

void QueueMouse(UINT message, int x, int y) {
    EnsureInit();
    QueueInput(InputEvent{message, POINT{x, y}, 0, 0, Now()});
}

UINT ButtonMessage(int button, bool down) {
    switch (button) {
    case 1:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case 2:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    }
}

LPARAM KeyLParam(int vk, bool up) {
    LPARAM l = 1 | (LPARAM(vk & 0xFF) << 16);
    if (up)
        l |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
    return LPARAM(DWORD(l));
}

POINT ClientPoint(HWND hwnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return p;
}

} // namespace

void MouseMove(int x, int y) {
    QueueMouse(WM_MOUSEMOVE, x, y);
}
void MouseDown(int x, int y, int button) {
    QueueMouse(WM_MOUSEMOVE, x, y);
    QueueMouse(ButtonMessage(button, true), x, y);
}
void MouseUp(int x, int y, int button) {
    QueueMouse(ButtonMessage(button, false), x, y);
}
void Click(int x, int y, int button) {
    MouseDown(x, y, button);
    MouseUp(x, y, button);
}
void MouseMoveClient(HWND hwnd, int x, int y) {
    POINT p = ClientPoint(hwnd, x, y);
    MouseMove(p.x, p.y);
}
void ClickClient(HWND hwnd, int x, int y, int button) {
    POINT p = ClientPoint(hwnd, x, y);
    Click(p.x, p.y, button);
}

void KeyDown(int vk) {
    EnsureInit();
    QueueInput(InputEvent{WM_KEYDOWN, POINT{}, WPARAM(vk), KeyLParam(vk, false), Now()});
}
void KeyUp(int vk) {
    EnsureInit();
    QueueInput(InputEvent{WM_KEYUP, POINT{}, WPARAM(vk), KeyLParam(vk, true), Now()});
}
void KeyPress(int vk) {
    KeyDown(vk);
    KeyUp(vk);
}
void Char(char c) {
    EnsureInit();
    QueueInput(InputEvent{WM_CHAR, POINT{}, WPARAM(static_cast<unsigned char>(c)), 1, Now()});
}

Image CaptureWindow(HWND hwnd) {
    ComposeVideo();
    Image img;
    Window* w = FromHandleQuiet(hwnd);
    if (!w)
        return img;
    Window* top = TopLevelOf(w);
    POINT org = SurfaceClientOrigin(w);
    RECT cr = ClientRectOf(w);
    PixelLock lock = LockPixels();
    img.Width = cr.right;
    img.Height = cr.bottom;
    img.Pixels.assign(std::size_t(img.Width) * std::size_t(img.Height), 0);
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x) {
            int sx = org.x + x, sy = org.y + y;
            if (sx >= 0 && sy >= 0 && sx < top->Surf.Width && sy < top->Surf.Height)
                img.Pixels[std::size_t(y) * std::size_t(img.Width) + std::size_t(x)] =
                    top->Surf
                        .Pixels[std::size_t(sy) * std::size_t(top->Surf.Stride) + std::size_t(sx)];
        }
    return img;
}

Image CaptureScreen() {
    ComposeVideo();
    EnsureInit();
    RECT sr = GetBackend().ScreenRect();
    Image img;
    img.Width = sr.right - sr.left;
    img.Height = sr.bottom - sr.top;
    img.Pixels.assign(std::size_t(img.Width) * std::size_t(img.Height), 0x003A6EA5);
    auto fill = [&](RECT r, std::uint32_t colour) {
        r = Intersect(r, RECT{0, 0, img.Width, img.Height});
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                img.Pixels[std::size_t(y) * std::size_t(img.Width) + std::size_t(x)] = colour;
    };
    Surface screen{img.Pixels.data(), img.Width, img.Height, img.Width};
    PixelLock lock = LockPixels();
    auto& tops = Windows().Desktop->Children;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* w = *it;
        if (!w->Visible() || w->Minimized())
            continue;
        RECT in = FrameInsets(w);
        RECT wr = w->Rect;
        if (in.left || in.top)
            fill(wr, 0x00C0C0C0);
        if (in.top > in.left) {
            bool active = Input().Active == w->Handle;
            RECT cap{wr.left + in.left, wr.top + in.left, wr.right - in.right, wr.top + in.top};
            fill(cap, active ? 0x00204080 : 0x00808080);
            HDC dc = CreateSurfaceDC(screen, POINT{0, 0}, std::vector<RECT>{cap});
            if (dc) {
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(255, 255, 255));
                RECT tr{cap.left + 8, cap.top, cap.right - 8, cap.bottom};
                DrawTextA(dc, w->Text.c_str(), -1, &tr,
                          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                DeleteSurfaceDC(dc);
            }
        }
        POINT co{wr.left + in.left, wr.top + in.top};
        RECT dst = Intersect(RECT{co.x, co.y, co.x + w->Surf.Width, co.y + w->Surf.Height},
                             RECT{0, 0, img.Width, img.Height});
        for (int sy = dst.top; sy < dst.bottom; ++sy)
            std::memcpy(
                &img.Pixels[std::size_t(sy) * std::size_t(img.Width) + std::size_t(dst.left)],
                &w->Surf.Pixels[std::size_t(sy - co.y) * std::size_t(w->Surf.Stride) +
                                std::size_t(dst.left - co.x)],
                std::size_t(dst.right - dst.left) * 4);
    }
    return img;
}

bool SavePng(const Image& image, const std::string& path) {
    if (image.Width <= 0 || image.Height <= 0)
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(image.Width), png_uint_32(image.Height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(std::size_t(image.Width) * 3);
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            std::uint32_t p = image.At(x, y);
            row[std::size_t(x) * 3] = png_byte(p >> 16);
            row[std::size_t(x) * 3 + 1] = png_byte(p >> 8);
            row[std::size_t(x) * 3 + 2] = png_byte(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

bool SaveBmp(const Image& image, const std::string& path) {
    if (image.Width <= 0 || image.Height <= 0)
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::uint32_t stride = std::uint32_t(image.Width) * 3;
    stride = (stride + 3) & ~3u;
    std::uint32_t imageSize = stride * std::uint32_t(image.Height);
    unsigned char header[54] = {'B', 'M'};
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = (unsigned char)(v >> (8 * i));
    };
    put32(2, 54 + imageSize);
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(image.Width));
    put32(22, std::uint32_t(image.Height));
    header[26] = 1;
    header[28] = 24;
    put32(34, imageSize);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<unsigned char> row(stride, 0);
    for (int y = image.Height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < image.Width; ++x) {
            std::uint32_t p = image.At(x, y);
            row[std::size_t(x) * 3] = (unsigned char)p;
            row[std::size_t(x) * 3 + 1] = (unsigned char)(p >> 8);
            row[std::size_t(x) * 3 + 2] = (unsigned char)(p >> 16);
        }
        ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    return std::fclose(f) == 0 && ok;
}

void ActivateOtherApplication() {
    EnsureInit();
    DeactivateApplication();
}

void CloseFromWindowManager(HWND top) {
    EnsureInit();
    user::CloseFromWindowManager(FromHandleQuiet(top));
}

std::vector<TopLevelWindow> ListTopLevelWindows() {
    EnsureInit();
    std::vector<TopLevelWindow> list;
    for (Window* w : Windows().Desktop->Children)
        list.push_back(TopLevelWindow{w->Handle, w->Class->Name, w->Text, w->Visible(),
                                      w->Enabled(), w->Rect});
    return list;
}

MessageBoxInfo FindMessageBox() {
    auto& log = MessageBoxLog();
    for (auto it = log.rbegin(); it != log.rend(); ++it)
        if (FromHandleQuiet(it->Hwnd) && it->Result == 0)
            return MessageBoxInfo{it->Hwnd, it->Caption, it->Text, it->Flags, 0};
    return MessageBoxInfo{nullptr, "", "", 0, 0};
}

bool PressMessageBoxButton(HWND box, int id) {
    if (!box)
        box = FindMessageBox().Handle;
    Window* w = FromHandleQuiet(box);
    if (!w)
        return false;
    for (Window* c : w->Children)
        if (c->Id == id) {
            RECT cr = ClientRectOf(c);
            ClickClient(c->Handle, cr.right / 2, cr.bottom / 2);
            return true;
        }
    return false;
}

std::vector<MessageBoxInfo> MessageBoxHistory() {
    std::vector<MessageBoxInfo> list;
    for (auto& r : MessageBoxLog())
        list.push_back(MessageBoxInfo{r.Hwnd, r.Caption, r.Text, r.Flags, r.Result});
    return list;
}

} // namespace platform::testing
