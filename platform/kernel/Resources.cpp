// Resource look-up over the registered resource tables, string tables, module path.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include "platform/kernel/KernelState.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/ResourceTable.h"
#include "platform/winbase.h"

namespace platform {

namespace {

struct Registry {
    std::mutex Lock;
    std::vector<std::pair<const ResourceEntry*, std::size_t>> Tables;
    std::unordered_set<const ResourceEntry*> Entries;
};

Registry& Reg() {
    static Registry registry;
    return registry;
}

const HMODULE MainModule = reinterpret_cast<HMODULE>(std::uintptr_t(0x400000));

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) !=
            std::toupper(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

// A name or type given as a pointer: a number (MAKEINTRESOURCEA or "#123") or a string.
bool MatchesResourceId(LPCSTR want, const char* entryName, WORD entryId) {
    if (!want)
        return false;
    if (IS_INTRESOURCE(want))
        return !entryName && entryId == WORD(ULONG_PTR(want));
    if (want[0] == '#') {
        char* end = nullptr;
        unsigned long n = std::strtoul(want + 1, &end, 10);
        return end && *end == 0 && end != want + 1 && !entryName && n == entryId;
    }
    return entryName && EqualNoCase(want, entryName);
}

namespace {

bool ValidModule(HMODULE module) {
    return module == nullptr || module == MainModule;
}

const ResourceEntry* FromHandle(const void* h) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.Lock);
    auto* e = static_cast<const ResourceEntry*>(h);
    return r.Entries.count(e) ? e : nullptr;
}

} // namespace

bool RegisterResourceTable(const ResourceEntry* entries, std::size_t count) {
    auto& r = Reg();
    std::lock_guard<std::mutex> lock(r.Lock);
    r.Tables.emplace_back(entries, count);
    for (std::size_t i = 0; i < count; ++i)
        r.Entries.insert(&entries[i]);
    return true;
}

} // namespace platform

using platform::ResourceEntry;

HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
    if (platform::IsDataFileModule(module))
        return platform::FindModuleResource(module, type, name, language);
    if (!platform::ValidModule(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!type || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& r = platform::Reg();
    std::lock_guard<std::mutex> lock(r.Lock);
    bool typeSeen = false;
    for (auto& [entries, count] : r.Tables)
        for (std::size_t i = 0; i < count; ++i) {
            const ResourceEntry& e = entries[i];
            if (!platform::MatchesResourceId(type, e.TypeName, e.TypeId))
                continue;
            typeSeen = true;
            if (platform::MatchesResourceId(name, e.Name, e.NameId))
                return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&e));
        }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return FindResourceExA(module, type, name, 0);
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    const unsigned char* data = nullptr;
    DWORD size = 0;
    // A data-file module's resource is its own handle to the data, as the built-in ones.
    if (platform::IsDataFileModule(module) && platform::ModuleResourceData(resource, data, size))
        return resource;
    if (!platform::ValidModule(module) || !platform::FromHandle(resource)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return resource;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    const unsigned char* data = nullptr;
    DWORD size = 0;
    if (platform::IsDataFileModule(module) && platform::ModuleResourceData(resource, data, size))
        return size;
    const ResourceEntry* e = platform::FromHandle(resource);
    if (!platform::ValidModule(module) || !e) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return DWORD(e->Size);
}

LPVOID LockResource(HGLOBAL resource) {
    const unsigned char* data = nullptr;
    DWORD size = 0;
    if (platform::ModuleResourceData(resource, data, size))
        return const_cast<unsigned char*>(data);
    const ResourceEntry* e = platform::FromHandle(resource);
    if (!e)
        return nullptr;
    // Resource data is read-only; the API hands it out as a plain pointer.
    return const_cast<unsigned char*>(e->Data);
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(WORD((id >> 4) + 1)), RT_STRING);
    if (!res)
        return 0;
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(instance, res)));
    DWORD size = SizeofResource(instance, res);
    // A block holds 16 strings, each a 16-bit length followed by that many UTF-16 units.
    std::size_t pos = 0;
    for (UINT i = 0; i < 16; ++i) {
        if (pos + 2 > size)
            return 0;
        std::size_t len = std::size_t(data[pos]) | (std::size_t(data[pos + 1]) << 8);
        pos += 2;
        if (pos + 2 * len > size)
            return 0;
        if (i == (id & 15)) {
            if (len == 0)
                return 0;
            std::vector<WCHAR> wide(len);
            for (std::size_t k = 0; k < len; ++k)
                wide[k] = WCHAR(data[pos + 2 * k] | (data[pos + 2 * k + 1] << 8));
            int need =
                WideCharToMultiByte(CP_ACP, 0, wide.data(), int(len), nullptr, 0, nullptr, nullptr);
            std::string out(std::size_t(need > 0 ? need : 0), '\0');
            if (need > 0)
                WideCharToMultiByte(CP_ACP, 0, wide.data(), int(len), out.data(), need, nullptr,
                                    nullptr);
            int n = std::min<int>(int(out.size()), bufferMax - 1);
            // Do not cut a multi-byte character in half.
            while (n > 0 && n < int(out.size()) &&
                   (static_cast<unsigned char>(out[std::size_t(n)]) & 0xC0) == 0x80 &&
                   GetACP() == CP_UTF8)
                --n;
            std::memcpy(buffer, out.data(), std::size_t(n));
            buffer[n] = 0;
            return n;
        }
        pos += 2 * len;
    }
    return 0;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName)
        return platform::MainModule;
    const std::string path = platform::ExecutablePath();
    if (!path.empty()) {
        const std::string base = path.substr(path.rfind('/') + 1);
        std::string want = moduleName;
        for (char& c : want)
            if (c == '\\')
                c = '/';
        if (auto slash = want.rfind('/'); slash != std::string::npos)
            want = want.substr(slash + 1);
        std::string withExe = base + ".exe";
        if (platform::EqualNoCase(want.c_str(), base.c_str()) ||
            platform::EqualNoCase(want.c_str(), withExe.c_str()))
            return platform::MainModule;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

namespace {
std::string ModuleFileOverride;
} // namespace

namespace platform {
void SetMainModuleFileName(const std::string& path) {
    ModuleFileOverride = path;
}

std::string ExecutablePath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0 || std::size_t(n) >= sizeof path)
        return {};
    return std::string(path, std::size_t(n));
}
} // namespace platform

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::string dataFile;
    const bool isDataFile = platform::ModuleFilePath(module, dataFile);
    if (!isDataFile && !platform::ValidModule(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path = isDataFile                    ? dataFile
                       : !ModuleFileOverride.empty() ? ModuleFileOverride
                                                     : platform::ExecutablePath();
    const ssize_t n = ssize_t(path.size());
    if (n <= 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        fileName[0] = 0;
        return 0;
    }
    // Paths are reported with the API's separator; the file functions map it back.
    for (ssize_t i = 0; i < n; ++i)
        if (path[i] == '/')
            path[i] = '\\';
    DWORD len = DWORD(n);
    if (len + 1 > size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.data(), len);
    fileName[len] = 0;
    SetLastError(ERROR_SUCCESS);
    return len;
}
