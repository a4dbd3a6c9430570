// The real program's command line: help and version on standard output with status 0,
// anything else wrong on standard error with status 2, a missing volume with status 1,
// and nothing opened on the way (these run without a display).
#include <gtest/gtest.h>

#include <string>

#include "app/CommandLine.h"
#include "tests/common/Command.h"

namespace {

using testutil::RunCommand;

TEST(CommandLineE2e, TheProgramAnswersAndEndsWithTheRightStatus) {
    struct Case {
        const char* Args;
        int Status;
        std::string Out, Err;
    } cases[] = {
        {"--help", 0, app::UsageText(), ""},
        {"--version", 0, app::VersionText(), ""},
        {"--fullscreen --help", 0, app::UsageText(), ""},
        {"--kiosk", 2, "", "quillot: unknown option '--kiosk'\n" + app::UsageText()},
        {"vol1 vol2", 2, "", "quillot: unexpected argument 'vol2'\n" + app::UsageText()},
        // A volume that is not there: its message (shown on standard error without a
        // display) and status 1.
        {"/nonexistent/cdrom", 1, "",
         "platform: no display; running without windows on screen\nquillot: Cannot open the "
         "volume \"/nonexistent/cdrom\": there is no such file or folder.\n"},
    };
    const std::string program =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + QUILLOT_PATH + "' ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args);
        const auto out = RunCommand(program + c.Args + " 2>/dev/null");
        EXPECT_EQ(out.Exit, c.Status);
        EXPECT_EQ(out.Out, c.Out);
        const auto err = RunCommand(program + c.Args + " 2>&1 >/dev/null");
        EXPECT_EQ(err.Out, c.Err);
    }
}

} // namespace
