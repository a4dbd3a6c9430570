// Internal to the platform layer's kernel part: Windows-style file names and POSIX error
// numbers as the file functions and the data-file modules both meet them.
#pragma once

#include <string>

#include "platform/windef.h"

namespace platform {

// `name` with its backslashes turned into slashes.
std::string PosixPath(LPCSTR name);

// The Windows error code for an errno value of opening, reading or removing a file.
DWORD ErrnoToError(int e);

} // namespace platform
