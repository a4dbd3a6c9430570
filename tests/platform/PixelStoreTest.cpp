// The pixel memory behind top-level windows: small and large stores hold the value they
// were filled with, large ones start on a huge-page boundary, and impossible sizes fail
// cleanly instead of wrapping around.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/user/PixelStore.h"

using platform::user::PixelStore;

TEST(PixelStore, HoldsTheFillValueAtEverySize) {
    struct Case {
        std::size_t Count;
        bool HugeAligned;
    };
    const Case cases[] = {
        {1, false},
        {640 * 480, false},     // below a huge page: ordinary heap memory
        {1272 * 990, true},     // a maximised window's client area
        {(2u << 20) / 4, true}, // exactly one huge page
    };
    for (const Case& c : cases) {
        PixelStore s;
        ASSERT_TRUE(s.Assign(c.Count, 0x00FFFFFFu)) << c.Count;
        ASSERT_EQ(s.Size(), c.Count);
        EXPECT_EQ(s.Data()[0], 0x00FFFFFFu);
        EXPECT_EQ(s.Data()[c.Count - 1], 0x00FFFFFFu);
        s.Data()[c.Count - 1] = 0x123456u; // the whole range is writable
        if (c.HugeAligned) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s.Data()) % (2u << 20), 0u) << c.Count;
        }
    }
}

TEST(PixelStore, ReassigningReleasingAndImpossibleSizes) {
    PixelStore s;
    ASSERT_TRUE(s.Assign(1280 * 1024, 1));
    ASSERT_TRUE(s.Assign(10, 2)); // a smaller size replaces the large mapping
    EXPECT_EQ(s.Size(), 10u);
    EXPECT_EQ(s.Data()[9], 2u);
    ASSERT_TRUE(s.Assign(0, 3));
    EXPECT_TRUE(s.Empty());
    EXPECT_EQ(s.Data(), nullptr);
    EXPECT_FALSE(s.Assign(std::size_t(-1) / 2, 0)); // bytes would overflow
    EXPECT_TRUE(s.Empty());
    s.Release();
    s.Release(); // twice is harmless
}
