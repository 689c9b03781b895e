// Recently used small pages or blocks, checked and decoded, in a fixed
// number of slots of a fixed size allocated once: a lookup walks memory
// rather than the file, and the cache never takes from the heap again
// (thousands of small long-lived entries fragment Wine's heap enough to
// slow every later allocation). A slot is chosen by the id alone; a newer
// entry replaces what was there. Ids are never given twice in a store's
// life and what an id names is never changed where it lies, so an entry
// stays true until its id is let go of.
#pragma once
#include "Bytes.h"

#include <memory>

namespace pst {

class SlotCache {
public:
    SlotCache(size_t slots, size_t slotBytes);
    SlotCache(const SlotCache&) = delete;
    SlotCache& operator=(const SlotCache&) = delete;

    // Copies what is held for the id at the place into `out`.
    bool find(uint64_t id, uint64_t ib, Bytes& out) const;
    // Data larger than a slot is not held.
    void put(uint64_t id, uint64_t ib, const Bytes& data);
    void erase(uint64_t id);

private:
    struct Slot {
        uint64_t id = 0, ib = 0;
        size_t size = 0;
        bool used = false;
    };
    size_t indexOf(uint64_t id) const;
    uint8_t* dataOf(size_t index) const { return data_ + index * slotBytes_; }

    // One allocation: the slots, then their data, which is left
    // uninitialised: the system gives the pages of a large allocation only
    // as slots are first written, so a store that reads little (a small
    // file, a quick look) pays for little.
    std::unique_ptr<uint8_t[]> storage_;
    Slot* slots_ = nullptr;
    uint8_t* data_ = nullptr;
    size_t count_;
    size_t slotBytes_;
};

} // namespace pst
