#include <gtest/gtest.h>

#include <vector>

#include "platform/testing/Testing.h"
#include "platform/user/WindowManager.h"
#include "platform/win32.h"

namespace {

void Put16(std::vector<unsigned char>& v, unsigned x) {
    v.push_back((unsigned char)x);
    v.push_back((unsigned char)(x >> 8));
}
void Put32(std::vector<unsigned char>& v, unsigned x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// An .ico file with one 2 x 2 image of `bits` bits per pixel and its AND mask.
std::vector<unsigned char> Ico(int bits, bool maskTopLeftTransparent) {
    std::vector<unsigned char> dib;
    Put32(dib, 40);
    Put32(dib, 2);
    Put32(dib, 4); // twice the height: colour rows and mask rows
    Put16(dib, 1);
    Put16(dib, unsigned(bits));
    for (int i = 0; i < 6; ++i)
        Put32(dib, 0);
    // Rows bottom-up: bottom row red, green; top row blue, white.
    const unsigned char rows[2][2][3] = {{{0, 0, 255}, {0, 255, 0}},
                                         {{255, 0, 0}, {255, 255, 255}}};
    for (auto& row : rows) {
        std::size_t start = dib.size();
        for (auto& px : row) {
            dib.insert(dib.end(), px, px + 3);
            if (bits == 32)
                dib.push_back(0); // no alpha: the mask decides
        }
        while ((dib.size() - start) % 4)
            dib.push_back(0);
    }
    // Mask rows bottom-up, 1 = transparent.
    Put32(dib, 0);
    Put32(dib, maskTopLeftTransparent ? 0x80u : 0u);
    std::vector<unsigned char> ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, 1);
    ico.push_back(2);
    ico.push_back(2);
    ico.push_back(0);
    ico.push_back(0);
    Put16(ico, 1);
    Put16(ico, unsigned(bits));
    Put32(ico, unsigned(dib.size()));
    Put32(ico, 22);
    ico.insert(ico.end(), dib.begin(), dib.end());
    return ico;
}

} // namespace

TEST(Icon, IconResourceDecodesToPixelsWithMaskAsAlpha) {
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        auto ico = Ico(bits, true);
        std::string name = "AppIcon" + std::to_string(bits);
        platform::testing::RegisterResource(RT_GROUP_ICON, name.c_str(), ico.data(), ico.size());
        HICON icon = LoadIconA(GetModuleHandleA(nullptr), name.c_str());
        ASSERT_NE(icon, nullptr);
        int w = 0, h = 0;
        std::vector<std::uint32_t> px;
        ASSERT_TRUE(platform::user::IconImage(icon, w, h, px));
        EXPECT_EQ(w, 2);
        EXPECT_EQ(h, 2);
        EXPECT_EQ(px[0], 0x000000FFu); // top-left blue, transparent by the mask
        EXPECT_EQ(px[1], 0xFFFFFFFFu);
        EXPECT_EQ(px[2], 0xFFFF0000u);
        EXPECT_EQ(px[3], 0xFF00FF00u);
        EXPECT_TRUE(DestroyIcon(icon));
        EXPECT_FALSE(DestroyIcon(icon));
    }
}

TEST(Icon, DamagedIconsAndStandardIconsGiveNoImage) {
    auto good = Ico(32, false);
    std::vector<std::vector<unsigned char>> damaged;
    damaged.push_back(std::vector<unsigned char>(good.begin(), good.begin() + 10));
    damaged.push_back(std::vector<unsigned char>(good.begin(), good.begin() + 40));
    auto badOffset = good;
    badOffset[18] = 0xFF;
    damaged.push_back(badOffset);
    auto zeroCount = good;
    zeroCount[4] = 0;
    damaged.push_back(zeroCount);
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        std::string name = "Broken" + std::to_string(i);
        platform::testing::RegisterResource(RT_GROUP_ICON, name.c_str(), damaged[i].data(),
                                            damaged[i].size());
        HICON icon = LoadIconA(GetModuleHandleA(nullptr), name.c_str());
        ASSERT_NE(icon, nullptr);
        int w, h;
        std::vector<std::uint32_t> px;
        EXPECT_FALSE(platform::user::IconImage(icon, w, h, px));
        DestroyIcon(icon);
    }
    int w, h;
    std::vector<std::uint32_t> px;
    HICON standard = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(standard, nullptr);
    EXPECT_FALSE(platform::user::IconImage(standard, w, h, px));
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "NoSuchIcon"), nullptr);
}

TEST(Cursor, StandardCursorsLoadAndOthersFail) {
    LPCSTR ids[] = {IDC_ARROW,    IDC_IBEAM,    IDC_WAIT,        IDC_CROSS,  IDC_UPARROW,
                    IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,      IDC_SIZENS, IDC_SIZEALL,
                    IDC_NO,       IDC_HAND,     IDC_APPSTARTING, IDC_HELP};
    for (LPCSTR id : ids) {
        SCOPED_TRACE(ULONG_PTR(id));
        HCURSOR c = LoadCursorA(nullptr, id);
        EXPECT_NE(c, nullptr);
        EXPECT_EQ(LoadCursorA(nullptr, id), c); // shared
    }
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(5)), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, "arrow"), nullptr);
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_WAIT));
    SetCursor(old);
}
