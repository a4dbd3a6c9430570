#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/common/TempDir.h"

namespace {

struct RescompRun {
    int Status;
    std::string Output; // the generated source, or the error text
};

// Writes `script` (and a data file "data.bin") to a scratch folder and runs rescomp on it.
RescompRun Compile(const std::string& name, const std::string& script) {
    testutil::TTempDir scratch("rescomp");
    const std::string dir = scratch.String();
    std::ofstream(dir + "/data.bin", std::ios::binary) << "XYZ";
    std::ofstream(dir + "/" + name + ".rc", std::ios::binary) << script;
    std::string out = dir + "/" + name + ".cpp", err = dir + "/" + name + ".err";
    std::string cmd =
        std::string(QUILLOT_RESCOMP) + " " + dir + "/" + name + ".rc " + out + " 2> " + err;
    int status = std::system(cmd.c_str());
    std::ifstream in(status == 0 ? out : err);
    std::stringstream text;
    text << in.rdbuf();
    return RescompRun{status, text.str()};
}

} // namespace

TEST(Rescomp, AcceptsTheScriptDialect) {
    struct Case {
        const char* Name;
        const char* Script;
        const char* Expect; // a fragment of the generated table
    };
    const Case cases[] = {
        {"named", "TFORM1 RCDATA \"data.bin\"\n", "{nullptr, 10, \"TFORM1\", 0, Data0, 3}"},
        {"numbered", "42 RCDATA \"data.bin\"", "{nullptr, 10, nullptr, 42, Data0, 3}"},
        {"quoted", "\"My Name\" 10 \"data.bin\"", "{nullptr, 10, \"My Name\", 0, Data0, 3}"},
        {"custom type", "X \"GIF\" \"data.bin\"", "{\"GIF\", 0, \"X\", 0, Data0, 3}"},
        {"comments", "// c\n/* block\n */\n  # pragma\nA RCDATA \"data.bin\" // tail",
         "\"A\", 0, Data0, 3"},
        {"strings", "STRINGTABLE { 17, \"x\" }", "{nullptr, 6, nullptr, 2, Data0, 34}"},
        {"begin end", "STRINGTABLE LANGUAGE 0, 0 BEGIN 1 \"a\" END", "{nullptr, 6, nullptr, 1"},
        {"empty", "", "RegisterResourceTable(Entries, 0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RescompRun r = Compile("ok", c.Script);
        ASSERT_EQ(r.Status, 0) << r.Output;
        EXPECT_NE(r.Output.find(c.Expect), std::string::npos) << r.Output;
    }
}

TEST(Rescomp, RejectsBrokenScriptsWithAMessage) {
    struct Case {
        const char* Name;
        const char* Script;
        const char* Message;
    };
    const Case cases[] = {
        {"missing file", "A RCDATA \"nope.bin\"", "cannot open"},
        {"unquoted file", "A RCDATA data.bin", "quoted file name expected"},
        {"no type", "A", "resource type expected"},
        {"open string", "A RCDATA \"data.bin", "unterminated string"},
        {"bitmap not bmp", "A BITMAP \"data.bin\"", "not a BMP file"},
        {"table not closed", "STRINGTABLE { 1, \"a\"", "not closed"},
        {"bad id", "STRINGTABLE { x, \"a\" }", "string id expected"},
        {"twice", "STRINGTABLE { 1, \"a\" 1, \"b\" }", "defined twice"},
        {"id too big", "STRINGTABLE { 70000, \"a\" }", "string id expected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        RescompRun r = Compile("bad", c.Script);
        EXPECT_NE(r.Status, 0);
        EXPECT_NE(r.Output.find(c.Message), std::string::npos) << r.Output;
    }
}
