// The pixel memory behind top-level windows: small and large stores hold the value they
// were filled with, large ones start on a huge-page boundary, and impossible sizes fail
// cleanly instead of wrapping around. A large store of zeros is taken untouched: none of
// it is resident until something writes to it.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

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

namespace {

// How many of the pages holding `bytes` bytes at `p` are resident.
std::size_t ResidentPages(const void* p, std::size_t bytes) {
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
    const std::size_t span = reinterpret_cast<std::uintptr_t>(p) + bytes - start;
    std::vector<unsigned char> in((span + page - 1) / page);
    if (mincore(reinterpret_cast<void*>(start), span, in.data()) != 0)
        return std::size_t(-1);
    std::size_t n = 0;
    for (unsigned char c : in)
        n += c & 1;
    return n;
}

} // namespace

TEST(PixelStore, ZerosAreTakenUntouchedAndBecomeResidentWhereWritten) {
    struct Case {
        std::size_t Count;
        bool Untouched; // large enough for a mapping of its own
    };
    const Case cases[] = {
        {100, false},
        {1280 * 1024, true}, // the screen's surface
        {(64u << 10) / 4, true},
    };
    for (const Case& c : cases) {
        PixelStore s;
        ASSERT_TRUE(s.Assign(c.Count, 0)) << c.Count;
        ASSERT_EQ(s.Size(), c.Count);
        const std::size_t bytes = c.Count * 4;
        if (c.Untouched) {
            EXPECT_EQ(ResidentPages(s.Data(), bytes), 0u) << c.Count;
            s.Data()[c.Count / 2] = 7; // one page written: that page alone
            EXPECT_EQ(ResidentPages(s.Data(), bytes), 1u) << c.Count;
        }
        std::uint32_t any = 0;
        for (std::size_t i = 0; i < c.Count; i += 97)
            any |= i == c.Count / 2 ? 0 : s.Data()[i];
        EXPECT_EQ(any, 0u) << "reads as zero, " << c.Count;
        EXPECT_EQ(s.Data()[c.Count - 1], 0u);
    }
}
