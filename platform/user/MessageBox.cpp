// Message boxes: a modal window (class "#32770") with an icon, wrapped text and push
// buttons (class "Button"), running its own message loop so that timers of other windows
// keep ticking.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"
#include "platform/wingdi.h"

namespace platform::user {

int GetDlgCtrlIdOfFocus(HWND box, int fallback);

std::vector<MessageBoxRecord>& MessageBoxLog() {
    static std::vector<MessageBoxRecord> log;
    return log;
}

namespace {

constexpr WORD BN_CLICKED = 0;
constexpr int IconSize = 32;
constexpr int Margin = 14;
constexpr int ButtonWidth = 88;
constexpr int ButtonHeight = 26;
constexpr int ButtonGap = 8;

struct BoxState {
    std::string Text;
    UINT Flags = 0;
    int Result = 0;
    bool Done = false;
    HFONT Font = nullptr;
    RECT TextRect{};
    int DefaultId = IDOK;
    int CancelId = 0;
};

struct ButtonState {
    bool Pressed = false;
    bool Tracking = false;
};

HFONT MakeFont(bool bold = false) {
    LOGFONTA lf{};
    lf.lfHeight = -14;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    return CreateFontIndirectA(&lf);
}

// The icon a message box's flags ask for; 0 for none (no icon flag, or one of the
// values that name no icon).
UINT IconKind(UINT flags) {
    UINT kind = flags & MB_ICONMASK;
    switch (kind) {
    case MB_ICONHAND:
    case MB_ICONQUESTION:
    case MB_ICONEXCLAMATION:
    case MB_ICONASTERISK:
        return kind;
    default:
        return 0;
    }
}

// The four standard icons, 32 x 32, as a bottom-up 32-bit DIB over `background`: the stop
// sign (a red disc with a white cross), the question mark and the information sign (white
// on a blue disc) and the warning sign (a black exclamation mark on a yellow triangle).
std::vector<std::uint32_t> IconPixels(UINT kind, COLORREF background) {
    const std::uint32_t back = (std::uint32_t(GetRValue(background)) << 16) |
                               (std::uint32_t(GetGValue(background)) << 8) | GetBValue(background);
    constexpr std::uint32_t Red = 0x00D02020, Blue = 0x002060C0, Yellow = 0x00F0C020,
                            White = 0x00FFFFFF, Black = 0x00000000;
    std::vector<std::uint32_t> px(IconSize * IconSize, back);
    const double c = IconSize / 2.0, r = IconSize / 2.0 - 1;
    auto dist = [](double x, double y, double cx, double cy) {
        return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
    };
    for (int y = 0; y < IconSize; ++y)
        for (int x = 0; x < IconSize; ++x) {
            const double fx = x + 0.5, fy = y + 0.5;
            const bool inDisc = dist(fx, fy, c, c) <= r;
            std::uint32_t colour = back;
            switch (kind) {
            case MB_ICONHAND: {
                if (!inDisc)
                    break;
                double dx = fx - c, dy = fy - c;
                bool cross = (std::abs(dx - dy) < 2.6 || std::abs(dx + dy) < 2.6) &&
                             std::abs(dx) < r * 0.5 && std::abs(dy) < r * 0.5;
                colour = cross ? White : Red;
                break;
            }
            case MB_ICONQUESTION: {
                if (!inDisc)
                    break;
                double d = dist(fx, fy, c, 12);
                bool hook = d >= 3.5 && d <= 6.5 && (fy < 12 || fx > c);
                bool stem = std::abs(fx - c) <= 1.6 && fy >= 17 && fy <= 21;
                bool dot = dist(fx, fy, c, 25) <= 2;
                colour = hook || stem || dot ? White : Blue;
                break;
            }
            case MB_ICONEXCLAMATION: {
                bool inTriangle = fy >= 2 && fy <= 30 && std::abs(fx - c) <= (fy - 2) * 15 / 28;
                if (!inTriangle)
                    break;
                bool bar = std::abs(fx - c) <= 1.6 && fy >= 10 && fy <= 21;
                bool dot = dist(fx, fy, c, 25.5) <= 2;
                colour = bar || dot ? Black : Yellow;
                break;
            }
            case MB_ICONASTERISK: {
                if (!inDisc)
                    break;
                bool dot = dist(fx, fy, c, 9) <= 2.2;
                bool bar = std::abs(fx - c) <= 2 && fy >= 13 && fy <= 25;
                colour = dot || bar ? White : Blue;
                break;
            }
            default:
                break;
            }
            px[std::size_t((IconSize - 1 - y) * IconSize + x)] = colour;
        }
    return px;
}

struct ButtonIdAndLabel {
    int Id;
    const char* Label;
};

std::vector<ButtonIdAndLabel> ButtonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL:
        return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL:
        return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default:
        return {{IDOK, "OK"}};
    }
}

BoxState* StateOf(HWND hwnd) {
    return reinterpret_cast<BoxState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void Finish(HWND box, int id) {
    if (BoxState* st = StateOf(box)) {
        st->Result = id;
        st->Done = true;
    }
}

void PaintButton(HWND hwnd, bool pressed) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    char text[64];
    GetWindowTextA(hwnd, text, sizeof text);
    HWND parent = GetParent(hwnd);
    BoxState* box = parent ? StateOf(parent) : nullptr;
    HGDIOBJ oldFont = box && box->Font ? SelectObject(dc, box->Font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    if (pressed)
        OffsetRect(&r, 1, 1);
    DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont)
        SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

// The button is let go while tracked: a release over it is a click.
void ReleaseButton(HWND hwnd, ButtonState& st) {
    st.Tracking = false;
    bool clicked = st.Pressed;
    st.Pressed = false;
    ReleaseCapture();
    InvalidateRect(hwnd, nullptr, TRUE);
    if (clicked)
        SendMessageA(GetParent(hwnd), WM_COMMAND,
                     MAKEWPARAM(WORD(GetWindowLongPtrA(hwnd, GWLP_ID)), BN_CLICKED), LPARAM(hwnd));
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        auto* st = reinterpret_cast<ButtonState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(new ButtonState));
            return TRUE;
        case WM_NCDESTROY:
            delete st;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            return 0;
        case WM_PAINT:
            PaintButton(hwnd, st && st->Pressed);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (st) {
                st->Pressed = st->Tracking = true;
                SetCapture(hwnd);
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (st && st->Tracking) {
                RECT r;
                GetClientRect(hwnd, &r);
                bool inside = PtInRect(&r, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                if (inside != st->Pressed) {
                    st->Pressed = inside;
                    InvalidateRect(hwnd, nullptr, TRUE);
                }
            }
            return 0;
        case WM_LBUTTONUP:
            if (st && st->Tracking)
                ReleaseButton(hwnd, *st);
            return 0;
        case WM_CAPTURECHANGED:
            if (st && st->Tracking) {
                st->Tracking = st->Pressed = false;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_KEYDOWN:
        case WM_CHAR:
            return SendMessageA(GetParent(hwnd), msg, wParam, lParam);
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

LRESULT BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        BoxState* st = StateOf(hwnd);
        switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(cs->lpCreateParams));
            return TRUE;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (st) {
                if (UINT kind = IconKind(st->Flags)) {
                    BITMAPINFO bi{};
                    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
                    bi.bmiHeader.biWidth = IconSize;
                    bi.bmiHeader.biHeight = IconSize;
                    bi.bmiHeader.biPlanes = 1;
                    bi.bmiHeader.biBitCount = 32;
                    bi.bmiHeader.biCompression = BI_RGB;
                    StretchDIBits(dc, Margin, Margin, IconSize, IconSize, 0, 0, IconSize, IconSize,
                                  IconPixels(kind, GetSysColor(COLOR_BTNFACE)).data(), &bi,
                                  DIB_RGB_COLORS, SRCCOPY);
                }
                HGDIOBJ oldFont = st->Font ? SelectObject(dc, st->Font) : nullptr;
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                RECT tr = st->TextRect;
                DrawTextA(dc, st->Text.c_str(), -1, &tr, DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
                if (oldFont)
                    SelectObject(dc, oldFont);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED)
                Finish(hwnd, LOWORD(wParam));
            return 0;
        case WM_KEYDOWN:
            if (!st)
                return 0;
            if (wParam == WPARAM(VK_RETURN) || wParam == WPARAM(VK_SPACE))
                Finish(hwnd, GetDlgCtrlIdOfFocus(hwnd, st->DefaultId));
            else if (wParam == WPARAM(VK_ESCAPE) &&
                     (st->CancelId || (st->Flags & MB_TYPEMASK) == MB_OK))
                Finish(hwnd, st->CancelId ? st->CancelId : IDOK);
            return 0;
        case WM_CLOSE:
            if (st && (st->CancelId || (st->Flags & MB_TYPEMASK) == MB_OK))
                Finish(hwnd, st->CancelId ? st->CancelId : IDOK);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

} // namespace

int GetDlgCtrlIdOfFocus(HWND box, int fallback) {
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == box)
        return int(GetWindowLongPtrA(focus, GWLP_ID));
    return fallback;
}

void RegisterSystemClasses() {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = BoxProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "#32770";
    RegisterClassA(&wc);
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ButtonProc;
    wc.lpszClassName = "Button";
    RegisterClassA(&wc);
}

} // namespace platform::user

using namespace platform::user;

namespace {

// The text's rectangle, wrapped to `maxWidth`.
RECT MeasureBoxText(const BoxState& state, int maxWidth) {
    RECT tr{0, 0, maxWidth, 0};
    HDC dc = GetDC(nullptr);
    HGDIOBJ oldFont = state.Font ? SelectObject(dc, state.Font) : nullptr;
    int h = DrawTextA(dc, state.Text.empty() ? " " : state.Text.c_str(), -1, &tr,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (oldFont)
        SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);
    if (h <= 0 || tr.right <= 0) {
        // No text measurement available: estimate with an average character width.
        int chars = int(state.Text.size());
        int perLine = std::max(1, maxWidth / 7);
        tr = RECT{0, 0, std::min(maxWidth, std::max(chars, 1) * 7),
                  17 * std::max(1, (chars + perLine - 1) / perLine)};
    }
    return tr;
}

// The top-left corner of a box of `width` by `height` centred on its owner (or on the
// screen), kept on the screen.
POINT CentreBox(HWND ownerTop, const RECT& screen, int width, int height) {
    RECT centre = screen;
    if (ownerTop) {
        RECT orc;
        GetWindowRect(ownerTop, &orc);
        if (IsWindowVisible(ownerTop) && !IsIconic(ownerTop) && orc.right > orc.left)
            centre = orc;
        else if (orc.right == orc.left)
            centre = RECT{orc.left, orc.top, orc.left, orc.top};
    }
    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    x = std::clamp(x, int(screen.left), std::max(int(screen.left), int(screen.right) - width));
    y = std::clamp(y, int(screen.top), std::max(int(screen.top), int(screen.bottom) - height));
    return POINT{x, y};
}

// Disables the owner, or every enabled top-level window of the task; returns them.
std::vector<HWND> DisableForBox(UINT type, HWND ownerTop) {
    std::vector<HWND> disabled;
    if (type & MB_TASKMODAL)
        for (Window* w : Windows().Desktop->Children)
            if (w->Enabled() && w->Visible() && w->Class && w->Class->Name != "#32770")
                disabled.push_back(w->Handle);
    if (ownerTop && IsWindowEnabled(ownerTop) &&
        std::find(disabled.begin(), disabled.end(), ownerTop) == disabled.end())
        disabled.push_back(ownerTop);
    for (HWND w : disabled)
        EnableWindow(w, FALSE);
    return disabled;
}

void EnableAgain(const std::vector<HWND>& disabled) {
    for (HWND w : disabled)
        if (IsWindow(w))
            EnableWindow(w, TRUE);
}

// Makes the buttons in a centred row at the bottom; returns the default one.
HWND AddBoxButtons(HWND box, const std::vector<ButtonIdAndLabel>& buttons, int clientW, int clientH,
                   int defaultId) {
    int buttonsWidth = int(buttons.size()) * ButtonWidth + int(buttons.size() - 1) * ButtonGap;
    int bx = (clientW - buttonsWidth) / 2;
    int by = clientH - Margin - ButtonHeight;
    HWND focusButton = nullptr;
    for (auto& b : buttons) {
        HWND bw = CreateWindowExA(0, "Button", b.Label, WS_CHILD | WS_VISIBLE | WS_TABSTOP, bx, by,
                                  ButtonWidth, ButtonHeight, box,
                                  reinterpret_cast<HMENU>(std::uintptr_t(b.Id)), nullptr, nullptr);
        if (b.Id == defaultId)
            focusButton = bw;
        bx += ButtonWidth + ButtonGap;
    }
    return focusButton;
}

// Whatever leaves the box's loop (also an exception from a window procedure that the loop
// dispatched), the box goes and the windows it disabled come back.
struct BoxCleanup {
    std::vector<HWND>& Disabled;
    HWND Box;
    BoxState& State;
    bool Done = false;
    void Run() {
        if (Done)
            return;
        Done = true;
        EnableAgain(Disabled);
        if (IsWindow(Box)) {
            SetWindowLongPtrA(Box, GWLP_USERDATA, 0);
            DestroyWindow(Box);
        }
        if (State.Font)
            DeleteObject(State.Font);
        State.Font = nullptr;
    }
    ~BoxCleanup() { Run(); }
};

// Runs the messages until the box is answered or goes; returns the answer.
int RunBoxLoop(BoxState& state, HWND box, const char* caption) {
    DWORD opened = GetTickCount();
    while (!state.Done && IsWindow(box)) {
        const PumpResult pumped = DispatchNext();
        if (pumped == PumpResult::Quit)
            break;
        if (pumped == PumpResult::Dispatched)
            continue;
        // Where nobody may ever answer, the box gives its default answer once nothing can
        // come any more.
        if (!GetBackend().InputCanArrive(GetTickCount() - opened, !Timers().List.empty())) {
            state.Result = state.DefaultId;
            if (BackendIsFallback()) // nobody sees the box: its text goes to the terminal
                std::fprintf(stderr, "%s: %s\n", caption, state.Text.c_str());
            break;
        }
        WaitMessage();
    }
    return state.Done ? state.Result : (state.Result ? state.Result : state.DefaultId);
}

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    EnsureInit();
    if (owner && !IsWindow(owner))
        owner = nullptr;
    if (!caption)
        caption = "Error";
    BoxState state;
    state.Text = text ? text : "";
    state.Flags = type;
    auto buttons = ButtonsFor(type);
    state.DefaultId = buttons[std::min<size_t>((type >> 8) & 0xF, buttons.size() - 1)].Id;
    for (auto& b : buttons)
        if (b.Id == IDCANCEL)
            state.CancelId = IDCANCEL;
    state.Font = MakeFont();

    // The text is wrapped to at most half the screen's width.
    RECT screen = GetBackend().ScreenRect();
    RECT tr = MeasureBoxText(state, std::max(240, int(screen.right - screen.left) / 2 - 80));
    bool icon = IconKind(type) != 0;
    int textLeft = Margin + (icon ? IconSize + Margin : 0);
    int textHeight = tr.bottom - tr.top;
    int contentHeight = std::max(textHeight, icon ? IconSize : 0);
    int buttonsWidth = int(buttons.size()) * ButtonWidth + int(buttons.size() - 1) * ButtonGap;
    int clientW = std::max(textLeft + int(tr.right - tr.left) + Margin, buttonsWidth + 2 * Margin);
    clientW = std::max(clientW, 180);
    int clientH = Margin + contentHeight + Margin + ButtonHeight + Margin;
    state.TextRect = RECT{textLeft, Margin + std::max(0, (contentHeight - textHeight) / 2),
                          textLeft + (tr.right - tr.left), 0};
    state.TextRect.bottom = state.TextRect.top + textHeight;

    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    DWORD exStyle =
        WS_EX_DLGMODALFRAME | ((type & (MB_TOPMOST | MB_SYSTEMMODAL)) ? WS_EX_TOPMOST : 0);
    RECT outer{0, 0, clientW, clientH};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
    HWND ownerTop = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    POINT at = CentreBox(ownerTop, screen, ow, oh);

    std::vector<HWND> disabled = DisableForBox(type, ownerTop);
    HWND box = CreateWindowExA(exStyle, "#32770", caption, style, at.x, at.y, ow, oh, ownerTop,
                               nullptr, nullptr, &state);
    if (!box) {
        EnableAgain(disabled);
        if (state.Font)
            DeleteObject(state.Font);
        return 0;
    }
    MessageBoxLog().push_back(MessageBoxRecord{box, caption, state.Text, type, 0});
    size_t logIndex = MessageBoxLog().size() - 1;
    HWND focusButton = AddBoxButtons(box, buttons, clientW, clientH, state.DefaultId);
    ShowWindow(box, SW_SHOW);
    if (focusButton)
        SetFocus(focusButton);

    BoxCleanup cleanup{disabled, box, state};
    int result = RunBoxLoop(state, box, caption);
    if (logIndex < MessageBoxLog().size())
        MessageBoxLog()[logIndex].Result = result;
    cleanup.Run();
    if (ownerTop && IsWindow(ownerTop) && IsWindowVisible(ownerTop))
        SetActiveWindow(ownerTop);
    return result;
}
