// formdump: reading a stream with the real reader and listing what was read; failures
// give the reader's exact message.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "MainFormStandIns.h"
#include "StreamBytes.h"
#include "tests/common/Files.h"
#include "tests/common/Golden.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowsExe.h"
#include "tools/dev/formdump/FormDump.h"

using namespace formstream;
using namespace testclasses;

namespace {

class FormDump : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClassRegistry();
        RegisterTestClasses();
        RegisterStreamClass(&mainformstandins::TForm1::ClassInfo);
    }
    void TearDown() override { ResetClassRegistry(); }
    testutil::TTempDir FDir{"formdump"};

    // Runs the command line with `args` after the program's name.
    int RunArgs(std::vector<std::string> args, std::string& out, std::string& err) {
        std::vector<const char*> argv = {"formdump"};
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        std::ostringstream o, e;
        const int status = formdump::FormDumpMain(int(argv.size()), argv.data(), o, e);
        out = o.str();
        err = e.str();
        return status;
    }

    // Runs the command line on a file holding `bytes`.
    int Run(const std::string& bytes, std::string& out, std::string& err) {
        const std::string path = FDir / "form.bin";
        std::ofstream(path, std::ios::binary) << bytes;
        const char* argv[] = {"formdump", path.c_str()};
        std::ostringstream o, e;
        const int status = formdump::FormDumpMain(2, argv, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
};

} // namespace

TEST_F(FormDump, ListsWhatTheReaderSet) {
    TBytes b;
    b.Sig().Obj("TTestRoot", "Form1").Prop("Color").Ident("CLBTNFACE").Prop("Width").Int(100);
    b.Prop("Extra").Int(3).End();
    b.Obj("TWidget", "First").Prop("OnClick").Ident("buttonclick").Prop("Ref").Ident("Gadget");
    b.Prop("Font.Style").Tag(tagSet).Str("fsBold").End().End().End();
    b.Obj("TGadget", "Gadget").End().End();
    b.End();
    std::string out, err;
    EXPECT_EQ(Run(b.Bytes(), out, err), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, "object Form1: TTestRoot\n"
                   "  Left = 0\n"
                   "  Color = clBtnFace\n"
                   "  Extra = 3\n"
                   "  object First: TWidget\n"
                   "    Left = 0\n"
                   "    OnClick = ButtonClick\n"
                   "    Ref = Gadget\n"
                   "    Font.Style = [fsBold]\n"
                   "  end\n"
                   "  object Gadget: TGadget\n"
                   "    Left = 0\n"
                   "  end\n"
                   "end\n");
}

TEST_F(FormDump, FailuresGiveTheExactMessage) {
    struct Case {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"TPF0", "Stream read error\n"},
        {"XXXX", "Invalid stream format\n"},
        {TBytes().Sig().Obj("TNowhere", "X").End().End().Bytes(), "Class TNowhere not found\n"},
        {TBytes().Sig().Obj("TTestRoot", "R").Prop("Cursor").Ident("crNope").End().End().Bytes(),
         "Error reading R.Cursor: Invalid property value\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::string out, err;
        EXPECT_EQ(Run(c.bytes, out, err), 1);
        EXPECT_EQ(err, c.message);
        EXPECT_EQ(out, "");
    }
    const char* none[] = {"formdump"};
    std::ostringstream o, e;
    EXPECT_EQ(formdump::FormDumpMain(1, none, o, e), 2);
    EXPECT_NE(e.str().find("Usage: formdump [--resource NAME] FILE"), std::string::npos);
}

TEST_F(FormDump, ListsTheMainWindow) {
    std::string out, err;
    ASSERT_EQ(
        Run(testutil::ReadAll(std::string(QUILLOT_BUILD_DIR) + "/generated/TFORM1.bin"), out, err),
        0)
        << err;
    EXPECT_EQ(out.substr(0, 40), "object Form1: TForm1\n  Left = -4\n  Top =");
    const std::size_t gifBytes =
        testutil::ReadAll(std::string(QUILLOT_BUILD_DIR) + "/generated/MainImage.gif").size();
    EXPECT_NE(out.find("    Picture.Data = <TGIFImage picture, " + std::to_string(gifBytes) +
                       " bytes>\n"),
              std::string::npos);
    EXPECT_NE(out.find("    Display = ShowPanel\n"), std::string::npos);
    EXPECT_NE(out.find("    OnClick = b_englishClick\n"), std::string::npos);
    EXPECT_NE(out.find("  object Save: TSaveDialog\n    FileName = '05vol1.zip'"),
              std::string::npos);
}

TEST_F(FormDump, MainWindowListingMatchesGoldenFile) {
    std::string out, err;
    ASSERT_EQ(
        Run(testutil::ReadAll(std::string(QUILLOT_BUILD_DIR) + "/generated/TFORM1.bin"), out, err),
        0)
        << err;
    testutil::ExpectMatchesGoldenFile(out, std::string(QUILLOT_TEST_DATA) +
                                               "/formstream/golden/TFORM1.formdump.txt");
}

// The form resource of a Windows executable lists as the stream itself does: the same
// golden file, for 32- and 64-bit files and for a resource of another name.
TEST_F(FormDump, WindowsExecutablesListTheirFormResource) {
    const std::string form = std::string(QUILLOT_BUILD_DIR) + "/generated/TFORM1.bin";
    const std::string golden = testutil::ReadAll(std::string(QUILLOT_TEST_DATA) +
                                                 "/formstream/golden/TFORM1.formdump.txt");
    struct Case {
        testutil::EPeKind Kind;
        const char* ResourceName;
        std::vector<std::string> Options;
        int Status;
        const char* Says; // the listing when empty, else what standard error says
    } cases[] = {
        {testutil::EPeKind::Pe32, "TFORM1", {}, 0, ""},
        {testutil::EPeKind::Pe64, "TFORM1", {}, 0, ""},
        {testutil::EPeKind::Pe64, "SECOND", {"--resource", "second"}, 0, ""},
        {testutil::EPeKind::Pe32, "SECOND", {}, 1, "has no such resource (TFORM1)"},
        {testutil::EPeKind::Pe32, "TFORM1", {"--resource", "OTHER"}, 1, "(OTHER)"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string dir = FDir / ("exe" + std::to_string(n++));
        std::filesystem::create_directories(dir);
        testutil::TWindowsExeParts parts;
        parts.Form = form;
        parts.FormName = c.ResourceName;
        const testutil::TWindowsExe exe = testutil::BuildWindowsExe(dir, c.Kind, parts);
        ASSERT_FALSE(exe.Path.empty()) << exe.Error;
        std::vector<std::string> args = c.Options;
        args.push_back(exe.Path);
        std::string out, err;
        EXPECT_EQ(RunArgs(args, out, err), c.Status) << err;
        if (c.Status == 0)
            EXPECT_EQ(out, golden);
        else
            EXPECT_NE(err.find(c.Says), std::string::npos) << err;
    }
    // A form stream named with --resource is no executable.
    std::string out, err;
    EXPECT_EQ(RunArgs({"--resource", "TFORM1", form}, out, err), 1);
    EXPECT_NE(err.find("not a Windows executable"), std::string::npos) << err;
}
