// A directory of a test's own under the system's temporary folder: made unique per run
// (so that runs of several users or checkouts never meet) and removed, with all it
// holds, when the object goes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testutil {

class TTempDir {
public:
    explicit TTempDir(const std::string& prefix = "quillot-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a directory like " + pattern);
        FPath = pattern;
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The path of `name` inside the directory.
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }
    std::string String() const { return FPath.string(); }

private:
    std::filesystem::path FPath;
};

} // namespace testutil
