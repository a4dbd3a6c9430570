// Data-file modules: LoadLibraryExA reads a Windows executable into memory (its size
// bounds what is kept), the PE reader lists its resources, and FindResourceA and its
// companions hand them out until FreeLibrary.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/kernel/Modules.h"
#include "platform/kernel/PeImage.h"
#include "platform/kernel/PosixFiles.h"
#include "platform/winbase.h"

namespace platform {

namespace {

struct TModule {
    std::string Path;
    std::vector<unsigned char> Bytes;
    pe::TImage Image;
};

struct TModules {
    std::mutex Lock;
    std::vector<std::unique_ptr<TModule>> Loaded;
};

TModules& Modules() {
    static TModules modules;
    return modules;
}

thread_local std::string ModuleError;

// Files larger than this are not read: no executable of this kind comes near it.
constexpr std::uint64_t MaxModuleFile = std::uint64_t(1) << 30;

// Data-file module handles have their low bit set, as Windows marks them, so that they
// never look like an image's base address.
HMODULE HandleOf(const TModule* m) {
    return reinterpret_cast<HMODULE>(reinterpret_cast<std::uintptr_t>(m) | 1);
}

// The module of `handle`; the caller holds the lock.
TModule* Find(HMODULE handle) {
    for (auto& m : Modules().Loaded)
        if (HandleOf(m.get()) == handle)
            return m.get();
    return nullptr;
}

HMODULE Fail(DWORD error, const std::string& reason) {
    ModuleError = reason;
    SetLastError(error);
    return nullptr;
}

// Reads the whole of `path`; "" on success, else the reason.
std::string ReadFile(const std::string& path, std::vector<unsigned char>& bytes, DWORD& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoToError(errno);
        return std::string("cannot be read (") + std::strerror(errno) + ")";
    }
    struct stat st {};
    std::string reason;
    error = ERROR_BAD_EXE_FORMAT;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "not a file";
        error = ERROR_ACCESS_DENIED;
    } else if (std::uint64_t(st.st_size) > MaxModuleFile) {
        reason = "too large";
    } else {
        bytes.resize(std::size_t(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = ErrnoToError(errno);
                reason = std::string("cannot be read (") + std::strerror(errno) + ")";
                break;
            }
            if (n == 0) // the file shrank while it was read
                break;
            done += std::size_t(n);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return reason;
}

} // namespace

const char* LastModuleError() {
    return ModuleError.c_str();
}

bool IsDataFileModule(HMODULE module) {
    auto& r = Modules();
    std::lock_guard<std::mutex> lock(r.Lock);
    return Find(module) != nullptr;
}

HRSRC FindModuleResource(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    auto& r = Modules();
    std::lock_guard<std::mutex> lock(r.Lock);
    TModule* m = Find(module);
    if (!m)
        return reinterpret_cast<HRSRC>(Fail(ERROR_MOD_NOT_FOUND, "not a loaded module"));
    if (!type || !name)
        return reinterpret_cast<HRSRC>(Fail(ERROR_INVALID_PARAMETER, "no resource named"));
    if (!m->Image.HasResources)
        return reinterpret_cast<HRSRC>(Fail(ERROR_RESOURCE_DATA_NOT_FOUND, "has no resources"));
    bool typeSeen = false;
    const pe::TResource* found = nullptr;
    auto matches = [&](LPCSTR want, std::size_t nameAt, WORD id) {
        if (nameAt == 0)
            return MatchesResourceId(want, nullptr, id);
        return MatchesResourceId(want, pe::NameText(m->Bytes.data(), nameAt).c_str(), 0);
    };
    for (const pe::TResource& e : m->Image.Resources) {
        if (!matches(type, e.TypeNameAt, e.TypeId))
            continue;
        typeSeen = true;
        if (!matches(name, e.NameAt, e.NameId))
            continue;
        // Any language serves; the one asked for, when given, comes first.
        if (!found || (language != 0 && e.Language == language))
            found = &e;
    }
    if (found) {
        ModuleError.clear();
        return reinterpret_cast<HRSRC>(const_cast<pe::TResource*>(found));
    }
    return reinterpret_cast<HRSRC>(
        typeSeen ? Fail(ERROR_RESOURCE_NAME_NOT_FOUND, "has no such resource")
                 : Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, "has no resource of that type"));
}

bool ModuleResourceData(const void* resource, const unsigned char*& data, DWORD& size) {
    auto& r = Modules();
    std::lock_guard<std::mutex> lock(r.Lock);
    for (auto& m : r.Loaded)
        for (const pe::TResource& e : m->Image.Resources)
            if (&e == resource) {
                data = m->Bytes.data() + e.Offset;
                size = e.Size;
                return true;
            }
    return false;
}

bool ModuleFilePath(HMODULE module, std::string& path) {
    auto& r = Modules();
    std::lock_guard<std::mutex> lock(r.Lock);
    if (TModule* m = Find(module)) {
        path = m->Path;
        return true;
    }
    return false;
}

} // namespace platform

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags) {
    using platform::Fail;
    if (!fileName || !*fileName || file)
        return Fail(ERROR_INVALID_PARAMETER, "no file named");
    // Nothing of another system's program runs here: only its resources can be loaded.
    constexpr DWORD asData = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE |
                             LOAD_LIBRARY_AS_IMAGE_RESOURCE;
    if (!(flags & asData))
        return Fail(ERROR_NOT_SUPPORTED, "cannot be run here (only its resources can be read)");
    auto module = std::make_unique<platform::TModule>();
    const std::string path = platform::PosixPath(fileName);
    // GetModuleFileNameA reports the full path, as for any module.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    module->Path = ec ? path : full.string();
    DWORD error = ERROR_SUCCESS;
    std::string reason = platform::ReadFile(module->Path, module->Bytes, error);
    if (reason.empty()) {
        reason = platform::pe::ReadImage(module->Bytes.data(), module->Bytes.size(), module->Image);
        error = ERROR_BAD_EXE_FORMAT;
    }
    if (!reason.empty())
        return Fail(error, reason);
    auto& r = platform::Modules();
    std::lock_guard<std::mutex> lock(r.Lock);
    r.Loaded.push_back(std::move(module));
    platform::ModuleError.clear();
    SetLastError(ERROR_SUCCESS);
    return platform::HandleOf(r.Loaded.back().get());
}

BOOL FreeLibrary(HMODULE module) {
    auto& r = platform::Modules();
    std::lock_guard<std::mutex> lock(r.Lock);
    for (auto it = r.Loaded.begin(); it != r.Loaded.end(); ++it)
        if (platform::HandleOf(it->get()) == module) {
            r.Loaded.erase(it);
            return TRUE;
        }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
