// The directory of the executable, cut from its full path the way the catalogue has
// always done it: at the last backslash or colon that is a character of its own (a
// backslash byte that is the trailing byte of a double-byte character of the system's
// ANSI code page does not count), without the backslash unless the directory is the
// root of a drive ("D:\").
#pragma once

#include <string_view>

#include "rtl/SysUtils.h"

namespace app {

rtl::String ExtractExeDir(std::string_view path);

} // namespace app
