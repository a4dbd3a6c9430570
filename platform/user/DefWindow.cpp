// The default window procedure, cursors and icons.
#include <algorithm>
#include <cstring>

#include "platform/user/IconDecoder.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"
#include "platform/wingdi.h"

namespace platform::user {

struct CursorObject {
    int Id;      // IDC_* number, or 0 for icons made from resources
    bool IsIcon; // standard icon rather than cursor
    const void* Data = nullptr;
    DWORD Size = 0;
    // An icon of a data-file module keeps its own copy of the .ico data (the module may
    // be freed while the icon lives).
    std::vector<unsigned char> Owned{};
};

namespace {

CursorObject StandardCursors[] = {
    {32512, false}, {32513, false}, {32514, false}, {32515, false}, {32516, false}, {32640, false},
    {32641, false}, {32642, false}, {32643, false}, {32644, false}, {32645, false}, {32646, false},
    {32648, false}, {32649, false}, {32650, false}, {32651, false},
};
CursorObject StandardIcons[] = {
    {32512, true}, {32513, true}, {32514, true}, {32515, true}, {32516, true}, {32517, true},
};

bool IsStandard(const void* p) {
    auto in = [&](const CursorObject* first, size_t n) {
        return p >= static_cast<const void*>(first) && p < static_cast<const void*>(first + n);
    };
    return in(StandardCursors, std::size(StandardCursors)) ||
           in(StandardIcons, std::size(StandardIcons));
}

std::vector<std::unique_ptr<CursorObject>>& LoadedIcons() {
    static std::vector<std::unique_ptr<CursorObject>> icons;
    return icons;
}

LRESULT HitTest(Window* w, POINT screen) {
    POINT wo = ScreenWindowOrigin(w);
    int x = screen.x - wo.x, y = screen.y - wo.y;
    int width = w->Rect.right - w->Rect.left, height = w->Rect.bottom - w->Rect.top;
    if (x < 0 || y < 0 || x >= width || y >= height)
        return HTNOWHERE;
    RECT in = FrameInsets(w);
    RECT client{in.left, in.top, width - in.right, height - in.bottom};
    POINT p{x, y};
    if (PtInRect(&client, p))
        return HTCLIENT;
    bool sizable = (w->Style & WS_THICKFRAME) && !w->Maximized();
    int frame = in.left;
    if (sizable) {
        bool left = x < frame, right = x >= width - frame, top = y < frame,
             bottom = y >= height - frame;
        if (top && left)
            return HTTOPLEFT;
        if (top && right)
            return HTTOPRIGHT;
        if (bottom && left)
            return HTBOTTOMLEFT;
        if (bottom && right)
            return HTBOTTOMRIGHT;
        if (left)
            return HTLEFT;
        if (right)
            return HTRIGHT;
        if (top)
            return HTTOP;
        if (bottom)
            return HTBOTTOM;
    }
    if ((w->Style & WS_CAPTION) == WS_CAPTION && y >= frame && y < in.top) {
        int button = in.top - frame;
        int fromRight = width - frame - x;
        if (fromRight >= 0 && fromRight < button && (w->Style & WS_SYSMENU))
            return HTCLOSE;
        if (fromRight >= button && fromRight < 2 * button && (w->Style & WS_MAXIMIZEBOX))
            return HTMAXBUTTON;
        if (fromRight >= 2 * button && fromRight < 3 * button && (w->Style & WS_MINIMIZEBOX))
            return HTMINBUTTON;
        if (x - frame < button && (w->Style & WS_SYSMENU))
            return HTSYSMENU;
        return HTCAPTION;
    }
    return HTBORDER;
}

HCURSOR CursorForHit(LRESULT hit) {
    switch (hit) {
    case HTLEFT:
    case HTRIGHT:
        return LoadCursorA(nullptr, IDC_SIZEWE);
    case HTTOP:
    case HTBOTTOM:
        return LoadCursorA(nullptr, IDC_SIZENS);
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return LoadCursorA(nullptr, IDC_SIZENWSE);
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        return LoadCursorA(nullptr, IDC_SIZENESW);
    default:
        return LoadCursorA(nullptr, IDC_ARROW);
    }
}

} // namespace

int CursorShapeId(HCURSOR cursor) {
    if (!cursor)
        return 0;
    auto* c = reinterpret_cast<const CursorObject*>(cursor);
    if (IsStandard(c))
        return c->Id;
    for (auto& i : LoadedIcons())
        if (i.get() == c)
            return 32512;
    return 0;
}

bool IconImage(HICON icon, int& width, int& height, std::vector<std::uint32_t>& pixels) {
    if (!icon || IsStandard(icon))
        return false;
    const CursorObject* found = nullptr;
    for (auto& i : LoadedIcons())
        if (reinterpret_cast<HICON>(i.get()) == icon)
            found = i.get();
    if (!found || !found->Data)
        return false;
    return DecodeIconResource(static_cast<const unsigned char*>(found->Data), found->Size, width,
                              height, pixels);
}

} // namespace platform::user

using namespace platform::user;

namespace {

LRESULT SetText(Window* w, const char* text) {
    w->Text = text ? text : "";
    if (w->IsTopLevel() && CurrentBackend())
        GetBackend().TopLevelChanged(w, Backend::Title);
    return TRUE;
}

LRESULT CopyText(const Window* w, WPARAM size, LPARAM buffer) {
    if (size == 0 || !buffer)
        return 0;
    auto* buf = reinterpret_cast<char*>(buffer);
    size_t n = std::min(w->Text.size(), size_t(size) - 1);
    std::memcpy(buf, w->Text.data(), n);
    buf[n] = 0;
    return LRESULT(n);
}

LRESULT EraseBackground(const Window* w, HDC dc) {
    HBRUSH brush = w->Class ? w->Class->Background : nullptr;
    if (!brush || !dc)
        return 0;
    RECT cr = ClientRectOf(w);
    FillRect(dc, &cr, brush);
    return 1;
}

// Top-level frames belong to the display's window manager; child windows get their
// border drawn here.
void PaintChildFrame(Window* w) {
    if (w->IsTopLevel())
        return;
    RECT in = FrameInsets(w);
    if (!in.left && !in.top && !in.right && !in.bottom)
        return;
    HDC dc = GetWindowDC(w->Handle);
    RECT r{0, 0, w->Rect.right - w->Rect.left, w->Rect.bottom - w->Rect.top};
    if (w->ExStyle & WS_EX_CLIENTEDGE) {
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    } else if (w->ExStyle & WS_EX_STATICEDGE) {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    }
    if (w->Style & (WS_BORDER | WS_THICKFRAME | WS_DLGFRAME)) {
        int width = in.left - ((w->ExStyle & WS_EX_CLIENTEDGE) ? 2 : 0) -
                    ((w->ExStyle & WS_EX_STATICEDGE) ? 1 : 0);
        HBRUSH frame = GetSysColorBrush(width > 1 ? COLOR_BTNFACE : COLOR_WINDOWFRAME);
        for (int i = 0; i < width; ++i) {
            FrameRect(dc, &r, frame);
            InflateRect(&r, -1, -1);
        }
    }
    ReleaseDC(w->Handle, dc);
}

// WM_SETCURSOR: a child asks its parent first; the client area shows the class cursor of
// the window under the pointer, the frame the sizing and arrow cursors.
LRESULT SetCursorFor(Window* w, WPARAM under, LPARAM lParam) {
    LRESULT hit = LRESULT(SHORT(LOWORD(DWORD_PTR(lParam))));
    UINT mouseMsg = HIWORD(DWORD_PTR(lParam));
    if ((w->Style & WS_CHILD) && w->Parent &&
        SendMessageA(w->Parent->Handle, WM_SETCURSOR, under, lParam))
        return TRUE;
    if (hit == HTERROR) {
        if (mouseMsg == WM_LBUTTONDOWN || mouseMsg == WM_RBUTTONDOWN)
            MessageBeep(0);
        return FALSE;
    }
    if (hit == HTCLIENT) {
        // The class cursor of the window under the pointer, also when a parent's default
        // procedure handles the message on the child's behalf.
        Window* shown = FromHandleQuiet(reinterpret_cast<HWND>(under));
        if (!shown)
            shown = w;
        if (shown->Class && shown->Class->Cursor) {
            SetCursor(shown->Class->Cursor);
            return TRUE;
        }
        return FALSE;
    }
    SetCursor(CursorForHit(hit));
    return TRUE;
}

// WM_WINDOWPOSCHANGED becomes WM_MOVE and WM_SIZE.
void PositionChanged(Window* w, const WINDOWPOS* wp) {
    HWND hwnd = w->Handle;
    if (!wp)
        return;
    if (!(wp->flags & SWP_NOMOVE)) {
        POINT co = ClientOriginInParent(w);
        SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(WORD(SHORT(co.x)), WORD(SHORT(co.y))));
    }
    if (!(wp->flags & SWP_NOSIZE) && FromHandleQuiet(hwnd)) {
        RECT cr = ClientRectOf(w);
        WPARAM kind = w->Minimized()   ? SIZE_MINIMIZED
                      : w->Maximized() ? SIZE_MAXIMIZED
                                       : SIZE_RESTORED;
        SendMessageA(hwnd, WM_SIZE, kind, MAKELPARAM(WORD(cr.right), WORD(cr.bottom)));
    }
}

// A press on the caption buttons becomes the matching window-menu command.
void CaptionButtonDown(Window* w, WPARAM hit, LPARAM lParam) {
    switch (hit) {
    case HTCLOSE:
        SendMessageA(w->Handle, WM_SYSCOMMAND, SC_CLOSE, lParam);
        break;
    case HTMAXBUTTON:
        SendMessageA(w->Handle, WM_SYSCOMMAND, w->Maximized() ? SC_RESTORE : SC_MAXIMIZE, lParam);
        break;
    case HTMINBUTTON:
        SendMessageA(w->Handle, WM_SYSCOMMAND, SC_MINIMIZE, lParam);
        break;
    default:
        break;
    }
}

void SystemCommand(Window* w, WPARAM command) {
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        // A disabled window (under a modal box) is not closed behind the box's back.
        if (w->Enabled() && !(w->Class && (w->Class->Style & CS_NOCLOSE)))
            SendMessageA(w->Handle, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE:
        ShowWindow(w->Handle, SW_MINIMIZE);
        break;
    case SC_MAXIMIZE:
        ShowWindow(w->Handle, SW_MAXIMIZE);
        break;
    case SC_RESTORE:
        ShowWindow(w->Handle, SW_RESTORE);
        break;
    default:
        break;
    }
}

// A child lets its parent decide first.
LRESULT MouseActivate(Window* w, WPARAM top, LPARAM lParam) {
    if ((w->Style & WS_CHILD) && w->Parent) {
        LRESULT r = SendMessageA(w->Parent->Handle, WM_MOUSEACTIVATE, top, lParam);
        if (r)
            return r;
    }
    return MA_ACTIVATE;
}

LRESULT SetIcon(Window* w, WPARAM which, HICON icon) {
    HICON& slot = which == ICON_SMALL ? w->IconSmall : w->IconBig;
    HICON old = slot;
    slot = icon;
    if (w->IsTopLevel() && CurrentBackend())
        GetBackend().TopLevelChanged(w, Backend::Icon);
    return LRESULT(old);
}

} // namespace

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FromHandleQuiet(hwnd);
    if (!w)
        return 0;
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT:
        return SetText(w, reinterpret_cast<const char*>(lParam));
    case WM_GETTEXT:
        return CopyText(w, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return LRESULT(w->Text.size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return EraseBackground(w, reinterpret_cast<HDC>(wParam));
    case WM_NCPAINT:
        PaintChildFrame(w);
        return 0;
    case WM_NCHITTEST:
        return HitTest(w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_SETCURSOR:
        return SetCursorFor(w, wParam, lParam);
    case WM_MOUSEACTIVATE:
        return MouseActivate(w, wParam, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !w->Minimized() && !(w->Style & WS_CHILD))
            SetFocus(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGED:
        PositionChanged(w, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_NCLBUTTONDOWN:
        CaptionButtonDown(w, wParam, lParam);
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (w->Style & WS_MAXIMIZEBOX))
            SendMessageA(hwnd, WM_SYSCOMMAND, w->Maximized() ? SC_RESTORE : SC_MAXIMIZE, lParam);
        return 0;
    case WM_SYSCOMMAND:
        SystemCommand(w, wParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == WPARAM(VK_F4) && (HIWORD(DWORD_PTR(lParam)) & KF_ALTDOWN)) // Alt+F4
            SendMessageA(TopLevelOf(w)->Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_CANCELMODE:
        if (Input().Capture == hwnd)
            ReleaseCapture();
        return 0;
    case WM_SETICON:
        return SetIcon(w, wParam, reinterpret_cast<HICON>(lParam));
    case WM_GETICON:
        return LRESULT(wParam == ICON_SMALL ? w->IconSmall : w->IconBig);
    case WM_NCACTIVATE:
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return LRESULT(GetSysColorBrush(COLOR_BTNFACE));
    default:
        return 0;
    }
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    int id = int(ULONG_PTR(name));
    for (auto& c : StandardCursors)
        if (c.Id == id)
            return reinterpret_cast<HCURSOR>(&c);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = Cursor().Shape;
    Cursor().Shape = cursor;
    if (old != cursor && CurrentBackend())
        GetBackend().SetCursorShape(cursor, Cursor().ShowCount >= 0);
    return old;
}

HCURSOR GetCursor() {
    return Cursor().Shape;
}

int ShowCursor(BOOL show) {
    Cursor().ShowCount += show ? 1 : -1;
    if (CurrentBackend())
        GetBackend().SetCursorShape(Cursor().Shape, Cursor().ShowCount >= 0);
    return Cursor().ShowCount;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        if (!IS_INTRESOURCE(name))
            return nullptr;
        int id = int(ULONG_PTR(name));
        for (auto& c : StandardIcons)
            if (c.Id == id)
                return reinterpret_cast<HICON>(&c);
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HRSRC res = FindResourceA(instance, name, RT_GROUP_ICON);
    const bool group = res != nullptr;
    if (!res)
        res = FindResourceA(instance, name, RT_ICON);
    if (!res)
        return nullptr;
    auto icon = std::make_unique<CursorObject>(CursorObject{0, true});
    icon->Data = LockResource(LoadResource(instance, res));
    icon->Size = SizeofResource(instance, res);
    if (group && platform::IsDataFileModule(instance)) {
        if (!AssembleIconFile(instance, static_cast<const unsigned char*>(icon->Data), icon->Size,
                              icon->Owned)) {
            SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
            return nullptr;
        }
        icon->Data = icon->Owned.data();
        icon->Size = DWORD(icon->Owned.size());
    }
    HICON h = reinterpret_cast<HICON>(icon.get());
    LoadedIcons().push_back(std::move(icon));
    return h;
}

BOOL DestroyIcon(HICON icon) {
    if (!icon)
        return FALSE;
    if (IsStandard(icon))
        return TRUE;
    auto& icons = LoadedIcons();
    auto it = std::find_if(icons.begin(), icons.end(),
                           [&](auto& p) { return reinterpret_cast<HICON>(p.get()) == icon; });
    if (it == icons.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    icons.erase(it);
    return TRUE;
}

BOOL DestroyCursor(HCURSOR cursor) {
    return DestroyIcon(cursor);
}

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int, int, UINT flags) {
    if (flags & LR_LOADFROMFILE)
        return nullptr;
    switch (type) {
    case IMAGE_ICON:
        return LoadIconA(instance, name);
    case IMAGE_CURSOR:
        return LoadCursorA(instance, name);
    case IMAGE_BITMAP:
        return LoadBitmapA(instance, name);
    default:
        return nullptr;
    }
}

BOOL MessageBeep(UINT) {
    return TRUE;
}
