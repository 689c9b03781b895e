#include "SlotCache.h"

#include <cstring>

namespace pst {

SlotCache::SlotCache(size_t slots, size_t slotBytes)
    : slots_(slots), bytes_(new uint8_t[slots * slotBytes]), slotBytes_(slotBytes) {}

size_t SlotCache::indexOf(uint64_t id) const { return static_cast<size_t>((id * 0x9E3779B97F4A7C15ull) >> 40) % slots_.size(); }

bool SlotCache::find(uint64_t id, uint64_t ib, Bytes& out) const {
    if (slots_.empty())
        return false;
    const size_t i = indexOf(id);
    const Slot& s = slots_[i];
    if (!s.used || s.id != id || s.ib != ib)
        return false;
    const uint8_t* at = &bytes_[i * slotBytes_];
    out.assign(at, at + s.size);
    return true;
}

void SlotCache::put(uint64_t id, uint64_t ib, const Bytes& data) {
    if (slots_.empty() || data.size() > slotBytes_)
        return;
    const size_t i = indexOf(id);
    slots_[i] = Slot{id, ib, data.size(), true};
    if (!data.empty())
        std::memcpy(&bytes_[i * slotBytes_], data.data(), data.size());
}

void SlotCache::erase(uint64_t id) {
    if (slots_.empty())
        return;
    Slot& s = slots_[indexOf(id)];
    if (s.used && s.id == id)
        s.used = false;
}

} // namespace pst
