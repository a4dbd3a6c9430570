// Files of the build tree that benchmarks read. The benchmark's target defines
// QUILLOT_BUILD_DIR.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace bench {

// The compiled main window definition (generated/TFORM1.bin), read once; empty when the
// build has not made it.
inline const std::string& MainFormBytes() {
    static const std::string bytes = [] {
        std::ifstream in(std::string(QUILLOT_BUILD_DIR) + "/generated/TFORM1.bin",
                         std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }();
    return bytes;
}

} // namespace bench
