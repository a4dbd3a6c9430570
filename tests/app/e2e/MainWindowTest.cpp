// The program's main window class, TForm1, made from its form resource in this process
// on the headless backend: 23 components in stream order with their pictures decoded, the
// window shown maximised, hot-spot clicks reaching their handlers, the disabled "Back"
// ignoring clicks until enabled, and "Close" ending the loop.
#include <gtest/gtest.h>

#include "app/Main.h"
#include "app/Program.h"
#include "graphics/Graphics.h"
#include "media/MPlayer.h"
#include "platform/testing/Testing.h"
#include "tests/common/MainWindowComponents.h"
#include "ui/Buttons.h"
#include "ui/Dialogs.h"
#include "ui/ExtCtrls.h"

namespace t = platform::testing;
using app::TForm1;
using namespace ui;

namespace {

// Actions run at virtual times at least a double-click time apart, so every click is a
// single one.
void ClickControl(TForm1* form, TControl* c) {
    t::ClickClient(form->Handle(), c->Left() + c->Width() / 2, c->Top() + c->Height() / 2);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        t::UseHeadless();
        t::Reset();
        t::SetScreenSize(1280, 1024);
        // The program plays its clips from its own folder: the build's clips.
        t::SetModuleFileName(std::string(QUILLOT_CLIP_DIR) + "/quillot");
        app::StartFramework();
    }
    void TearDown() override {
        DoneApplication();
        app::Form1 = nullptr;
        t::SetModuleFileName("");
        t::Reset();
    }
};

} // namespace

TEST_F(MainWindow, ReadsTheTwentyThreeComponentsInStreamOrder) {
    // The program's own global, which its handlers use.
    TForm1*& Form1 = app::Form1;
    Application->MakeForm(Form1);
    ASSERT_NE(Form1, nullptr);
    const auto& names = testcommon::MainWindowComponents;
    ASSERT_EQ(Form1->ComponentCount(), 23);
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(Form1->Components(i)->Name(), names[i]);
    EXPECT_EQ(Application->MainForm(), Form1);
    EXPECT_EQ(Form1->Caption(), "Quillot 05 Vol. 1 ");
    EXPECT_EQ(Form1->WindowState(), wsMaximized);
    EXPECT_EQ(Form1->MediaPlayer1->Display(), Form1->ShowPanel);
    EXPECT_EQ(Form1->ShowPanel->Caption(), "");
    EXPECT_EQ(Form1->Timer1->Interval(), 100u);
    EXPECT_EQ(Form1->Save->FileName, "05vol1.zip");
    // Auto-sized pictures take their GIF's size; the background is cut, not scaled.
    EXPECT_EQ(Form1->start->Width(), Form1->start->Picture()->Width());
    EXPECT_EQ(Form1->SelectImage_eng->Height(), Form1->SelectImage_eng->Picture()->Height());
    EXPECT_EQ(Form1->MainImage->Picture()->Width(), 1280);
    EXPECT_FALSE(Form1->MainImage->Stretch());
    EXPECT_EQ(Form1->back->Font()->Name(), "Franklin Gothic Medium");
    EXPECT_FALSE(Form1->back->Enabled());
    // "MS Sans Serif" at 11 pixels measures 13 here as where the form was made: the stored
    // bounds stay as they are.
    EXPECT_EQ(Form1->TextHeight(), 13);
    EXPECT_EQ(Form1->back->BoundsRect(), rtl::Bounds(478, 816, 100, 28));
}

TEST_F(MainWindow, ClicksReachTheirHandlersUntilClose) {
    // The program's own global, which its handlers use.
    TForm1*& Form1 = app::Form1;
    Application->Startup();
    Application->MakeForm(Form1);
    const DWORD start = t::Now();
    std::uint32_t seen = 0, expected = 1;
    t::RunAt(start + 300, [&] {
        EXPECT_TRUE(::IsZoomed(Form1->Handle()));
        // A pixel of the start picture, over the background.
        TImage* s = Form1->start;
        const t::Image img = t::CaptureWindow(Form1->Handle());
        seen = img.At(s->Left() + 5, s->Top() + 5);
        graphics::TBitmap probe;
        probe.SetPixelFormat(graphics::pf24bit);
        probe.SetSize(10, 10);
        probe.Canvas()->Draw(0, 0, s->Picture()->Graphic());
        const COLORREF c = graphics::ColorToRGB(probe.Canvas()->Pixels(5, 5));
        expected =
            (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        ClickControl(Form1, Form1->back); // disabled: nothing
    });
    // What each click led to: the clip state, the language, and whether "Back" is enabled.
    std::vector<std::string> states;
    const auto note = [&] {
        states.push_back(std::to_string(Form1->ClipState()) + (Form1->Korean() ? " ko" : " en") +
                         (Form1->back->Enabled() ? " back" : ""));
    };
    t::RunAt(start + 600, note);
    t::RunAt(start + 900, [&] {
        // Hidden hot-spots take nothing: the click reaches the start picture below.
        ClickControl(Form1, Form1->manImage);
    });
    t::RunAt(start + 1200, note);
    t::RunAt(start + 1500, [&] { ClickControl(Form1, Form1->b_english); });
    t::RunAt(start + 1800, note);
    t::RunAt(start + 2100, [&] { ClickControl(Form1, Form1->back); });
    t::RunAt(start + 2400, note);
    t::RunAt(start + 2700, [&] { ClickControl(Form1, Form1->close); });
    Application->RunLoop();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(states, (std::vector<std::string>{"0 ko", "0 ko", "2 en back", "0 en back"}));
    EXPECT_TRUE(Application->Terminated());
}
