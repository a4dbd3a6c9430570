// Golden files: a program's text output kept under tests/data and compared whole. With
// the environment variable QUILLOT_UPDATE_GOLDEN=1 (the build target update_golden sets
// it) the output is written to the golden file instead, for review with git diff.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace testutil {

inline bool UpdatingGoldenFiles() {
    const char* v = std::getenv("QUILLOT_UPDATE_GOLDEN");
    return v && std::string(v) == "1";
}

inline void ExpectMatchesGoldenFile(const std::string& actual, const std::string& path) {
    if (UpdatingGoldenFiles()) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "no golden file " << path
                    << " (cmake --build build --target update_golden writes it)";
    std::ostringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str())
        << "differs from the golden file " << path
        << "; after a deliberate change, cmake --build build --target update_golden rewrites it";
}

} // namespace testutil
