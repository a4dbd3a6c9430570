// Last error, threads, code pages, global memory, files, arithmetic and time.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "platform/testing.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace {

thread_local DWORD LastError = 0;
UINT AnsiCodePage = CP_UTF8;

bool IsLead(UINT cp, BYTE b) {
    switch (cp) {
    case 932: // Shift-JIS
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936: // GBK
    case 949: // Unified Hangul Code
    case 950: // Big5
        return b >= 0x81 && b <= 0xFE;
    default:
        return false;
    }
}

UINT ResolveCodePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_OEMCP)
        return AnsiCodePage;
    return cp;
}

} // namespace

namespace platform::testing {

void SetCodePage(UINT codePage) {
    AnsiCodePage = codePage == 0 ? CP_UTF8 : codePage;
}

} // namespace platform::testing

DWORD GetLastError() {
    return LastError;
}
void SetLastError(DWORD error) {
    LastError = error;
}

DWORD GetCurrentThreadId() {
    return DWORD(syscall(SYS_gettid));
}
DWORD GetCurrentProcessId() {
    return DWORD(getpid());
}

UINT GetACP() {
    return AnsiCodePage;
}
UINT GetOEMCP() {
    return AnsiCodePage;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE testChar) {
    return IsLead(ResolveCodePage(codePage), testChar) ? TRUE : FALSE;
}

BOOL IsDBCSLeadByte(BYTE testChar) {
    return IsDBCSLeadByteEx(CP_ACP, testChar);
}

LPSTR CharNextExA(WORD codePage, LPCSTR current, DWORD) {
    if (!current || !*current)
        return const_cast<LPSTR>(current);
    UINT cp = ResolveCodePage(codePage);
    auto b = static_cast<unsigned char>(*current);
    if (cp == CP_UTF8) {
        const char* p = current + 1;
        while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80)
            ++p;
        return const_cast<LPSTR>(p);
    }
    if (IsLead(cp, b) && current[1])
        return const_cast<LPSTR>(current + 2);
    return const_cast<LPSTR>(current + 1);
}

LPSTR CharNextA(LPCSTR current) {
    return CharNextExA(CP_ACP, current, 0);
}

LPSTR CharPrevExA(WORD codePage, LPCSTR start, LPCSTR current, DWORD) {
    if (!start || !current || current <= start)
        return const_cast<LPSTR>(start);
    // Walk forward from the start: only that tells lead bytes from trail bytes.
    LPCSTR p = start;
    for (;;) {
        LPCSTR next = CharNextExA(codePage, p, 0);
        if (next >= current || next == p)
            return const_cast<LPSTR>(p);
        p = next;
    }
}

LPSTR CharPrevA(LPCSTR start, LPCSTR current) {
    return CharPrevExA(CP_ACP, start, current, 0);
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multiByte, int multiByteCount, WCHAR* wide,
                        int wideCount) {
    if (!multiByte || multiByteCount == 0 || wideCount < 0 || (wideCount > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = ResolveCodePage(codePage);
    std::size_t len = multiByteCount < 0 ? std::strlen(multiByte) + 1 : std::size_t(multiByteCount);
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(multiByte);
    for (std::size_t i = 0; i < len;) {
        unsigned char b = s[i];
        char32_t c = 0xFFFD;
        std::size_t n = 1;
        if (cp == CP_UTF8) {
            if (b < 0x80) {
                c = b;
            } else if ((b & 0xE0) == 0xC0 && i + 1 < len && (s[i + 1] & 0xC0) == 0x80) {
                c = char32_t((b & 0x1F) << 6 | (s[i + 1] & 0x3F));
                n = c >= 0x80 ? 2 : 1;
                c = n == 2 ? c : 0xFFFD;
            } else if ((b & 0xF0) == 0xE0 && i + 2 < len && (s[i + 1] & 0xC0) == 0x80 &&
                       (s[i + 2] & 0xC0) == 0x80) {
                c = char32_t((b & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F));
                n = 3;
                if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))
                    c = 0xFFFD;
            } else if ((b & 0xF8) == 0xF0 && i + 3 < len && (s[i + 1] & 0xC0) == 0x80 &&
                       (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
                c = char32_t((b & 0x07) << 18 | (s[i + 1] & 0x3F) << 12 | (s[i + 2] & 0x3F) << 6 |
                             (s[i + 3] & 0x3F));
                n = 4;
                if (c < 0x10000 || c > 0x10FFFF)
                    c = 0xFFFD;
            }
        } else if (IsLead(cp, b) && i + 1 < len) {
            n = 2; // double-byte characters without a conversion table
        } else {
            c = b < 0x80 ? b : (cp == 1252 || cp == 28591 ? char32_t(b) : char32_t(0xFFFD));
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += n;
    }
    if (wideCount == 0)
        return int(out.size());
    if (int(out.size()) > wideCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(wide, out.data(), out.size() * sizeof(WCHAR));
    return int(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCSTR defaultChar, BOOL* usedDefaultChar) {
    if (!wide || wideCount == 0 || multiByteCount < 0 || (multiByteCount > 0 && !multiByte)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = ResolveCodePage(codePage);
    std::size_t len = 0;
    if (wideCount < 0) {
        while (wide[len])
            ++len;
        ++len;
    } else {
        len = std::size_t(wideCount);
    }
    std::string out;
    bool usedDefault = false;
    for (std::size_t i = 0; i < len; ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (cp == CP_UTF8) {
            if (c < 0x80) {
                out += char(c);
            } else if (c < 0x800) {
                out += char(0xC0 | (c >> 6));
                out += char(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += char(0xE0 | (c >> 12));
                out += char(0x80 | ((c >> 6) & 0x3F));
                out += char(0x80 | (c & 0x3F));
            } else {
                out += char(0xF0 | (c >> 18));
                out += char(0x80 | ((c >> 12) & 0x3F));
                out += char(0x80 | ((c >> 6) & 0x3F));
                out += char(0x80 | (c & 0x3F));
            }
        } else if (c < 0x80 || ((cp == 1252 || cp == 28591) && c < 0x100)) {
            out += char(c);
        } else {
            out += defaultChar ? *defaultChar : '?';
            usedDefault = true;
        }
    }
    if (usedDefaultChar)
        *usedDefaultChar = usedDefault ? TRUE : FALSE;
    if (multiByteCount == 0)
        return int(out.size());
    if (int(out.size()) > multiByteCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(multiByte, out.data(), out.size());
    return int(out.size());
}

// Global memory: a moveable block is a handle to a descriptor, a fixed block is its own
// address, as in the real API.
namespace {

struct GlobalBlock {
    unsigned char* Data;
    SIZE_T Size;
    UINT Flags;
    int Locks = 0;
};

std::mutex GlobalLockMutex;
std::unordered_map<HGLOBAL, GlobalBlock*>& Globals() {
    static std::unordered_map<HGLOBAL, GlobalBlock*> blocks;
    return blocks;
}

GlobalBlock* FindGlobal(HGLOBAL h) {
    auto it = Globals().find(h);
    return it == Globals().end() ? nullptr : it->second;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    auto* data = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT)
        std::memset(data, 0, bytes ? bytes : 1);
    auto* block = new GlobalBlock{data, bytes, flags};
    HGLOBAL h = (flags & GMEM_MOVEABLE) ? static_cast<HGLOBAL>(block) : static_cast<HGLOBAL>(data);
    Globals()[h] = block;
    return h;
}

LPVOID GlobalLock(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++b->Locks;
    return b->Data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (b->Locks > 0)
        --b->Locks;
    SetLastError(ERROR_SUCCESS);
    return b->Locks > 0 ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->Size;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
    std::lock_guard<std::mutex> lock(GlobalLockMutex);
    GlobalBlock* b = FindGlobal(memory);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    Globals().erase(memory);
    std::free(b->Data);
    delete b;
    return nullptr;
}

// Files.
namespace {

struct FileObject {
    int Fd;
};

std::mutex FileMutex;
std::unordered_set<FileObject*>& Files() {
    static std::unordered_set<FileObject*> files;
    return files;
}

std::string PosixPath(LPCSTR name) {
    std::string p = name;
    for (char& c : p)
        if (c == '\\')
            c = '/';
    return p;
}

DWORD ErrnoToError(int e) {
    switch (e) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

FileObject* FindFile(HANDLE h) {
    std::lock_guard<std::mutex> lock(FileMutex);
    auto* f = static_cast<FileObject*>(h);
    return Files().count(f) ? f : nullptr;
}

} // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPVOID, DWORD creation, DWORD, HANDLE) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int mode = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
               : (access & GENERIC_WRITE)                          ? O_WRONLY
                                                                   : O_RDONLY;
    switch (creation) {
    case CREATE_NEW:
        mode |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        mode |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        mode |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        mode |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = PosixPath(fileName);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(path.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(ErrnoToError(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto* f = new FileObject{fd};
    std::lock_guard<std::mutex> lock(FileMutex);
    Files().insert(f);
    SetLastError(ERROR_SUCCESS);
    return f;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPVOID) {
    if (read)
        *read = 0;
    FileObject* f = FindFile(file);
    if (!f || (!buffer && toRead)) {
        SetLastError(f ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toRead) {
        ssize_t n = ::read(f->Fd, static_cast<char*>(buffer) + total, toRead - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastError(ErrnoToError(errno));
            return FALSE;
        }
        if (n == 0)
            break;
        total += DWORD(n);
    }
    if (read)
        *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, LPVOID) {
    if (written)
        *written = 0;
    FileObject* f = FindFile(file);
    if (!f || (!buffer && toWrite)) {
        SetLastError(f ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toWrite) {
        ssize_t n = ::write(f->Fd, static_cast<const char*>(buffer) + total, toWrite - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetLastError(ErrnoToError(errno));
            return FALSE;
        }
        total += DWORD(n);
    }
    if (written)
        *written = total;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    FileObject* f = FindFile(object);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(FileMutex);
        Files().erase(f);
    }
    ::close(f->Fd);
    delete f;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh) {
    FileObject* f = FindFile(file);
    struct stat st {};
    if (!f || ::fstat(f->Fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    auto size = std::uint64_t(st.st_size);
    if (fileSizeHigh)
        *fileSizeHigh = DWORD(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return DWORD(size);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    FileObject* f = FindFile(file);
    if (!f || moveMethod > FILE_END) {
        SetLastError(f ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t offset = distanceHigh
                              ? std::int64_t((std::uint64_t(std::uint32_t(*distanceHigh)) << 32) |
                                             std::uint32_t(distance))
                              : std::int64_t(distance);
    int whence = moveMethod == FILE_BEGIN     ? SEEK_SET
                 : moveMethod == FILE_CURRENT ? SEEK_CUR
                                              : SEEK_END;
    off_t pos = ::lseek(f->Fd, off_t(offset), whence);
    if (pos < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = LONG(std::uint64_t(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return DWORD(std::uint64_t(pos));
}

BOOL DeleteFileA(LPCSTR fileName) {
    if (!fileName || ::unlink(PosixPath(fileName).c_str()) != 0) {
        SetLastError(fileName ? ErrnoToError(errno) : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    struct stat st {};
    if (!fileName || ::stat(PosixPath(fileName).c_str(), &st) != 0) {
        SetLastError(fileName ? ErrnoToError(errno) : ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attrs = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (::access(PosixPath(fileName).c_str(), W_OK) != 0)
        attrs |= FILE_ATTRIBUTE_READONLY;
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    std::int64_t product = std::int64_t(number) * numerator;
    std::int64_t d = denominator;
    // Round half away from zero.
    bool negative = (product < 0) != (d < 0);
    std::int64_t absP = product < 0 ? -product : product;
    std::int64_t absD = d < 0 ? -d : d;
    std::int64_t q = (absP + absD / 2) / absD;
    std::int64_t result = negative ? -q : q;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return int(result);
}

DWORD GetTickCount() {
    return platform::user::GetBackend().Now();
}

void Sleep(DWORD milliseconds) {
    platform::user::GetBackend().Sleep(milliseconds);
}
