// Broken volumes named on the command line: each ends the program before any window
// with one message box that names the file and says what is wrong, exit code 1, and
// nothing written. Damaged executables are copies of a good one made by the test, cut
// short or with their resource directory bent (a loop, an offset past the end, an
// oversized entry).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <set>

#include "ScenarioRun.h"
#include "VolumeFixture.h"

namespace {

namespace fs = volumetest::fs;
using scenariotest::TDump;
using scenariotest::TRun;

std::uint32_t U32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | std::uint8_t(b.at(at + std::size_t(i)));
    return v;
}
std::uint32_t U16(const std::string& b, std::size_t at) {
    return std::uint8_t(b.at(at)) | std::uint32_t(std::uint8_t(b.at(at + 1))) << 8;
}
void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + std::size_t(i)) = char(v >> (8 * i));
}

// Where the parts of an executable's TFORM1 lie: the file offsets of the resource
// directory's root, of the root's entry for type 10 and of the form's data entry.
struct TFormPlaces {
    std::size_t Root = 0, TypeEntry = 0, DataEntry = 0;
};

TFormPlaces FindForm(const std::string& b) {
    const std::size_t coff = U32(b, 0x3C) + 4;
    const std::size_t opt = coff + 20;
    const std::size_t dirs = opt + (U16(b, opt) == 0x20B ? 112 : 96);
    const std::uint32_t rva = U32(b, dirs + 2 * 8);
    TFormPlaces at;
    for (std::size_t i = 0, n = U16(b, coff + 2); i < n; ++i) {
        const std::size_t s = opt + U16(b, coff + 16) + 40 * i;
        const std::uint32_t va = U32(b, s + 12), raw = U32(b, s + 16);
        if (rva >= va && rva < va + raw)
            at.Root = U32(b, s + 20) + (rva - va);
    }
    // The first entry of a directory at `dir` whose id is `id` (any when 0).
    auto entry = [&](std::size_t dir, std::uint32_t id) -> std::size_t {
        const std::size_t count = U16(b, dir + 12) + U16(b, dir + 14);
        for (std::size_t i = 0; i < count; ++i)
            if (id == 0 || U32(b, dir + 16 + 8 * i) == id)
                return dir + 16 + 8 * i;
        return 0;
    };
    at.TypeEntry = entry(at.Root, 10);
    const std::size_t names = at.Root + (U32(b, at.TypeEntry + 4) & 0x7FFFFFFF);
    const std::size_t langs = at.Root + (U32(b, entry(names, 0) + 4) & 0x7FFFFFFF);
    at.DataEntry = at.Root + U32(b, entry(langs, 0) + 4);
    return at;
}

// The files under `dir`, with their sizes.
std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        files.insert(e.path().string() + " " +
                     (e.is_regular_file() ? std::to_string(e.file_size()) : "-"));
    return files;
}

struct TBadVolume {
    const char* Name;
    // Makes the volume in the empty folder `dir` (the good executable at `good`) and
    // returns the path to name and the file the message must name.
    std::function<std::pair<fs::path, fs::path>(const fs::path& dir, const fs::path& good)> Make;
    const char* Says; // what the message says is wrong
};

// A copy of the good executable, changed by `bend`.
auto BentExe(std::function<void(std::string&, const TFormPlaces&)> bend) {
    return [bend](const fs::path& dir, const fs::path& good) {
        std::string bytes = testutil::ReadAll(good);
        bend(bytes, FindForm(bytes));
        volumetest::WriteFile(dir / "SETUP.EXE", bytes);
        return std::pair{dir / "SETUP.EXE", dir / "SETUP.EXE"};
    };
}

// A file of the given contents.
auto FileWith(const char* name, std::string bytes) {
    return [name, bytes](const fs::path& dir, const fs::path&) {
        volumetest::WriteFile(dir / name, bytes);
        return std::pair{dir / name, dir / name};
    };
}

// A folder with the files given (name, contents).
auto FolderWith(std::vector<std::pair<std::string, std::string>> files, const char* named) {
    return [files, named](const fs::path& dir, const fs::path&) {
        for (const auto& [name, bytes] : files)
            volumetest::WriteFile(dir / name, bytes);
        return std::pair{dir, *named ? dir / named : dir};
    };
}

// A form stream cut short in its first property.
const std::string BrokenStream = std::string("TPF0\x06TForm1\x05") + "Form1\x04Left";

TEST(BadVolumeE2e, EachShowsOneMessageNamingTheFileEndsWithOneAndWritesNothing) {
    scenariotest::TTempDir root;
    const fs::path pictures = root.Path() / "pictures";
    fs::create_directories(pictures);
    ASSERT_TRUE(volumetest::WritePictures(pictures));
    volumetest::WriteFile(root.Path() / "TFORM1.bin", volumetest::SecondFormStream(pictures));
    volumetest::WriteFile(root.Path() / "broken.bin", BrokenStream);
    const testutil::TWindowsExe good =
        volumetest::MakeExeVolume(root.Path() / "good", testutil::EPeKind::Pe32,
                                  (root.Path() / "TFORM1.bin").string(), false, false);
    ASSERT_FALSE(good.Path.empty()) << good.Error;
    const testutil::TWindowsExe noForm =
        volumetest::MakeExeVolume(root.Path() / "noform", testutil::EPeKind::Pe64, "", true, false);
    ASSERT_FALSE(noForm.Path.empty()) << noForm.Error;
    const testutil::TWindowsExe badForm =
        volumetest::MakeExeVolume(root.Path() / "badform", testutil::EPeKind::Pe64,
                                  (root.Path() / "broken.bin").string(), false, false);
    ASSERT_FALSE(badForm.Path.empty()) << badForm.Error;
    auto existing = [](const std::string& exe) {
        return [exe](const fs::path&, const fs::path&) {
            return std::pair{fs::path(exe), fs::path(exe)};
        };
    };

    const TBadVolume cases[] = {
        {"missing",
         [](const fs::path& d, const fs::path&) {
             return std::pair{d / "nö such", d / "nö such"};
         },
         "there is no such file or folder"},
        {"not a file or folder",
         [](const fs::path& d, const fs::path&) {
             mkfifo((d / "pipe").c_str(), 0600);
             return std::pair{d / "pipe", d / "pipe"};
         },
         "neither a file nor a folder"},
        {"text file", FileWith("SETUP.EXE", "not a program\n"), "not a Windows executable"},
        {"empty file", FileWith("SETUP.EXE", ""), "not a Windows executable"},
        {"no form resource", existing(noForm.Path), "no form resource TFORM1"},
        {"truncated",
         BentExe([](std::string& b, const TFormPlaces& at) { b.resize(at.Root + 20); }),
         "truncated"},
        {"directory loops", BentExe([](std::string& b, const TFormPlaces& at) {
             Put32(b, at.TypeEntry + 4, 0x80000000);
         }),
         "loops"},
        {"offset past the end", BentExe([](std::string& b, const TFormPlaces& at) {
             Put32(b, at.TypeEntry + 4, 0x80000000 | 0x7FFFFF00);
         }),
         "outside the file"},
        {"oversized entry", BentExe([](std::string& b, const TFormPlaces& at) {
             Put32(b, at.DataEntry + 4, 0xFFFFFF00);
         }),
         "overflow"},
        {"form stream fails", existing(badForm.Path),
         "cannot be read: Error reading Form1.Left: Stream read error"},
        {"folder without form", FolderWith({{"main.avi", ""}}, ""), "holds no form file"},
        {"folder with two forms", FolderWith({{"Form1.txt", ""}, {"TFORM1.bin", BrokenStream}}, ""),
         "more than one form file (Form1.txt, TFORM1.bin)"},
        {"text form wrong",
         FolderWith({{"Form1.txt", "object Form1: TForm1\n  Left = ,\nend\n"}}, "Form1.txt"),
         "line 2: "},
        {"text form picture missing",
         FolderWith({{"form1.TXT", volumetest::SecondFormText()}}, "form1.TXT"),
         "cannot read the picture file MainImage.gif"},
        {"binary form fails", FolderWith({{"TFORM1.bin", BrokenStream}}, "TFORM1.bin"),
         "cannot be read: Error reading Form1.Left: Stream read error"},
    };
    int n = 0;
    for (const TBadVolume& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path dir = root.Path() / ("case" + std::to_string(n++));
        fs::create_directories(dir);
        const auto [volume, named] = c.Make(dir, good.Path);
        const std::set<std::string> before = Listing(root.Path());
        scenariotest::TTempDir run;
        const TRun r = scenariotest::RunScenario(run, "dump\n",
                                                 "--volume " + volumetest::Quote(volume.string()));
        EXPECT_EQ(r.Status, 1) << r.Err;
        EXPECT_EQ(r.ExitLine, 1);
        ASSERT_EQ(r.Dumps.size(), 1u) << r.Out;
        EXPECT_EQ(r.Dumps[0].Window, "window none");
        ASSERT_EQ(r.Dumps[0].Boxes.size(), 1u) << r.Out;
        const std::string text = TDump::Field(r.Dumps[0].Boxes[0], "text");
        EXPECT_NE(text.find("\"" + named.string() + "\""), std::string::npos) << text;
        EXPECT_NE(text.find(c.Says), std::string::npos) << text;
        EXPECT_EQ(Listing(root.Path()), before);
        EXPECT_EQ(Listing(run.Path()).size(), 3u); // the script and its two outputs
    }
}

} // namespace
