// The catalogue's pure rules, for the cases the end-to-end tests cannot reach: paths
// of other shapes, windows smaller than their frame, states out of range.
#include <gtest/gtest.h>

#include <string>

#include "app/Clips.h"
#include "app/ExeDir.h"
#include "app/Layout.h"
#include "platform/testing/Testing.h"

namespace {

struct TDirCase {
    unsigned CodePage;
    std::string Path;
    std::string Dir;
};

TEST(ExeDir, CutsAtTheLastRealSeparator) {
    const TDirCase cases[] = {
        {0, "menu.exe", ""},
        {0, "C:menu.exe", "C:"},
        {0, "\\menu.exe", "\\"},
        {0, "\\\\server\\share\\menu.exe", "\\\\server\\share"},
        {0, "C:\\a\\\\menu.exe", "C:\\a\\\\"}, // a backslash before the last one stays
        {0, "C:\\Kiosk\\", "C:\\Kiosk"},
        {0, "", ""},
        // Code page 949: 0x5C as the trailing byte of a double-byte character is no
        // separator, and every byte before the real one is kept.
        {949, "C:\\\xB0\x5C\\menu.exe", "C:\\\xB0\x5C"},
        {949, "C:\\\xB0\x5Cmenu.exe", "C:\\"},
        {949, "C:\\x\\\xB0", "C:\\x"}, // a lead byte at the very end stands alone
        {949,
         "\xB0\x5C"
         "menu.exe",
         ""},
        // The same bytes in UTF-8: 0x5C is a backslash of its own.
        {0, "C:\\\xB0\x5Cmenu.exe", "C:\\\xB0"},
    };
    for (const TDirCase& c : cases) {
        SCOPED_TRACE("code page " + std::to_string(c.CodePage) + ", path " + c.Path);
        platform::testing::SetCodePage(c.CodePage);
        EXPECT_EQ(app::ExtractExeDir(c.Path), c.Dir);
    }
    platform::testing::SetCodePage(0);
}

// The sizes the form resource gives the centred controls.
constexpr app::TLayoutSizes DesignSizes{{700, 628}, {650, 504}, {700, 628}, {650, 491}};

struct TExpected {
    std::string_view Name;
    int Left;
    int Top;
};

const app::TPlacement& Row(const app::TLayoutRows& rows, std::string_view name) {
    for (const app::TPlacement& p : rows)
        if (p.Name == name)
            return p;
    throw std::runtime_error("no row for " + std::string(name));
}

TEST(Layout, PlacesEveryControlForTheOuterSize) {
    struct TCase {
        int W, H;
        int MW, MH;
        std::vector<TExpected> Expected;
    };
    const TCase cases[] = {
        // Narrower and lower than the content: negative values halve toward zero.
        {700,
         627,
         691,
         591,
         {{"control", -4, -18},
          {"ShowPanel", -4, -18},
          {"start", 20, 43},
          {"SelectImage", 20, 50},
          {"b_korean", 322, 430},
          {"back", 188, 633}}},
        // A window smaller than its frame.
        {5, 20, -4, -16, {{"control", -352, -322}, {"start", -327, -260}, {"close", 50, 329}}},
        // A maximised window on a 1280 x 1024 screen.
        {1280, 1024, 1271, 988, {{"control", 285, 180}, {"start", 310, 242}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + " x " + std::to_string(c.H));
        EXPECT_EQ(app::BackgroundWidth(c.W), c.MW);
        EXPECT_EQ(app::BackgroundHeight(c.H), c.MH);
        const app::TLayoutRows rows = app::ComputeLayout(c.MW, c.MH, DesignSizes);
        for (const TExpected& e : c.Expected) {
            SCOPED_TRACE(std::string(e.Name));
            const app::TPlacement& p = Row(rows, e.Name);
            EXPECT_EQ(p.Left, e.Left);
            EXPECT_EQ(p.Top, e.Top);
        }
    }
}

TEST(Layout, OffsetsFollowTheAnchor) {
    // The anchor's own size moves every offset row with it, not the centred pictures.
    app::TLayoutSizes sizes = DesignSizes;
    sizes.Control = {600, 528};
    const app::TLayoutRows rows = app::ComputeLayout(1274, 952, sizes);
    EXPECT_EQ(rows.front().Name, "control"); // the anchor is placed before its dependants
    EXPECT_EQ(Row(rows, "control").Left, 337);
    EXPECT_EQ(Row(rows, "b_korean").Left, 337 + 326);
    EXPECT_EQ(Row(rows, "manImage_eng").Top, 212 + 504);
    EXPECT_EQ(Row(rows, "ShowPanel").Left, 287);
    EXPECT_EQ(Row(rows, "start").Left, 312);
}

TEST(Clips, EndPositionsAndScreensByStateAndLanguage) {
    struct TCase {
        int State;
        bool Korean;
        bool Watched;
        int End;
        bool KoreanScreen;
    };
    const TCase cases[] = {
        {0, true, false, 0, false},    {0, false, false, 0, false},  {1, true, true, 494, true},
        {1, false, true, 494, true}, // the intro fixes the language
        {2, true, true, 153, false},   {2, false, true, 153, false}, {3, true, true, 849, true},
        {3, false, true, 592, false},  {4, true, true, 849, true},   {4, false, true, 592, false},
        {5, true, true, 849, true},    {5, false, true, 592, false}, {6, true, true, 1485, true},
        {6, false, true, 1228, false}, {7, true, false, 0, false},   {-1, false, false, 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("state " + std::to_string(c.State) + (c.Korean ? " Korean" : " English"));
        const auto end = app::ClipEnd(c.State, c.Korean);
        ASSERT_EQ(end.has_value(), c.Watched);
        if (end) {
            EXPECT_EQ(end->Position, c.End);
            EXPECT_EQ(end->KoreanScreen, c.KoreanScreen);
        }
    }
}

} // namespace
