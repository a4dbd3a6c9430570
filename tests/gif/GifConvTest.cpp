// The gifconv tool, run as a program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "GifBuilder.h"
#include "tests/common/Command.h"
#include "tests/common/Golden.h"
#include "tests/common/TempDir.h"

using namespace giftest;
namespace fs = std::filesystem;

namespace {

using TRun = testutil::TCommandRun;

// Runs gifconv with `args`, in the folder `dir` when one is given (standard error with
// standard output).
TRun RunTool(const std::string& args, const std::string& dir = "") {
    return testutil::RunCommand((dir.empty() ? "" : "cd '" + dir + "' && ") + QUILLOT_BUILD_DIR +
                                "/tools/dev/gifconv/gifconv " + args + " 2>&1");
}

class GifConv : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = FTemp.Path();
        const Bytes gif = TGifBuilder()
                              .Header("89a", 6, 4, 2)
                              .GraphicControl(0x05, 20, 1)
                              .Image(0, 0, 6, 4, 2)
                              .Comment({"frame two"})
                              .Image(1, 1, 3, 2, 2, 1)
                              .Comment({"the end"})
                              .Trailer()
                              .B;
        Write("two.gif", gif);
        Bytes cut(gif.begin(), gif.begin() + 47); // inside the first raster
        Write("cut.gif", cut);
    }
    void Write(const std::string& name, const Bytes& b) {
        std::ofstream(FDir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    Bytes Read(const std::string& name) {
        std::ifstream in(FDir / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::string P(const std::string& name) { return (FDir / name).string(); }
    testutil::TTempDir FTemp{"gifconv"};
    fs::path FDir;
};

} // namespace

TEST_F(GifConv, BadArgumentsPrintUsage) {
    for (const std::string args :
         {"", "--info", "--info a b", "one", "--bogus a b", "a b c", "--all --info x.gif"}) {
        SCOPED_TRACE("arguments: " + args);
        const TRun r = RunTool(args);
        EXPECT_EQ(r.Exit, 2);
        EXPECT_NE(r.Out.find("usage: gifconv"), std::string::npos) << r.Out;
    }
    const TRun r = RunTool(P("two.gif") + " " + P("x.txt"));
    EXPECT_EQ(r.Exit, 2);
}

TEST_F(GifConv, FailuresExitWithOne) {
    TRun r = RunTool(P("missing.gif") + " " + P("out.bmp"));
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Out.find("gifconv: Cannot open file"), std::string::npos) << r.Out;
    Write("bad.gif", {'G', 'I', 'F', '9', '9', 'a'});
    r = RunTool(P("bad.gif") + " " + P("out.bmp"));
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Out.find("Unknown GIF version"), std::string::npos) << r.Out;
}

TEST_F(GifConv, GifToBitmapsAndBack) {
    TRun r = RunTool(P("two.gif") + " " + P("first.bmp"));
    ASSERT_EQ(r.Exit, 0) << r.Out;
    const Bytes bmp = Read("first.bmp");
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(LE32(bmp.data() + 18), 6u);
    EXPECT_EQ(bmp[28], 4) << "4-colour table: 4-bit bitmap";
    EXPECT_EQ(BmpPixel(bmp.data(), 1, 0), 1);

    r = RunTool("--all " + P("two.gif") + " " + P("all.bmp"));
    ASSERT_EQ(r.Exit, 0) << r.Out;
    EXPECT_TRUE(fs::exists(FDir / "all-0.bmp"));
    EXPECT_TRUE(fs::exists(FDir / "all-1.bmp"));
    EXPECT_EQ(LE32(Read("all-1.bmp").data() + 18), 3u);

    r = RunTool(P("first.bmp") + " " + P("again.gif"));
    ASSERT_EQ(r.Exit, 0) << r.Out;
    r = RunTool("--info " + P("again.gif"));
    EXPECT_NE(r.Out.find("frames: 1"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("6 x 4"), std::string::npos) << r.Out;
}

TEST_F(GifConv, InfoListsTheStructure) {
    TRun r = RunTool("--info " + P("two.gif"));
    ASSERT_EQ(r.Exit, 0) << r.Out;
    for (const std::string want :
         {"version: GIF89a", "screen: 6 x 4", "global colour table: 4 entries", "frames: 2",
          "frame 0: at (0, 0), 6 x 4", "disposal leave, delay 20/100 s, transparent index 1",
          "frame 1: at (1, 1), 3 x 2", "local colour table of 2 entries", "frame two",
          "comment:\n  the end", "corrupted: no"})
        EXPECT_NE(r.Out.find(want), std::string::npos) << "missing \"" << want << "\" in\n"
                                                       << r.Out;
    r = RunTool("--info " + P("cut.gif"));
    EXPECT_EQ(r.Exit, 0) << r.Out;
    EXPECT_NE(r.Out.find("corrupted: yes"), std::string::npos) << r.Out;
}

TEST_F(GifConv, LargeDeclaredFrameWithLittleDataGivesZeroRows) {
    // A 4096 x 4096 frame whose data hold two pixels and end without an end code.
    TGifBuilder gif;
    gif.Header("89a", 4096, 4096, 8);
    gif.Raw({','}).Word(0).Word(0).Word(4096).Word(4096).Raw({0});
    const Bytes raster = Blocks(8, PackCodes({{256, 9}, {7, 9}, {9, 9}}));
    gif.B.insert(gif.B.end(), raster.begin(), raster.end());
    Write("large.gif", gif.Trailer().B);
    const TRun r = RunTool(P("large.gif") + " " + P("large.bmp"));
    ASSERT_EQ(r.Exit, 0) << r.Out;
    const Bytes bmp = Read("large.bmp");
    ASSERT_EQ(bmp.size(), 54u + 1024u + 4096u * 4096u);
    EXPECT_EQ(BmpPixel(bmp.data(), 0, 0), 7);
    EXPECT_EQ(BmpPixel(bmp.data(), 1, 0), 9);
    const std::size_t offset = LE32(bmp.data() + 10);
    // Row 0 is stored last; all other bytes are zero.
    EXPECT_EQ(std::count(bmp.begin() + std::ptrdiff_t(offset), bmp.end(), 0),
              std::ptrdiff_t(4096 * 4096 - 2));
}

TEST(GifConvGolden, InfoOfTheTestFilesMatchesGoldenFiles) {
    // Run from the data folder, so that the listings name the files as they stand there.
    const std::string data = std::string(QUILLOT_TEST_DATA) + "/gif";
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(data))
        if (entry.path().extension() == ".gif")
            files.push_back(fs::relative(entry.path(), data).string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const TRun r = RunTool("--info '" + file + "'", data);
        const std::string golden = data + "/golden/" + fs::path(file).stem().string() + ".info.txt";
        testutil::ExpectMatchesGoldenFile("exit " + std::to_string(r.Exit) + "\n" + r.Out, golden);
    }
}
