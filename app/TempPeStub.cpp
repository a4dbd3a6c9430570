#include "platform/win32.h"
HMODULE LoadLibraryExA(LPCSTR, HANDLE, DWORD) {
    return nullptr;
}
BOOL FreeLibrary(HMODULE) {
    return TRUE;
}
namespace platform {
const char* LastModuleError() {
    return "not a Windows executable";
}
} // namespace platform
