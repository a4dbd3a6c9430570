// The catalogue end to end: the real program, its form resource and the ten clips of the
// build, driven by `scenario` on the headless backend.
#include <gtest/gtest.h>

#include <set>
#include <span>

#include "ScenarioRun.h"
#include "app/Clips.h"

namespace {

using scenariotest::RunScenario;
using scenariotest::TDump;
using scenariotest::TRun;
using scenariotest::TTempDir;

const std::vector<std::string> StartGroup = {"start", "b_korean", "b_english"};
const std::vector<std::string> KoreanGroup = {"SelectImage", "title",          "womanImage",
                                              "manImage",    "childbabyImage", "childbabyImage1"};
const std::vector<std::string> EnglishGroup = {"SelectImage_eng",    "title_eng",
                                               "womanImage_eng",     "manImage_eng",
                                               "childbabyImage_eng", "childbabyImage1_eng"};

enum class TScreen { Start, Clip, KoreanCategory, EnglishCategory };

void ExpectVisible(const TDump& d, const std::vector<std::string>& names, const char* visible) {
    for (const std::string& n : names)
        EXPECT_EQ(d.Of(n, "visible"), visible) << n;
}

void ExpectScreen(const TDump& d, TScreen screen) {
    ExpectVisible(d, StartGroup, screen == TScreen::Start ? "1" : "0");
    ExpectVisible(d, KoreanGroup, screen == TScreen::KoreanCategory ? "1" : "0");
    ExpectVisible(d, EnglishGroup, screen == TScreen::EnglishCategory ? "1" : "0");
    EXPECT_EQ(d.Of("ShowPanel", "visible"), screen == TScreen::Clip ? "1" : "0");
    EXPECT_EQ(d.Of("back", "enabled"), screen == TScreen::Start ? "0" : "1");
    // Always there: the background and both buttons; never: the media bar.
    ExpectVisible(d, {"MainImage", "back", "close"}, "1");
    EXPECT_EQ(d.Of("MediaPlayer1", "visible"), "0");
}

std::string ClipDirBackslashed() {
    std::string dir = QUILLOT_CLIP_DIR;
    for (char& c : dir)
        if (c == '/')
            c = '\\';
    return dir;
}

// Milliseconds after which a clip of `frames` frames at 15 frames per second has come to
// rest at its end and a tick has seen it.
int ClipTime(int frames) {
    return frames * 1000 / 15 + 400;
}

TEST(CatalogueE2e, StartsOnTheStartScreen) {
    TTempDir dir;
    const TRun run = RunScenario(dir, "dump\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 1u) << run.Out;
    const TDump& d = run.Dumps[0];
    EXPECT_EQ(TDump::Field(d.Window, "caption"), "Quillot 05 Vol. 1 ");
    EXPECT_EQ(TDump::Field(d.Window, "state"), "maximized");
    ExpectScreen(d, TScreen::Start);
    EXPECT_EQ(d.Of("control", "visible"), "1");
    EXPECT_EQ(d.Of("close", "enabled"), "1");
    EXPECT_EQ(d.Of("Timer1", "enabled"), "1");
    EXPECT_EQ(d.Of("Timer1", "interval"), "100");
    EXPECT_EQ(TDump::Field(d.Player, "open"), "0");
    EXPECT_EQ(TDump::Field(d.Shell, "clipstate"), "0");
    EXPECT_EQ(TDump::Field(d.Shell, "korean"), "1");
    EXPECT_EQ(TDump::Field(d.Shell, "exedir"), ClipDirBackslashed());
    // The 23 components (their order and classes: FormDumpProgram).
    EXPECT_EQ(d.Components.size(), 23u);
    EXPECT_EQ(run.ExitLine, 0);
}

struct TClipStep {
    std::string Click;
    app::TClipState State;
};

// The file that `state` plays in the chosen language and its end position, as the
// catalogue's own rules give them.
std::string FileOf(app::TClipState state, bool korean) {
    return std::string(app::ClipFile(state, korean));
}
int EndOf(app::TClipState state, bool korean) {
    return app::ClipEnd(state, korean)->Position;
}

// Every row of the transition table in one language: the introduction, then each
// category clip, each to its end through the real device and the timer.
void WalkLanguage(bool korean) {
    using namespace app;
    static const TClipStep korean_[] = {{"b_korean", csKoreanIntro},
                                        {"manImage", csMan},
                                        {"womanImage", csWoman},
                                        {"childbabyImage", csChildBaby},
                                        {"title", csOverview}};
    static const TClipStep english[] = {{"b_english", csEnglishIntro},
                                        {"manImage_eng", csMan},
                                        {"womanImage_eng", csWoman},
                                        {"childbabyImage1_eng", csChildBaby},
                                        {"title_eng", csOverview}};
    const std::span<const TClipStep> steps = korean ? std::span(korean_) : std::span(english);
    std::string script;
    for (const TClipStep& s : steps)
        script += "click " + s.Click + "\ndump\nadvance " +
                  std::to_string(ClipTime(EndOf(s.State, korean))) + "\ndump\n";
    script += "click close\n";
    TTempDir dir;
    const TRun run = RunScenario(dir, script);
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 2 * steps.size()) << run.Out;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TClipStep& s = steps[i];
        SCOPED_TRACE(s.Click);
        const TDump& playing = run.Dumps[2 * i];
        ExpectScreen(playing, TScreen::Clip);
        EXPECT_EQ(TDump::Field(playing.Shell, "clipstate"), std::to_string(s.State));
        EXPECT_EQ(TDump::Field(playing.Shell, "korean"), korean ? "1" : "0");
        EXPECT_EQ(TDump::Field(playing.Player, "file"),
                  ClipDirBackslashed() + FileOf(s.State, korean));
        EXPECT_EQ(TDump::Field(playing.Player, "open"), "1");
        EXPECT_EQ(TDump::Field(playing.Player, "length"), std::to_string(EndOf(s.State, korean)));
        const TDump& ended = run.Dumps[2 * i + 1];
        ExpectScreen(ended, korean ? TScreen::KoreanCategory : TScreen::EnglishCategory);
        EXPECT_EQ(TDump::Field(ended.Shell, "clipstate"), "0");
        EXPECT_EQ(TDump::Field(ended.Player, "position"), std::to_string(EndOf(s.State, korean)));
    }
    EXPECT_EQ(run.ExitLine, 0);
}

TEST(CatalogueE2e, KoreanClipsRunToTheirEnds) {
    WalkLanguage(true);
}

TEST(CatalogueE2e, EnglishClipsRunToTheirEnds) {
    WalkLanguage(false);
}

TEST(CatalogueE2e, BackDuringTheIntroductionLeadsToTheCategoryScreen) {
    TTempDir dir;
    const TRun run = RunScenario(dir, "click b_korean\nadvance 1000\nclick back\ndump\n"
                                      "advance 1000\ndump\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 2u);
    ExpectScreen(run.Dumps[0], TScreen::KoreanCategory);
    EXPECT_EQ(TDump::Field(run.Dumps[0].Shell, "clipstate"), "0");
    // The introduction plays on behind the hidden frame.
    EXPECT_EQ(TDump::Field(run.Dumps[1].Player, "open"), "1");
    EXPECT_EQ(TDump::Field(run.Dumps[1].Player, "file"), ClipDirBackslashed() + "\\main.avi");
    EXPECT_LT(std::stoi(TDump::Field(run.Dumps[0].Player, "position")),
              std::stoi(TDump::Field(run.Dumps[1].Player, "position")));
}

TEST(CatalogueE2e, BackOnTheCategoryScreenThenTheOtherLanguage) {
    TTempDir dir;
    const TRun run = RunScenario(
        dir, "click b_english\nadvance " +
                 std::to_string(ClipTime(EndOf(app::csEnglishIntro, false))) +
                 "\nclick back\ndump\nclick b_korean\ndump\nadvance " +
                 std::to_string(ClipTime(EndOf(app::csKoreanIntro, true))) + "\ndump\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 3u);
    ExpectScreen(run.Dumps[0], TScreen::Start);
    ExpectScreen(run.Dumps[1], TScreen::Clip);
    EXPECT_EQ(TDump::Field(run.Dumps[1].Shell, "clipstate"), "1");
    EXPECT_EQ(TDump::Field(run.Dumps[1].Player, "file"), ClipDirBackslashed() + "\\main.avi");
    ExpectScreen(run.Dumps[2], TScreen::KoreanCategory);
}

TEST(CatalogueE2e, AnEarlierClipPlaysOnHiddenUntilTheNextOpen) {
    TTempDir dir;
    const TRun run =
        RunScenario(dir, "click b_english\nadvance " +
                             std::to_string(ClipTime(EndOf(app::csEnglishIntro, false))) +
                             "\nclick manImage_eng\nadvance 2000\nclick back\n"
                             "advance 1000\ndump\nclick womanImage_eng\ndump\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 2u);
    const TDump& behind = run.Dumps[0];
    ExpectScreen(behind, TScreen::EnglishCategory);
    EXPECT_EQ(TDump::Field(behind.Player, "file"), ClipDirBackslashed() + "\\man_eng.avi");
    EXPECT_EQ(TDump::Field(behind.Player, "open"), "1");
    EXPECT_GE(std::stoi(TDump::Field(behind.Player, "position")), 40);
    const TDump& next = run.Dumps[1];
    EXPECT_EQ(TDump::Field(next.Player, "file"), ClipDirBackslashed() + "\\woman_eng.avi");
    EXPECT_LT(std::stoi(TDump::Field(next.Player, "position")), 5);
}

TEST(CatalogueE2e, AMissingClipShowsTheDeviceErrorAndTheProgramGoesOn) {
    TTempDir dir;
    TTempDir empty;
    const TRun run = RunScenario(dir,
                                 "click b_english\ndump\nadvance 1000\nok\ndump\n"
                                 "click back\ndump\nclick close\n",
                                 "--clips '" + empty.Path().string() + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 3u) << run.Out;
    const TDump& error = run.Dumps[0];
    ASSERT_EQ(error.Boxes.size(), 1u) << run.Out;
    EXPECT_EQ(TDump::Field(error.Boxes[0], "caption"), "quillot"); // the title from the file name
    const std::string text = TDump::Field(error.Boxes[0], "text");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '.');
    EXPECT_EQ(TDump::Field(error.Shell, "clipstate"), "2");
    ExpectScreen(error, TScreen::Clip); // the frame stays up, empty
    EXPECT_EQ(TDump::Field(error.Player, "open"), "0");
    const TDump& answered = run.Dumps[1];
    EXPECT_TRUE(answered.Boxes.empty());
    EXPECT_EQ(TDump::Field(answered.Shell, "clipstate"), "2");
    ExpectScreen(run.Dumps[2], TScreen::EnglishCategory);
    EXPECT_EQ(run.ExitLine, 0);
}

TEST(CatalogueE2e, LayoutFollowsTheWindowSize) {
    TTempDir dir;
    const TRun run =
        RunScenario(dir, "resize 1283 988\ndump\nclick b_english\nresize 700 627\ndump\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 2u);
    struct TCase {
        std::size_t Dump;
        std::string Name;
        std::string Bounds;
    };
    const TCase cases[] = {
        {0, "MainImage", "0,0,1274,952"},
        {0, "control", "287,162,700,628"},
        {0, "ShowPanel", "287,162,700,628"},
        {0, "start", "312,224,650,504"},
        {0, "SelectImage", "312,230,650,491"},
        {0, "SelectImage_eng", "312,230,650,484"},
        {0, "b_korean", "613,610,144,29"},
        {0, "back", "479,813,100,28"},
        {0, "close", "689,813,100,28"},
        // Smaller than the content, while a clip plays: halved toward zero.
        {1, "MainImage", "0,0,691,591"},
        {1, "control", "-4,-18,700,628"},
        {1, "ShowPanel", "-4,-18,700,628"},
        {1, "start", "20,43,650,504"},
        {1, "b_korean", "322,430,144,29"},
        {1, "MediaPlayer1", "224,880,253,30"}, // left alone
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name + " in dump " + std::to_string(c.Dump));
        EXPECT_EQ(run.Dumps[c.Dump].Of(c.Name, "bounds"), c.Bounds);
    }
    EXPECT_EQ(TDump::Field(run.Dumps[0].Window, "state"), "normal");
    EXPECT_EQ(TDump::Field(run.Dumps[0].Window, "outer"), "1283,988");
}

TEST(CatalogueE2e, FullScreenCentresTheLayoutOnTheScreenAndF11GoesBack) {
    TTempDir dir;
    const TRun byKey = RunScenario(dir, "dump\nkey F11\ndump\nkey F11\ndump\n");
    const TRun byOption = RunScenario(dir, "dump\nkey F11\ndump\n", "--fullscreen");
    ASSERT_EQ(byKey.Status, 0) << byKey.Err;
    ASSERT_EQ(byOption.Status, 0) << byOption.Err;
    ASSERT_EQ(byKey.Dumps.size(), 3u);
    ASSERT_EQ(byOption.Dumps.size(), 2u);
    const TDump& maximised = byKey.Dumps[0];
    const TDump& full = byKey.Dumps[1];
    // The client area is the 1280 x 1024 screen, the frame outside it; the layout reads
    // the outer size as it would for a maximised window of that client area, so the
    // anchor's centre (289 + 350, 197 + 314) is the screen's, less a pixel.
    EXPECT_EQ(TDump::Field(full.Window, "state"), "fullscreen");
    EXPECT_EQ(TDump::Field(full.Window, "outer"), "1288,1058");
    EXPECT_EQ(TDump::Field(full.Window, "client"), "1280,1024");
    EXPECT_EQ(full.Of("MainImage", "bounds"), "0,0,1279,1022");
    EXPECT_EQ(full.Of("control", "bounds"), "289,197,700,628");
    EXPECT_EQ(full.Of("start", "bounds"), "314,259,650,504");
    // F11 again gives the maximised window back, laid out as before; --fullscreen starts
    // where F11 leads.
    for (const TDump* same : {&byKey.Dumps[2], &byOption.Dumps[1]}) {
        EXPECT_EQ(same->Window, maximised.Window);
        EXPECT_EQ(same->Components, maximised.Components);
    }
    EXPECT_EQ(byOption.Dumps[0].Window, full.Window);
    EXPECT_EQ(byOption.Dumps[0].Components, full.Components);
}

TEST(CatalogueE2e, DirectoryOfTheExecutable) {
    struct TCase {
        std::string Args;
        std::string ExeDir;
        std::string IntroFile;
    };
    const TCase cases[] = {
        {"--clips /Kiosk", "\\Kiosk", "\\Kiosk\\main_eng.avi"},
        {"--clips D:", "D:\\", "D:\\\\main_eng.avi"}, // a drive's root: two backslashes
        {"--codepage 949 --clips '/k/\xB0\x5C'", "\\k\\\xB0\x5C", "\\k\\\xB0\x5C\\main_eng.avi"},
        {"--codepage 949 --clips '/\xC7\x5C\xB1\x5C'", "\\\xC7\x5C\xB1\x5C",
         "\\\xC7\x5C\xB1\x5C\\main_eng.avi"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args);
        TTempDir dir;
        const TRun run = RunScenario(dir, "click b_english\nok\ndump\n", c.Args);
        ASSERT_EQ(run.Status, 0) << run.Err;
        ASSERT_EQ(run.Dumps.size(), 1u) << run.Out;
        EXPECT_EQ(TDump::Field(run.Dumps[0].Shell, "exedir"), c.ExeDir);
        EXPECT_EQ(TDump::Field(run.Dumps[0].Player, "file"), c.IntroFile);
    }
}

TEST(CatalogueE2e, EndsWithExitCodeZero) {
    const std::string scripts[] = {
        "click close\n",
        "close\n",
        "click b_korean\nadvance 500\nclick close\n", // the clip is closed on the way out
        "click b_english\nadvance 500\nclose\n",
    };
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        TTempDir dir;
        const TRun run = RunScenario(dir, script + "dump\n");
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.ExitLine, 0);
        EXPECT_TRUE(run.Dumps.empty()) << "the script went on after the program ended";
    }
}

TEST(CatalogueE2e, ScriptErrorsGiveStatusTwoWithTheLine) {
    struct TCase {
        std::string Script;
        std::string Message;
    };
    const TCase cases[] = {
        {"dump\nclick nosuch\n", "line 2: unknown component nosuch"},
        {"# start\njump\n", "line 2: unknown command jump"},
        {"ok\n", "line 1: no message box is open"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Script);
        TTempDir dir;
        const TRun run = RunScenario(dir, c.Script);
        EXPECT_EQ(run.Status, 2);
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    }
}

TEST(CatalogueE2e, ScreenshotIsAPngOfTheScreen) {
    TTempDir dir;
    const auto png = dir.Path() / "start.png";
    const TRun run = RunScenario(dir, "screenshot " + png.string() + "\n", "--screen 800x600");
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string bytes = testutil::ReadAll(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto be32 = [&](std::size_t at) {
        return (unsigned char)bytes[at] << 24 | (unsigned char)bytes[at + 1] << 16 |
               (unsigned char)bytes[at + 2] << 8 | (unsigned char)bytes[at + 3];
    };
    EXPECT_EQ(be32(16), 800u); // IHDR width and height
    EXPECT_EQ(be32(20), 600u);
}

} // namespace
