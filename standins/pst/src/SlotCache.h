// Recently used small pages or blocks, checked and decoded, in a fixed
// number of slots of a fixed size allocated once: a lookup walks memory
// rather than the file, and the cache never takes from the heap again
// (thousands of small long-lived entries fragment Wine's heap enough to
// slow every later allocation). Ids are never given twice in a store's
// life and what an id names is never changed where it lies, so an entry
// stays true until its id is let go of.
//
// Slots are handed out in order and, once all are in use, taken back in
// the order they were given (oldest first); an index finds an id's slot.
// The memory a cache touches thus grows with what it holds: a store that
// is opened, used for a while and closed again (as every Outlook restart
// does) pays for the pages it filled, not for the whole cache (each first
// touch of a page is a fault to the system, dear under a virtual machine).
#pragma once
#include "Bytes.h"

#include <memory>

namespace pst {

class SlotCache {
public:
    SlotCache(size_t slots, size_t slotBytes);
    ~SlotCache();
    SlotCache(const SlotCache&) = delete;
    SlotCache& operator=(const SlotCache&) = delete;

    // Copies what is held for the id at the place into `out`.
    bool find(uint64_t id, uint64_t ib, Bytes& out) const;
    // Data larger than a slot is not held.
    void put(uint64_t id, uint64_t ib, const Bytes& data) { put(id, ib, data.data(), data.size()); }
    void put(uint64_t id, uint64_t ib, const uint8_t* data, size_t size);
    void erase(uint64_t id);

private:
    struct Slot {
        uint64_t id, ib;
        uint32_t size;
        bool live;
    };
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;     // an unused index entry
    static constexpr size_t kNowhere = ~static_cast<size_t>(0);
    size_t home(uint64_t id) const;
    // The index position holding the id, or kNowhere.
    size_t position(uint64_t id) const;
    void unindex(size_t position);
    uint8_t* dataOf(size_t slot) const { return data_ + slot * slotBytes_; }

    // Slot records and data are left uninitialised: the system gives the
    // pages of a large allocation only as they are first written.
    std::unique_ptr<uint8_t[]> storage_;
    size_t bytes_ = 0;
    uint32_t* index_ = nullptr; // open addressing, slot numbers
    Slot* slots_ = nullptr;
    uint8_t* data_ = nullptr;
    size_t count_;
    size_t slotBytes_;
    size_t mask_ = 0;     // index size - 1 (a power of two, at least twice the slots)
    size_t given_ = 0;    // slots handed out so far
    size_t next_ = 0;     // once all are given: the next to take back
};

} // namespace pst
