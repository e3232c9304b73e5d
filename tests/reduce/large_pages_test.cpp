#include "large_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kMegabyte = std::size_t{1} << 20;

std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// A large buffer is a mapping of whole 2 MB pieces from a 2 MB boundary; a
// fault in the rounding or the trimming of the mapping shows as a buffer off
// the boundary or as a crash when its last bytes are written.
TEST(LargePages, BuffersFromOneMegabyteStartOnALargePageAndHoldEveryByte) {
    for (const std::size_t bytes : {kMegabyte, 2 * kMegabyte, 2 * kMegabyte + 1, 7 * kMegabyte + 12345}) {
        SCOPED_TRACE(bytes);
        auto* data = static_cast<std::uint8_t*>(pass::allocateLarge(bytes));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(address(data) % (2 * kMegabyte), 0u);
        std::memset(data, 0xA5, bytes);
        EXPECT_EQ(data[0], 0xA5);
        EXPECT_EQ(data[bytes - 1], 0xA5);
        pass::freeLarge(data, bytes);
    }
    pass::freeLarge(nullptr, 5 * kMegabyte);
}

TEST(LargePages, SmallBuffersKeepTheAlignmentTheirTypeNeeds) {
    struct alignas(64) Wide {
        std::uint8_t bytes[64];
    };
    for (const std::size_t count : {1, 3, 1000}) {
        std::vector<Wide, pass::UnsetAllocator<Wide>> wide(count);
        EXPECT_EQ(address(wide.data()) % 64, 0u) << count;
    }
    void* small = pass::allocateLarge(100);
    ASSERT_NE(small, nullptr);
    pass::freeLarge(small, 100);
}

TEST(LargePages, SizesBeyondTheAddressSpaceAreRefusedNotWrapped) {
    EXPECT_THROW(pass::allocateLarge(static_cast<std::size_t>(-1) - 4096), std::bad_alloc);
    using Big = std::uint64_t;
    pass::UnsetAllocator<Big> allocator;
    EXPECT_THROW(allocator.allocate(static_cast<std::size_t>(-1) / 4), std::bad_alloc);
}

// The allocator's vectors are what the census keeps its colours and
// bitmaps in: a vector given a value still holds that value everywhere.
TEST(LargePages, AVectorGivenAValueHoldsItAcrossItsLargePages) {
    const std::vector<std::uint64_t, pass::UnsetAllocator<std::uint64_t>> bits(3 * kMegabyte / 8 + 5, 0x5A5A5A5Aull);
    for (std::size_t i = 0; i < bits.size(); i += 4093) ASSERT_EQ(bits[i], 0x5A5A5A5Aull) << i;
    EXPECT_EQ(bits.back(), 0x5A5A5A5Aull);
}

}  // namespace
