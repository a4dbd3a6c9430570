// The scenario language: every command with its arguments, comments, and the errors a
// script can make, each with its line number.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/win32.h"
#include "tools/dev/scenario/Script.h"

namespace {

using scenario::TCommandKind;

TEST(ScenarioScript, ParsesEveryCommand) {
    std::istringstream in("# a whole session\n"
                          "\n"
                          "click b_english   # by name\n"
                          "click 10 -20\n"
                          "press 1 2\n"
                          "move 3 4\n"
                          "release 5 6\n"
                          "key space\n"
                          "advance 1500\n"
                          "resize 700 627\n"
                          "maximize\n"
                          "ok\n"
                          "close\n"
                          "screenshot /tmp/x.png\n"
                          "  dump  \n");
    std::vector<scenario::TCommand> cs;
    scenario::TScriptError error;
    ASSERT_TRUE(scenario::ParseScript(in, cs, error)) << error.Message;
    struct TExpected {
        TCommandKind Kind;
        int Line;
        std::string Text;
        int A, B;
    };
    const TExpected expected[] = {
        {TCommandKind::ClickName, 3, "b_english", 0, 0},
        {TCommandKind::ClickAt, 4, "", 10, -20},
        {TCommandKind::Press, 5, "", 1, 2},
        {TCommandKind::Move, 6, "", 3, 4},
        {TCommandKind::Release, 7, "", 5, 6},
        {TCommandKind::Key, 8, "space", VK_SPACE, 0},
        {TCommandKind::Advance, 9, "", 1500, 0},
        {TCommandKind::Resize, 10, "", 700, 627},
        {TCommandKind::Maximize, 11, "", 0, 0},
        {TCommandKind::Ok, 12, "", 0, 0},
        {TCommandKind::Close, 13, "", 0, 0},
        {TCommandKind::Screenshot, 14, "/tmp/x.png", 0, 0},
        {TCommandKind::Dump, 15, "", 0, 0},
    };
    ASSERT_EQ(cs.size(), std::size(expected));
    for (std::size_t i = 0; i < cs.size(); ++i) {
        SCOPED_TRACE("command " + std::to_string(i));
        EXPECT_EQ(cs[i].Kind, expected[i].Kind);
        EXPECT_EQ(cs[i].Line, expected[i].Line);
        EXPECT_EQ(cs[i].Text, expected[i].Text);
        EXPECT_EQ(cs[i].A, expected[i].A);
        EXPECT_EQ(cs[i].B, expected[i].B);
    }
}

TEST(ScenarioScript, ReportsTheFirstErrorWithItsLine) {
    struct TCase {
        std::string Script;
        int Line;
        std::string Message;
    };
    const TCase cases[] = {
        {"dump\nfly away\n", 2, "unknown command fly"},
        {"click\n", 1, "click takes two integers"},
        {"click 1 2 3\n", 1, "click takes two integers"},
        {"move 1 x\n", 1, "move takes two integers"},
        {"press 99999999999 1\n", 1, "press takes two integers"},
        {"resize 0 10\n", 1, "resize takes a positive width and height"},
        {"advance -5\n", 1, "advance takes a number of milliseconds"},
        {"advance\n", 1, "advance takes a number of milliseconds"},
        {"key Hyper\n", 1, "unknown key Hyper"},
        {"\n\n  ok now\n", 3, "ok takes no arguments"},
        {"screenshot\n", 1, "screenshot takes a file name"},
        {"Dump\n", 1, "unknown command Dump"}, // commands are lower case
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Script);
        std::istringstream in(c.Script);
        std::vector<scenario::TCommand> cs;
        scenario::TScriptError error;
        EXPECT_FALSE(scenario::ParseScript(in, cs, error));
        EXPECT_EQ(error.Line, c.Line);
        EXPECT_EQ(error.Message, c.Message);
    }
}

TEST(ScenarioScript, KeyNames) {
    const std::pair<const char*, int> cases[] = {
        {"Space", VK_SPACE},
        {"RETURN", VK_RETURN},
        {"F1", VK_F1},
        {"f12", VK_F1 + 11},
        {"a", 'A'},
        {"7", '7'},
        {"F13", 0},
        {"F", 'F'},
        {"", 0},
        {"Escape", VK_ESCAPE},
        {"PageUp", VK_PRIOR},
    };
    for (const auto& [name, key] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(scenario::VirtualKeyByName(name), key);
    }
}

} // namespace
