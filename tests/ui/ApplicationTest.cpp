// The application object: the hidden application window, the title rule, the exception
// box (text, caption, icon), the loop going on after a failing handler, EAbort, the
// runtime's report for foreign exceptions, RequestTerminate and MakeForm.
#include <stdexcept>

#include "UiFixture.h"
#include "rtl/Exceptions.h"

using namespace uitest;
using namespace ui;

using App = UiTest;

TEST_F(App, ApplicationWindowHasTheClassStylesPlaceAndTitle) {
    HWND h = Application->Handle();
    ASSERT_NE(h, nullptr);
    char cls[64] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    EXPECT_STREQ(cls, "TApplication");
    EXPECT_EQ(DWORD(::GetWindowLongA(h, GWL_STYLE)) & ~WS_VISIBLE,
              WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_FALSE(::IsWindowVisible(h));
    RECT r{};
    ::GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 640);
    EXPECT_EQ(r.top, 512);
    EXPECT_EQ(r.right - r.left, 0);
    EXPECT_EQ(r.bottom - r.top, 0);
    // The title comes from the test program's own file name.
    EXPECT_EQ(Application->Title(), "ui_tests");
    char text[64] = {};
    ::GetWindowTextA(h, text, sizeof text);
    EXPECT_STREQ(text, "ui_tests");
}

TEST(AppTitle, TitleRuleForExecutableNames) {
    platform::testing::UseHeadless();
    struct Case {
        const char* Path;
        const char* Title;
    } cases[] = {
        {"C:\\Kiosk\\MENU.EXE", "Menu"},
        {"C:\\Kiosk\\quillot05.exe", "Quillot05"},
        {"D:\\a.b\\Prog.Name.exe", "Prog"},
        {"/usr/local/bin/QUILLOT", "Quillot"},
        {"noext", "Noext"},
        {"x", "X"},
        {"C:\\dir\\", ""},
        {"C:\\dir\\.hidden", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Path);
        std::string expected = c.Title;
        if (!expected.empty()) // the first character keeps its case
            expected[0] = c.Path[std::string(c.Path).find_last_of("\\/") + 1];
        EXPECT_EQ(TitleFromExeName(c.Path), expected);
    }
}

TEST(AppTitle, DoubleByteTrailBytesAreNoSeparators) {
    platform::testing::UseHeadless();
    platform::testing::SetCodePage(932);
    // 0x95 0x5C is one Shift-JIS character whose second byte is a backslash.
    EXPECT_EQ(TitleFromExeName("C:\\\x95\x5C\\\x95\x5C"
                               "AB.EXE"),
              "\x95\x5C"
              "ab");
    EXPECT_EQ(TitleFromExeName("C:\\Q\x95\x5CZ.EXE"), "Q\x95\x5Cz");
    platform::testing::SetCodePage(0);
}

TEST(AppTitle, ErrorMessageFullStopRule) {
    platform::testing::UseHeadless();
    struct Case {
        const char* Message;
        const char* Shown;
    } cases[] = {
        {"No MCI device open", "No MCI device open."},
        {"Done.", "Done."},
        {"(see above)", "(see above)"},
        {"Stop!", "Stop!"},
        {"trailing ", "trailing "},
        {"code 7", "code 7."},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        EXPECT_EQ(ErrorMessageText(c.Message), c.Shown);
    }
    platform::testing::SetCodePage(949);
    // A double-byte last character counts as one character above ".".
    EXPECT_EQ(ErrorMessageText("\xB0\xA1"), "\xB0\xA1.");
    platform::testing::SetCodePage(0);
}

namespace {

struct TThrower : formstream::TObject {
    int Kind = 0;
    void Clicked(formstream::TObject*) {
        switch (Kind) {
        case 0:
            throw rtl::Exception("No MCI device open");
        case 1:
            throw rtl::EAbort();
        case 2:
            throw rtl::Exception("Already said.");
        case 3:
            throw rtl::Exception("");
        default:
            throw std::runtime_error("bad thing");
        }
    }
};

} // namespace

TEST_F(App, ExceptionsFromHandlersAreShownAndTheLoopGoesOn) {
    TForm* form = NewForm();
    auto* image = new TImage(form);
    image->SetBounds(0, 0, 50, 50);
    image->SetParent(form);
    TThrower thrower;
    image->OnClick = formstream::TNotifyEvent::Of<&TThrower::Clicked>(&thrower);
    struct Case {
        int Kind;
        bool Shown;
        const char* Text;
    } cases[] = {
        {0, true, "No MCI device open."},
        {1, false, ""},
        {2, true, "Already said."},
        {3, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Kind);
        t::Reset();
        // Reset destroys every window: make a fresh application for each case.
        DoneApplication();
        InitApplication();
        form = NewForm();
        image = new TImage(form);
        image->SetBounds(0, 0, 50, 50);
        image->SetParent(form);
        image->OnClick = formstream::TNotifyEvent::Of<&TThrower::Clicked>(&thrower);
        thrower.Kind = c.Kind;
        Click(form, 10, 10);
        const auto boxes = t::MessageBoxHistory();
        ASSERT_EQ(boxes.size(), c.Shown ? 1u : 0u);
        if (c.Shown) {
            EXPECT_EQ(boxes[0].Text, c.Text);
            EXPECT_EQ(boxes[0].Caption, Application->Title());
            EXPECT_EQ(boxes[0].Flags, UINT(MB_ICONERROR));
        }
        // The form is usable again: the box gave back what it disabled.
        EXPECT_TRUE(::IsWindowEnabled(form->Handle()));
        EXPECT_EQ(::GetCapture(), nullptr);
    }
}

TEST_F(App, ForeignExceptionsGetTheRuntimeReport) {
    TForm* form = NewForm();
    auto* image = new TImage(form);
    image->SetBounds(0, 0, 50, 50);
    image->SetParent(form);
    TThrower thrower;
    thrower.Kind = 9;
    image->OnClick = formstream::TNotifyEvent::Of<&TThrower::Clicked>(&thrower);
    Click(form, 10, 10);
    const auto boxes = t::MessageBoxHistory();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Application Error");
    EXPECT_EQ(boxes[0].Flags, UINT(MB_TASKMODAL | MB_ICONERROR));
    EXPECT_EQ(boxes[0].Text.rfind("Exception std::runtime_error in module ui_tests at ", 0), 0u)
        << boxes[0].Text;
    EXPECT_NE(boxes[0].Text.find(".\r\nbad thing.\r\n"), std::string::npos) << boxes[0].Text;
}

TEST_F(App, RequestTerminateTwiceEndsTheLoopOnce) {
    TForm* main = nullptr;
    Application->MakeForm(main);
    ASSERT_NE(main, nullptr);
    int ran = 0;
    t::RunAt(t::Now() + 50, [&] {
        ++ran;
        Application->RequestTerminate();
        Application->RequestTerminate();
    });
    Application->RunLoop();
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(Application->Running());
    EXPECT_TRUE(::IsWindow(main->Handle()));
}

namespace {

class TFailingForm : public TForm {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    static TFailingForm* SeenDuringConstruction;
    static TFailingForm* Global;
    explicit TFailingForm(formstream::TComponent* owner) : TForm(owner) {
        SeenDuringConstruction = Global;
        throw rtl::EResNotFound(rtl::SResNotFound, "TFAILINGFORM");
    }
};
constinit const formstream::TClassInfo TFailingForm::ClassInfo =
    formstream::ClassInfoOf<TFailingForm, TForm>("TFailingForm");
TFailingForm* TFailingForm::SeenDuringConstruction = nullptr;
TFailingForm* TFailingForm::Global = nullptr;

} // namespace

TEST_F(App, MakeFormSetsTheReferenceBeforeTheConstructorAndClearsItWhenItRaises) {
    EXPECT_THROW(Application->MakeForm(TFailingForm::Global), rtl::EResNotFound);
    EXPECT_NE(TFailingForm::SeenDuringConstruction, nullptr);
    EXPECT_EQ(TFailingForm::Global, nullptr);
    EXPECT_EQ(Application->MainForm(), nullptr);

    TForm* first = nullptr;
    TForm* second = nullptr;
    Application->MakeForm(first);
    Application->MakeForm(second);
    EXPECT_EQ(Application->MainForm(), first);
    EXPECT_TRUE(first->HandleAllocated());
    EXPECT_FALSE(second->HandleAllocated());
    EXPECT_EQ(::GetWindow(first->Handle(), GW_OWNER), Application->Handle());
    EXPECT_EQ(Screen->FormCount(), 2);
}

TEST_F(App, ClosingTheMainFormThroughItsFrameEndsTheLoop) {
    TForm* main = nullptr;
    Application->MakeForm(main);
    main->SetBounds(0, 0, 300, 200);
    t::RunAt(t::Now() + 20, [&] {
        EXPECT_TRUE(::IsWindowVisible(main->Handle()));
        ::PostMessageA(main->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    Application->RunLoop();
    EXPECT_TRUE(Application->Terminated());
    // The form is not destroyed by the close: the end step does that.
    EXPECT_TRUE(::IsWindow(main->Handle()));
    HWND h = main->Handle();
    DoneApplication();
    EXPECT_FALSE(::IsWindow(h));
    InitApplication();
}

TEST_F(App, ShowMessageBoxDisablesOtherWindowsAndRestoresThemAndTheFocus) {
    TForm* a = NewForm();
    TForm* b = NewForm();
    auto* disabled = NewForm();
    disabled->SetEnabled(false);
    ::SetFocus(a->Handle());
    auto* timer = new TTimer(Application); // keeps the box open until pressed
    struct TTick : formstream::TObject {
        void Tick(formstream::TObject*) {}
    } tick;
    timer->SetOnTimer(formstream::TNotifyEvent::Of<&TTick::Tick>(&tick));
    bool seen = false;
    t::RunAt(t::Now() + 30, [&] {
        seen = true;
        EXPECT_FALSE(::IsWindowEnabled(a->Handle()));
        EXPECT_FALSE(::IsWindowEnabled(b->Handle()));
        auto box = t::FindMessageBox();
        EXPECT_EQ(::GetWindow(box.Handle, GW_OWNER), Application->Handle());
        t::PressMessageBoxButton(box.Handle, IDOK);
    });
    EXPECT_EQ(Application->ShowMessageBox("text", "caption", MB_OK), IDOK);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(::IsWindowEnabled(a->Handle()));
    EXPECT_TRUE(::IsWindowEnabled(b->Handle()));
    EXPECT_FALSE(::IsWindowEnabled(disabled->Handle()));
    EXPECT_EQ(::GetFocus(), a->Handle());
}

namespace {

// A windowed control that takes F5 in the key check and records the keys it receives.
class TKeyControl : public TCustomControl {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    using TCustomControl::TCustomControl;
    std::vector<std::string> Keys;
    void WndProc(TMessage& m) override {
        if (m.Msg == CN_BASE + WM_KEYDOWN) {
            Keys.push_back("check " + std::to_string(m.WParam));
            m.Result = m.WParam == VK_F1;
            return;
        }
        if (m.Msg == WM_KEYDOWN)
            Keys.push_back("down " + std::to_string(m.WParam));
        TCustomControl::WndProc(m);
    }
};
constinit const formstream::TClassInfo TKeyControl::ClassInfo =
    formstream::ClassInfoOf<TKeyControl, TCustomControl>("TKeyControl");

struct TFailingMouse : formstream::TObject {
    int Clicks = 0;
    void Down(formstream::TObject*, TMouseButton, TShiftState, int, int) {
        throw rtl::Exception("Mouse failed");
    }
    void Clicked(formstream::TObject*) { ++Clicks; }
};

} // namespace

TEST_F(App, KeyCheckOffersKeysToTheControlWindowFirst) {
    TForm* form = NewForm();
    auto* keys = new TKeyControl(form);
    keys->SetBounds(0, 0, 50, 50);
    keys->SetParent(form);
    ::SetFocus(keys->Handle());
    t::KeyPress(VK_F1);
    t::KeyPress(VK_F12);
    Application->ProcessMessages();
    EXPECT_EQ(keys->Keys, (std::vector<std::string>{"check " + std::to_string(VK_F1),
                                                    "check " + std::to_string(VK_F12),
                                                    "down " + std::to_string(VK_F12)}));
    // What passes the check reaches OnKeyDown; a handler may swallow it.
    struct TKeys : formstream::TObject {
        std::vector<WORD> Seen;
        void Down(formstream::TObject*, WORD& key, TShiftState) {
            Seen.push_back(key);
            key = 0;
        }
    } seen;
    keys->OnKeyDown = TKeyEvent::Of<&TKeys::Down>(&seen);
    EXPECT_TRUE(keys->Focused());
    t::KeyPress(VK_F12);
    Application->ProcessMessages();
    EXPECT_EQ(seen.Seen, std::vector<WORD>{WORD(VK_F12)});
}

TEST_F(App, IdleStepTellsControlsWhenTheMouseEntersAndLeaves) {
    TForm* form = NewForm();
    auto* button = new TSpeedButton(form);
    button->SetBounds(10, 10, 40, 40);
    button->SetFlat(true);
    button->SetParent(form);
    MouseMove(form, 20, 20);
    Application->ProcessMessages();
    Application->HandleMessage(false); // the queue is empty: the idle step
    EXPECT_EQ(Application->MouseControl(), button);
    EXPECT_TRUE(button->MouseInControl());
    MouseMove(form, 200, 200);
    Application->HandleMessage(false);
    EXPECT_EQ(Application->MouseControl(), form);
    EXPECT_FALSE(button->MouseInControl());
    // A destroyed control is forgotten.
    MouseMove(form, 20, 20);
    Application->HandleMessage(false);
    formstream::Free(button);
    EXPECT_EQ(Application->MouseControl(), nullptr);
}

TEST_F(App, LoopExceptionCancelsTheMouseCapture) {
    TForm* form = NewForm();
    auto* hot = new TImage(form);
    hot->SetBounds(0, 0, 50, 50);
    hot->SetParent(form);
    TFailingMouse failing;
    hot->OnMouseDown = TMouseEvent::Of<&TFailingMouse::Down>(&failing);
    hot->OnClick = formstream::TNotifyEvent::Of<&TFailingMouse::Clicked>(&failing);
    MouseDown(form, 10, 10);
    EXPECT_EQ(::GetCapture(), nullptr);
    MouseUp(form, 10, 10);
    EXPECT_EQ(failing.Clicks, 0);
    ASSERT_EQ(t::MessageBoxHistory().size(), 1u);
    EXPECT_EQ(t::MessageBoxHistory()[0].Text, "Mouse failed.");
}

TEST_F(App, StartupShowMaximizedShowsTheMainFormMaximized) {
    struct Case {
        int Show;
        bool Visible, Zoomed;
    } cases[] = {{SW_SHOWMAXIMIZED, true, true}, {SW_SHOWDEFAULT, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Show);
        DoneApplication();
        InitApplication();
        TForm* main = nullptr;
        Application->MakeForm(main);
        Application->SetStartupShowState(c.Show);
        t::RunAt(t::Now() + 10, [] { Application->RequestTerminate(); });
        Application->RunLoop();
        EXPECT_EQ(::IsWindowVisible(main->Handle()) != FALSE, c.Visible);
        EXPECT_EQ(::IsZoomed(main->Handle()) != FALSE, c.Zoomed);
        EXPECT_EQ(main->WindowState(), c.Zoomed ? wsMaximized : wsNormal);
    }
}

TEST_F(App, ApplicationWindowCloseClosesTheMainForm) {
    TForm* main = nullptr;
    Application->MakeForm(main);
    t::RunAt(t::Now() + 10, [] { ::PostMessageA(Application->Handle(), WM_CLOSE, 0, 0); });
    Application->RunLoop();
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(App, ScreenMapsCursorsToThePlatformsShapes) {
    struct Case {
        formstream::TCursor Cursor;
        LPCSTR Shape;
    } cases[] = {
        {formstream::crDefault, IDC_ARROW},   {formstream::crArrow, IDC_ARROW},
        {formstream::crHandPoint, IDC_HAND},  {formstream::crIBeam, IDC_IBEAM},
        {formstream::crCross, IDC_CROSS},     {formstream::crHourGlass, IDC_WAIT},
        {formstream::crSizeAll, IDC_SIZEALL}, {formstream::crSizeWE, IDC_SIZEWE},
        {formstream::crSizeNS, IDC_SIZENS},   {formstream::crNo, IDC_NO},
        {formstream::crHelp, IDC_HELP},       {formstream::crAppStart, IDC_APPSTARTING},
        {formstream::TCursor(42), IDC_ARROW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.Cursor));
        EXPECT_EQ(Screen->Cursors(c.Cursor), ::LoadCursorA(nullptr, c.Shape));
    }
    EXPECT_EQ(Screen->Cursors(formstream::crNone), nullptr);
    // A screen cursor overrides every control's.
    TForm* form = NewForm();
    Screen->SetCursor(formstream::crHourGlass);
    MouseMove(form, 20, 20);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_WAIT));
    Screen->SetCursor(formstream::crDefault);
    MouseMove(form, 30, 30);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(App, LongExecutablePathsAreReportedWholeAndTitledByTheirFileName) {
    // Around the old 260-byte buffer and far beyond it; the folder names are long so that
    // any cut falls inside a folder, not in the file name.
    struct TRealPath {
        ~TRealPath() { t::SetModuleFileName(""); }
    } realPathAfterwards;
    for (const std::size_t length : {259u, 260u, 261u, 300u, 1000u}) {
        SCOPED_TRACE(length);
        const std::string name = "\\Quillot.exe";
        std::string path = "C:";
        while (path.size() + name.size() < length)
            path += (length - path.size() - name.size()) > 40 ? "\\" + std::string(39, 'd')
                                                              : std::string(1, 'x');
        path += name;
        ASSERT_EQ(path.size(), length);
        t::SetModuleFileName(path);
        DoneApplication();
        InitApplication();
        EXPECT_EQ(Application->ExecutablePath(), path);
        EXPECT_EQ(Application->Title(), "Quillot");
    }
}

TEST_F(App, StartupShowMinNoActiveLeavesTheMainFormOnTheDesktopToBeRestored) {
    TForm* main = nullptr;
    Application->MakeForm(main);
    main->SetBounds(10, 20, 300, 200);
    Application->SetStartupShowState(SW_SHOWMINNOACTIVE);
    int checks = 0;
    t::RunAt(t::Now() + 10, [&] {
        ++checks;
        // Minimised, but a window of the desktop, from where the user brings it back.
        EXPECT_TRUE(::IsWindowVisible(main->Handle()));
        EXPECT_TRUE(::IsIconic(main->Handle()));
        EXPECT_EQ(main->WindowState(), wsMinimized);
        ::PostMessageA(main->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0); // as the taskbar does
    });
    t::RunAt(t::Now() + 20, [&] {
        ++checks;
        EXPECT_TRUE(::IsWindowVisible(main->Handle()));
        EXPECT_FALSE(::IsIconic(main->Handle()));
        EXPECT_EQ(main->WindowState(), wsNormal);
        RECT r{};
        ::GetWindowRect(main->Handle(), &r);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 20);
        EXPECT_EQ(r.right - r.left, 300);
        EXPECT_EQ(r.bottom - r.top, 200);
        Application->RequestTerminate();
    });
    Application->RunLoop();
    EXPECT_EQ(checks, 2);
}
