#include "SlotCache.h"

#include <algorithm>
#include <cstring>

namespace pst {

SlotCache::SlotCache(size_t slots, size_t slotBytes) : count_(slots), slotBytes_(slotBytes) {
    if (!slots)
        return;
    size_t size = 1;
    while (size < 2 * slots)
        size *= 2;
    mask_ = size - 1;
    slots_.reset(new Slot[slots]);
    data_.reset(new uint8_t[slots * slotBytes]);
    index_.reset(new uint32_t[size]);
    std::fill(index_.get(), index_.get() + size, kEmpty);
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

void SlotCache::put(uint64_t id, uint64_t ib, const Bytes& data) {
    if (!count_ || data.size() > slotBytes_)
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
    slots_[s] = Slot{id, ib, static_cast<uint32_t>(data.size()), true};
    if (!data.empty())
        std::memcpy(dataOf(s), data.data(), data.size());
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
