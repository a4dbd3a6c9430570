#include "rtl/Stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/win32.h"
#include "rtl/Exceptions.h"

namespace rtl {

std::int64_t TStream::Size() {
    const std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    const std::int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return end;
}

void TStream::SetSize(std::int64_t) {
    throw EStreamError(SWriteError);
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(SWriteError);
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0)
        throw EReadError(SReadError);
    const std::int64_t result = count;
    constexpr std::size_t kChunk = 64 * 1024;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kChunk]);
    while (count > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count, kChunk));
        source.ReadBuffer(buffer.get(), n);
        WriteBuffer(buffer.get(), n);
        count -= static_cast<std::int64_t>(n);
    }
    return result;
}

std::uint8_t TStream::ReadByte() {
    std::uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

std::uint16_t TStream::ReadWord() {
    std::uint8_t b[2];
    ReadBuffer(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t TStream::ReadDWord() {
    std::uint8_t b[4];
    ReadBuffer(b, 4);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}

void TStream::WriteWord(std::uint16_t v) {
    const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
    WriteBuffer(b, 2);
}

void TStream::WriteDWord(std::uint32_t v) {
    const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                               std::uint8_t(v >> 24)};
    WriteBuffer(b, 4);
}

// --- TCustomMemoryStream

void TCustomMemoryStream::SetPointer(void* memory, std::int64_t size) {
    FMemory = static_cast<std::uint8_t*>(memory);
    FSize = size;
}

std::size_t TCustomMemoryStream::Read(void* buffer, std::size_t count) {
    if (FPosition < 0 || FPosition >= FSize || count == 0)
        return 0;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::int64_t>(FSize - FPosition, static_cast<std::int64_t>(count)));
    std::memcpy(buffer, FMemory + FPosition, n);
    FPosition += static_cast<std::int64_t>(n);
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning:
        base = 0;
        break;
    case TSeekOrigin::soCurrent:
        base = FPosition;
        break;
    case TSeekOrigin::soEnd:
        base = FSize;
        break;
    }
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset))
        throw EStreamError(SReadError);
    FPosition = base + offset;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& dest) {
    if (FSize > 0)
        dest.WriteBuffer(FMemory, static_cast<std::size_t>(FSize));
}

// --- TMemoryStream

TMemoryStream::~TMemoryStream() {
    std::free(FMemory);
}

void TMemoryStream::SetCapacity(std::int64_t newCapacity) {
    if (newCapacity == FCapacity)
        return;
    if (newCapacity == 0) {
        std::free(FMemory);
        FMemory = nullptr;
        FCapacity = 0;
        return;
    }
    if (newCapacity < 0 ||
        static_cast<std::uint64_t>(newCapacity) > std::numeric_limits<std::size_t>::max() / 2)
        throw EStreamError(SMemoryStreamError);
    void* p = std::realloc(FMemory, static_cast<std::size_t>(newCapacity));
    if (!p)
        throw EStreamError(SMemoryStreamError);
    FMemory = static_cast<std::uint8_t*>(p);
    FCapacity = newCapacity;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
    if (newSize < 0)
        throw EStreamError(SMemoryStreamError);
    const std::int64_t old = FSize;
    if (FMemory == nullptr && newSize > 0) {
        // Memory fresh from the system is zero already: a large block is not touched
        // here, so that pages never written cost nothing.
        if (static_cast<std::uint64_t>(newSize) > std::numeric_limits<std::size_t>::max() / 2)
            throw EStreamError(SMemoryStreamError);
        void* p = std::calloc(static_cast<std::size_t>(newSize), 1);
        if (!p)
            throw EStreamError(SMemoryStreamError);
        FMemory = static_cast<std::uint8_t*>(p);
        FCapacity = newSize;
    } else {
        if (newSize > FCapacity || newSize < FCapacity / 4)
            SetCapacity(newSize);
        if (newSize > old)
            std::memset(FMemory + old, 0, static_cast<std::size_t>(newSize - old));
    }
    FSize = newSize;
    if (FPosition > newSize)
        FPosition = newSize;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (FPosition < 0 || count == 0)
        return 0;
    const std::int64_t end = FPosition + static_cast<std::int64_t>(count);
    if (end > FSize) {
        if (end > FCapacity) {
            // Grow geometrically so that many small writes stay linear in total.
            std::int64_t cap = std::max<std::int64_t>(end, FCapacity + FCapacity / 2);
            cap = (cap + 0xFFF) & ~std::int64_t(0xFFF);
            SetCapacity(cap);
        }
        if (FPosition > FSize)
            std::memset(FMemory + FSize, 0, static_cast<std::size_t>(FPosition - FSize));
        FSize = end;
    }
    std::memcpy(FMemory + FPosition, buffer, count);
    FPosition = end;
    return count;
}

void TMemoryStream::Clear() {
    SetCapacity(0);
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const std::int64_t n = source.Size();
    SetSize(n);
    if (n > 0)
        source.ReadBuffer(FMemory, static_cast<std::size_t>(n));
    FPosition = 0;
}

// --- TFileStream

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName) {
    const bool create = (mode & fmCreate) == fmCreate;
    DWORD access = GENERIC_READ;
    if (create || (mode & 3) == fmOpenWrite || (mode & 3) == fmOpenReadWrite)
        access |= GENERIC_WRITE;
    const DWORD share =
        (mode & fmShareDenyWrite) ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE h = CreateFileA(fileName.c_str(), access, share, nullptr,
                           create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
        if (create)
            throw EFCreateError(SFCreateError, fileName);
        throw EFOpenError(SFOpenError, fileName);
    }
    FHandle = h;
}

TFileStream::~TFileStream() {
    if (FHandle)
        CloseHandle(FHandle);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    std::size_t total = 0;
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(FHandle, p + total, chunk, &got, nullptr) || got == 0)
            break;
        total += got;
    }
    return total;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    std::size_t total = 0;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(FHandle, p + total, chunk, &put, nullptr) || put == 0)
            break;
        total += put;
    }
    return total;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                         : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                            : FILE_END;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(0);
    const DWORD low =
        SetFilePointer(FHandle, static_cast<LONG>(offset & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != 0)
        throw EStreamError(SReadError);
    return (static_cast<std::int64_t>(high) << 32) | low;
}

} // namespace rtl
