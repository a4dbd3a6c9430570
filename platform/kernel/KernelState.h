// Internal to the platform layer and its testing library: settings of the process that
// Windows takes from the system, here set by the program that hosts the layer.
#pragma once

#include <string>

#include "platform/windef.h"

namespace platform {

// The ANSI code page that GetACP reports and CP_ACP means; 0 restores the default, 65001
// (UTF-8).
void SetAnsiCodePage(UINT codePage);

// Makes GetModuleFileNameA report `path` (in its backslash form) as the main module's
// file; "" restores the real path.
void SetMainModuleFileName(const std::string& path);

// The real path of the running executable (never the one SetMainModuleFileName sets), ""
// when the system does not tell.
std::string ExecutablePath();

} // namespace platform
