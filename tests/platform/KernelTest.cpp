#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/testing/Testing.h"
#include "platform/win32.h"
#include "tests/common/TempDir.h"

namespace {

// Position of the last backslash that is a character of its own (not the trail byte of a
// double-byte character), walking the string as the ANSI code page says.
long LastRealBackslash(const char* s) {
    long last = -1;
    for (const char* p = s; *p; p = CharNextA(p))
        if (*p == '\\')
            last = long(p - s);
    return last;
}

struct CodePageGuard {
    explicit CodePageGuard(UINT cp) { platform::testing::SetCodePage(cp); }
    ~CodePageGuard() { platform::testing::SetCodePage(0); }
};

} // namespace

TEST(CodePage, DefaultIsUtf8WithoutLeadBytes) {
    EXPECT_EQ(GetACP(), CP_UTF8);
    for (int b = 0; b < 256; ++b)
        EXPECT_FALSE(IsDBCSLeadByte(BYTE(b))) << b;
}

TEST(CodePage, LeadByteRangesOfDoubleByteCodePages) {
    struct Case {
        UINT CodePage;
        BYTE Byte;
        bool Lead;
    };
    const Case cases[] = {
        {949, 0x80, false}, {949, 0x81, true},   {949, 0xB0, true},    {949, 0xFE, true},
        {949, 0xFF, false}, {949, 0x5C, false},  {949, 0x41, false},   {932, 0x81, true},
        {932, 0x9F, true},  {932, 0xA0, false},  {932, 0xDF, false},   {932, 0xE0, true},
        {932, 0xFC, true},  {932, 0xFD, false},  {936, 0x81, true},    {950, 0xFE, true},
        {950, 0x7F, false}, {1252, 0xB0, false}, {65001, 0xC3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.CodePage) + " " + std::to_string(c.Byte));
        EXPECT_EQ(IsDBCSLeadByteEx(c.CodePage, c.Byte) != FALSE, c.Lead);
        CodePageGuard guard(c.CodePage);
        EXPECT_EQ(GetACP(), c.CodePage);
        EXPECT_EQ(IsDBCSLeadByte(c.Byte) != FALSE, c.Lead);
        EXPECT_EQ(IsDBCSLeadByteEx(CP_ACP, c.Byte) != FALSE, c.Lead);
    }
}

TEST(CodePage, TrailByteBackslashIsNotASeparator) {
    // "C:\<B0 5C>\x": in code page 949 the 5C after B0 is the trail byte of a character.
    const char path[] = "C:\\\xB0\x5C\\x";
    {
        CodePageGuard guard(949);
        EXPECT_EQ(LastRealBackslash(path), 5);
        EXPECT_EQ(CharNextA(path + 3), path + 5);
        EXPECT_EQ(CharPrevA(path, path + 5), path + 3);
        // A path whose last backslash byte is a trail byte: the real one is earlier.
        EXPECT_EQ(LastRealBackslash("C:\\Kiosk\\\xB0\x5C"), 8);
    }
    {
        CodePageGuard guard(0);
        EXPECT_EQ(LastRealBackslash("C:\\Kiosk\\\xB0\x5C"), 10);
    }
}

TEST(CodePage, Utf8RoundTripThroughWideCharacters) {
    const char text[] = "A한국어\xF0\x9F\x98\x80";
    WCHAR wide[16];
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 16);
    ASSERT_EQ(n, 7); // A, three syllables, a surrogate pair, terminator
    EXPECT_EQ(wide[1], u'한');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 7);
    char back[32];
    int m = WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, sizeof back, nullptr, nullptr);
    EXPECT_EQ(m, int(sizeof text));
    EXPECT_STREQ(back, text);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 3), 0); // too small
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 3), 0);
}

TEST(Arithmetic, MulDivRoundsToNearestAndFailsOnZeroOrOverflow) {
    struct Case {
        int A, B, C, Expected;
    };
    const Case cases[] = {
        {10, 3, 4, 8},
        {10, 1, 4, 3},
        {-10, 1, 4, -3},
        {-10, 3, 4, -8},
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {5, -1, 2, -3},
        {7, 96, 72, 9},
        {1, 1, 0, -1},
        {0x7FFFFFFF, 2, 1, -1},
        {0x7FFFFFFF, 2, 2, 0x7FFFFFFF},
        {0, 5, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.A) + "*" + std::to_string(c.B) + "/" + std::to_string(c.C));
        EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected);
    }
}

TEST(GlobalMemory, MoveableBlocksLockAndFree) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 100u);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[99], 0);
    p[0] = 7;
    EXPECT_FALSE(GlobalUnlock(h)); // unlocked now
    EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(h))[0], 7);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), h); // freeing twice fails
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 4);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    GlobalFree(fixed);
}

TEST(Files, BackslashPathsReadAndWrite) {
    testutil::TTempDir scratch("platform-files");
    const std::string dir = scratch.String();
    std::string winPath = dir + "\\data.bin";
    HANDLE f = CreateFileA(winPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(f, "hello world", 11, &written, nullptr));
    EXPECT_EQ(written, 11u);
    CloseHandle(f);
    EXPECT_EQ(GetFileAttributesA(winPath.c_str()), FILE_ATTRIBUTE_NORMAL);
    f = CreateFileA(winPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                    nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(f, nullptr), 11u);
    EXPECT_EQ(SetFilePointer(f, 6, nullptr, FILE_BEGIN), 6u);
    char buf[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(f, buf, sizeof buf, &read, nullptr));
    EXPECT_EQ(read, 5u);
    EXPECT_STREQ(buf, "world");
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_TRUE(DeleteFileA(winPath.c_str()));
    SetLastError(0);
    EXPECT_EQ(CreateFileA(winPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA(winPath.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(dir.c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buf, 1, &read, nullptr));
}

TEST(Clipboard, RegisteredFormatsAreStableAndDataRoundTrips) {
    UINT gif = RegisterClipboardFormatA("GIF Image");
    EXPECT_GE(gif, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("gif image"), gif);
    EXPECT_NE(RegisterClipboardFormatA("Another"), gif);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
    EXPECT_EQ(SetClipboardData(gif, nullptr), nullptr); // not open
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 3);
    std::memcpy(GlobalLock(h), "GIF", 3);
    GlobalUnlock(h);
    EXPECT_EQ(SetClipboardData(gif, h), h);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_TRUE(IsClipboardFormatAvailable(gif));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(GetClipboardData(gif), nullptr); // closed
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE got = GetClipboardData(gif);
    ASSERT_EQ(got, h);
    EXPECT_EQ(std::memcmp(GlobalLock(got), "GIF", 3), 0);
    GlobalUnlock(got);
    EXPECT_TRUE(EmptyClipboard()); // frees the data
    EXPECT_FALSE(IsClipboardFormatAvailable(gif));
    CloseClipboard();
    EXPECT_FALSE(CloseClipboard());
}
