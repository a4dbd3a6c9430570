// The media player's button bar on the headless backend: pixels of its faces and glyphs,
// mouse presses with capture, clicks and their events, keys, and the layout on resize.
#include "PlayerFixture.h"

namespace media::testing {
namespace {

namespace pt = platform::testing;

// 0x00RRGGBB of a colour value, system colours resolved as the screen shows them.
std::uint32_t Rgb(TColor color) {
    std::uint32_t c = formstream::ColorValue(color);
    if (c & formstream::clSystemColor)
        c = GetSysColor(int(c & 0xFF));
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Records the bar's events.
struct Events : formstream::TObject {
    std::vector<TMPBtnType> Clicks;
    std::vector<TMPBtnType> PostClicks;
    bool Refuse = true; // DoDefault := false, so that no device is needed
    void OnClick(formstream::TObject*, TMPBtnType button, bool& doDefault) {
        Clicks.push_back(button);
        if (Refuse)
            doDefault = false;
    }
    void OnPostClick(formstream::TObject*, TMPBtnType button) { PostClicks.push_back(button); }
};

class PlayerTestBar : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        Player->OnClick = EMPNotify::Of<&Events::OnClick>(&Log);
        Player->OnPostClick = EMPPostNotify::Of<&Events::OnPostClick>(&Log);
    }
    // Client point of the player in screen coordinates.
    POINT Screen(int x, int y) {
        POINT p{x, y};
        ClientToScreen(Player->Handle(), &p);
        return p;
    }
    void Press(int x, int y = 15) {
        const POINT p = Screen(x, y);
        pt::MouseDown(p.x, p.y);
        pt::PumpMessages();
    }
    void Move(int x, int y = 15) {
        const POINT p = Screen(x, y);
        pt::MouseMove(p.x, p.y);
        pt::PumpMessages();
    }
    void Release(int x, int y = 15) {
        const POINT p = Screen(x, y);
        pt::MouseUp(p.x, p.y);
        pt::PumpMessages();
    }
    void UseAllButtons() {
        Player->SetAutoEnable(false);
        pt::PumpMessages();
    }
    // Whether the glyph appears at its place on button `button` (left edge 28 * n for the
    // n-th visible button), olive shown as the button face.
    ::testing::AssertionResult GlyphShown(const pt::Image& shot, int left, graphics::TBitmap* glyph,
                                          bool pushedIn) {
        const int w = glyph->GetWidth(), h = glyph->GetHeight();
        const int shift = pushedIn ? 1 : 0; // centred on the button, moved when pushed in
        const rtl::TPoint at{left + Player->ButtonWidth() / 2 - w / 2 + shift,
                             Player->Height() / 2 - h / 2 + shift};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const TColor c = glyph->Canvas()->Pixels(x, y);
                const std::uint32_t expected =
                    c == formstream::clOlive ? Rgb(formstream::clBtnFace) : Rgb(c);
                if (shot.At(at.X + x, at.Y + y) != expected)
                    return ::testing::AssertionFailure()
                           << "glyph pixel (" << x << "," << y << ") expected " << std::hex
                           << expected << ", got " << shot.At(at.X + x, at.Y + y);
            }
        return ::testing::AssertionSuccess();
    }
    Events Log;
};

TEST_F(PlayerTestBar, ResizeFitsTheButtonsAndKeepsTheMinimum) {
    EXPECT_EQ(Player->MinButtonWidth(), 29); // the widest glyph, 21, plus 8
    EXPECT_EQ(Player->MinHeight(), 20);
    struct Case {
        int Width, Height, ExpectedWidth, ExpectedHeight, ExpectedButtonWidth;
    };
    const Case cases[] = {
        {253, 30, 253, 30, 29}, // the catalogue's size stays
        {300, 40, 298, 40, 34}, // made exactly as wide as its buttons
        {240, 30, 253, 30, 29}, // too narrow for the glyphs
        {253, 10, 253, 20, 29}, // too low for the glyphs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Width);
        Player->SetBounds(0, 250, c.Width, c.Height);
        EXPECT_EQ(Player->Width(), c.ExpectedWidth);
        EXPECT_EQ(Player->Height(), c.ExpectedHeight);
        EXPECT_EQ(Player->ButtonWidth(), c.ExpectedButtonWidth);
    }
}

TEST_F(PlayerTestBar, PaintDrawsFacesBevelsAndGlyphs) {
    UseAllButtons();
    Player->SetColoredButtons(TButtonSet{btPlay, btStop});
    pt::PumpMessages();
    const pt::Image shot = pt::CaptureWindow(Player->Handle());
    ASSERT_EQ(shot.Width, 253);
    for (int i = 0; i < MPButtonCount; ++i) {
        SCOPED_TRACE(i);
        const int x = 28 * i;
        EXPECT_EQ(shot.At(x, 15), Rgb(formstream::clWindowFrame));
        EXPECT_EQ(shot.At(x + 1, 15), Rgb(formstream::clBtnHighlight));
        EXPECT_EQ(shot.At(x + 10, 1), Rgb(formstream::clBtnHighlight));
        EXPECT_EQ(shot.At(x + 27, 15), Rgb(formstream::clBtnShadow));
        EXPECT_EQ(shot.At(x + 10, 28), Rgb(formstream::clBtnShadow));
        EXPECT_EQ(shot.At(x + 3, 3), Rgb(formstream::clBtnFace));
        const auto b = static_cast<TMPBtnType>(i);
        const int kind = (b == btPlay || b == btStop) ? 2 : 0;
        EXPECT_TRUE(GlyphShown(shot, x, Player->Glyph(b, kind), false));
    }
    EXPECT_EQ(shot.At(252, 15), Rgb(formstream::clWindowFrame));
}

TEST_F(PlayerTestBar, GlyphFollowsUsability) {
    struct Case {
        const char* Name;
        bool AutoEnable;
        bool ControlEnabled;
        bool Coloured;
        bool AutoEnabled;
        int ExpectedKind;
    };
    const Case cases[] = {
        {"auto-enabled and coloured", true, true, true, true, 2},
        {"auto-enabled, not coloured", true, true, false, true, 0},
        {"greyed by the device's state", true, true, true, false, 1},
        {"enabled buttons decide without AutoEnable", false, true, true, false, 2},
        {"a disabled control greys everything", false, false, true, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        if (c.AutoEnabled) {
            Recorder->ScriptDigitalVideo(100);
            Player->Open();
        }
        Player->SetAutoEnable(c.AutoEnable);
        Player->SetEnabled(c.ControlEnabled);
        Player->SetColoredButtons(c.Coloured ? AllButtons : TButtonSet{});
        pt::PumpMessages();
        const pt::Image shot = pt::CaptureWindow(Player->Handle());
        EXPECT_TRUE(GlyphShown(shot, 0, Player->Glyph(btPlay, c.ExpectedKind), false));
    }
}

TEST_F(PlayerTestBar, PressAtTheSharedBorderHitsTheLeftButtonAndDrawsItPushedIn) {
    UseAllButtons();
    Press(28);
    EXPECT_EQ(Player->FocusedButton(), btPlay);
    EXPECT_EQ(GetCapture(), Player->Handle());
    const pt::Image shot = pt::CaptureWindow(Player->Handle());
    EXPECT_EQ(shot.At(1, 15), Rgb(formstream::clBtnShadow));
    EXPECT_EQ(shot.At(10, 1), Rgb(formstream::clBtnShadow));
    EXPECT_EQ(shot.At(27, 15), Rgb(formstream::clBtnFace))
        << "no lower-right shadow when pushed in";
    EXPECT_TRUE(GlyphShown(shot, 0, Player->Glyph(btPlay, 2), true));
    Release(28);
    EXPECT_EQ(Log.Clicks, (std::vector<TMPBtnType>{btPlay}));
    EXPECT_EQ(Log.PostClicks, (std::vector<TMPBtnType>{btPlay})) << "even with DoDefault false";
    EXPECT_TRUE(Lines().empty()) << "the operation was skipped";
    EXPECT_EQ(GetCapture(), nullptr);

    Press(30);
    Release(30);
    EXPECT_EQ(Log.Clicks, (std::vector<TMPBtnType>{btPlay, btPause}));
    EXPECT_EQ(Player->FocusedButton(), btPause);
    // A double click acts as a second press.
    SendMessageA(Player->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(30, 15));
    SendMessageA(Player->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 15));
    EXPECT_EQ(Log.Clicks, (std::vector<TMPBtnType>{btPlay, btPause, btPause}));
}

TEST_F(PlayerTestBar, LeavingTheButtonBeforeReleaseClicksNothingComingBackDoes) {
    UseAllButtons();
    Press(70); // btStop
    Move(200);
    const pt::Image shot = pt::CaptureWindow(Player->Handle());
    EXPECT_TRUE(GlyphShown(shot, 56, Player->Glyph(btStop, 2), false)) << "drawn raised outside";
    Release(200);
    EXPECT_TRUE(Log.Clicks.empty());
    EXPECT_TRUE(Log.PostClicks.empty());

    Press(70);
    Move(200);
    Move(71, 5);
    Release(71, 5);
    EXPECT_EQ(Log.Clicks, (std::vector<TMPBtnType>{btStop}));
}

TEST_F(PlayerTestBar, GreyedButtonsIgnorePresses) {
    // AutoEnable with no device open: nothing is usable.
    Press(70);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Player->FocusedButton(), btPlay);
    Release(70);
    EXPECT_TRUE(Log.Clicks.empty());
    // Without AutoEnable the enabled buttons decide.
    Player->SetAutoEnable(false);
    Player->SetEnabledButtons(AllButtons - TButtonSet{btStop});
    Press(70);
    Release(70);
    EXPECT_TRUE(Log.Clicks.empty());
}

TEST_F(PlayerTestBar, EmptyVisibleButtonsLeaveOneInertButton) {
    UseAllButtons();
    Player->SetVisibleButtons({});
    pt::PumpMessages();
    EXPECT_EQ(Player->Width(), 29);
    Press(10);
    Release(10);
    EXPECT_TRUE(Log.Clicks.empty());
    EXPECT_EQ(GetCapture(), nullptr);

    Player->SetVisibleButtons(TButtonSet{btStop, btEject});
    EXPECT_EQ(Player->Width(), 57);
    Press(40);
    Release(40);
    EXPECT_EQ(Log.Clicks, (std::vector<TMPBtnType>{btEject}));
}

TEST_F(PlayerTestBar, KeysMoveTheFocusAndSpaceClicks) {
    UseAllButtons();
    Player->SetVisibleButtons(AllButtons - TButtonSet{btStop});
    SetFocus(Player->Handle());
    pt::PumpMessages();
    EXPECT_EQ(SendMessageA(Player->Handle(), WM_GETDLGCODE, 0, 0), 1);
    struct Step {
        int Key;
        TMPBtnType Expected;
    };
    const Step steps[] = {
        {VK_LEFT, btPlay},    {VK_RIGHT, btPause}, {VK_RIGHT, btNext},  {VK_LEFT, btPause},
        {VK_RIGHT, btNext},   {VK_RIGHT, btPrev},  {VK_RIGHT, btStep},  {VK_RIGHT, btBack},
        {VK_RIGHT, btRecord}, {VK_RIGHT, btEject}, {VK_RIGHT, btEject},
    };
    for (const Step& s : steps) {
        pt::KeyPress(s.Key);
        pt::PumpMessages();
        EXPECT_EQ(Player->FocusedButton(), s.Expected);
    }
    pt::KeyPress(VK_SPACE);
    pt::PumpMessages();
    EXPECT_EQ(Log.Clicks, (std::vector<TMPBtnType>{btEject}));
    // Space looks at the enabled buttons, whatever AutoEnable says.
    Player->SetEnabledButtons(AllButtons - TButtonSet{btEject});
    pt::KeyPress(VK_SPACE);
    pt::PumpMessages();
    EXPECT_EQ(Log.Clicks.size(), 1u);
}

TEST_F(PlayerTestBar, ClicksAdjustTheAutoButtonsOnAnOpenDevice) {
    Log.Refuse = false;
    Recorder->ScriptDigitalVideo(100);
    Player->Open();
    Press(10); // Play
    Release(10);
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPause, btStop, btNext, btPrev, btStep, btBack}));
    Recorder->SetStatus(MCI_STATUS_MODE, MCI_MODE_PLAY);
    Press(40); // Pause
    Release(40);
    EXPECT_EQ(Player->AutoButtons(),
              (TButtonSet{btPlay, btPause, btStop, btNext, btPrev, btStep, btBack}));
    Press(70); // Stop
    Release(70);
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPlay, btNext, btPrev, btStep, btBack}));
    EXPECT_EQ(Log.PostClicks, (std::vector<TMPBtnType>{btPlay, btPause, btStop}));

    // A failing command leaves the set alone.
    Recorder->SetResult(MCI_PLAY, MCIERR_HARDWARE);
    Press(10);
    Release(10);
    EXPECT_EQ(Player->AutoButtons(), (TButtonSet{btPlay, btNext, btPrev, btStep, btBack}));
}

TEST_F(PlayerTestBar, VisibleButtonsBeforeTheFirstLayoutKeepsAPositiveWidth) {
    // A player without a window yet has had no layout: its buttons share its width.
    auto* fresh = new TMediaPlayer(Form);
    ASSERT_EQ(fresh->ButtonWidth(), 0);
    fresh->SetVisibleButtons(TButtonSet{btPlay, btPause, btStop});
    EXPECT_EQ(fresh->ButtonWidth(), 80); // (240 - 1) / 3 + 1
    EXPECT_EQ(fresh->Width(), 240);
}

TEST_F(PlayerTestBar, UpdatePhaseDefersTheWidthToItsEnd) {
    Player->Updating();
    Player->SetVisibleButtons(TButtonSet{btPlay, btStop});
    EXPECT_EQ(Player->Width(), 253) << "unchanged while updating";
    EXPECT_EQ(Player->ButtonWidth(), 127); // (253 - 1) / 2 + 1
    Player->Updated();
    EXPECT_EQ(Player->Width(), 253);
    Player->SetBounds(0, 250, 100, 30);
    EXPECT_EQ(Player->ButtonWidth(), 50);
    EXPECT_EQ(Player->Width(), 99);
}

TEST_F(PlayerTestBar, UpdatePhaseBeforeTheFirstLayoutKeepsAPositiveWidth) {
    // The end of an update phase fits the bar to its buttons; before any layout they
    // share the bar's current width, (240 - 1) / 9 + 1 = 27, so the bar is 9 * 26 + 1.
    auto* fresh = new TMediaPlayer(Form);
    ASSERT_EQ(fresh->ButtonWidth(), 0);
    fresh->Updating();
    fresh->Updated();
    EXPECT_EQ(fresh->ButtonWidth(), 27);
    EXPECT_EQ(fresh->Width(), 235);
}

TEST(ButtonLayout, WidthsAreNeverBelowOnePixel) {
    struct Case {
        int BarWidth, Count, ButtonWidth, FittedBar;
    } cases[] = {
        {253, 9, 29, 253}, // the catalogue's player
        {1, 9, 1, 1},      {0, 9, 1, 1}, {-20, 9, 1, 1}, {-1, 1, 1, 1}, {2, 1, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.BarWidth);
        EXPECT_EQ(ButtonWidthFor(c.BarWidth, c.Count), c.ButtonWidth);
        EXPECT_EQ(BarWidthFor(c.Count, ButtonWidthFor(c.BarWidth, c.Count)), c.FittedBar);
    }
    // A button width that was never laid out (0) or is nonsense makes a one-pixel bar.
    for (const int buttonWidth : {0, -3})
        EXPECT_EQ(BarWidthFor(9, buttonWidth), 1) << buttonWidth;
}

} // namespace
} // namespace media::testing
