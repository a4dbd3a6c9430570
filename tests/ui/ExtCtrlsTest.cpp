// Pictures and panels: the destination rectangle for a table of sizes, AutoSize, the
// transparent flag handed to the graphic and the opaque rule, the panel's caption band.
#include "UiFixture.h"

using namespace uitest;
using namespace ui;

TEST(ImageRect, StretchProportionalCenterForATableOfSizes) {
    struct Case {
        int W, H, CW, CH;
        bool Stretch, Proportional, Center;
        rtl::TRect Expected;
    } cases[] = {
        // Natural size, from the top-left corner, cut by the control.
        {1280, 1024, 1273, 958, false, false, false, rtl::Bounds(0, 0, 1280, 1024)},
        {50, 40, 100, 100, false, false, false, rtl::Bounds(0, 0, 50, 40)},
        // Centred: offsets halved toward zero, also when negative.
        {50, 40, 101, 100, false, false, true, rtl::Bounds(25, 30, 50, 40)},
        {110, 40, 101, 100, false, false, true, rtl::Bounds(-4, 30, 110, 40)},
        // Stretched to the client.
        {50, 40, 101, 77, true, false, false, rtl::Bounds(0, 0, 101, 77)},
        // Proportional and wider than high: width first, height cut toward zero.
        {300, 200, 100, 100, true, true, false, rtl::Bounds(0, 0, 100, 66)},
        {300, 200, 100, 100, true, true, true, rtl::Bounds(0, 17, 100, 66)},
        // Wider than high, but the height does not fit: height first.
        {300, 200, 200, 50, true, true, false, rtl::Bounds(0, 0, 75, 50)},
        // Higher than wide: height first, then width when it does not fit.
        {200, 300, 100, 100, true, true, false, rtl::Bounds(0, 0, 66, 100)},
        {200, 300, 50, 200, true, true, false, rtl::Bounds(0, 0, 50, 75)},
        // Proportional only scales pictures that do not fit; small ones keep their size.
        {50, 40, 100, 100, false, true, false, rtl::Bounds(0, 0, 50, 40)},
        {250, 100, 100, 100, false, true, true, rtl::Bounds(0, 30, 100, 40)},
        // Square pictures follow the "not wider" branch.
        {10, 10, 100, 30, true, true, false, rtl::Bounds(0, 0, 30, 30)},
        // No picture size: the whole client.
        {0, 0, 100, 30, true, true, false, rtl::Bounds(0, 0, 100, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.W << "x" << c.H << " in " << c.CW << "x" << c.CH << " s" << c.Stretch
                     << " p" << c.Proportional << " c" << c.Center);
        EXPECT_EQ(ImageDestRect(c.W, c.H, c.CW, c.CH, c.Stretch, c.Proportional, c.Center),
                  c.Expected);
    }
}

using Images = UiTest;

TEST_F(Images, AutoSizeTakesThePictureSizeAtOnceButNotAZeroSize) {
    TForm* form = NewForm();
    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetBounds(7, 8, 20, 20);
    image->SetAutoSize(true);
    SetSolidPicture(image, 60, 30, formstream::clRed);
    EXPECT_EQ(image->BoundsRect(), rtl::Bounds(7, 8, 60, 30));
    formstream::TOwned<graphics::TBitmap> empty(new graphics::TBitmap);
    empty->SetSize(0, 10);
    image->Picture()->SetGraphic(empty.get());
    EXPECT_EQ(image->BoundsRect(), rtl::Bounds(7, 8, 60, 30));
    // Without AutoSize nothing moves.
    image->SetAutoSize(false);
    SetSolidPicture(image, 10, 10, formstream::clRed);
    EXPECT_EQ(image->BoundsRect(), rtl::Bounds(7, 8, 60, 30));
}

TEST_F(Images, TransparentFlagGoesToTheGraphicAndDecidesOpacity) {
    TForm* form = NewForm();
    auto* image = new TImage(form);
    image->SetParent(form);
    SetSolidPicture(image, 10, 10, formstream::clRed);
    struct Case {
        bool Transparent, Stretch, Proportional, Opaque;
    } cases[] = {
        {false, false, false, false}, {false, true, false, true},  {false, true, true, false},
        {true, true, false, false},   {true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Transparent << c.Stretch << c.Proportional);
        image->SetTransparent(c.Transparent);
        image->SetStretch(c.Stretch);
        image->SetProportional(c.Proportional);
        EXPECT_EQ(image->Picture()->Graphic()->Transparent(), c.Transparent);
        EXPECT_EQ(image->ControlStyle().Contains(csOpaque), c.Opaque);
    }
    // A new picture gets the image's flag too.
    SetSolidPicture(image, 10, 10, formstream::clBlue);
    EXPECT_TRUE(image->Picture()->Graphic()->Transparent() == image->Transparent());
}

TEST_F(Images, StretchedPictureFillsTheControlAndCenteredOneSitsInTheMiddle) {
    TForm* form = NewForm();
    auto* stretched = new TImage(form);
    stretched->SetParent(form);
    stretched->SetBounds(0, 0, 100, 50);
    stretched->SetStretch(true);
    SetSolidPicture(stretched, 10, 10, formstream::clRed);
    auto* centred = new TImage(form);
    centred->SetParent(form);
    centred->SetBounds(200, 0, 100, 100);
    centred->SetCenter(true);
    SetSolidPicture(centred, 20, 10, formstream::clBlue);
    const t::Image img = Capture(form);
    EXPECT_EQ(img.At(99, 49), Rgb(formstream::clRed));
    EXPECT_EQ(img.At(100, 49), Rgb(formstream::clBtnFace));
    EXPECT_EQ(img.At(240, 45), Rgb(formstream::clBlue));
    EXPECT_EQ(img.At(259, 54), Rgb(formstream::clBlue));
    EXPECT_EQ(img.At(239, 45), Rgb(formstream::clBtnFace));
    EXPECT_EQ(img.At(240, 44), Rgb(formstream::clBtnFace));
}

using Panels = UiTest;

TEST_F(Panels, CaptionIsCentredInABandOfTheHeightOfW) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 200, 60);
    panel->SetBevelOuter(bvLowered);
    panel->SetCaption("Hello");
    panel->Font()->SetColor(formstream::clBlack);
    const t::Image img = Capture(panel);
    // Lowered: dark top-left, light bottom-right.
    EXPECT_EQ(img.At(0, 30), Rgb(formstream::clBtnShadow));
    EXPECT_EQ(img.At(199, 30), Rgb(formstream::clBtnHighlight));
    // Some ink in the middle band, none near the top and bottom edges.
    int inkMiddle = 0, inkEdges = 0;
    for (int y = 1; y < 59; ++y)
        for (int x = 1; x < 199; ++x) {
            const bool ink = img.At(x, y) != Rgb(formstream::clBtnFace);
            if (ink && (y < 12 || y > 47))
                ++inkEdges;
            else if (ink && x > 60 && x < 140)
                ++inkMiddle;
        }
    EXPECT_GT(inkMiddle, 20);
    EXPECT_EQ(inkEdges, 0);
}

TEST_F(Panels, NamedPanelTakesItsNameAsCaptionOnlyWhenNotLoading) {
    TForm* form = NewForm();
    auto* panel = new TPanel(form);
    panel->SetName("Panel1");
    EXPECT_EQ(panel->Caption(), "Panel1");
    panel->SetCaption("");
    panel->SetName("Panel2");
    EXPECT_EQ(panel->Caption(), "");
    auto* loading = new TPanel(form);
    loading->SetState(formstream::stLoading);
    loading->SetName("ShowPanel");
    EXPECT_EQ(loading->Caption(), "");
}

namespace {

// A graphic that reports progress when asked.
class TProgressGraphic : public graphics::TBitmap {
public:
    static const formstream::TClassInfo ClassInfo;
    formstream::TClass ClassType() const override { return &ClassInfo; }
    void Report(bool redrawNow) {
        Progress(this, formstream::psRunning, 50, redrawNow, rtl::Rect(0, 0, 5, 5), "half");
    }
};
constinit const formstream::TClassInfo TProgressGraphic::ClassInfo =
    formstream::ClassInfoOf<TProgressGraphic, graphics::TBitmap>("TProgressGraphic");

struct TProgressLog : formstream::TObject {
    std::vector<std::string> Seen;
    void OnProgress(formstream::TObject*, formstream::TProgressStage stage, std::uint8_t percent,
                    bool redraw, const rtl::TRect&, const std::string& msg) {
        Seen.push_back(std::to_string(int(stage)) + " " + std::to_string(percent) + " " +
                       (redraw ? "redraw " : "") + msg);
    }
};

} // namespace

TEST_F(Images, ProgressOfTheGraphicReachesOnProgress) {
    TForm* form = NewForm();
    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetIncrementalDisplay(true);
    TProgressLog log;
    image->OnProgress = formstream::TProgressEvent::Of<&TProgressLog::OnProgress>(&log);
    formstream::TOwned<TProgressGraphic> source(new TProgressGraphic);
    source->SetSize(5, 5);
    image->Picture()->SetGraphic(source.get());
    auto* held = static_cast<TProgressGraphic*>(image->Picture()->Graphic());
    ASSERT_TRUE(formstream::Isa<TProgressGraphic>(held));
    held->Report(true);
    held->Report(false);
    EXPECT_EQ(log.Seen, (std::vector<std::string>{"1 50 redraw half", "1 50 half"}));
}
