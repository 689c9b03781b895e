// The slot cache holds what it was given under the id and place it was
// given, lets a newer entry take a shared slot, and never holds what is
// larger than a slot.
#include "SlotCache.h"

#include <gtest/gtest.h>

TEST(SlotCache, HoldsByIdAndPlaceAndGivesWayToNewerEntries) {
    pst::SlotCache cache(64, 16);
    pst::Bytes out;
    cache.put(1, 100, pst::Bytes(16, 1));
    ASSERT_TRUE(cache.find(1, 100, out));
    EXPECT_EQ(pst::Bytes(16, 1), out);
    EXPECT_FALSE(cache.find(1, 101, out)) << "the same id elsewhere is another block";
    EXPECT_FALSE(cache.find(2, 100, out));
    cache.put(3, 300, pst::Bytes(17, 3));
    EXPECT_FALSE(cache.find(3, 300, out)) << "larger than a slot";
    cache.erase(1);
    EXPECT_FALSE(cache.find(1, 100, out));

    // Of many ids, each found is the newest put under it, whole.
    for (uint64_t id = 1; id <= 1000; ++id)
        cache.put(id, id * 64, pst::Bytes(static_cast<size_t>(id % 16), static_cast<uint8_t>(id)));
    size_t held = 0;
    for (uint64_t id = 1; id <= 1000; ++id)
        if (cache.find(id, id * 64, out)) {
            ++held;
            EXPECT_EQ(pst::Bytes(static_cast<size_t>(id % 16), static_cast<uint8_t>(id)), out) << id;
        }
    EXPECT_GT(held, 30u);
    EXPECT_LE(held, 64u);
}

TEST(SlotCache, ACacheMadeAfterAnotherClosedHoldsNothingOfIt) {
    // The next cache may well be given the closed one's memory; what the
    // first held must not be found in the second (the next store may be
    // another file, whose ids mean other blocks).
    pst::Bytes out;
    {
        pst::SlotCache first(64, 16);
        for (uint64_t id = 1; id <= 64; ++id)
            first.put(id, id * 64, pst::Bytes(16, static_cast<uint8_t>(id)));
        first.put(5, 5 * 64, pst::Bytes(16, 5)); // the newest in its slot
        ASSERT_TRUE(first.find(5, 5 * 64, out));
    }
    pst::SlotCache second(64, 16);
    for (uint64_t id = 1; id <= 64; ++id)
        EXPECT_FALSE(second.find(id, id * 64, out)) << id;
    second.put(5, 5 * 64, pst::Bytes(3, 9));
    ASSERT_TRUE(second.find(5, 5 * 64, out));
    EXPECT_EQ(pst::Bytes(3, 9), out);
}
