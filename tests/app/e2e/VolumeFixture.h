// Volumes made by a test from our own data: a second main window (the catalogue's text
// form with another caption and pictures that ffmpeg paints in plain colours, of sizes
// of their own), the build's clips linked under upper-case names, and that form in a
// folder or in 32- and 64-bit Windows executables built with the MinGW-w64 binutils.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Clips.h"
#include "formstream/FormText.h"
#include "tests/common/Command.h"
#include "tests/common/Files.h"
#include "tests/common/WindowsExe.h"

namespace volumetest {

namespace fs = std::filesystem;

inline constexpr char SecondCaption[] = "Quillot 06 Vol. 2";

// The pictures of the second form: file, size, colour.
struct TPicture {
    const char* File;
    int Width, Height;
    const char* Colour;
};
inline constexpr TPicture SecondPictures[] = {
    {"MainImage.gif", 640, 480, "0x204060"},
    {"SelectImage.gif", 320, 240, "0x806020"},
    {"SelectImage_eng.gif", 330, 250, "0x208060"},
    {"start.gif", 300, 200, "0x602080"},
};

inline void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string Quote(const std::string& s) {
    return testutil::windowsexe_detail::ShellQuote(s);
}

// The catalogue's own text form with the second caption.
inline std::string SecondFormText() {
    std::string text = testutil::ReadAll(fs::path(QUILLOT_SOURCE_DIR) / "app" / "Form1.txt");
    const std::string own = "Caption = 'Quillot 05 Vol. 1 '";
    const std::size_t at = text.find(own);
    if (at != std::string::npos)
        text.replace(at, own.size(), std::string("Caption = '") + SecondCaption + "'");
    return text;
}

// The second form's four pictures in `dir`.
inline ::testing::AssertionResult WritePictures(const fs::path& dir) {
    for (const TPicture& p : SecondPictures) {
        const std::string cmd =
            "ffmpeg -loglevel error -y -f lavfi -i color=c=" + std::string(p.Colour) +
            ":s=" + std::to_string(p.Width) + "x" + std::to_string(p.Height) + " -frames:v 1 " +
            Quote((dir / p.File).string()) + " 2>&1";
        const testutil::TCommandRun run = testutil::RunCommand(cmd);
        if (run.Exit != 0)
            return ::testing::AssertionFailure() << "ffmpeg: " << run.Out;
    }
    return ::testing::AssertionSuccess();
}

// The second form compiled, its pictures read from `dir`.
inline std::string SecondFormStream(const fs::path& dir) {
    return formstream::CompileFormText(
        SecondFormText(), [&](const std::string& name) { return testutil::ReadAll(dir / name); });
}

// The build's ten clips linked into `dir` under upper-case names ("MAIN_ENG.AVI").
inline void LinkClipsUpperCase(const fs::path& dir) {
    for (const app::TClipFile& clip : app::ClipFiles()) {
        std::string upper(clip.FileName);
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        fs::create_symlink(fs::path(QUILLOT_CLIP_DIR) / std::string(clip.FileName), dir / upper);
    }
}

// A folder volume in `dir`: the text form, its pictures and the clips.
inline ::testing::AssertionResult MakeFolderVolume(const fs::path& dir) {
    fs::create_directories(dir);
    WriteFile(dir / "Form1.txt", SecondFormText());
    LinkClipsUpperCase(dir);
    return WritePictures(dir);
}

// A Windows executable VOLUME.EXE in `dir` whose TFORM1 is `formFile`, with the
// catalogue's icon and glyphs (`withIcon`) or none; the clips beside it when `clips`.
inline testutil::TWindowsExe MakeExeVolume(const fs::path& dir, testutil::EPeKind kind,
                                           const std::string& formFile, bool withIcon = true,
                                           bool clips = true) {
    fs::create_directories(dir);
    testutil::TWindowsExeParts parts = testutil::CatalogueExeParts(QUILLOT_BUILD_DIR);
    parts.Form = formFile;
    if (!withIcon) {
        parts.Icon.clear();
        parts.Bitmaps.clear();
    }
    if (clips)
        LinkClipsUpperCase(dir);
    return testutil::BuildWindowsExe(dir.string(), kind, parts);
}

// The Windows form of a POSIX path, as the catalogue shows its clip folder.
inline std::string Backslashed(const fs::path& p) {
    std::string s = p.string();
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

} // namespace volumetest
