// Files: handles over POSIX file descriptors.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include "platform/kernel/PosixFiles.h"
#include "platform/user/WindowManager.h"
#include "platform/winbase.h"

namespace platform {

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
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

} // namespace platform

namespace {

using platform::ErrnoToError;
using platform::PosixPath;

struct FileObject {
    int Fd;
};

std::mutex FileMutex;
std::unordered_set<FileObject*>& Files() {
    static std::unordered_set<FileObject*> files;
    return files;
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

namespace {

// Moves `count` bytes through `io(fd, offset)` (one read or write call), again after
// interruptions. A read stops at the end of the file; a write that moves nothing fails.
template <class Io>
BOOL TransferAll(HANDLE file, bool hasBuffer, DWORD count, DWORD* done, bool stopAtEnd, Io io) {
    if (done)
        *done = 0;
    FileObject* f = FindFile(file);
    if (!f || (!hasBuffer && count)) {
        SetLastError(f ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = 0;
    while (total < count) {
        ssize_t n = io(f->Fd, total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 && stopAtEnd)
            break;
        if (n <= 0) {
            SetLastError(ErrnoToError(errno));
            return FALSE;
        }
        total += DWORD(n);
    }
    if (done)
        *done = total;
    return TRUE;
}

} // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPVOID) {
    return TransferAll(file, buffer != nullptr, toRead, read, true, [&](int fd, DWORD at) {
        return ::read(fd, static_cast<char*>(buffer) + at, toRead - at);
    });
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, LPVOID) {
    return TransferAll(file, buffer != nullptr, toWrite, written, false, [&](int fd, DWORD at) {
        return ::write(fd, static_cast<const char*>(buffer) + at, toWrite - at);
    });
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
