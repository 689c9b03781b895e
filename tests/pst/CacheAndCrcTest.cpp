// The engine's fast paths against their plain definitions: the table-sliced
// CRC against the bit-by-bit one, and the block cache's bounds.
#include "BlockCache.h"
#include "Crc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

uint32_t bitwiseCrc(const uint8_t* data, size_t size, uint32_t c) {
    for (size_t i = 0; i < size; ++i) {
        c ^= data[i];
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c;
}

} // namespace

TEST(Crc, EveryLengthAndAlignmentMatchesTheBitwiseDefinition) {
    std::mt19937 random(7);
    std::vector<uint8_t> data(9000);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    for (size_t at = 0; at < 8; ++at)
        for (size_t n : {0, 1, 7, 8, 9, 15, 16, 17, 63, 496, 8176, 8999 - 7})
            ASSERT_EQ(bitwiseCrc(&data[at], n, 0x12345678u), pst::crc(&data[at], n, 0x12345678u))
                << "at " << at << ", " << n << " bytes";
}

TEST(BlockCache, HoldsWithinItsBudgetDroppingTheLeastRecentlyUsed) {
    pst::BlockCache cache(300);
    cache.put(1, 10, pst::Bytes(100, 1));
    cache.put(2, 20, pst::Bytes(100, 2));
    cache.put(3, 30, pst::Bytes(100, 3));
    ASSERT_NE(nullptr, cache.find(1, 10)); // 1 is now the most recent
    cache.put(4, 40, pst::Bytes(100, 4));  // 2 goes
    EXPECT_EQ(nullptr, cache.find(2, 20));
    ASSERT_NE(nullptr, cache.find(1, 10));
    EXPECT_EQ(pst::Bytes(100, 1), *cache.find(1, 10));
    EXPECT_NE(nullptr, cache.find(3, 30));
    EXPECT_NE(nullptr, cache.find(4, 40));

    // The same id somewhere else is another block; a replaced entry frees
    // its bytes; what is larger than the whole budget is never held.
    EXPECT_EQ(nullptr, cache.find(4, 41));
    cache.put(4, 40, pst::Bytes(10, 5));
    cache.put(5, 50, pst::Bytes(90, 6));
    EXPECT_NE(nullptr, cache.find(1, 10));
    EXPECT_NE(nullptr, cache.find(3, 30));
    cache.put(6, 60, pst::Bytes(301, 7));
    EXPECT_EQ(nullptr, cache.find(6, 60));
    cache.erase(1);
    EXPECT_EQ(nullptr, cache.find(1, 10));
}
