#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/user/WindowManager.h"
#include "platform/win32.h"
#include "tests/common/TempDir.h"
#include "tests/common/WindowsExe.h"

// Windows executables built by the test from the catalogue's form, icon and glyphs, read
// as data-file modules, and damaged copies of them.

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::uint32_t Le(const Bytes& b, std::size_t at, int bytes = 4) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b.at(at + std::size_t(i));
    return v;
}

void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + std::size_t(i)) = (unsigned char)(v >> (8 * i));
}

// Where the test finds the parts of the resource tree it damages (file offsets).
struct TTreeMap {
    std::size_t Root = 0;         // the type directory
    std::size_t TypeEntry = 0;    // its first entry
    std::size_t NameDir = 0;      // the name directory of that type
    std::size_t LanguageDir = 0;  // the language directory of its first name
    std::size_t DataEntry = 0;    // the data entry of its first language
    std::size_t SectionTable = 0; // the section table
};

TTreeMap MapTree(const Bytes& b) {
    TTreeMap m;
    const std::size_t pe = Le(b, 0x3C);
    const std::size_t optional = pe + 24;
    const bool pe64 = Le(b, optional, 2) == 0x20B;
    const std::uint32_t rva = Le(b, optional + (pe64 ? 112 : 96) + 16);
    m.SectionTable = optional + Le(b, pe + 20, 2);
    for (std::size_t s = 0; s < Le(b, pe + 6, 2); ++s) {
        const std::size_t at = m.SectionTable + 40 * s;
        const std::uint32_t va = Le(b, at + 12);
        if (rva >= va && rva < va + Le(b, at + 16))
            m.Root = Le(b, at + 20) + (rva - va);
    }
    auto child = [&](std::size_t dir) { return m.Root + (Le(b, dir + 20) & 0x7FFFFFFF); };
    m.TypeEntry = m.Root + 16;
    m.NameDir = child(m.Root);
    m.LanguageDir = child(m.NameDir);
    m.DataEntry = child(m.LanguageDir);
    return m;
}

class PeModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = new testutil::TTempDir("quillot-pe");
        for (auto kind : {testutil::EPeKind::Pe32, testutil::EPeKind::Pe64}) {
            auto parts = testutil::CatalogueExeParts(QUILLOT_BUILD_DIR);
            parts.ExeName = kind == testutil::EPeKind::Pe32 ? "Vol 32 é.exe" : "VOL64.EXE";
            testutil::TWindowsExe exe = testutil::BuildWindowsExe(Dir->String(), kind, parts);
            ASSERT_EQ(exe.Error, "");
            Exes.push_back(exe.Path);
        }
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
        Exes.clear();
    }
    static inline testutil::TTempDir* Dir = nullptr;
    static inline std::vector<std::string> Exes;
};

} // namespace

TEST_F(PeModule, BothKindsAreRealWindowsExecutables) {
    const std::uint32_t machines[] = {0x14C, 0x8664}, magics[] = {0x10B, 0x20B};
    for (std::size_t i = 0; i < Exes.size(); ++i) {
        const Bytes b = ReadAll(Exes[i]);
        ASSERT_GT(b.size(), 0x200u);
        EXPECT_EQ(Le(b, 0, 2), 0x5A4Du); // "MZ"
        const std::size_t pe = Le(b, 0x3C);
        EXPECT_EQ(Le(b, pe), 0x4550u); // "PE\0\0"
        EXPECT_EQ(Le(b, pe + 4, 2), machines[i]);
        EXPECT_EQ(Le(b, pe + 24, 2), magics[i]);
    }
    // Only the executables are left in the directory.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir->Path()), {}), 2);
}

TEST_F(PeModule, ResourcesFoundByNameInAnyCaseAndByNumber) {
    const Bytes form = ReadAll(std::string(QUILLOT_BUILD_DIR) + "/generated/TFORM1.bin");
    ASSERT_FALSE(form.empty());
    for (const std::string& path : Exes) {
        SCOPED_TRACE(path);
        HMODULE m = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m, nullptr) << platform::LastModuleError();
        EXPECT_STREQ(platform::LastModuleError(), "");
        for (LPCSTR type : {RT_RCDATA, static_cast<LPCSTR>("#10")})
            for (const char* name : {"TFORM1", "tform1", "TForm1"}) {
                HRSRC res = FindResourceA(m, name, type);
                ASSERT_NE(res, nullptr) << name;
                ASSERT_EQ(SizeofResource(m, res), form.size());
                EXPECT_EQ(std::memcmp(LockResource(LoadResource(m, res)), form.data(), form.size()),
                          0);
            }
        // The icon's images are numbered RT_ICON resources.
        EXPECT_NE(FindResourceA(m, MAKEINTRESOURCEA(1), RT_ICON), nullptr);
        EXPECT_NE(FindResourceA(m, "#1", RT_ICON), nullptr);
        EXPECT_NE(FindResourceExA(m, RT_RCDATA, "TFORM1", 0x0409), nullptr);

        SetLastError(0);
        EXPECT_EQ(FindResourceA(m, "TFORM2", RT_RCDATA), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
        EXPECT_STREQ(platform::LastModuleError(), "has no such resource");
        EXPECT_EQ(FindResourceA(m, "TFORM1", MAKEINTRESOURCEA(99)), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
        // The program's own resources are not the module's.
        EXPECT_EQ(FindResourceA(m, "Glyph", RT_BITMAP), nullptr);

        char file[1024];
        ASSERT_GT(GetModuleFileNameA(m, file, sizeof file), 0u);
        std::string reported = file;
        for (char& c : reported)
            if (c == '\\')
                c = '/';
        EXPECT_EQ(reported, std::filesystem::absolute(path).string());
        EXPECT_TRUE(FreeLibrary(m));
    }
}

TEST_F(PeModule, BitmapsAndIconComeFromTheModule) {
    for (const std::string& path : Exes) {
        SCOPED_TRACE(path);
        HMODULE m = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m, nullptr) << platform::LastModuleError();
        HBITMAP bmp = LoadBitmapA(m, "en_mpplay");
        ASSERT_NE(bmp, nullptr);
        BITMAP info{};
        ASSERT_NE(GetObjectA(bmp, sizeof info, &info), 0);
        EXPECT_GT(info.bmWidth, 0);
        DeleteObject(bmp);
        HICON icon = LoadIconA(m, "mainicon");
        ASSERT_NE(icon, nullptr);
        // The icon keeps its image after the module is gone.
        EXPECT_TRUE(FreeLibrary(m));
        int w = 0, h = 0;
        std::vector<std::uint32_t> px;
        ASSERT_TRUE(platform::user::IconImage(icon, w, h, px));
        EXPECT_GE(w, 32);
        EXPECT_EQ(px.size(), std::size_t(w) * std::size_t(h));
        DestroyIcon(icon);
    }
}

TEST_F(PeModule, FreedAndForeignHandlesFindNothing) {
    HMODULE m = LoadLibraryExA(Exes[0].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr);
    HRSRC res = FindResourceA(m, "TFORM1", RT_RCDATA);
    ASSERT_NE(res, nullptr);
    ASSERT_TRUE(FreeLibrary(m));
    EXPECT_FALSE(FreeLibrary(m));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FindResourceA(m, "TFORM1", RT_RCDATA), nullptr);
    EXPECT_EQ(LockResource(LoadResource(m, res)), nullptr);
    EXPECT_EQ(SizeofResource(m, res), 0u);
    // Loading to run the program is refused: only its resources can be read.
    EXPECT_EQ(LoadLibraryExA(Exes[0].c_str(), nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(PeModule, ExecutableWithoutResourcesLoadsAndFindsNone) {
    testutil::TTempDir dir("quillot-pe-bare");
    testutil::TWindowsExeParts parts;
    testutil::TWindowsExe exe =
        testutil::BuildWindowsExe(dir.String(), testutil::EPeKind::Pe64, parts);
    ASSERT_EQ(exe.Error, "");
    HMODULE m = LoadLibraryExA(exe.Path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr) << platform::LastModuleError();
    EXPECT_EQ(FindResourceA(m, "TFORM1", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_STREQ(platform::LastModuleError(), "has no resources");
    FreeLibrary(m);
}

TEST_F(PeModule, DamagedFilesAreRefusedWithTheirReason) {
    using Damage = std::function<void(Bytes&, const TTreeMap&)>;
    struct Case {
        const char* What;
        Damage Apply;
        const char* Reason;
    };
    const Case cases[] = {
        {"text file",
         [](Bytes& b, const TTreeMap&) {
             b.assign({'h', 'e', 'l', 'l', 'o'});
         },
         "not a Windows executable"},
        {"empty file", [](Bytes& b, const TTreeMap&) { b.clear(); }, "not a Windows executable"},
        {"no PE signature", [](Bytes& b, const TTreeMap&) { b[Le(b, 0x3C)] = 'X'; },
         "not a Windows executable"},
        {"header offset past the end",
         [](Bytes& b, const TTreeMap&) { PutLe32(b, 0x3C, 0xFFFFFFF0); },
         "not a Windows executable"},
        {"unknown optional header", [](Bytes& b, const TTreeMap&) { b[Le(b, 0x3C) + 24] = 0x99; },
         "not a Windows executable"},
        {"cut in the DOS header", [](Bytes& b, const TTreeMap&) { b.resize(0x30); }, "truncated"},
        {"cut in the section table",
         [](Bytes& b, const TTreeMap& m) { b.resize(m.SectionTable + 50); }, "truncated"},
        {"cut in the resources", [](Bytes& b, const TTreeMap& m) { b.resize(m.Root + 40); },
         "truncated"},
        {"subdirectory is the root",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.TypeEntry + 4, 0x80000000u); },
         "resource directory loops"},
        {"name entry is the root",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.NameDir + 20, 0x80000000u); },
         "resource directory loops"},
        {"language entry is a directory",
         [](Bytes& b, const TTreeMap& m) {
             PutLe32(b, m.LanguageDir + 20, 0x80000000u | std::uint32_t(m.NameDir - m.Root));
         },
         "resource directory nested too deep"},
        {"language entry is a fresh directory",
         [](Bytes& b, const TTreeMap& m) {
             // The data entry (16 bytes) read as an empty directory of its own.
             PutLe32(b, m.LanguageDir + 20, 0x80000000u | std::uint32_t(m.DataEntry - m.Root));
         },
         "resource directory nested too deep"},
        {"subdirectory past the end",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.TypeEntry + 4, 0xFFFFFFF0u); },
         "points outside the file"},
        {"entry count past the end",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.NameDir + 12, 0xFFFFFFFFu); },
         "points outside the file"},
        {"string name past the end",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.NameDir + 16, 0xFFFFFFF0u); },
         "points outside the file"},
        {"data outside every section",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.DataEntry, 0xFFFFFF00u); },
         "points outside the file"},
        {"resource directory outside every section",
         [](Bytes& b, const TTreeMap&) {
             const std::size_t optional = Le(b, 0x3C) + 24;
             PutLe32(b, optional + (Le(b, optional, 2) == 0x20B ? 112 : 96) + 16, 0x7FFF0000u);
         },
         "points outside the file"},
        {"data larger than its section",
         [](Bytes& b, const TTreeMap& m) { PutLe32(b, m.DataEntry + 4, 0xFFFFFFFFu); },
         "resource size overflows"},
        {"section larger than the file",
         [](Bytes& b, const TTreeMap& m) {
             for (std::size_t s = 0; s < Le(b, Le(b, 0x3C) + 6, 2); ++s)
                 PutLe32(b, m.SectionTable + 40 * s + 16, 0x7FFFFFFFu);
         },
         "truncated"},
    };
    testutil::TTempDir dir("quillot-pe-damaged");
    for (const std::string& exe : Exes) {
        const Bytes original = ReadAll(exe);
        const TTreeMap map = MapTree(original);
        for (const Case& c : cases) {
            SCOPED_TRACE(exe + ": " + c.What);
            Bytes b = original;
            c.Apply(b, map);
            const std::string path = dir / "damaged.exe";
            WriteAll(path, b);
            SetLastError(0);
            EXPECT_EQ(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
            EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
            EXPECT_STREQ(platform::LastModuleError(), c.Reason);
        }
    }
}

TEST_F(PeModule, UnreadablePathsAreRefusedWithTheirReason) {
    testutil::TTempDir dir("quillot-pe-paths");
    const struct {
        std::string Path;
        DWORD Error;
        const char* Reason;
    } cases[] = {
        {dir / "missing.exe", ERROR_FILE_NOT_FOUND, "cannot be read (No such file or directory)"},
        {dir.String(), ERROR_ACCESS_DENIED, "not a file"},
        {"", ERROR_INVALID_PARAMETER, "no file named"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(LoadLibraryExA(c.Path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
        EXPECT_EQ(GetLastError(), c.Error);
        EXPECT_STREQ(platform::LastModuleError(), c.Reason);
    }
}
