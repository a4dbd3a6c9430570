// The digital-video device's window: its own default window, the program's window it is
// bound to (MCI_WINDOW), and the rectangles MCI_WHERE reports. Rectangles are given as
// the media control interface gives them: left, top, width, height. A device opened by
// its type alone, without a file, has a window but no picture: its rectangles are empty.
#include "platform/media/Player.h"

namespace platform::media {

namespace {

constexpr DWORD WhereKinds = MCI_DGV_WHERE_SOURCE | MCI_DGV_WHERE_DESTINATION |
                             MCI_DGV_WHERE_FRAME | MCI_DGV_WHERE_VIDEO | MCI_DGV_WHERE_WINDOW;

// The window's frame: its place in its parent's client area (on the screen for a
// top-level window) and its size.
RECT FramePlace(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    if (HWND parent = GetParent(hwnd))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

} // namespace

void Player::EnsureDefaultWindow(bool show) {
    if (!FVideoDevice)
        return;
    if (!FDefault) {
        RegisterVideoClass();
        int width = CW_USEDEFAULT, height = CW_USEDEFAULT;
        if (FHasVideo) {
            RECT r{0, 0, FFile->Width(), FFile->Height()};
            AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
            width = r.right - r.left;
            height = r.bottom - r.top;
        }
        std::string title = FElement;
        std::size_t slash = title.find_last_of("\\/");
        if (slash != std::string::npos)
            title = title.substr(slash + 1);
        HWND created =
            CreateWindowExA(0, VideoClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                            CW_USEDEFAULT, width, height, nullptr, nullptr, nullptr, nullptr);
        std::lock_guard<std::mutex> lock(FLock);
        FDefault = created;
    }
    if (FDefault && show && !IsWindowVisible(FDefault))
        ShowWindow(FDefault, SW_SHOWNA);
}

HWND Player::DisplayWindow() {
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FBound)
            return FBound;
    }
    EnsureDefaultWindow(false);
    return FDefault;
}

MCIERROR Player::Window(DWORD flags, DWORD_PTR param) {
    if (!FVideoDevice)
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    const auto* p = reinterpret_cast<const MCI_DGV_WINDOW_PARMSA*>(param);
    if ((flags & MCI_DGV_WINDOW_HWND) && p->hWnd && !IsWindow(p->hWnd))
        return MCIERR_NO_WINDOW;
    bool playing;
    {
        std::lock_guard<std::mutex> lock(FLock);
        playing = FMode == Mode::Playing;
        if (flags & MCI_DGV_WINDOW_HWND)
            FBound = p->hWnd;
    }
    if ((flags & MCI_DGV_WINDOW_HWND) && !p->hWnd)
        EnsureDefaultWindow(playing);
    if (!FBound && (flags & MCI_DGV_WINDOW_STATE)) {
        EnsureDefaultWindow(false);
        ShowWindow(FDefault, int(p->nCmdShow));
    }
    if (!FBound && (flags & MCI_DGV_WINDOW_TEXT) && p->lpstrText) {
        EnsureDefaultWindow(false);
        SetWindowTextA(FDefault, p->lpstrText);
    }
    if (FBound && FDefault && IsWindowVisible(FDefault))
        ShowWindow(FDefault, SW_HIDE);
    return 0;
}

MCIERROR Player::Where(DWORD flags, DWORD_PTR param) {
    if (!FVideoDevice)
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (!param)
        return MCIERR_NULL_PARAMETER_BLOCK;
    const DWORD kind = flags & WhereKinds;
    if (!kind)
        return MCIERR_MISSING_PARAMETER;
    if (kind & (kind - 1))
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    auto* p = reinterpret_cast<MCI_DGV_RECT_PARMS*>(param);
    if (kind == MCI_DGV_WHERE_WINDOW) {
        if (flags & MCI_DGV_WHERE_MAX)
            p->rc = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        else if (HWND w = DisplayWindow())
            p->rc = FramePlace(w);
        else
            p->rc = RECT{};
        return 0;
    }
    // Source, destination, frame and video: the picture's own size.
    p->rc = FHasVideo ? RECT{0, 0, FFile->Width(), FFile->Height()} : RECT{};
    return 0;
}

} // namespace platform::media
