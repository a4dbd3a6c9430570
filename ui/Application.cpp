#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

#include "formstream/ClassRegistry.h"
#include "platform/phases.h"
#include "ui/Forms.h"

namespace ui {

using namespace formstream;

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 2;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_FOCUSTOP = CM_BASE + 34;

TApplication::TStartupHook gStartupHook = nullptr;
bool gExitStepRegistered = false;

void AtExit() {
    DoneApplication();
}

// Where the character that ends at `end` begins (a double-byte character counts as one).
std::size_t LastCharStart(std::string_view s) {
    if (s.empty())
        return 0;
    std::string copy(s);
    const char* begin = copy.c_str();
    const char* last = ::CharPrevA(begin, begin + copy.size());
    return static_cast<std::size_t>(last - begin);
}

// The main module's full path, however long: GetModuleFileNameA fills the whole buffer
// when the path does not fit, so the buffer grows until the answer is shorter than it
// (up to the longest path the system has, 32767 characters).
std::string ModuleFileName() {
    constexpr std::size_t longestPath = 32767;
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n < buffer.size() || buffer.size() > longestPath) {
            buffer.resize(std::min<std::size_t>(n, buffer.size() - 1));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string Demangle(const char* name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                               std::free);
    return status == 0 && out ? std::string(out.get()) : std::string(name);
}

} // namespace

void InitApplication() {
    RegisterFormsUnit();
    if (!Screen)
        Screen = new TScreen(nullptr);
    if (!Application) {
        Application = new TApplication(nullptr);
        Application->SetShowHint(true);
    }
}

void DoneApplication() {
    if (Application) {
        Application->Shutdown();
        TApplication* app = Application;
        Free(app);
        Application = nullptr;
    }
    if (Screen) {
        TScreen* screen = Screen;
        Free(screen);
        Screen = nullptr;
    }
}

void HandleException(TObject* sender) {
    if (Application) {
        Application->HandleLoopException(sender);
        return;
    }
    // No application object to show it: at least say so on the error output.
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& e) {
        ::OutputDebugStringA(e.what());
    } catch (...) {
        ::OutputDebugStringA("unknown exception in a handler");
    }
}

std::string TitleFromExeName(std::string_view path) {
    std::string s(path);
    // The system's name is in the OEM character set; titles are in the ANSI one.
    if (!s.empty())
        ::OemToCharBuffA(s.c_str(), s.data(), DWORD(s.size()));
    // Cut after the last separator and at the first dot, stepping by characters so that a
    // trailing byte of a double-byte character is never taken for either.
    std::size_t nameStart = 0;
    for (const char* p = s.c_str(); *p; p = ::CharNextA(p))
        if (*p == '\\' || *p == '/')
            nameStart = std::size_t(p - s.c_str()) + 1;
    std::string name = s.substr(nameStart);
    for (const char* p = name.c_str(); *p; p = ::CharNextA(p))
        if (*p == '.') {
            name.resize(std::size_t(p - name.c_str()));
            break;
        }
    if (!name.empty()) {
        const std::size_t first = std::size_t(::CharNextA(name.c_str()) - name.c_str());
        if (first < name.size())
            ::CharLowerBuffA(name.data() + first, DWORD(name.size() - first));
    }
    return name;
}

std::string ErrorMessageText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && text.substr(LastCharStart(text)).compare(".") > 0)
        text += '.';
    return text;
}

// --- TApplication

constinit const TClassInfo TApplication::ClassInfo =
    ClassInfoOf<TApplication, TComponent>("TApplication");

TApplication::TApplication(TComponent* owner, bool createWindow) : TComponent(owner) {
    FIcon = ::LoadIconA(::GetModuleHandleA(nullptr), "MAINICON");
    FTitle = TitleFromExeName(ModuleFileName());
    if (createWindow)
        CreateAppWindow();
    FShowMainForm = true;
}

TApplication::~TApplication() = default;

void TApplication::BeforeDestruction() {
    Shutdown();
    TComponent::BeforeDestruction();
    if (FHandle) {
        HWND h = FHandle;
        FHandle = nullptr;
        ::DestroyWindow(h);
    }
    if (Application == this)
        Application = nullptr;
}

void TApplication::CreateAppWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &TApplication::AppWndProc;
    wc.hIcon = FIcon;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "TApplication";
    EnsureWindowClass(wc);
    FHandle =
        ::CreateWindowExA(0, "TApplication", FTitle.c_str(),
                          WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                          ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2,
                          0, 0, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!FHandle)
        return;
    SetIcon(FIcon);
    HMENU menu = ::GetSystemMenu(FHandle, FALSE);
    ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
}

void TApplication::SetIcon(HICON icon) {
    FIcon = icon;
    if (FHandle && FIcon) {
        ::SendMessageA(FHandle, WM_SETICON, ICON_BIG, LPARAM(FIcon));
        ::SetClassLongPtrA(FHandle, GCLP_HICON, LONG_PTR(FIcon));
    }
}

void TApplication::SetStartupHook(TStartupHook hook) {
    gStartupHook = hook;
}

void TApplication::Startup() {
    if (gStartupHook)
        gStartupHook();
}

std::string TApplication::Title() const {
    if (!FHandle)
        return FTitle;
    char buffer[256] = {};
    const int n = ::GetWindowTextA(FHandle, buffer, int(sizeof buffer));
    return std::string(buffer, std::size_t(n > 0 ? n : 0));
}

void TApplication::SetTitle(const std::string& value) {
    FTitle = value;
    if (FHandle)
        ::SetWindowTextA(FHandle, value.c_str());
}

std::string TApplication::ExecutablePath() const {
    return ModuleFileName();
}

void TApplication::MakeForm(TClass formClass, TComponent*& reference) {
    reference = nullptr;
    if (!formClass || !formClass->InheritsFrom(&TCustomForm::ClassInfo) || !formClass->Construct)
        throw rtl::EInvalidOperation(
            rtl::Format("Cannot make a form of class %s", formClass ? formClass->Name : "(none)"));
    auto* form = static_cast<TCustomForm*>(formClass->Create(this));
    reference = form;
    try {
        FormMade(form);
    } catch (...) {
        reference = nullptr;
        Free(form);
        throw;
    }
}

void TApplication::FormMade(TCustomForm* form) {
    platform::MarkPhase("form-read");
    form->AfterConstruction();
    if (!FMainForm && Isa<TForm>(form)) {
        form->HandleNeeded();
        FMainForm = form;
    }
    platform::MarkPhase("form-made");
}

void TApplication::RunLoop() {
    FRunning = true;
    struct TNotRunning {
        bool& Flag;
        ~TNotRunning() { Flag = false; }
    } notRunning{FRunning};
    if (!gExitStepRegistered) {
        gExitStepRegistered = true;
        std::atexit(&AtExit);
    }
    if (!FMainForm)
        return;
    int show = FStartupShowState;
    if (show < 0) {
        STARTUPINFOA info{};
        info.cb = sizeof info;
        ::GetStartupInfoA(&info);
        show = (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWDEFAULT;
    }
    if (show == SW_SHOWMAXIMIZED)
        FMainForm->SetWindowState(wsMaximized);
    else if (show == SW_SHOWMINNOACTIVE)
        FMainForm->FWindowState = wsMinimized;
    if (FShowMainForm) {
        // A main form that starts minimised is shown so, without the activation: it is on
        // the desktop then, where the user restores it. Minimising the application alone
        // would leave no window to restore, since the form was never shown.
        FMainForm->SetVisible(true);
        if (FMainForm->WindowState() == wsMinimized)
            Minimize();
    }
    while (!FTerminated) {
        try {
            HandleMessage();
        } catch (...) {
            HandleLoopException(this);
        }
    }
}

void TApplication::RequestTerminate() {
    ::PostQuitMessage(0);
}

void TApplication::HandleMessage(bool wait) {
    MSG msg{};
    if (!ProcessMessage(msg))
        Idle(msg, wait);
}

void TApplication::ProcessMessages() {
    MSG msg{};
    while (ProcessMessage(msg)) {
    }
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    bool handled = false;
    OnMessage(msg, handled);
    if (!handled && !IsKeyMsg(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}

bool TApplication::IsKeyMsg(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > 0x0108)
        return false;
    HWND target = nullptr;
    HWND captured = ::GetCapture();
    if (captured && TWinControl::FindControl(captured)) {
        target = captured;
    } else {
        for (HWND h = msg.hwnd; h; h = ::GetParent(h))
            if (TWinControl::FindControl(h)) {
                target = h;
                break;
            }
    }
    if (!target)
        return false;
    return ::SendMessageA(target, msg.message + CN_BASE, msg.wParam, msg.lParam) != 0;
}

void TApplication::Idle(const MSG&, bool wait) {
    POINT p{};
    TControl* control = nullptr;
    if (::GetCursorPos(&p))
        control = FindDragTarget({p.x, p.y}, true);
    if (control != FMouseControl) {
        TControl* captured = GetCaptureControl();
        if (FMouseControl && (!captured || captured == FMouseControl))
            FMouseControl->Perform(CM_MOUSELEAVE, 0, 0);
        FMouseControl = control;
        if (FMouseControl && (!captured || captured == FMouseControl))
            FMouseControl->Perform(CM_MOUSEENTER, 0, 0);
    }
    FHint = control ? control->Hint() : std::string();
    bool done = true;
    try {
        OnIdle(this, done);
    } catch (...) {
        HandleLoopException(this);
    }
    if (done && wait)
        ::WaitMessage();
}

void TApplication::ControlDestroyed(TControl* control) {
    if (FMouseControl == control)
        FMouseControl = nullptr;
    if (FMainForm == control)
        FMainForm = nullptr;
}

void TApplication::Minimize() {
    if (FHandle && !::IsIconic(FHandle)) {
        for (TCustomForm* form :
             Screen ? std::vector<TCustomForm*>(Screen->FForms) : std::vector<TCustomForm*>())
            if (form->HandleAllocated() && ::IsWindowVisible(form->Handle()))
                ::ShowWindow(form->Handle(), SW_MINIMIZE);
    }
}

void TApplication::Restore() {
    if (!Screen)
        return;
    for (TCustomForm* form : std::vector<TCustomForm*>(Screen->FForms))
        if (form->HandleAllocated() && ::IsIconic(form->Handle()))
            ::ShowWindow(form->Handle(), SW_RESTORE);
}

void TApplication::Shutdown() {
    if (FHandle) {
        // Hide the pop-ups the application window owns.
        for (const HWND h : [&] {
                 std::vector<HWND> owned;
                 ::EnumThreadWindows(
                     ::GetCurrentThreadId(),
                     [](HWND w, LPARAM list) -> BOOL {
                         reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
                         return TRUE;
                     },
                     LPARAM(&owned));
                 return owned;
             }())
            if (::GetWindow(h, GW_OWNER) == FHandle && ::IsWindowVisible(h))
                ::ShowWindow(h, SW_HIDE);
    }
    FShowHint = false;
    Destroying();
    DestroyComponents();
    FMainForm = nullptr;
    FMouseControl = nullptr;
}

// --- exceptions

void TApplication::HandleLoopException(TObject* sender) {
    std::exception_ptr current = std::current_exception();
    if (HWND captured = ::GetCapture())
        ::SendMessageA(captured, WM_CANCELMODE, 0, 0);
    if (!current)
        return;
    try {
        std::rethrow_exception(current);
    } catch (const rtl::EAbort&) {
    } catch (const rtl::Exception& e) {
        if (OnException)
            OnException(sender, e);
        else
            ShowErrorMessage(e);
    } catch (const std::exception& e) {
        ShowRuntimeError(typeid(e).name(), e.what(), &e);
    } catch (...) {
        ShowRuntimeError(nullptr, std::string(), nullptr);
    }
}

void TApplication::ShowRuntimeError(const char* className, const std::string& message,
                                    const void* address) {
    const std::string name = className ? Demangle(className) : std::string("(unknown)");
    std::string module = ModuleFileName();
    const std::size_t slash = module.find_last_of("\\/");
    if (slash != std::string::npos)
        module.erase(0, slash + 1);
    std::string text = rtl::Format(rtl::LoadResString(rtl::SException), name, module, address,
                                   message, ErrorMessageText(message).substr(message.size()));
    if (text.size() > 1024)
        text.resize(1024);
    const std::string caption = rtl::LoadResString(rtl::SExceptTitle);
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_TASKMODAL | MB_ICONERROR);
}

void TApplication::ShowErrorMessage(const rtl::Exception& e) {
    ShowMessageBox(ErrorMessageText(e.Message()), Title(), MB_ICONERROR);
}

int TApplication::ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    HWND active = ::GetActiveWindow();
    RECT appRect{};
    bool moved = false;
    if (FHandle && active && active != FHandle) {
        HMONITOR activeMonitor = ::MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
        if (activeMonitor != ::MonitorFromWindow(FHandle, MONITOR_DEFAULTTONEAREST)) {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (::GetMonitorInfoA(activeMonitor, &info)) {
                ::GetWindowRect(FHandle, &appRect);
                ::SetWindowPos(FHandle, nullptr, (info.rcMonitor.left + info.rcMonitor.right) / 2,
                               (info.rcMonitor.top + info.rcMonitor.bottom) / 2, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
                moved = true;
            }
        }
    }
    struct TState {
        std::vector<HWND> Disabled;
        HWND Skip;
    } state{{}, FHandle};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<TState*>(param);
            if (w != s->Skip && ::IsWindowVisible(w) && ::IsWindowEnabled(w)) {
                s->Disabled.push_back(w);
            }
            return TRUE;
        },
        LPARAM(&state));
    for (HWND w : state.Disabled)
        ::EnableWindow(w, FALSE);
    HWND focus = ::GetFocus();
    struct TRestoreAll {
        TApplication* App;
        TState& State;
        HWND Active;
        HWND Focus;
        bool Moved;
        RECT AppRect;
        ~TRestoreAll() {
            if (Moved && App->FHandle)
                ::SetWindowPos(App->FHandle, nullptr, AppRect.left, AppRect.top, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
            for (HWND w : State.Disabled)
                if (::IsWindow(w))
                    ::EnableWindow(w, TRUE);
            if (Active && ::IsWindow(Active))
                ::SetActiveWindow(Active);
            if (Focus && ::IsWindow(Focus))
                ::SetFocus(Focus);
        }
    } restore{this, state, active, focus, moved, appRect};
    return ::MessageBoxA(FHandle, text.c_str(), caption.c_str(), flags);
}

// --- the application window

LRESULT TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!Application || Application->FHandle != hwnd)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    try {
        Application->WndProc(m);
    } catch (...) {
        if (Application)
            Application->HandleLoopException(Application);
    }
    return m.Result;
}

void TApplication::WndProc(TMessage& m) {
    auto defaultProc = [&] { m.Result = ::DefWindowProcA(FHandle, m.Msg, m.WParam, m.LParam); };
    switch (m.Msg) {
    case WM_CLOSE:
        if (FMainForm)
            FMainForm->Close();
        return;
    case WM_ENDSESSION:
        if (m.WParam)
            FTerminated = true;
        return;
    case WM_ACTIVATEAPP:
        FActive = m.WParam != 0;
        ::PostMessageA(FHandle, FActive ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
        defaultProc();
        return;
    case CM_ACTIVATE:
        OnActivate(this);
        return;
    case CM_DEACTIVATE:
        OnDeactivate(this);
        return;
    case WM_SYSCOMMAND:
        switch (m.WParam & 0xFFF0) {
        case SC_MINIMIZE:
            Minimize();
            return;
        case SC_RESTORE:
            Restore();
            return;
        default:
            defaultProc();
            return;
        }
    case WM_SETFOCUS:
        ::PostMessageA(FHandle, CM_FOCUSTOP, 0, 0);
        defaultProc();
        return;
    case CM_FOCUSTOP:
        if (::GetFocus() == FHandle && !::IsIconic(FHandle) && FMainForm &&
            FMainForm->HandleAllocated() && ::IsWindowVisible(FMainForm->Handle()))
            ::SetFocus(FMainForm->Handle());
        return;
    case WM_ENABLE:
        if (!m.WParam) {
            FTaskDisabled.clear();
            if (Screen)
                for (TCustomForm* form : Screen->FForms)
                    if (form->HandleAllocated() && ::IsWindowEnabled(form->Handle())) {
                        FTaskDisabled.push_back(form->Handle());
                        ::EnableWindow(form->Handle(), FALSE);
                    }
        } else {
            for (HWND h : FTaskDisabled)
                if (::IsWindow(h))
                    ::EnableWindow(h, TRUE);
            FTaskDisabled.clear();
        }
        return;
    case WM_NULL:
        return;
    case CM_RELEASE:
        if (Screen) {
            auto* form = reinterpret_cast<TCustomForm*>(m.LParam);
            if (Screen->HasForm(form))
                Free(form);
        }
        return;
    default:
        break;
    }
    if (m.Msg >= WM_CTLCOLORMSGBOX && m.Msg <= WM_CTLCOLORSTATIC) {
        m.Result =
            ::SendMessageA(reinterpret_cast<HWND>(m.LParam), m.Msg + CN_BASE, m.WParam, m.LParam);
        return;
    }
    defaultProc();
}

} // namespace ui
