#include "tools/dev/scenario/Runner.h"

#include "app/Main.h"
#include "app/Program.h"
#include "media/MPlayer.h"
#include "platform/testing/Testing.h"
#include "platform/win32.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"

namespace scenario {

namespace {

namespace pt = platform::testing;

constexpr UINT_PTR StepTimer = 1;
constexpr char StepClass[] = "QuillotScenarioStepper";

// A value in double quotes: a quote inside is doubled, a control character is written
// as \xHH; everything else, backslashes included, stands as it is.
std::string Quoted(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string q = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"') {
            q += "\"\"";
        } else if (u < 0x20 || u == 0x7F) {
            q += "\\x";
            q += hex[u >> 4];
            q += hex[u & 15];
        } else {
            q += c;
        }
    }
    return q + "\"";
}

// Whether the window's client area is the whole screen (a window shown full screen).
bool CoversTheScreen(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    return origin.x == 0 && origin.y == 0 && client.right == GetSystemMetrics(SM_CXSCREEN) &&
           client.bottom == GetSystemMetrics(SM_CYSCREEN);
}

class TRunner {
public:
    TRunner(const std::vector<TCommand>& commands, std::ostream& out, std::ostream& err)
        : FCommands(commands), FOut(out), FErr(err) {}

    bool Start();
    bool Failed() const { return FFailed; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Arm(UINT delay) { SetTimer(FWindow, StepTimer, delay, nullptr); }
    void Step();
    bool Idle() const;
    void Finish();
    // Runs one line; false when the script cannot go on.
    bool Execute(const TCommand& c);
    HWND MainWindow() const;
    bool ToScreen(int x, int y, POINT& p) const;
    void Dump();
    void DumpBoxes();
    void Fail(const TCommand& c, const std::string& message);

    const std::vector<TCommand>& FCommands;
    std::ostream& FOut;
    std::ostream& FErr;
    HWND FWindow = nullptr;
    std::size_t FNext = 0;
    bool FFailed = false;
    bool FDone = false;
};

TRunner* gRunner = nullptr;

LRESULT CALLBACK TRunner::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == StepTimer && gRunner) {
        gRunner->Step();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool TRunner::Start() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &TRunner::WndProc;
    wc.lpszClassName = StepClass;
    wc.hInstance = GetModuleHandleA(nullptr);
    RegisterClassA(&wc);
    FWindow = CreateWindowExA(0, StepClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
    if (!FWindow)
        return false;
    gRunner = this;
    Arm(0);
    return true;
}

// Nothing but this stepper's own tick is waiting: no posted message, no input, nothing
// to paint and no other timer due.
bool TRunner::Idle() const {
    const DWORD status =
        GetQueueStatus(QS_POSTMESSAGE | QS_KEY | QS_MOUSE | QS_PAINT | QS_TIMER) & 0xFFFF;
    return status == 0;
}

void TRunner::Step() {
    KillTimer(FWindow, StepTimer);
    if (FDone)
        return;
    if (!Idle()) {
        Arm(0);
        return;
    }
    if (FNext >= FCommands.size() || FFailed) {
        Finish();
        return;
    }
    const TCommand& c = FCommands[FNext++];
    if (!Execute(c)) {
        Finish();
        return;
    }
    Arm(c.Kind == TCommandKind::Advance ? UINT(c.A) : 0);
}

// The script is over: answer any box still open, then ask the program to end.
void TRunner::Finish() {
    if (pt::FindMessageBox().Handle) {
        pt::PressMessageBoxButton(nullptr, IDOK);
        Arm(0);
        return;
    }
    FDone = true;
    PostQuitMessage(0);
}

void TRunner::Fail(const TCommand& c, const std::string& message) {
    FErr << "scenario: line " << c.Line << ": " << message << "\n";
    FFailed = true;
}

HWND TRunner::MainWindow() const {
    if (!app::Form1 || !app::Form1->HandleAllocated())
        return nullptr;
    return app::Form1->Handle();
}

bool TRunner::ToScreen(int x, int y, POINT& p) const {
    HWND main = MainWindow();
    if (!main)
        return false;
    p = POINT{x, y};
    ClientToScreen(main, &p);
    return true;
}

bool TRunner::Execute(const TCommand& c) {
    POINT p{};
    switch (c.Kind) {
    case TCommandKind::ClickName: {
        auto* control =
            app::Form1 ? formstream::DynCast<ui::TControl>(app::Form1->FindOwnedComponent(c.Text))
                       : nullptr;
        if (!control) {
            Fail(c, "unknown component " + c.Text);
            return false;
        }
        if (!ToScreen(control->Left() + control->Width() / 2,
                      control->Top() + control->Height() / 2, p))
            break;
        pt::Click(p.x, p.y);
        break;
    }
    case TCommandKind::ClickAt:
        if (ToScreen(c.A, c.B, p))
            pt::Click(p.x, p.y);
        break;
    case TCommandKind::Press:
        if (ToScreen(c.A, c.B, p))
            pt::MouseDown(p.x, p.y);
        break;
    case TCommandKind::Move:
        if (ToScreen(c.A, c.B, p))
            pt::MouseMove(p.x, p.y);
        break;
    case TCommandKind::Release:
        if (ToScreen(c.A, c.B, p))
            pt::MouseUp(p.x, p.y);
        break;
    case TCommandKind::Key:
        pt::KeyPress(c.A);
        break;
    case TCommandKind::Advance:
        break; // the step timer waits
    case TCommandKind::Resize:
        if (HWND main = MainWindow()) {
            ShowWindow(main, SW_RESTORE);
            SetWindowPos(main, nullptr, 0, 0, c.A, c.B, SWP_NOMOVE | SWP_NOZORDER);
        }
        break;
    case TCommandKind::Maximize:
        if (HWND main = MainWindow())
            ShowWindow(main, SW_MAXIMIZE);
        break;
    case TCommandKind::Ok:
        if (!pt::PressMessageBoxButton(nullptr, IDOK)) {
            Fail(c, "no message box is open");
            return false;
        }
        break;
    case TCommandKind::Close:
        if (HWND main = MainWindow())
            PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case TCommandKind::Screenshot:
        if (!pt::SavePng(pt::CaptureScreen(), c.Text)) {
            Fail(c, "cannot write " + c.Text);
            return false;
        }
        break;
    case TCommandKind::Dump:
        Dump();
        break;
    }
    return true;
}

void TRunner::Dump() {
    app::TForm1* form = app::Form1;
    HWND main = MainWindow();
    if (!form || !main) {
        // The program has no main window (its start failed): what it shows instead, the
        // box with the error, is all there is to see.
        FOut << "window none\n";
        DumpBoxes();
        return;
    }
    char caption[512] = {};
    GetWindowTextA(main, caption, int(sizeof caption));
    RECT outer{}, client{};
    GetWindowRect(main, &outer);
    GetClientRect(main, &client);
    const char* state = IsZoomed(main)          ? "maximized"
                        : IsIconic(main)        ? "minimized"
                        : CoversTheScreen(main) ? "fullscreen"
                                                : "normal";
    FOut << "window caption=" << Quoted(caption) << " state=" << state
         << " outer=" << outer.right - outer.left << "," << outer.bottom - outer.top
         << " client=" << client.right << "," << client.bottom << "\n";
    for (int i = 0; i < form->ComponentCount(); ++i) {
        formstream::TComponent* c = form->Components(i);
        FOut << "component " << c->Name() << " " << c->ClassName();
        if (auto* control = formstream::DynCast<ui::TControl>(c)) {
            FOut << " visible=" << control->Visible() << " enabled=" << control->Enabled()
                 << " bounds=" << control->Left() << "," << control->Top() << ","
                 << control->Width() << "," << control->Height();
            // A picture by its size, which tells one volume's pictures from another's.
            if (auto* image = formstream::DynCast<ui::TImage>(c);
                image && image->Picture() && image->Picture()->Width() > 0)
                FOut << " picture=" << image->Picture()->Width() << ","
                     << image->Picture()->Height();
        } else if (auto* timer = formstream::DynCast<ui::TTimer>(c)) {
            FOut << " enabled=" << timer->Enabled() << " interval=" << timer->Interval();
        } else {
            FOut << " enabled=1";
        }
        FOut << "\n";
    }
    if (media::TMediaPlayer* player = form->MediaPlayer1) {
        const bool open = player->IsOpen();
        FOut << "player open=" << open << " file=" << Quoted(player->FileName())
             << " mode=" << int(player->Mode()) << " position=" << player->Position()
             << " length=" << (open ? player->Length() : 0) << "\n";
    }
    FOut << "shell clipstate=" << form->ClipState() << " korean=" << form->Korean()
         << " exedir=" << Quoted(form->ExeDir()) << "\n";
    DumpBoxes();
}

void TRunner::DumpBoxes() {
    for (const pt::MessageBoxInfo& box : pt::MessageBoxHistory())
        if (box.Result == 0 && IsWindow(box.Handle))
            FOut << "box caption=" << Quoted(box.Caption) << " text=" << Quoted(box.Text) << "\n";
}

} // namespace

int RunScenario(const std::vector<TCommand>& commands, const TRunOptions& options,
                std::ostream& out, std::ostream& err) {
    pt::UseHeadless();
    pt::SetScreenSize(options.ScreenWidth, options.ScreenHeight);
    pt::SetCodePage(options.CodePage);
    std::string path = options.ExecutablePath;
    for (char& ch : path)
        if (ch == '/')
            ch = '\\';
    pt::SetModuleFileName(path);

    app::StartFramework();
    TRunner runner(commands, out, err);
    if (!runner.Start()) {
        err << "scenario: cannot start the script's window\n";
        return 2;
    }
    app::TCommandLine line;
    line.FullScreen = options.FullScreen;
    line.Volume = options.Volume;
    const int code = app::QuillotMain(line);
    gRunner = nullptr;
    // The end of the program, as at process exit, so that a later run in the same process
    // starts afresh.
    ui::DoneApplication();
    app::Form1 = nullptr;
    app::CloseVolume();
    pt::Reset();
    if (runner.Failed())
        return 2;
    out << "exit " << code << "\n";
    return code;
}

} // namespace scenario
