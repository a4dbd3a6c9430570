// formdump with the program's classes lists the whole main window from the built form
// resource: the window and its 23 components, in stream order, with their classes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/common/Command.h"

namespace {

TEST(FormDumpProgram, ListsTheWholeMainWindow) {
    const std::string command = std::string("'") + FORMDUMP_PATH + "' '" + QUILLOT_BUILD_DIR +
                                "/generated/TFORM1.bin' 2>/dev/null";
    const testutil::TCommandRun run = testutil::RunCommand(command);
    EXPECT_EQ(run.Exit, 0);
    const std::string& out = run.Out;
    std::vector<std::string> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  object ", 0) == 0)
            objects.push_back(line.substr(9));
    const std::vector<std::string> expected = {"MainImage: TImage",
                                               "control: TImage",
                                               "SelectImage: TImage",
                                               "womanImage: TImage",
                                               "manImage: TImage",
                                               "childbabyImage: TImage",
                                               "title: TImage",
                                               "childbabyImage1: TImage",
                                               "back: TSpeedButton",
                                               "close: TSpeedButton",
                                               "SelectImage_eng: TImage",
                                               "start: TImage",
                                               "title_eng: TImage",
                                               "manImage_eng: TImage",
                                               "womanImage_eng: TImage",
                                               "childbabyImage_eng: TImage",
                                               "childbabyImage1_eng: TImage",
                                               "b_korean: TImage",
                                               "b_english: TImage",
                                               "ShowPanel: TPanel",
                                               "MediaPlayer1: TMediaPlayer",
                                               "Timer1: TTimer",
                                               "Save: TSaveDialog"};
    EXPECT_EQ(objects, expected);
    EXPECT_EQ(out.rfind("object Form1: TForm1\n", 0), 0u);
    EXPECT_NE(out.find("    Display = ShowPanel\n"), std::string::npos);
    EXPECT_NE(out.find("    OnTimer = Timer1Timer\n"), std::string::npos);
}

} // namespace
