// Loading of the media module, and MediaFile::Open on the program's side: the file is
// made by the module.
#include "platform/media/MediaModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include "platform/kernel/KernelState.h"
#include "platform/media/MciDriver.h"
#include "platform/media/MediaFile.h"
#include "platform/phases.h"

namespace platform::media {

namespace {

void SinkErrorDetail(MCIERROR error, const std::string& text) {
    SetErrorDetail(error, text);
}

std::string ExecutableFolder() {
    const std::string file = ExecutablePath();
    const std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

struct LoadedModule {
    MediaFileOpener Opener = nullptr;
    std::string Error;
};

} // namespace

std::vector<std::string> MediaModuleCandidates() {
    std::vector<std::string> candidates;
    if (const std::string folder = ExecutableFolder(); !folder.empty())
        candidates.push_back(folder + "/" + MediaModuleFileName);
#ifdef QUILLOT_MEDIA_MODULE_BUILD_DIR
    // Tests, benchmarks and tools of the build tree run from folders of their own.
    candidates.push_back(std::string(QUILLOT_MEDIA_MODULE_BUILD_DIR) + "/" + MediaModuleFileName);
#endif
    return candidates;
}

MediaFileOpener LoadMediaModule(const std::vector<std::string>& candidates, std::string& error) {
    error.clear();
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0) {
            error += (error.empty() ? "" : "; ") + path + ": no such file";
            continue;
        }
        // The module's own symbols stay its own; it is never unloaded once used.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            error += (error.empty() ? "" : "; ") + std::string(why ? why : path);
            continue;
        }
        auto* start = reinterpret_cast<MediaModuleStart*>(dlsym(handle, MediaModuleStartName));
        MediaFileOpener opener = start ? start(MediaModuleVersion, &SinkErrorDetail) : nullptr;
        if (opener) {
            error.clear();
            return opener;
        }
        error += (error.empty() ? "" : "; ") + path +
                 (start ? ": a media module of another version" : ": not a media module");
        dlclose(handle);
    }
    if (candidates.empty())
        error = "no place to look for the media module";
    return nullptr;
}

MediaFileOpener ProcessMediaModule(std::string& error) {
    static const LoadedModule loaded = [] {
        LoadedModule module;
        module.Opener = LoadMediaModule(MediaModuleCandidates(), module.Error);
        if (!module.Opener)
            module.Error = "The media module " + std::string(MediaModuleFileName) +
                           " cannot be loaded (" + module.Error + ").";
        MarkPhase("media-module");
        return module;
    }();
    error = loaded.Error;
    return loaded.Opener;
}

void PreloadMediaModule() {
    std::string error;
    ProcessMediaModule(error);
}

MCIERROR MediaFile::Open(const std::string& path, std::unique_ptr<MediaFile>& file) {
    file.reset();
    std::string error;
    MediaFileOpener opener = ProcessMediaModule(error);
    if (!opener) {
        SetErrorDetail(MCIERR_CANNOT_LOAD_DRIVER, error);
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    return opener(path, file);
}

} // namespace platform::media
