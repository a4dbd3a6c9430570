// Internal to the platform layer: data-file modules (Windows executables loaded with
// LoadLibraryExA for their resources) and the resource-name matching the module kinds
// share.
#pragma once

#include <string>

#include "platform/winbase.h"

namespace platform {

// A wanted type or name (MAKEINTRESOURCEA number, "#123" or a string, compared without
// regard to ASCII case) against a resource's: `entryName` null when that is a number.
bool MatchesResourceId(LPCSTR want, const char* entryName, WORD entryId);

// FindResourceExA over a data-file module (sets the last error and the module error).
HRSRC FindModuleResource(HMODULE module, LPCSTR type, LPCSTR name, WORD language);

// The data of a resource handle of a data-file module; false when `resource` is none.
bool ModuleResourceData(const void* resource, const unsigned char*& data, DWORD& size);

// The file a data-file module was loaded from; false when `module` is none.
bool ModuleFilePath(HMODULE module, std::string& path);

} // namespace platform
