#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "rtl/Exceptions.h"
#include "rtl/Stream.h"
#include "tests/common/TempDir.h"

using namespace rtl;

TEST(MemoryStream, WritesGrowReadsStopAtTheEnd) {
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(s.Position(), 6);
    s.SetPosition(4);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_EQ(s.Read(buf, 8), 0u);
    // Writing past the end fills the gap with zeros.
    s.SetPosition(8);
    s.WriteByte(0x7F);
    ASSERT_EQ(s.Size(), 9);
    EXPECT_EQ(s.Memory()[6], 0);
    EXPECT_EQ(s.Memory()[8], 0x7F);
}

TEST(MemoryStream, ShortReadBufferRaisesStreamReadError) {
    TMemoryStream s;
    s.WriteDWord(0x30465054);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadDWord(), 0x30465054u);
    try {
        s.ReadByte();
        FAIL() << "expected EReadError";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}

TEST(MemoryStream, SeekBeforeStartIsRefused) {
    TMemoryStream s;
    s.WriteBuffer("xy", 2);
    EXPECT_THROW(s.Seek(-3, TSeekOrigin::soCurrent), EStreamError);
    EXPECT_EQ(s.Seek(-1, TSeekOrigin::soEnd), 1);
}

TEST(MemoryStream, SetSizeKeepsContentsAndClampsPosition) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    s.SetSize(3);
    EXPECT_EQ(s.Position(), 3);
    s.SetSize(100000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s.Memory()), 3), "hel");
    EXPECT_EQ(s.Memory()[99999], 0);
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Memory(), nullptr);

    // Growing an empty stream, or one that had bytes, gives zeros past the old end.
    for (std::int64_t size : {std::int64_t(1), std::int64_t(4096), std::int64_t(64) << 20}) {
        SCOPED_TRACE(size);
        TMemoryStream fresh;
        fresh.SetSize(size);
        EXPECT_EQ(fresh.Size(), size);
        EXPECT_EQ(fresh.Memory()[0], 0);
        EXPECT_EQ(fresh.Memory()[size - 1], 0);
        std::memset(fresh.Memory(), 0xAB, std::size_t(size));
        fresh.SetSize(size / 2);
        fresh.SetSize(size);
        EXPECT_EQ(fresh.Memory()[size - 1], 0);
    }
}

TEST(Stream, CopyFromCountZeroCopiesWholeSource) {
    TMemoryStream src, dst;
    src.WriteBuffer("0123456789", 10);
    src.SetPosition(7);
    EXPECT_EQ(dst.CopyFrom(src, 0), 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(dst.Memory()), 10), "0123456789");
    src.SetPosition(8);
    EXPECT_THROW(dst.CopyFrom(src, 5), EReadError);
}

TEST(FileStream, RoundTripAndOpenErrorsNameTheFile) {
    const testutil::TTempDir dir("rtl-stream");
    const std::filesystem::path path = dir / "file.bin";
    {
        TFileStream f(path.string(), fmCreate);
        f.WriteBuffer("data", 4);
    }
    {
        TFileStream f(path.string(), fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(f.Size(), 4);
        char buf[4];
        f.ReadBuffer(buf, 4);
        EXPECT_EQ(std::string(buf, 4), "data");
        EXPECT_THROW(f.ReadByte(), EReadError);
    }
    {
        // Windows-style separators reach the same file.
        std::string windowsPath = path.string();
        for (char& c : windowsPath)
            if (c == '/')
                c = '\\';
        TFileStream f(windowsPath, fmOpenRead);
        EXPECT_EQ(f.Size(), 4);
        EXPECT_EQ(f.Seek(-1, TSeekOrigin::soEnd), 3);
        EXPECT_EQ(f.ReadByte(), 'a');
    }
    std::filesystem::remove(path);
    try {
        TFileStream f(path.string(), fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find(path.string()), std::string::npos) << e.Message();
    }
}
