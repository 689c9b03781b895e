#include "BlockCache.h"

namespace pst {

const Bytes* BlockCache::find(uint64_t id, uint64_t ib) {
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.ib != ib)
        return nullptr;
    uses_.splice(uses_.begin(), uses_, it->second.use);
    return &it->second.data;
}

void BlockCache::put(uint64_t id, uint64_t ib, Bytes data) {
    if (data.size() > budget_)
        return;
    erase(id);
    held_ += data.size();
    while (held_ > budget_ && !uses_.empty())
        erase(uses_.back());
    uses_.push_front(id);
    entries_.emplace(id, Entry{ib, std::move(data), uses_.begin()});
}

void BlockCache::erase(uint64_t id) {
    auto it = entries_.find(id);
    if (it == entries_.end())
        return;
    held_ -= it->second.data.size();
    uses_.erase(it->second.use);
    entries_.erase(it);
}

} // namespace pst
