#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/testing/Testing.h"
#include "platform/win32.h"

// The table compiled by rescomp from tests/platform/resources/resources.rc.

TEST(Resources, FoundByNameWithoutRegardToCaseAndByNumber) {
    struct Case {
        LPCSTR Name;
        LPCSTR Type;
        bool Found;
    };
    const Case cases[] = {
        {"TFORM1", RT_RCDATA, true},
        {"TForm1", RT_RCDATA, true},
        {"tform1", MAKEINTRESOURCEA(10), true},
        {"quoted name", RT_RCDATA, true},
        {MAKEINTRESOURCEA(300), RT_RCDATA, true},
        {"#300", RT_RCDATA, true},
        {"custom", "mytype", true},
        {"CUSTOM", "MYTYPE", true},
        {"TFORM1", RT_BITMAP, false},
        {"TFORM", RT_RCDATA, false},
        {MAKEINTRESOURCEA(301), RT_RCDATA, false},
        {"300", RT_RCDATA, false}, // a string name is not a number
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(IS_INTRESOURCE(c.Name) ? std::to_string(ULONG_PTR(c.Name)) : c.Name);
        HRSRC res = FindResourceA(nullptr, c.Name, c.Type);
        EXPECT_EQ(res != nullptr, c.Found);
        if (!res)
            continue;
        HGLOBAL h = LoadResource(nullptr, res);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(SizeofResource(nullptr, res), 15u);
        EXPECT_EQ(std::memcmp(LockResource(h), "TPF0-form-bytes", 15), 0);
        FreeResource(h);
    }
}

TEST(Resources, MissingResourcesSetTheirErrors) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(nullptr, "NOPE", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceA(nullptr, "TFORM1", MAKEINTRESOURCEA(99)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_RCDATA), nullptr);
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(0x1234), "TFORM1", RT_RCDATA), nullptr);
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(0x999)), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

TEST(Resources, ModuleHandleOfTheProgramFindsItsResources) {
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_NE(FindResourceA(self, "TFORM1", RT_RCDATA), nullptr);
}

TEST(Resources, BitmapResourceHoldsTheDibWithoutFileHeader) {
    HRSRC res = FindResourceA(nullptr, "glyph", RT_BITMAP);
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, res), 40u + 16u);
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, res)));
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, 2);
    EXPECT_EQ(header->biBitCount, 24);
}

TEST(Resources, LoadStringFromStringTable) {
    char buf[64];
    EXPECT_EQ(LoadStringA(nullptr, 65376, buf, sizeof buf), 27);
    EXPECT_STREQ(buf, "Error creating window class");
    EXPECT_EQ(LoadStringA(nullptr, 65385, buf, sizeof buf), 27);
    EXPECT_STREQ(buf, "Not enough timers available");
    EXPECT_GT(LoadStringA(nullptr, 1, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "한국어 \"quoted\"");
    // Truncated to the buffer, never in the middle of a character.
    EXPECT_EQ(LoadStringA(nullptr, 65376, buf, 6), 5);
    EXPECT_STREQ(buf, "Error");
    EXPECT_EQ(LoadStringA(nullptr, 1, buf, 5), 3);          // "한" is three bytes
    EXPECT_EQ(LoadStringA(nullptr, 2, buf, sizeof buf), 0); // empty slot of the block
    EXPECT_EQ(LoadStringA(nullptr, 4000, buf, sizeof buf), 0);
    EXPECT_EQ(LoadStringA(nullptr, 65376, nullptr, 10), 0);
}

TEST(Resources, RegisteredFromMemoryByTests) {
    const unsigned char bytes[] = {1, 2, 3};
    platform::testing::RegisterResource(RT_RCDATA, "MemoryForm", bytes, sizeof bytes);
    HRSRC res = FindResourceA(nullptr, "MEMORYFORM", RT_RCDATA);
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, res), 3u);
    EXPECT_EQ(static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, res)))[2], 3);
}

TEST(Module, FileNameIsTheRealPathWithBackslashes) {
    char real[4096];
    ssize_t n = readlink("/proc/self/exe", real, sizeof real - 1);
    ASSERT_GT(n, 0);
    real[n] = 0;
    std::string expected = real;
    for (char& c : expected)
        if (c == '/')
            c = '\\';
    char buf[4096];
    SetLastError(0xDEAD);
    DWORD len = GetModuleFileNameA(nullptr, buf, sizeof buf);
    EXPECT_EQ(len, expected.size());
    EXPECT_EQ(std::string(buf), expected);
    // The file opens through the backslash path.
    HANDLE f = CreateFileA(buf, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
}

TEST(Module, FileNameTruncatesLikeTheApi) {
    char full[4096];
    DWORD len = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(len, 10u);
    char small[8];
    std::memset(small, 'x', sizeof small);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), DWORD(sizeof small));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small[7], '\0');
    EXPECT_EQ(std::string(small), std::string(full, 7));
    // Exactly the length: no room for the terminator, so it is truncated too.
    std::string exact(len, 'x');
    EXPECT_EQ(GetModuleFileNameA(nullptr, exact.data(), len), len);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 0), 0u);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x77), full, sizeof full), 0u);
}

TEST(Resources, LoadBitmapMakesABitmapOfTheResource) {
    HMODULE self = GetModuleHandleA(nullptr);
    HBITMAP bmp = LoadBitmapA(self, "Glyph");
    ASSERT_NE(bmp, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectA(bmp, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 2);
    EXPECT_EQ(info.bmHeight, 2);
    DeleteObject(bmp);
    EXPECT_EQ(LoadBitmapA(self, "NoSuchBitmap"), nullptr);
    EXPECT_EQ(LoadBitmapA(self, "TFORM1"), nullptr); // not a bitmap resource
}

TEST(Resources, DamagedBitmapResourcesAreRefused) {
    struct Case {
        const char* Name;
        std::vector<unsigned char> Bytes;
    };
    auto header = [](int width, int height, int bits, unsigned size) {
        std::vector<unsigned char> h(40, 0);
        auto put32 = [&](int at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                h[std::size_t(at + i)] = (unsigned char)(v >> (8 * i));
        };
        put32(0, size);
        put32(4, std::uint32_t(width));
        put32(8, std::uint32_t(height));
        h[12] = 1;
        h[14] = (unsigned char)bits;
        return h;
    };
    std::vector<unsigned char> truncatedPixels = header(100, 100, 24, 40);
    truncatedPixels.resize(60);
    std::vector<unsigned char> hugeHeader = header(2, 2, 24, 4000);
    hugeHeader.resize(60);
    std::vector<unsigned char> negativeWidth = header(-2, 2, 24, 40);
    negativeWidth.resize(40 + 16);
    const Case cases[] = {
        {"BadShort", {1, 2, 3}},
        {"BadPixels", truncatedPixels},
        {"BadHeader", hugeHeader},
        {"BadWidth", negativeWidth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        platform::testing::RegisterResource(RT_BITMAP, c.Name, c.Bytes.data(), c.Bytes.size());
        EXPECT_EQ(LoadBitmapA(GetModuleHandleA(nullptr), c.Name), nullptr);
    }
}
