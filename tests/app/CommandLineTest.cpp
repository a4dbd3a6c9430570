// The program's command line: which arguments run the catalogue (on which volume), which
// answer and end, and which are wrong (what each prints, and its status, the end-to-end
// test checks on the real program).
#include <gtest/gtest.h>

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
        const char* Volume;
        const char* Error;
    } cases[] = {
        {{}, TCommandLine::caRun, false, "", ""},
        {{"--fullscreen"}, TCommandLine::caRun, true, "", ""},
        {{"--fullscreen", "--fullscreen"}, TCommandLine::caRun, true, "", ""},
        {{"--help"}, TCommandLine::caHelp, false, "", ""},
        {{"--version"}, TCommandLine::caVersion, false, "", ""},
        {{"--version", "--help"}, TCommandLine::caVersion, false, "", ""}, // the first decides
        {{"--help", "--bogus"}, TCommandLine::caHelp, false, "", ""},
        {{"--bogus", "--help"}, TCommandLine::caWrong, false, "", "unknown option '--bogus'"},
        {{"-h"}, TCommandLine::caWrong, false, "", "unknown option '-h'"},
        {{"--fullscreen=yes"},
         TCommandLine::caWrong,
         false,
         "",
         "unknown option '--fullscreen=yes'"},
        {{"--HELP"}, TCommandLine::caWrong, false, "", "unknown option '--HELP'"},
        // One volume, before or after the options; "--" ends the options.
        {{"/media/cdrom"}, TCommandLine::caRun, false, "/media/cdrom", ""},
        {{"D:", "--fullscreen"}, TCommandLine::caRun, true, "D:", ""},
        {{"--", "--help"}, TCommandLine::caRun, false, "--help", ""},
        {{"--", "-x", "--fullscreen"},
         TCommandLine::caWrong,
         false,
         "-x",
         "unexpected argument '--fullscreen'"},
        {{"-"}, TCommandLine::caRun, false, "-", ""},
        {{"my disc/SETUP.EXE"}, TCommandLine::caRun, false, "my disc/SETUP.EXE", ""},
        {{"a", "b"}, TCommandLine::caWrong, false, "a", "unexpected argument 'b'"},
        {{"a", "--help"}, TCommandLine::caHelp, false, "a", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.empty() ? std::string("(none)") : std::string(c.Args[0]));
        const TCommandLine line = app::ParseCommandLine(c.Args);
        EXPECT_EQ(line.Action, c.Action);
        EXPECT_EQ(line.FullScreen, c.FullScreen);
        EXPECT_EQ(line.Volume, c.Volume);
        EXPECT_EQ(line.Error, c.Error);
    }
}

TEST(CommandLine, UsageNamesEveryOptionAndTheVersionIsTheProjects) {
    const std::string usage = app::UsageText();
    for (const char* word :
         {"Usage: quillot", "--fullscreen", "F11", "[VOLUME]", "--help", "--version"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    // The version is the one the build's project states.
    EXPECT_EQ(app::VersionText(), std::string("quillot ") + QUILLOT_PROJECT_VERSION + "\n");
}

} // namespace
