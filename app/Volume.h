// Volumes: the content the catalogue shows, that is the main window's form (with its
// pictures) and the folder of its clips. The built-in volume is the one linked into the
// program, its clips beside the executable. A volume named on the command line is
//
//   - a Windows executable (PE32 or PE32+), loaded as a data file: its form is the
//     resource of type 10 named TFORM1 (any case, any language), its icon MAINICON and
//     the media bar's glyph bitmaps are taken from it where it has them, and its clips lie
//     in the executable's folder; or
//   - a folder holding the form and the clips. The form is the one file named TFORM1 or
//     Form1 (any case) with no extension or ".bin", ".form" or ".txt": a binary form
//     stream when it begins with the stream signature "TPF0", else a text form, compiled
//     on opening with its gif('NAME') pictures read from the same folder.
//
// A volume that cannot be opened raises EVolumeError whose message names the file and
// says what is wrong.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/win32.h"
#include "rtl/Exceptions.h"

namespace rtl {
class TStream;
}

namespace app {

class EVolumeError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

class TVolume {
public:
    enum TKind { vkFolder, vkExecutable };

    // Opens the volume at `path` (a POSIX path, relative to the working folder or not).
    static std::unique_ptr<TVolume> Open(const std::string& path);
    ~TVolume();
    TVolume(const TVolume&) = delete;
    TVolume& operator=(const TVolume&) = delete;

    TKind Kind() const { return FKind; }
    // The file that holds the form: the executable, or the form file of a folder.
    const std::string& FormFile() const { return FFormFile; }
    // The folder of the clips in the Windows form the catalogue joins clip names to
    // (backslashes, no trailing one).
    const std::string& ClipFolder() const { return FClipFolder; }
    // The executable's module (null for a folder).
    HMODULE Module() const { return FModule; }
    // A new stream over the form (the form resource of the executable, the compiled form
    // of a folder).
    std::unique_ptr<rtl::TStream> FormStream() const;

private:
    TVolume() = default;
    static void OpenExecutable(TVolume& volume, const std::string& path);
    static void OpenFolder(TVolume& volume, const std::string& path);

    TKind FKind = vkFolder;
    std::string FFormFile;
    std::string FClipFolder;
    std::string FForm; // a folder's binary form stream
    HMODULE FModule = nullptr;
};

// Makes `volume` the one the catalogue shows (null: the built-in one): the main window's
// form is read from it, its clips are played from its folder and, for an executable, the
// program's icon and the media bar's glyphs come from it where it has them.
void UseVolume(const TVolume* volume);
const TVolume* CurrentVolume();

// The Windows form of a POSIX path: separators become backslashes.
std::string WindowsPath(std::string_view posixPath);
// The POSIX form of a Windows path: backslashes become separators.
std::string PosixPath(std::string_view windowsPath);

// The file `name` (given without a folder) in `folder` (POSIX form): the exact name when
// it exists, else the only entry whose name matches it without regard to ASCII case (the
// first in sorted order when several do); empty when none does.
std::string FindFileIgnoringCase(const std::string& folder, std::string_view name);

// The path of a clip, `folder` (Windows form) joined to `clipName` ("\\main.avi"), as
// Windows finds it: that file when it exists, else the folder's entry that matches the
// name without regard to ASCII case ("MAIN.AVI"); the joined path unchanged when none
// does.
std::string ClipPath(std::string_view folder, std::string_view clipName);

} // namespace app
