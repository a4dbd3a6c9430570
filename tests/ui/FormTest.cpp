// Forms read from their form resource: components, fields and events bound, the stored
// window properties, OnResize never while loading, the scaling by measured over stored
// text height with the platform's MulDiv, and failures that leave nothing behind.
#include "UiFixture.h"
#include "rtl/Exceptions.h"
#include "tests/common/ExceptionMessage.h"

using namespace uitest;
using namespace ui;
using formstream::TObject;

namespace {

// A control that keeps its width and height when its form is scaled.
class TFixedBox : public TGraphicControl {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    explicit TFixedBox(formstream::TComponent* owner) : TGraphicControl(owner) {
        FControlStyle.Include(csFixedWidth);
        FControlStyle.Include(csFixedHeight);
    }
};
constinit const formstream::TClassInfo TFixedBox::ClassInfo =
    formstream::ClassInfoOf<TFixedBox, TGraphicControl>("TFixedBox");

class TTestForm : public TForm {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }

    explicit TTestForm(formstream::TComponent* owner) : TForm(owner) {
        ReadFormResource();
        ConstructedAfterRead = hot != nullptr;
    }

    TImage* hot = nullptr;
    TImage* half = nullptr;
    TSpeedButton* button = nullptr;
    TPanel* panel = nullptr;
    TFixedBox* fixed = nullptr;
    TTimer* Timer1 = nullptr;
    TSaveDialog* Save = nullptr;

    bool ConstructedAfterRead = false;
    std::vector<std::string> Calls;
    void hotClick(TObject*) { Calls.push_back("hotClick"); }
    void FormResize(TObject*) {
        Calls.push_back(std::string(IsLoading() ? "resize while loading " : "resize ") +
                        std::to_string(Width()) + "x" + std::to_string(Height()));
    }
    static inline bool FailCreate = false;
    void FormCreate(TObject*) {
        if (FailCreate)
            throw rtl::Exception("Create failed");
        Calls.push_back("create");
    }
    static inline int Destroyed = 0;
    void FormDestroy(TObject*) { ++Destroyed; }
    void Timer1Timer(TObject*) { Calls.push_back("tick"); }
    static const formstream::TMethodEntry Methods[];
    static const formstream::TFieldEntry Fields[];
};
constinit const formstream::TMethodEntry TTestForm::Methods[] = {
    formstream::Method<&TTestForm::hotClick>("hotClick"),
    formstream::Method<&TTestForm::FormResize>("FormResize"),
    formstream::Method<&TTestForm::FormCreate>("FormCreate"),
    formstream::Method<&TTestForm::FormDestroy>("FormDestroy"),
    formstream::Method<&TTestForm::Timer1Timer>("Timer1Timer"),
};
constinit const formstream::TFieldEntry TTestForm::Fields[] = {
    formstream::Field<&TTestForm::hot>("hot"),
    formstream::Field<&TTestForm::half>("half"),
    formstream::Field<&TTestForm::button>("button"),
    formstream::Field<&TTestForm::panel>("panel"),
    formstream::Field<&TTestForm::fixed>("fixed"),
    formstream::Field<&TTestForm::Timer1>("Timer1"),
    formstream::Field<&TTestForm::Save>("Save"),
};
constinit const formstream::TClassInfo TTestForm::ClassInfo =
    formstream::ClassInfoOf<TTestForm, TForm>("TTestForm", {}, TTestForm::Methods,
                                              TTestForm::Fields);

std::string FormText(int textHeight, const std::string& extra = "") {
    return R"(object TestForm: TTestForm
  Left = 20
  Top = 30
  Width = 500
  Height = 400
  Caption = 'Test form '
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  OnResize = FormResize
  PixelsPerInch = 96
  TextHeight = )" +
           std::to_string(textHeight) + "\n" + extra + R"(
  object hot: TImage
    Left = 10
    Top = 20
    Width = 30
    Height = 40
    Cursor = crHandPoint
    OnClick = hotClick
  end
  object half: TImage
    Left = 101
    Width = 33
  end
  object button: TSpeedButton
    Left = 15
    Top = 17
    Width = 100
    Height = 28
    Caption = 'Back'
    Font.Charset = ANSI_CHARSET
    Font.Color = clGray
    Font.Height = -19
    Font.Name = 'Franklin Gothic Medium'
    Font.Style = []
    ParentFont = False
  end
  object panel: TPanel
    Left = 7
    Top = 9
    Width = 50
    Height = 60
    TabOrder = 0
    Visible = False
  end
  object fixed: TFixedBox
    Left = 20
    Top = 20
    Width = 40
    Height = 40
  end
  object Timer1: TTimer
    Interval = 100
    OnTimer = Timer1Timer
    Left = 272
    Top = 840
  end
  object Save: TSaveDialog
    FileName = '05vol1.zip'
    Filter = 'Quillot  zip File (*.zip)|*.zip'
    Title = 'Download'
    Left = 312
    Top = 840
  end
end
)";
}

int MeasuredTextHeight() {
    TForm probe(nullptr);
    return probe.MeasureTextHeight();
}

} // namespace

using Forms = UiTest;

TEST_F(Forms, ReadsItsResourceAndBindsComponentsFieldsAndEvents) {
    const int th = MeasuredTextHeight();
    ASSERT_GT(th, 0);
    AddFormText("TTestForm", FormText(th));
    TTestForm* form = nullptr;
    Application->MakeForm(form);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->ConstructedAfterRead);
    EXPECT_EQ(form->Name(), "TestForm");
    EXPECT_EQ(form->Caption(), "Test form ");
    ASSERT_NE(form->hot, nullptr);
    EXPECT_EQ(form->hot->Parent(), form);
    EXPECT_EQ(form->panel->Parent(), form);
    EXPECT_EQ(form->hot->Cursor(), formstream::crHandPoint);
    EXPECT_EQ(form->button->Caption(), "Back");
    EXPECT_FALSE(form->button->ParentFont());
    EXPECT_EQ(form->button->Font()->Name(), "Franklin Gothic Medium");
    EXPECT_EQ(form->Timer1->Interval(), 100u);
    EXPECT_EQ(form->Save->Filter, "Quillot  zip File (*.zip)|*.zip");
    EXPECT_EQ(form->Save->Title, "Download");
    // A panel named while loading takes no caption from its name.
    EXPECT_EQ(form->panel->Caption(), "");
    EXPECT_EQ(form->BoundsRect(), rtl::Bounds(20, 30, 500, 400));
    EXPECT_EQ(form->TextHeight(), th);
    // OnCreate after the constructor; OnResize once the window exists, never while loading.
    ASSERT_FALSE(form->Calls.empty());
    EXPECT_EQ(form->Calls[0], "create");
    for (const std::string& call : form->Calls)
        EXPECT_EQ(call.find("while loading"), std::string::npos) << call;
    form->Calls.clear();
    form->Show();
    form->SetBounds(20, 30, 600, 450);
    EXPECT_EQ(form->Calls.back(), "resize 600x450");
    Click(form, 12, 50);
    EXPECT_NE(std::find(form->Calls.begin(), form->Calls.end(), "hotClick"), form->Calls.end());
    TTestForm::Destroyed = 0;
    DoneApplication();
    EXPECT_EQ(TTestForm::Destroyed, 1);
    InitApplication();
}

TEST_F(Forms, ShownInTheStoredWindowStateWithOuterSizeReadable) {
    AddFormText("TTestForm", FormText(MeasuredTextHeight(), "  WindowState = wsMaximized"));
    TTestForm* form = nullptr;
    Application->MakeForm(form);
    EXPECT_EQ(form->WindowState(), wsMaximized);
    form->Calls.clear();
    t::RunAt(t::Now() + 10, [] { Application->RequestTerminate(); });
    Application->RunLoop();
    EXPECT_TRUE(::IsZoomed(form->Handle()));
    RECT r{};
    ::GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(form->Width(), r.right - r.left);
    EXPECT_EQ(form->Height(), r.bottom - r.top);
    ASSERT_FALSE(form->Calls.empty());
    EXPECT_EQ(form->Calls.back(), "resize " + std::to_string(r.right - r.left) + "x" +
                                      std::to_string(r.bottom - r.top));
}

TEST_F(Forms, ACaptionSetAtRunTimeBecomesTheWindowTitle) {
    AddFormText("TTestForm", FormText(MeasuredTextHeight(), ""));
    TTestForm* form = nullptr;
    Application->MakeForm(form);
    const HWND window = form->Handle(); // made before the caption changes
    form->SetCaption("Another title ");
    char title[64] = {};
    ::GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Another title ");
}

TEST_F(Forms, ScalesChildrenByMeasuredOverStoredTextHeightWithMulDiv) {
    const int m = MeasuredTextHeight();
    const int d = m + 3; // the stream was made with a taller font
    AddFormText("TTestForm", FormText(d, "  ClientWidth = 300\n  ClientHeight = 200"));
    TTestForm* form = nullptr;
    Application->MakeForm(form);
    struct Case {
        TControl* Control;
        bool LeftSet, TopSet, WidthSet, HeightSet, Fixed;
        int L, T, W, H;
    } cases[] = {
        {form->hot, true, true, true, true, false, 10, 20, 30, 40},
        {form->half, true, false, true, false, false, 101, 0, 33, 105},
        {form->button, true, true, true, true, false, 15, 17, 100, 28},
        {form->panel, true, true, true, true, false, 7, 9, 50, 60},
        {form->fixed, true, true, true, true, true, 20, 20, 40, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Control->Name());
        const int left = c.LeftSet ? ::MulDiv(c.L, m, d) : c.L;
        const int top = c.TopSet ? ::MulDiv(c.T, m, d) : c.T;
        int width = c.W, height = c.H;
        if (!c.Fixed && c.WidthSet)
            width = c.LeftSet ? ::MulDiv(c.L + c.W, m, d) - left : ::MulDiv(c.W, m, d);
        if (!c.Fixed && c.HeightSet)
            height = c.TopSet ? ::MulDiv(c.T + c.H, m, d) - top : ::MulDiv(c.H, m, d);
        EXPECT_EQ(c.Control->BoundsRect(), rtl::Bounds(left, top, width, height));
    }
    // The button's own font is scaled; the form's outer bounds are not, its client size is.
    graphics::TFont reference;
    reference.SetHeight(-19);
    EXPECT_EQ(form->button->Font()->Size(), ::MulDiv(reference.Size(), m, d));
    EXPECT_EQ(form->ClientWidth(), ::MulDiv(300, m, d));
    EXPECT_EQ(form->ClientHeight(), ::MulDiv(200, m, d));
    EXPECT_EQ(form->TextHeight(), m);
}

TEST_F(Forms, NotScaledWhenTheTextHeightMatches) {
    AddFormText("TTestForm", FormText(MeasuredTextHeight()));
    TTestForm* form = nullptr;
    Application->MakeForm(form);
    EXPECT_EQ(form->hot->BoundsRect(), rtl::Bounds(10, 20, 30, 40));
    EXPECT_EQ(form->button->Font()->Height(), -19);
    EXPECT_TRUE(form->hot->ScalingFlags().Empty());
}

TEST_F(Forms, FailuresLeaveTheReferenceNullAndNoWindowBehind) {
    struct Case {
        const char* Text;
        const char* Message;
    } cases[] = {
        {nullptr, "Resource TTestForm not found"},
        {"object TestForm: TTestForm\n  object hot: TImage\n    Foo = 1\n  end\nend\n",
         "Error reading hot.Foo: Property Foo does not exist"},
        {"object TestForm: TTestForm\n  object x: TNoSuchClass\n  end\nend\n",
         "Class TNoSuchClass not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        FormStreams().clear();
        if (c.Text)
            AddFormText("TTestForm", c.Text);
        TTestForm* form = nullptr;
        EXPECT_EQ(MessageOf<rtl::Exception>([&] { Application->MakeForm(form); }), c.Message);
        EXPECT_EQ(form, nullptr);
        EXPECT_EQ(Application->ComponentCount(), 0);
        EXPECT_EQ(Screen->FormCount(), 0);
        EXPECT_EQ(Application->MainForm(), nullptr);
    }
}

TEST_F(Forms, OnCreateThatRaisesUnmakesTheForm) {
    AddFormText("TTestForm", FormText(MeasuredTextHeight()));
    TTestForm::FailCreate = true;
    TTestForm* form = nullptr;
    EXPECT_EQ(MessageOf<rtl::Exception>([&] { Application->MakeForm(form); }), "Create failed");
    TTestForm::FailCreate = false;
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(Application->ComponentCount(), 0);
    EXPECT_EQ(Screen->FormCount(), 0);
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST_F(Forms, AStreamThatMakesTheFormVisibleShowsItOnceMade) {
    AddFormText("TTestForm", FormText(MeasuredTextHeight(), "  Visible = True"));
    TTestForm* form = nullptr;
    Application->MakeForm(form);
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
}

namespace {

// A window's rectangle as "left,top,right,bottom".
std::string WindowRectText(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

} // namespace

TEST_F(Forms, FullScreenCoversTheScreenAndGivesTheWindowBackAsItWas) {
    for (const TWindowState state : {wsNormal, wsMaximized}) {
        SCOPED_TRACE(int(state));
        TForm* form = NewForm(); // at (50, 50), its client area 400 by 300
        form->SetWindowState(state);
        Pump();
        const std::string before = WindowRectText(form->Handle());

        form->SetFullScreen(true);
        Pump();
        // The client area is the screen; the frame (4 pixels, a 26-pixel caption) is
        // outside it, and the form's outer size says so.
        RECT client{};
        ::GetClientRect(form->Handle(), &client);
        POINT origin{0, 0};
        ::ClientToScreen(form->Handle(), &origin);
        EXPECT_EQ(origin.x, 0);
        EXPECT_EQ(origin.y, 0);
        EXPECT_EQ(client.right, 1280);
        EXPECT_EQ(client.bottom, 1024);
        EXPECT_EQ(WindowRectText(form->Handle()), "-4,-30,1284,1028");
        EXPECT_EQ(form->Width(), 1288);
        EXPECT_EQ(form->Height(), 1058);
        EXPECT_FALSE(::IsZoomed(form->Handle()));
        EXPECT_EQ(form->WindowState(), state) << "kept for the way back";

        form->SetFullScreen(false);
        Pump();
        EXPECT_EQ(WindowRectText(form->Handle()), before);
        EXPECT_EQ(::IsZoomed(form->Handle()) != FALSE, state == wsMaximized);
        EXPECT_EQ(form->WindowState(), state);
        // A maximised window restores to the bounds it had before it was maximised.
        ::ShowWindow(form->Handle(), SW_RESTORE);
        EXPECT_EQ(WindowRectText(form->Handle()), "50,50,458,384");
        formstream::Free(form);
    }
}

TEST_F(Forms, FullScreenSetBeforeTheFormIsShownShowsItFullScreen) {
    auto* form = new TForm(Application);
    form->SetBounds(50, 50, 400, 300);
    form->SetWindowState(wsMaximized);
    form->SetFullScreen(true);
    form->Show();
    Pump();
    RECT client{};
    ::GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, 1280);
    EXPECT_EQ(client.bottom, 1024);
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
    form->SetFullScreen(false);
    Pump();
    EXPECT_TRUE(::IsZoomed(form->Handle()));
    ::ShowWindow(form->Handle(), SW_RESTORE);
    EXPECT_EQ(WindowRectText(form->Handle()), "50,50,450,350");
}
