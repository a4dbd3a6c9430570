#include "app/Volume.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "formstream/FormResources.h"
#include "formstream/FormText.h"
#include "media/MPlayer.h"
#include "rtl/ResourceStream.h"
#include "rtl/Stream.h"
#include "rtl/SysUtils.h"
#include "ui/Forms.h"

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr char FormResourceName[] = "TFORM1";
constexpr char StreamSignature[] = "TPF0";

const TVolume* gVolume = nullptr;

[[noreturn]] void Refuse(const std::string& file, const std::string& what) {
    throw EVolumeError("Cannot open the volume \"" + file + "\": " + what);
}

// The whole file, or the reason it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Whether a folder entry's name is one of a form file's: TFORM1 or Form1, with no
// extension or one of a form's.
bool IsFormFileName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    const std::string_view stem = std::string_view(name).substr(0, dot);
    const std::string_view ext = dot == std::string::npos ? "" : std::string_view(name).substr(dot);
    if (!rtl::SameText(stem, "tform1") && !rtl::SameText(stem, "form1"))
        return false;
    for (std::string_view known : {"", ".bin", ".form", ".txt"})
        if (rtl::SameText(ext, known))
            return true;
    return false;
}

std::unique_ptr<rtl::TStream> VolumeFormResource(std::string_view className) {
    if (!gVolume || !rtl::SameText(className, FormResourceName))
        return nullptr;
    return gVolume->FormStream();
}

} // namespace

std::string WindowsPath(std::string_view posixPath) {
    std::string path(posixPath);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string PosixPath(std::string_view windowsPath) {
    std::string path(windowsPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string FindFileIgnoringCase(const std::string& folder, std::string_view name) {
    std::error_code ec;
    const fs::path exact = fs::path(folder) / std::string(name);
    if (fs::exists(exact, ec))
        return exact.string();
    std::vector<std::string> matches;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (rtl::SameText(it->path().filename().string(), name))
            matches.push_back(it->path().string());
    if (matches.empty())
        return {};
    return *std::min_element(matches.begin(), matches.end());
}

std::string ClipPath(std::string_view folder, std::string_view clipName) {
    const std::string joined = std::string(folder) + std::string(clipName);
    const fs::path posix(PosixPath(joined));
    std::error_code ec;
    if (fs::exists(posix, ec))
        return joined;
    const std::string found =
        FindFileIgnoringCase(posix.parent_path().string(), posix.filename().string());
    if (found.empty())
        return joined;
    const std::size_t cut = joined.size() - posix.filename().string().size();
    return joined.substr(0, cut) + fs::path(found).filename().string();
}

std::unique_ptr<TVolume> TVolume::Open(const std::string& path) {
    std::unique_ptr<TVolume> volume(new TVolume());
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (path.empty() || !fs::exists(status))
        Refuse(path, "there is no such file or folder");
    if (fs::is_directory(status))
        OpenFolder(*volume, path);
    else if (fs::is_regular_file(status))
        OpenExecutable(*volume, path);
    else
        Refuse(path, "it is neither a file nor a folder");
    return volume;
}

void TVolume::OpenExecutable(TVolume& volume, const std::string& path) {
    volume.FKind = vkExecutable;
    volume.FFormFile = path;
    // The loader says why a file cannot be read or is no Windows executable.
    volume.FModule = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!volume.FModule)
        Refuse(path, platform::LastModuleError());
    if (!FindResourceA(volume.FModule, FormResourceName, RT_RCDATA)) {
        // A resource that is missing, or one that is there but damaged.
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_RESOURCE_DATA_NOT_FOUND ||
                             error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
                             error == ERROR_RESOURCE_NAME_NOT_FOUND;
        Refuse(path, missing ? "it has no form resource TFORM1" : platform::LastModuleError());
    }
    std::error_code ec;
    const fs::path folder = fs::absolute(path, ec).parent_path();
    volume.FClipFolder = WindowsPath(folder.string());
}

void TVolume::OpenFolder(TVolume& volume, const std::string& path) {
    volume.FKind = vkFolder;
    std::error_code ec;
    std::vector<std::string> forms;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        if (IsFormFileName(it->path().filename().string()) && !it->is_directory())
            forms.push_back(it->path().string());
    if (ec)
        Refuse(path, "the folder cannot be read");
    std::sort(forms.begin(), forms.end());
    if (forms.empty())
        Refuse(path, "it holds no form file (TFORM1.bin or Form1.txt)");
    if (forms.size() > 1)
        Refuse(path, "it holds more than one form file (" + fs::path(forms[0]).filename().string() +
                         ", " + fs::path(forms[1]).filename().string() + ")");
    volume.FFormFile = forms[0];
    std::string bytes;
    if (!ReadWholeFile(volume.FFormFile, bytes))
        Refuse(volume.FFormFile, "the file cannot be read");
    if (bytes.compare(0, 4, StreamSignature) == 0) {
        volume.FForm = std::move(bytes);
    } else {
        try {
            volume.FForm = formstream::CompileFormText(bytes, [&](const std::string& name) {
                std::string picture;
                const std::string file = FindFileIgnoringCase(path, name);
                if (file.empty() || !ReadWholeFile(file, picture))
                    throw formstream::EFormTextError(0, "cannot read the picture file " + name);
                return picture;
            });
        } catch (const formstream::EFormTextError& e) {
            Refuse(volume.FFormFile,
                   (e.Line() ? "line " + std::to_string(e.Line()) + ": " : "") + e.what());
        }
    }
    const fs::path folder = fs::absolute(path, ec);
    volume.FClipFolder = WindowsPath(folder.lexically_normal().string());
    while (volume.FClipFolder.size() > 1 && volume.FClipFolder.back() == '\\')
        volume.FClipFolder.pop_back();
}

TVolume::~TVolume() {
    if (gVolume == this)
        UseVolume(nullptr);
    if (FModule)
        FreeLibrary(FModule);
}

std::unique_ptr<rtl::TStream> TVolume::FormStream() const {
    if (FModule)
        return std::make_unique<rtl::TResourceStream>(FModule, FormResourceName, RT_RCDATA);
    auto stream = std::make_unique<rtl::TMemoryStream>();
    stream->WriteBuffer(FForm.data(), FForm.size());
    stream->SetPosition(0);
    return stream;
}

void UseVolume(const TVolume* volume) {
    gVolume = volume;
    formstream::SetFormResourceLookup(volume ? &VolumeFormResource : nullptr);
    HMODULE module = volume ? volume->Module() : nullptr;
    media::SetGlyphModule(module);
    if (ui::Application) {
        HICON icon = module ? LoadIconA(module, "MAINICON") : nullptr;
        ui::Application->SetIcon(icon ? icon : LoadIconA(GetModuleHandleA(nullptr), "MAINICON"));
    }
}

const TVolume* CurrentVolume() {
    return gVolume;
}

} // namespace app
