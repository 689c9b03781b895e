// Recently used pages or blocks, decoded and checked, keyed by their id.
// Ids are never given twice in a store's life and what an id names is
// never changed where it lies (a change goes to a new place under a new
// id), so an entry stays true until its id is let go of. Bounded by the
// bytes held; the least recently used go first.
#pragma once
#include "Bytes.h"

#include <list>
#include <unordered_map>

namespace pst {

class BlockCache {
public:
    explicit BlockCache(size_t budgetBytes) : budget_(budgetBytes) {}

    // The bytes held for the id at the place, or null.
    const Bytes* find(uint64_t id, uint64_t ib);
    void put(uint64_t id, uint64_t ib, Bytes data);
    void erase(uint64_t id);

private:
    struct Entry {
        uint64_t ib;
        Bytes data;
        std::list<uint64_t>::iterator use;
    };
    size_t budget_;
    size_t held_ = 0;
    std::unordered_map<uint64_t, Entry> entries_;
    std::list<uint64_t> uses_; // most recent first
};

} // namespace pst
