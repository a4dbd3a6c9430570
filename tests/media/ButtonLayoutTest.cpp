// The bar's arithmetic: button widths, spans, hit tests, glyph origins and arrow stops.
#include <gtest/gtest.h>

#include "media/ButtonLayout.h"

namespace media {
namespace {

TButtonFlags Visible(TButtonSet set) {
    TButtonFlags flags{};
    for (int i = 0; i < MPButtonCount; ++i)
        flags[i] = set.Contains(static_cast<TMPBtnType>(i));
    return flags;
}

TEST(ButtonLayout, WidthsFollowTheVisibleCount) {
    struct Case {
        int BarWidth;
        TButtonSet Buttons;
        int ExpectedButtonWidth;
        int ExpectedBarWidth;
    };
    const Case cases[] = {
        {253, AllButtons, 29, 253},                // the catalogue's stored size
        {240, AllButtons, 27, 235},                // the constructor's size
        {100, TButtonSet{btPlay, btStop}, 50, 99}, // two buttons share one border column
        {30, TButtonSet{}, 30, 30},                // none visible counts as one
        {1, AllButtons, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.BarWidth);
        const int n = VisibleButtonCount(Visible(c.Buttons));
        const int bw = ButtonWidthFor(c.BarWidth, n);
        EXPECT_EQ(bw, c.ExpectedButtonWidth);
        EXPECT_EQ(BarWidthFor(n, bw), c.ExpectedBarWidth);
    }
}

TEST(ButtonLayout, NeighboursShareOneBorderColumn) {
    const auto lefts = ButtonLefts(Visible(AllButtons), 29);
    for (int i = 0; i < MPButtonCount; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(lefts[i]);
        EXPECT_EQ(*lefts[i], 28 * i);
    }
    const auto some = ButtonLefts(Visible(TButtonSet{btPause, btNext, btEject}), 29);
    EXPECT_FALSE(some[btPlay]);
    EXPECT_EQ(some[btPause], 0);
    EXPECT_FALSE(some[btStop]);
    EXPECT_EQ(some[btNext], 28);
    EXPECT_EQ(some[btEject], 56);
}

TEST(ButtonLayout, HitTestTakesTheFirstButtonWhoseSpanHoldsThePoint) {
    struct Case {
        int X;
        std::optional<TMPBtnType> Expected;
        int ExpectedLeft;
    };
    const TButtonFlags all = Visible(AllButtons);
    const Case cases[] = {
        {0, btPlay, 0},      {28, btPlay, 0},        {29, btPlay, 0},       {30, btPause, 28},
        {57, btPause, 28},   {58, btStop, 56},       {225, btRecord, 196},  {226, btEject, 224},
        {253, btEject, 224}, {254, std::nullopt, 0}, {-1, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.X);
        const auto hit = HitButton(all, 29, c.X);
        ASSERT_EQ(hit.has_value(), c.Expected.has_value());
        if (hit) {
            EXPECT_EQ(hit->Button, *c.Expected);
            EXPECT_EQ(hit->Left, c.ExpectedLeft);
        }
    }
    EXPECT_FALSE(HitButton(Visible(TButtonSet{}), 30, 10));
}

TEST(ButtonLayout, GlyphIsCentredAndMovesWhenPushedIn) {
    // A 17 x 16 play glyph on the first button of a 29-wide, 30-high bar.
    EXPECT_EQ(GlyphOrigin(0, 29, 30, 17, 16, false), (rtl::TPoint{6, 7}));
    EXPECT_EQ(GlyphOrigin(0, 29, 30, 17, 16, true), (rtl::TPoint{7, 8}));
    // The 12-wide disabled pause glyph on the second button.
    EXPECT_EQ(GlyphOrigin(28, 29, 30, 12, 16, false), (rtl::TPoint{36, 7}));
}

TEST(ButtonLayout, ArrowKeysStopAtTheEnds) {
    struct Case {
        TButtonSet Buttons;
        TMPBtnType From;
        bool Right;
        TMPBtnType Expected;
    };
    const Case cases[] = {
        {AllButtons, btEject, true, btEject},
        {AllButtons, btPlay, false, btPlay},
        {AllButtons, btStop, true, btNext},
        {AllButtons, btStop, false, btPause},
        {AllButtons - TButtonSet{btStop}, btPause, true, btNext},
        {AllButtons - TButtonSet{btStop}, btNext, false, btPause},
        // the ends are reached even when they are invisible
        {TButtonSet{btStop}, btStop, false, btPlay},
        {TButtonSet{btStop}, btStop, true, btEject},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.From) << (c.Right ? " right" : " left"));
        EXPECT_EQ(ArrowTarget(Visible(c.Buttons), c.From, c.Right), c.Expected);
    }
}

} // namespace
} // namespace media
