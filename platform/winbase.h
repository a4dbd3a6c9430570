// Kernel part of the API subset: module path, resources, code pages, global memory,
// files opened with Windows-style paths, time.
//
// Resources come from tables compiled into the executable (tools/generators/rescomp) and
// registered at start-up, or from Windows executables loaded as data files; names and types are
// numbers (MAKEINTRESOURCEA) or strings, string names and types matched without regard to ASCII
// case. Paths given to the file functions may use backslashes as separators. Failures return the
// API's failure values (NULL, 0, FALSE, INVALID_HANDLE_VALUE) and set the last-error value.
#pragma once

#include "platform/windef.h"

constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD MAX_PATH = 260;

// Last-error values.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;
constexpr DWORD ERROR_TIMER_NOT_FOUND = 1402;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;
constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
DWORD GetLastError();
void SetLastError(DWORD error);

// Module.
HMODULE GetModuleHandleA(LPCSTR moduleName);
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// Modules loaded as data files: a Windows executable (PE32 or PE32+) read whole into
// memory for its resources, which FindResourceA and its companions then find (with
// LoadBitmapA, LoadIconA and LoadStringA) until FreeLibrary. Nothing of the file is run or
// mapped executable, so one of the data-file flags is required. A file that is not a
// Windows executable, or whose headers or resource directory are damaged, is refused
// with ERROR_BAD_EXE_FORMAT; platform::LastModuleError says why.
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x00000002;
constexpr DWORD LOAD_LIBRARY_AS_IMAGE_RESOURCE = 0x00000020;
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE = 0x00000040;
HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags);
BOOL FreeLibrary(HMODULE module);
namespace platform {
// Not part of the Windows API: why the calling thread's last LoadLibraryExA or
// FindResourceA on a data-file module failed, e.g. "not a Windows executable",
// "truncated", "resource directory loops", "points outside the file", "resource size
// overflows", "has no such resource"; "" after a success.
const char* LastModuleError();
// Not part of the Windows API: whether `module` is a data-file module of LoadLibraryExA
// (its icons are stored as Windows executables store them, a group naming its images).
bool IsDataFileModule(HMODULE module);
} // namespace platform
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

// Start-up information: nothing is given to the program (no show-window value).
constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
void GetStartupInfoA(STARTUPINFOA* info);
void OutputDebugStringA(LPCSTR text); // to standard error

// Resources.
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_FONTDIR MAKEINTRESOURCEA(7)
#define RT_FONT MAKEINTRESOURCEA(8)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEA(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_VERSION MAKEINTRESOURCEA(16)
constexpr WORD LANG_NEUTRAL = 0;
constexpr WORD SUBLANG_NEUTRAL = 0;
constexpr WORD MAKELANGID(WORD primary, WORD sub) {
    return WORD((sub << 10) | primary);
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resource);
BOOL FreeResource(HGLOBAL resource);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

// Code pages and character helpers.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;
UINT GetACP();
UINT GetOEMCP();
BOOL IsDBCSLeadByte(BYTE testChar);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar);
LPSTR CharNextA(LPCSTR current);
LPSTR CharPrevA(LPCSTR start, LPCSTR current);
LPSTR CharNextExA(WORD codePage, LPCSTR current, DWORD flags);
LPSTR CharPrevExA(WORD codePage, LPCSTR start, LPCSTR current, DWORD flags);
// Converts between the ANSI code page (or UTF-8) and UTF-16. Only CP_ACP, CP_OEMCP and
// CP_UTF8 are supported (the ANSI code page converts as UTF-8 unless it is 1252-like
// single-byte, in which case bytes map to U+0000..U+00FF).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount,
                        WCHAR* wide, int wideCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount,
                        LPSTR multiByte, int multiByteCount, LPCSTR defaultChar,
                        BOOL* usedDefaultChar);

// Global memory.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);
HGLOBAL GlobalFree(HGLOBAL memory);

// Files. Paths use '\\' or '/' as separators; a leading drive letter is not supported.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(LONG_PTR(-1)))
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPVOID security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPVOID overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, LPVOID overlapped);
BOOL CloseHandle(HANDLE object);
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
BOOL DeleteFileA(LPCSTR fileName);
DWORD GetFileAttributesA(LPCSTR fileName);

// Atoms (global atom table of the process): numbers from 0xC000 for strings, "#n" and
// MAKEINTATOM numbers below 0xC000 stand for themselves.
inline LPCSTR MAKEINTATOM(ATOM atom) {
    return MAKEINTRESOURCEA(atom);
}
ATOM GlobalAddAtomA(LPCSTR name);
ATOM GlobalFindAtomA(LPCSTR name);
ATOM GlobalDeleteAtom(ATOM atom);
UINT GlobalGetAtomNameA(ATOM atom, LPSTR buffer, int size);

// Arithmetic and time.
int MulDiv(int number, int numerator, int denominator);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
