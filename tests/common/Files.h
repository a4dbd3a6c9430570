// The whole of a file as bytes, for tests that compare what programs wrote; "" when it
// cannot be read.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testutil {

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace testutil
