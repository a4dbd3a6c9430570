// The program's command line: which arguments run the catalogue, which answer and end,
// which are wrong, and what each prints with which exit status.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

using app::TCommandLine;

TEST(CommandLine, ArgumentsAndWhatTheyAskFor) {
    struct Case {
        std::vector<std::string_view> Args;
        TCommandLine::TAction Action;
        bool FullScreen;
        const char* Error;
    } cases[] = {
        {{}, TCommandLine::caRun, false, ""},
        {{"--fullscreen"}, TCommandLine::caRun, true, ""},
        {{"--fullscreen", "--fullscreen"}, TCommandLine::caRun, true, ""},
        {{"--help"}, TCommandLine::caHelp, false, ""},
        {{"--version"}, TCommandLine::caVersion, false, ""},
        {{"--version", "--help"}, TCommandLine::caVersion, false, ""}, // the first decides
        {{"--help", "--bogus"}, TCommandLine::caHelp, false, ""},
        {{"--bogus", "--help"}, TCommandLine::caWrong, false, "unknown option '--bogus'"},
        {{"-h"}, TCommandLine::caWrong, false, "unknown option '-h'"},
        {{"--"}, TCommandLine::caWrong, false, "unknown option '--'"},
        {{"--fullscreen=yes"}, TCommandLine::caWrong, false, "unknown option '--fullscreen=yes'"},
        {{"--HELP"}, TCommandLine::caWrong, false, "unknown option '--HELP'"},
        // The place of a later volume argument: not taken yet.
        {{"/media/cdrom"}, TCommandLine::caWrong, false, "unexpected argument '/media/cdrom'"},
        {{"--fullscreen", "D:"}, TCommandLine::caWrong, true, "unexpected argument 'D:'"},
        {{"-"}, TCommandLine::caWrong, false, "unexpected argument '-'"},
        {{""}, TCommandLine::caWrong, false, "unexpected argument ''"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.empty() ? std::string("(none)") : std::string(c.Args[0]));
        const TCommandLine line = app::ParseCommandLine(c.Args);
        EXPECT_EQ(line.Action, c.Action);
        EXPECT_EQ(line.FullScreen, c.FullScreen);
        EXPECT_EQ(line.Error, c.Error);
    }
}

TEST(CommandLine, AnswersGoToTheirStreamWithTheirStatus) {
    struct Case {
        std::vector<std::string_view> Args;
        int Status;
        std::string Out, Err;
    } cases[] = {
        {{"--help"}, 0, app::UsageText(), ""},
        {{"--version"}, 0, app::VersionText(), ""},
        {{"--what"}, 2, "", "quillot: unknown option '--what'\n" + app::UsageText()},
        {{"VOL1"}, 2, "", "quillot: unexpected argument 'VOL1'\n" + app::UsageText()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Args[0]));
        std::ostringstream out, err;
        EXPECT_EQ(app::AnswerCommandLine(app::ParseCommandLine(c.Args), out, err), c.Status);
        EXPECT_EQ(out.str(), c.Out);
        EXPECT_EQ(err.str(), c.Err);
    }
}

TEST(CommandLine, UsageNamesEveryOptionAndTheVersionIsTheProjects) {
    const std::string usage = app::UsageText();
    for (const char* word : {"Usage: quillot", "--fullscreen", "F11", "--help", "--version"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    // The version is the one the build's project states.
    EXPECT_EQ(app::VersionText(), std::string("quillot ") + QUILLOT_PROJECT_VERSION + "\n");
}

} // namespace
