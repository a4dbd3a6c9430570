// The speed button: the height-inclusive release test, mouse-up before click, pushed
// faces, the engraved disabled caption and its repaint on enabling, latching groups.
#include "UiFixture.h"

using namespace uitest;
using namespace ui;

namespace {

class TButtonLog : public formstream::TObject {
public:
    std::vector<std::string> Calls;
    void Clicked(formstream::TObject*) { Calls.push_back("click"); }
    void Up(formstream::TObject*, TMouseButton, TShiftState, int, int) { Calls.push_back("up"); }
};

struct ButtonFixture : UiTest {
    TForm* Form = nullptr;
    TSpeedButton* Button = nullptr;
    TButtonLog Log;
    void SetUp() override {
        UiTest::SetUp();
        Form = NewForm();
        Button = new TSpeedButton(Form);
        Button->SetParent(Form);
        Button->SetBounds(40, 30, 100, 28);
        Button->SetCaption("Back");
        Button->Font()->SetName("DejaVu Sans");
        Button->Font()->SetHeight(-19);
        Button->Font()->SetColor(formstream::clNavy); // distinct from the shadow grey
        Button->OnClick = formstream::TNotifyEvent::Of<&TButtonLog::Clicked>(&Log);
        Button->OnMouseUp = TMouseEvent::Of<&TButtonLog::Up>(&Log);
    }
    // Press inside, release at (x, y) relative to the button.
    void PressAndRelease(int x, int y) {
        MouseDown(Form, 40 + 10, 30 + 10);
        MouseMove(Form, 40 + x, 30 + y);
        MouseUp(Form, 40 + x, 30 + y);
    }
    int CountPixels(const t::Image& img, std::uint32_t rgb) const {
        const rtl::TRect r = Button->BoundsRect();
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                n += img.At(x, y) == rgb;
        return n;
    }
};

} // namespace

using SpeedButtons = ButtonFixture;

TEST_F(SpeedButtons, ReleaseTestCountsTheRowBelowButNotTheColumnRight) {
    struct Case {
        int X, Y;
        bool Clicks;
    } cases[] = {
        {50, 14, true},  {0, 0, true},     {99, 27, true},  {50, 28, true}, // the row below
        {50, 29, false}, {100, 14, false}, {-1, 14, false}, {50, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "released at " << c.X << "," << c.Y);
        Log.Calls.clear();
        PressAndRelease(c.X, c.Y);
        const std::vector<std::string> expected =
            c.Clicks ? std::vector<std::string>{"up", "click"} : std::vector<std::string>{"up"};
        EXPECT_EQ(Log.Calls, expected);
        EXPECT_EQ(Button->State(), bsUp);
    }
}

TEST_F(SpeedButtons, FaceShowsPushedWhileThePointerIsInside) {
    MouseDown(Form, 50, 40);
    EXPECT_EQ(Button->State(), bsDown);
    const rtl::TRect pushed = Button->CaptionRect();
    MouseMove(Form, 300, 200);
    EXPECT_EQ(Button->State(), bsUp);
    const rtl::TRect up = Button->CaptionRect();
    // The pushed content is one pixel right and down.
    EXPECT_EQ(pushed.Left, up.Left + 1);
    EXPECT_EQ(pushed.Top, up.Top + 1);
    MouseMove(Form, 60, 40);
    EXPECT_EQ(Button->State(), bsDown);
    MouseUp(Form, 60, 40);
    EXPECT_EQ(Button->State(), bsUp);
}

TEST_F(SpeedButtons, CaptionIsCentredByTheButtonArithmetic) {
    graphics::TCanvas* canvas = Button->Canvas();
    (void)canvas;
    const rtl::TRect text = Button->CaptionRect();
    // The face inside the push-button frame is the client less two pixels each side.
    const int faceW = 100 - 4, faceH = 28 - 4;
    EXPECT_EQ(text.Left, 2 + (faceW - text.Width() + 1) / 2);
    EXPECT_EQ(text.Top, 2 + (faceH - text.Height() + 1) / 2);
    EXPECT_GT(text.Width(), 0);
}

TEST_F(SpeedButtons, DisabledButtonIgnoresPressesAndDrawsItsCaptionEngraved) {
    Button->SetEnabled(false);
    Log.Calls.clear();
    PressAndRelease(20, 10);
    EXPECT_TRUE(Log.Calls.empty());
    EXPECT_EQ(Button->State(), bsDisabled);
    t::Image img = Capture(Form);
    EXPECT_GT(CountPixels(img, Rgb(formstream::clBtnShadow)), 20);
    EXPECT_EQ(CountPixels(img, Rgb(formstream::clNavy)), 0);
    const int highlightDisabled = CountPixels(img, Rgb(formstream::clBtnHighlight));
    Button->SetEnabled(true);
    img = Capture(Form);
    EXPECT_GT(CountPixels(img, Rgb(formstream::clNavy)), 20);
    // Only the frame's light edge stays; the caption's light copy is gone.
    EXPECT_LT(CountPixels(img, Rgb(formstream::clBtnHighlight)), highlightDisabled);
    PressAndRelease(20, 10);
    EXPECT_EQ(Log.Calls, (std::vector<std::string>{"up", "click"}));
}

TEST_F(SpeedButtons, GroupButtonsLatchAndRaiseEachOther) {
    auto* other = new TSpeedButton(Form);
    other->SetParent(Form);
    other->SetBounds(200, 30, 50, 28);
    Button->SetGroupIndex(1);
    other->SetGroupIndex(1);
    PressAndRelease(20, 10);
    EXPECT_TRUE(Button->Down());
    EXPECT_EQ(Button->State(), bsExclusive);
    // A second click does not raise the only down button of a group...
    PressAndRelease(20, 10);
    EXPECT_TRUE(Button->Down());
    // ...but pressing another one does.
    other->SetDown(true);
    EXPECT_TRUE(other->Down());
    EXPECT_FALSE(Button->Down());
    EXPECT_EQ(Button->State(), bsUp);
    // With AllowAllUp a click raises it.
    other->SetAllowAllUp(true);
    MouseDown(Form, 210, 40);
    MouseUp(Form, 210, 40);
    EXPECT_FALSE(other->Down());
    EXPECT_FALSE(Button->Down());
    // Down means nothing without a group.
    auto* single = new TSpeedButton(Form);
    single->SetDown(true);
    EXPECT_FALSE(single->Down());
}
