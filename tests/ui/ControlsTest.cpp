// Controls on a form, through pixels and injected input: painting order and clipping,
// windowed children over graphic ones, hit testing from the topmost control, the click
// rules with capture, cursors, fonts and colours taken from the parent.
#include "UiFixture.h"

using namespace uitest;
using namespace ui;
using formstream::TColor;

namespace {

TImage* NewImage(TWinControl* parent, const char* name, int l, int t, int w, int h) {
    auto* image = new TImage(parent);
    image->SetName(name);
    image->SetBounds(l, t, w, h);
    image->SetParent(parent);
    return image;
}

} // namespace

using Controls = UiTest;

TEST_F(Controls, LaterGraphicControlsPaintOverEarlierOnesClippedToTheirBounds) {
    TForm* form = NewForm();
    SetSolidPicture(NewImage(form, "a", 10, 10, 100, 100), 100, 100, formstream::clRed);
    SetSolidPicture(NewImage(form, "b", 50, 50, 100, 100), 100, 100, formstream::clBlue);
    // A picture larger than its control is cut at the control's edges, not scaled.
    SetSolidPicture(NewImage(form, "c", 250, 10, 50, 50), 100, 100, formstream::clYellow);
    const t::Image img = Capture(form);
    struct Case {
        int X, Y;
        TColor Expected;
    } cases[] = {
        {30, 30, formstream::clRed},      {70, 70, formstream::clBlue},
        {149, 149, formstream::clBlue},   {150, 150, formstream::clBtnFace},
        {260, 20, formstream::clYellow},  {299, 59, formstream::clYellow},
        {300, 30, formstream::clBtnFace}, {280, 60, formstream::clBtnFace},
        {5, 5, formstream::clBtnFace},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.X << "," << c.Y);
        EXPECT_EQ(img.At(c.X, c.Y), Rgb(c.Expected));
    }
}

TEST_F(Controls, PanelCoversPicturesWhateverTheCreationOrder) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetBounds(100, 100, 100, 100);
    panel->SetParent(form);
    // Made after the panel: still under it.
    SetSolidPicture(NewImage(form, "late", 50, 50, 200, 200), 200, 200, formstream::clLime);
    auto* early = NewImage(form, "early", 0, 0, 10, 10);
    (void)early;
    const t::Image img = Capture(form);
    EXPECT_EQ(img.At(60, 60), Rgb(formstream::clLime));
    EXPECT_EQ(img.At(150, 150), Rgb(formstream::clBtnFace)); // the panel's face
    // The raised bevel: light top-left, dark bottom-right.
    EXPECT_EQ(img.At(100, 150), Rgb(formstream::clBtnHighlight));
    EXPECT_EQ(img.At(199, 150), Rgb(formstream::clBtnShadow));
    EXPECT_EQ(img.At(210, 150), Rgb(formstream::clLime));
    // Hidden, the panel lets the picture show.
    panel->Hide();
    EXPECT_EQ(Capture(form).At(150, 150), Rgb(formstream::clLime));
}

TEST_F(Controls, HotSpotWithoutPictureTakesClicksAndShowsItsCursorWhileThePictureShows) {
    TForm* form = NewForm();
    TRecorder rec;
    SetSolidPicture(NewImage(form, "picture", 0, 0, 200, 200), 200, 200, formstream::clRed);
    TImage* hot = NewImage(form, "hot", 50, 50, 40, 20);
    hot->SetCursor(formstream::crHandPoint);
    hot->OnClick = rec.Click();
    const t::Image img = Capture(form);
    EXPECT_EQ(img.At(60, 60), Rgb(formstream::clRed));
    Click(form, 50, 50);
    Click(form, 89, 69);
    Click(form, 90, 60); // just right of the hot-spot
    EXPECT_EQ(rec.Calls, (std::vector<std::string>{"click hot", "click hot"}));

    MouseMove(form, 60, 60);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_HAND));
    MouseMove(form, 10, 10);
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(Controls, HiddenAndDisabledControlsArePassedOver) {
    struct Case {
        bool Visible, Enabled;
        const char* Expected;
    } cases[] = {
        {true, true, "click hot"},
        {false, true, "click below"},
        {true, false, "click below"},
        {false, false, "click below"},
    };
    TForm* form = NewForm();
    TRecorder rec;
    TImage* below = NewImage(form, "below", 0, 0, 100, 100);
    below->OnClick = rec.Click();
    TImage* hot = NewImage(form, "hot", 20, 20, 20, 20);
    hot->OnClick = rec.Click();
    form->SetName("form");
    form->OnClick = rec.Click();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "visible " << c.Visible << " enabled " << c.Enabled);
        rec.Calls.clear();
        hot->SetVisible(c.Visible);
        hot->SetEnabled(c.Enabled);
        Click(form, 25, 25);
        EXPECT_EQ(rec.Calls, std::vector<std::string>{c.Expected});
    }
    rec.Calls.clear();
    below->Hide();
    hot->Hide();
    Click(form, 25, 25);
    EXPECT_EQ(rec.Calls, std::vector<std::string>{"click form"});
}

TEST_F(Controls, PressInsideReleaseOutsideClicksNothing) {
    TForm* form = NewForm();
    TRecorder rec;
    TImage* hot = NewImage(form, "hot", 20, 20, 50, 50);
    hot->OnClick = rec.Click();
    TImage* other = NewImage(form, "other", 100, 20, 50, 50);
    other->OnClick = rec.Click();
    MouseDown(form, 30, 30);
    EXPECT_TRUE(hot->MouseCapture());
    MouseMove(form, 120, 30);
    MouseUp(form, 120, 30);
    EXPECT_TRUE(rec.Calls.empty());
    EXPECT_FALSE(hot->MouseCapture());
    // Out and back in before the release: a click.
    MouseDown(form, 30, 30);
    MouseMove(form, 300, 30);
    MouseMove(form, 40, 40);
    MouseUp(form, 40, 40);
    EXPECT_EQ(rec.Calls, std::vector<std::string>{"click hot"});
}

TEST_F(Controls, FontAndColorFollowTheParentUntilSetOwnValues) {
    TForm* form = NewForm();
    form->Font()->SetName("DejaVu Sans");
    form->Font()->SetHeight(-20);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* button = new TSpeedButton(form);
    button->SetParent(panel);
    EXPECT_EQ(panel->Font()->Height(), -20);
    EXPECT_EQ(button->Font()->Name(), "DejaVu Sans");
    form->Font()->SetHeight(-13);
    EXPECT_EQ(button->Font()->Height(), -13);
    button->Font()->SetHeight(-30);
    EXPECT_FALSE(button->ParentFont());
    form->Font()->SetHeight(-14);
    EXPECT_EQ(button->Font()->Height(), -30);
    EXPECT_EQ(panel->Font()->Height(), -14);
    button->SetParentFont(true);
    EXPECT_EQ(button->Font()->Height(), -14);

    auto* image = new TImage(form);
    image->SetParent(form);
    EXPECT_TRUE(image->ParentColor());
    EXPECT_EQ(image->Color(), form->Color());
    form->SetColor(formstream::clRed);
    EXPECT_EQ(image->Color(), formstream::clRed);
    EXPECT_EQ(panel->Color(), formstream::clBtnFace); // a panel has a colour of its own
}

TEST_F(Controls, DestroyingAParentDestroysItsChildrenAndTheirWindows) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetName("panel");
    panel->SetParent(form);
    auto* inner = new TPanel(form);
    inner->SetName("inner");
    inner->SetParent(panel);
    HWND innerWindow = inner->Handle();
    EXPECT_TRUE(::IsWindow(innerWindow));
    EXPECT_EQ(::GetParent(innerWindow), panel->Handle());
    formstream::Free(panel);
    EXPECT_FALSE(::IsWindow(innerWindow));
    EXPECT_EQ(form->FindOwnedComponent("inner"), nullptr);
    EXPECT_EQ(form->ControlCount(), 0);
}
