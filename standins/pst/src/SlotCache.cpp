#include "SlotCache.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace pst {

namespace {

// Storage of closed caches, for the next cache of the same size: a store
// closed and opened again (every Outlook restart) finds the memory its
// predecessor filled already given by the system, rather than taking each
// page anew through a fault. Slots are filled from the start, so a block
// handed on holds no more touched pages than its fullest use.
class StoragePool {
public:
    std::unique_ptr<uint8_t[]> take(size_t bytes) {
        std::lock_guard<std::mutex> hold(mutex_);
        for (size_t i = 0; i < free_.size(); ++i)
            if (free_[i].first == bytes) {
                std::unique_ptr<uint8_t[]> out = std::move(free_[i].second);
                free_.erase(free_.begin() + static_cast<std::ptrdiff_t>(i));
                return out;
            }
        return std::unique_ptr<uint8_t[]>(new uint8_t[bytes]);
    }
    void give(size_t bytes, std::unique_ptr<uint8_t[]> storage) {
        std::lock_guard<std::mutex> hold(mutex_);
        // A few stores' worth: Outlook's default store and the one added.
        if (free_.size() < kKept)
            free_.emplace_back(bytes, std::move(storage));
    }

private:
    static constexpr size_t kKept = 4;
    std::mutex mutex_;
    std::vector<std::pair<size_t, std::unique_ptr<uint8_t[]>>> free_;
};

StoragePool& pool() {
    // Never destroyed: stores closed during the process's exit still give
    // their storage back.
    static StoragePool* kept = new StoragePool;
    return *kept;
}

} // namespace

SlotCache::SlotCache(size_t slots, size_t slotBytes) : count_(slots), slotBytes_(slotBytes) {
    if (!slots)
        return;
    size_t size = 1;
    while (size < 2 * slots)
        size *= 2;
    mask_ = size - 1;
    // One block: the index, the slot records, the data. The index is the
    // only part set here; records and data are written as slots are given.
    const size_t indexBytes = size * sizeof(uint32_t);
    const size_t slotsBytes = slots * sizeof(Slot);
    bytes_ = indexBytes + slotsBytes + slots * slotBytes;
    storage_ = pool().take(bytes_);
    index_ = reinterpret_cast<uint32_t*>(storage_.get());
    slots_ = reinterpret_cast<Slot*>(storage_.get() + indexBytes);
    data_ = storage_.get() + indexBytes + slotsBytes;
    std::fill(index_, index_ + size, kEmpty);
}

SlotCache::~SlotCache() {
    if (storage_)
        pool().give(bytes_, std::move(storage_));
}

size_t SlotCache::home(uint64_t id) const { return static_cast<size_t>((id * 0x9E3779B97F4A7C15ull) >> 32) & mask_; }

size_t SlotCache::position(uint64_t id) const {
    for (size_t p = home(id);; p = (p + 1) & mask_) {
        const uint32_t s = index_[p];
        if (s == kEmpty)
            return kNowhere;
        if (slots_[s].id == id)
            return p;
    }
}

// Linear probing without markers: the entries after the freed position
// that could not sit at their home move back into the gap.
void SlotCache::unindex(size_t gap) {
    index_[gap] = kEmpty;
    for (size_t p = (gap + 1) & mask_; index_[p] != kEmpty; p = (p + 1) & mask_) {
        const size_t h = home(slots_[index_[p]].id);
        // The entry stays when its home lies cyclically in (gap, p].
        const bool stays = gap < p ? (h > gap && h <= p) : (h > gap || h <= p);
        if (stays)
            continue;
        index_[gap] = index_[p];
        index_[p] = kEmpty;
        gap = p;
    }
}

bool SlotCache::find(uint64_t id, uint64_t ib, Bytes& out) const {
    if (!count_)
        return false;
    const size_t p = position(id);
    if (p == kNowhere)
        return false;
    const size_t s = index_[p];
    if (slots_[s].ib != ib)
        return false;
    const uint8_t* at = dataOf(s);
    out.assign(at, at + slots_[s].size);
    return true;
}

void SlotCache::put(uint64_t id, uint64_t ib, const uint8_t* data, size_t size) {
    if (!count_ || size > slotBytes_)
        return;
    size_t s;
    const size_t p = position(id);
    if (p != kNowhere) {
        s = index_[p];
    } else {
        if (given_ < count_) {
            s = given_++;
        } else {
            s = next_;
            next_ = (next_ + 1) % count_;
            if (slots_[s].live)
                unindex(position(slots_[s].id));
        }
        size_t at = home(id);
        while (index_[at] != kEmpty)
            at = (at + 1) & mask_;
        index_[at] = static_cast<uint32_t>(s);
    }
    slots_[s] = Slot{id, ib, static_cast<uint32_t>(size), true};
    if (size)
        std::memcpy(dataOf(s), data, size);
}

void SlotCache::erase(uint64_t id) {
    if (!count_)
        return;
    const size_t p = position(id);
    if (p == kNowhere)
        return;
    slots_[index_[p]].live = false;
    unindex(p);
}

} // namespace pst
