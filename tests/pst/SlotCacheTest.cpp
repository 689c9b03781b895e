// The slot cache holds what it was given under the id and place it was
// given, gives the oldest slot to a newer entry once all are in use, and
// never holds what is larger than a slot.
#include "SlotCache.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

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
    EXPECT_EQ(64u, held) << "the newest 64 are held";
    EXPECT_TRUE(cache.find(1000, 1000 * 64, out));
    EXPECT_FALSE(cache.find(936, 936 * 64, out)) << "the oldest gave way";
}

TEST(SlotCache, EveryIdUpToTheSlotCountIsHeldAndNothingFoundIsStale) {
    // Ids whose hashes collide must not push one another out while free
    // slots remain.
    pst::SlotCache small(32, 8);
    pst::Bytes out;
    for (uint64_t id = 1; id <= 32; ++id)
        small.put(id << 20, id, pst::Bytes(8, static_cast<uint8_t>(id)));
    for (uint64_t id = 1; id <= 32; ++id)
        EXPECT_TRUE(small.find(id << 20, id, out)) << id;

    // Random puts, replacements and erasures against a plain map: whatever
    // is found is what was put last under that id, and what was just put
    // is found.
    pst::SlotCache cache(16, 8);
    std::map<uint64_t, pst::Bytes> truth;
    std::mt19937 rng(7);
    for (int step = 0; step < 200000; ++step) {
        const uint64_t id = rng() % 48 + 1;
        const unsigned op = rng() % 10;
        if (op < 6) {
            pst::Bytes data(rng() % 9, static_cast<uint8_t>(step));
            cache.put(id, id * 8, data);
            truth[id] = data;
            ASSERT_TRUE(cache.find(id, id * 8, out)) << "step " << step;
            ASSERT_EQ(data, out) << "step " << step;
        } else if (op < 8) {
            cache.erase(id);
            truth.erase(id);
            ASSERT_FALSE(cache.find(id, id * 8, out)) << "step " << step;
        } else if (cache.find(id, id * 8, out)) {
            auto it = truth.find(id);
            ASSERT_NE(truth.end(), it) << "an erased id found at step " << step;
            ASSERT_EQ(it->second, out) << "step " << step;
        }
    }
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
