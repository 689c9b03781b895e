#include "SlotCache.h"

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace pst {

namespace {

// Storage of closed caches, for the next ones of the same size: a few, as
// many as a mail program's stores open at once.
constexpr size_t kKept = 4;
std::mutex keptLock;
std::vector<std::pair<size_t, std::unique_ptr<uint8_t[]>>>& kept() {
    static std::vector<std::pair<size_t, std::unique_ptr<uint8_t[]>>> storage;
    return storage;
}

std::unique_ptr<uint8_t[]> storageOf(size_t bytes) {
    {
        std::lock_guard<std::mutex> hold(keptLock);
        auto& k = kept();
        for (auto it = k.begin(); it != k.end(); ++it)
            if (it->first == bytes) {
                std::unique_ptr<uint8_t[]> reused = std::move(it->second);
                k.erase(it);
                return reused;
            }
    }
    // Touched whole at once: kept for the stores after this one, its pages
    // are taken now rather than one by one over the process's life.
    std::unique_ptr<uint8_t[]> fresh(new uint8_t[bytes]);
    std::memset(fresh.get(), 0, bytes);
    return fresh;
}

} // namespace

SlotCache::SlotCache(size_t slots, size_t slotBytes) : count_(slots), slotBytes_(slotBytes) {
    if (!slots)
        return;
    storage_ = storageOf(slots * (sizeof(Slot) + slotBytes));
    slots_ = reinterpret_cast<Slot*>(storage_.get());
    for (size_t i = 0; i < slots; ++i)
        new (&slots_[i]) Slot{};
    data_ = storage_.get() + slots * sizeof(Slot);
}

SlotCache::~SlotCache() {
    if (!storage_)
        return;
    std::lock_guard<std::mutex> hold(keptLock);
    if (kept().size() < kKept)
        kept().emplace_back(count_ * (sizeof(Slot) + slotBytes_), std::move(storage_));
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
