// Real Windows executables made by a test from our own data: a resource script compiled by
// the MinGW-w64 resource compiler and a minimal program (an entry point that returns)
// assembled and linked by the MinGW-w64 binutils, as a 32-bit (PE32) or 64-bit (PE32+)
// file. The program is never run; tests read its resources.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "tests/common/Command.h"

namespace testutil {

enum class EPeKind { Pe32, Pe64 };

struct TWindowsExeParts {
    std::string Form;                // file of the RCDATA (type 10) resource; "" for none
    std::string FormName = "TFORM1"; // its name
    std::string Icon;                // .ico file of the MAINICON resource; "" for none
    // BITMAP resources: name and .bmp file.
    std::vector<std::pair<std::string, std::string>> Bitmaps;
    std::string ExeName = "VOLUME.EXE"; // file name of the executable in the directory
};

struct TWindowsExe {
    std::string Path;  // the executable; "" on failure
    std::string Error; // what went wrong; "" on success
};

namespace windowsexe_detail {

inline std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A file name as a resource-script string: absolute, with its quotes and backslashes
// doubled the way the script's strings escape them.
inline std::string RcString(const std::string& path) {
    std::string abs = std::filesystem::absolute(path).string();
    std::string out = "\"";
    for (char c : abs) {
        if (c == '"' || c == '\\')
            out += c;
        out += c;
    }
    return out + "\"";
}

inline bool WriteText(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

} // namespace windowsexe_detail

// Builds parts.ExeName in `dir` (which must exist); intermediate files are removed again,
// so the directory holds only the executable and what was there before.
inline TWindowsExe BuildWindowsExe(const std::string& dir, EPeKind kind,
                                   const TWindowsExeParts& parts) {
    namespace d = windowsexe_detail;
    const std::string triplet = kind == EPeKind::Pe32 ? "i686-w64-mingw32" : "x86_64-w64-mingw32";
    const std::string work = dir + "/.winexe-" + triplet;
    std::error_code ec;
    std::filesystem::create_directories(work, ec);
    if (ec)
        return {"", "cannot make " + work + ": " + ec.message()};
    std::string rc;
    if (!parts.Form.empty())
        rc += parts.FormName + " RCDATA " + d::RcString(parts.Form) + "\n";
    if (!parts.Icon.empty())
        rc += "MAINICON ICON " + d::RcString(parts.Icon) + "\n";
    for (const auto& [name, file] : parts.Bitmaps)
        rc += name + " BITMAP " + d::RcString(file) + "\n";
    const std::string program = "\t.text\n\t.globl start\nstart:\n\txorl %eax, %eax\n\tret\n";
    TWindowsExe result;
    if (!d::WriteText(work + "/volume.rc", rc) || !d::WriteText(work + "/start.s", program)) {
        result.Error = "cannot write in " + work;
    } else {
        const std::string out = dir + "/" + parts.ExeName;
        const std::string q = d::ShellQuote(work);
        // The resource compiler runs the C preprocessor over the script; the system's cpp
        // serves (the MinGW-w64 compiler is not needed).
        // With no resources the program is linked alone (it has no resource section).
        const std::string resources =
            rc.empty() ? "" : triplet + "-windres --preprocessor=cpp -i volume.rc -o rsrc.o && ";
        const std::string cmd = "cd " + q + " && " + triplet + "-as -o start.o start.s && " +
                                resources + triplet + "-ld -s -e start --subsystem windows -o " +
                                d::ShellQuote(out) + " start.o" + (rc.empty() ? "" : " rsrc.o");
        TCommandRun run = RunCommand("(" + cmd + ") 2>&1");
        if (run.Exit == 0 && std::filesystem::is_regular_file(out))
            result.Path = out;
        else
            result.Error = triplet + " tools failed: " + run.Out;
    }
    std::filesystem::remove_all(work, ec);
    return result;
}

// The catalogue's own parts as the build makes them: the compiled main form, the program
// icon and the media bar's glyph bitmaps (all under QUILLOT_BUILD_DIR/generated).
inline TWindowsExeParts CatalogueExeParts(const std::string& buildDir) {
    TWindowsExeParts parts;
    parts.Form = buildDir + "/generated/TFORM1.bin";
    parts.Icon = buildDir + "/generated/icon/quillot.ico";
    for (const char* button : {"MPPLAY", "MPPAUSE", "MPSTOP", "MPNEXT", "MPPREV", "MPSTEP",
                               "MPBACK", "MPRECORD", "MPEJECT"})
        for (const char* state : {"EN", "DI", "CL"}) {
            const std::string name = std::string(state) + "_" + button;
            parts.Bitmaps.emplace_back(name, buildDir + "/generated/glyphs/" + name + ".bmp");
        }
    return parts;
}

} // namespace testutil
