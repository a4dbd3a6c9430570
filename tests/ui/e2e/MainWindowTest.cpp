// The main window definition (app/Form1.txt compiled by formc) read and run headless on
// the framework: 23 components in stream order with their pictures decoded, the window
// shown maximised, a timer ticking, hot-spot clicks reaching their handlers, the
// disabled "Back" ignoring clicks until enabled, and "Close" ending the loop.
#include <gtest/gtest.h>

#include "platform/testing/Testing.h"
#include "tests/common/MainWindowComponents.h"
#include "tests/ui/MainWindow.h"

namespace t = platform::testing;
using namespace mainwindow;

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
        InitApplication();
        UseMainForm();
        ASSERT_FALSE(MainFormBytes().empty()) << "TFORM1.bin was not built";
    }
    void TearDown() override {
        DoneApplication();
        formstream::SetFormResourceLookup(nullptr);
        t::Reset();
    }
};

} // namespace

TEST_F(MainWindow, ReadsTheTwentyThreeComponentsInStreamOrder) {
    TForm1* Form1 = nullptr;
    Application->MakeForm(Form1);
    ASSERT_NE(Form1, nullptr);
    const auto& names = testcommon::MainWindowComponents;
    ASSERT_EQ(Form1->ComponentCount(), 23);
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(Form1->Components(i)->Name(), names[i]);
    EXPECT_EQ(Application->MainForm(), Form1);
    EXPECT_EQ(Form1->Caption(), "Quillot 05 Vol. 1 ");
    EXPECT_EQ(Form1->WindowState(), wsMaximized);
    EXPECT_EQ(Form1->MediaPlayer1->Display, Form1->ShowPanel);
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

TEST_F(MainWindow, RunsUntilCloseWithTicksAndClicksReachingTheirHandlers) {
    TForm1* Form1 = nullptr;
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
    t::RunAt(start + 900, [&] { ClickControl(Form1, Form1->b_korean); });
    t::RunAt(start + 1500, [&] { ClickControl(Form1, Form1->back); });
    t::RunAt(start + 2100, [&] {
        // Hidden hot-spots take nothing: the click reaches the picture below.
        ClickControl(Form1, Form1->manImage);
    });
    t::RunAt(start + 2700, [&] { ClickControl(Form1, Form1->close); });
    Application->RunLoop();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Form1->Calls, (std::vector<std::string>{"b_koreanClick", "backClick", "closeClick"}));
    // Every 100 ms; at 2700 the click comes first (timers wait for an empty queue) and ends it.
    EXPECT_EQ(Form1->Ticks, 26);
    EXPECT_GT(Form1->Resizes, 0);
    EXPECT_TRUE(Application->Terminated());
}
