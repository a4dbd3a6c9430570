// Internal to the platform layer: the media module, the shared module that holds the
// media files over FFmpeg (platform/ffmpeg). The program links no FFmpeg: it maps the
// module and FFmpeg's libraries when the first media file opens or, on a display, in
// an idle moment a little after the first frame, so that its start-up does not wait for
// them. The module is found next to the program's executable, then in the build tree
// it was built in; once loaded it stays.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/mmsystem.h"

namespace platform::media {

class MediaFile;

// The file name of the module and of its one visible function, and the version of their
// interface: a module of another version is not used.
constexpr const char* MediaModuleFileName = "quillot-media.so";
constexpr const char* MediaModuleStartName = "QuillotMediaModuleStart";
constexpr int MediaModuleVersion = 1;

// Where the module sends the error details of its files (SetErrorDetail).
using MediaErrorSink = void (*)(MCIERROR error, const std::string& text);
// Opens a media file (MediaFile::Open's contract).
using MediaFileOpener = MCIERROR (*)(const std::string& path, std::unique_ptr<MediaFile>& file);
// The module's start function: the opener, or null when `version` is not the module's.
using MediaModuleStart = MediaFileOpener(int version, MediaErrorSink sink);

// The places the module is looked for, in order.
std::vector<std::string> MediaModuleCandidates();
// Loads the first of `candidates` that is a module of this version and returns its
// opener; null when none is, with `error` telling why each one failed.
MediaFileOpener LoadMediaModule(const std::vector<std::string>& candidates, std::string& error);
// The process's module, loaded on the first call from any thread; null when it cannot
// be loaded (then `error` says why, on every call).
MediaFileOpener ProcessMediaModule(std::string& error);
// Loads the process's module now, if it is not loaded yet.
void PreloadMediaModule();

} // namespace platform::media
