#include "SlotCache.h"

#include <cstring>
#include <mutex>

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
    return std::unique_ptr<uint8_t[]>(new uint8_t[bytes]);
}

} // namespace

SlotCache::SlotCache(size_t slots, size_t slotBytes)
    : slots_(slots), bytes_(slots ? storageOf(slots * slotBytes) : nullptr), slotBytes_(slotBytes) {}

SlotCache::~SlotCache() {
    if (!bytes_)
        return;
    std::lock_guard<std::mutex> hold(keptLock);
    if (kept().size() < kKept)
        kept().emplace_back(slots_.size() * slotBytes_, std::move(bytes_));
}

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
