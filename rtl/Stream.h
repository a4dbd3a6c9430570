// Byte streams with a position and a size. Read and Write move as many bytes as they
// can and return the count; ReadBuffer and WriteBuffer insist on all of them and raise
// EReadError "Stream read error" / EWriteError "Stream write error" otherwise.
// TMemoryStream keeps its bytes in one block (Memory()), so a reader can fill it in one
// copy; TFileStream works on a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace rtl {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes up to `count` bytes; returns how many were written.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    // Moves the position; returns the new position. Positions below 0 are refused with
    // EStreamError; positions past the end are allowed (as for files).
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t newSize);

    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);

    // Copies `count` bytes from `source`'s position; a count of 0 copies the whole source
    // from its first byte. Returns the count copied; raises EReadError when the source
    // runs short.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);

    // Little-endian helpers for binary formats.
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadDWord();
    void WriteByte(std::uint8_t v) { WriteBuffer(&v, 1); }
    void WriteWord(std::uint16_t v);
    void WriteDWord(std::uint32_t v);
};

// A stream over a block of memory that it does not own (SetPointer); the base of
// TMemoryStream and of resource streams.
class TCustomMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return FSize; }

    std::uint8_t* Memory() const { return FMemory; }
    void SaveToStream(TStream& dest);

protected:
    void SetPointer(void* memory, std::int64_t size);

    std::uint8_t* FMemory = nullptr;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};

// A growable stream in one block of memory that it owns.
class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t newSize) override;
    void Clear();
    // Replaces the contents with the whole of `source` (from its first byte).
    void LoadFromStream(TStream& source);
    std::int64_t Capacity() const { return FCapacity; }

private:
    void SetCapacity(std::int64_t newCapacity);
    std::int64_t FCapacity = 0;
};

// Open modes of TFileStream.
enum TFileMode : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

// A stream on a file, opened through the platform layer (so Windows-style paths with
// backslashes work). Opening fails with EFOpenError / EFCreateError naming the file.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return FFileName; }

private:
    void* FHandle = nullptr;
    std::string FFileName;
};

} // namespace rtl
