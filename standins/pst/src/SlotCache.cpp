#include "SlotCache.h"

#include <cstring>
#include <new>

namespace pst {

SlotCache::SlotCache(size_t slots, size_t slotBytes) : count_(slots), slotBytes_(slotBytes) {
    if (!slots)
        return;
    storage_.reset(new uint8_t[slots * (sizeof(Slot) + slotBytes)]);
    slots_ = reinterpret_cast<Slot*>(storage_.get());
    for (size_t i = 0; i < slots; ++i)
        new (&slots_[i]) Slot{};
    data_ = storage_.get() + slots * sizeof(Slot);
}

size_t SlotCache::indexOf(uint64_t id) const { return static_cast<size_t>((id * 0x9E3779B97F4A7C15ull) >> 40) % count_; }

bool SlotCache::find(uint64_t id, uint64_t ib, Bytes& out) const {
    if (!count_)
        return false;
    const size_t i = indexOf(id);
    const Slot& s = slots_[i];
    if (!s.used || s.id != id || s.ib != ib)
        return false;
    const uint8_t* at = dataOf(i);
    out.assign(at, at + s.size);
    return true;
}

void SlotCache::put(uint64_t id, uint64_t ib, const Bytes& data) {
    if (!count_ || data.size() > slotBytes_)
        return;
    const size_t i = indexOf(id);
    slots_[i] = Slot{id, ib, data.size(), true};
    if (!data.empty())
        std::memcpy(dataOf(i), data.data(), data.size());
}

void SlotCache::erase(uint64_t id) {
    if (!count_)
        return;
    Slot& s = slots_[indexOf(id)];
    if (s.used && s.id == id)
        s.used = false;
}

} // namespace pst
