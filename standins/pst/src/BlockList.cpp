#include "BlockList.h"

#include <algorithm>

namespace pst {

BlockList::BlockList(Ndb& ndb, uint64_t bidData) : ndb_(ndb), oldRoot_(bidData) {
    if (bidData && !isInternalBid(bidData)) {
        bids_.push_back(bidData);
    } else if (bidData) {
        const XBlock top = ndb.readXBlock(bidData);
        oldTotal_ = top.total;
        for (uint64_t child : top.children) {
            if (top.level == 1) {
                bids_.push_back(child);
                continue;
            }
            XBlock x = ndb.readXBlock(child);
            if (x.level != 1)
                corrupt("a data tree block at the wrong level");
            bids_.insert(bids_.end(), x.children.begin(), x.children.end());
            oldGroups_.push_back({child, std::move(x.children), x.total});
        }
    }
    dirty_.assign(bids_.size(), false);
    oldCount_ = bids_.size();
}

const Bytes& BlockList::get(size_t index) {
    auto it = loaded_.find(index);
    if (it != loaded_.end())
        return it->second;
    if (index >= bids_.size())
        corrupt("a block beyond a node's data");
    Bytes& b = loaded_[index] = ndb_.readBlock(bids_[index]);
    originalSize_[index] = b.size();
    return b;
}

void BlockList::set(size_t index, Bytes data) {
    get(index); // its size as it was
    loaded_[index] = std::move(data);
    dirty_[index] = true;
    changed_ = true;
}

void BlockList::append(Bytes data) {
    bids_.push_back(0);
    dirty_.push_back(true);
    originalSize_[bids_.size() - 1] = 0;
    loaded_[bids_.size() - 1] = std::move(data);
    changed_ = true;
}

void BlockList::removeLast() {
    if (bids_.empty())
        corrupt("a block removed from a node without data");
    const size_t i = bids_.size() - 1;
    // A block of the old tree is let go with it when the new tree is written.
    if (i < oldCount_)
        removed_.push_back(bids_[i]);
    bids_.pop_back();
    dirty_.pop_back();
    loaded_.erase(i);
    originalSize_.erase(i);
    changed_ = true;
}

size_t BlockList::blockSize(size_t index) {
    if (loaded_.count(index))
        return loaded_[index].size();
    std::optional<BlockEntry> e = ndb_.findBlock(bids_[index]);
    if (!e)
        corrupt("a block is missing");
    return e->cb;
}

uint64_t BlockList::write() {
    if (!changed_)
        return oldRoot_;
    changed_ = false;
    const size_t n = bids_.size();
    std::vector<uint64_t> leaves(n);
    std::vector<int64_t> delta(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (dirty_[i]) {
            leaves[i] = ndb_.writeBlock(loaded_[i], false);
            delta[i] = static_cast<int64_t>(loaded_[i].size()) - static_cast<int64_t>(originalSize_[i]);
        } else {
            leaves[i] = bids_[i];
        }
    }
    auto xblock = [&](std::vector<uint64_t> children, uint8_t level, uint64_t bytes) {
        return ndb_.writeXBlock({level, bytes, std::move(children)});
    };
    auto sizeOf = [&](size_t i) { return dirty_[i] ? loaded_[i].size() : blockSize(i); };
    auto releaseReplaced = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            if (dirty_[i] && bids_[i])
                ndb_.release(bids_[i]);
    };
    const bool oldIsTree = oldRoot_ && isInternalBid(oldRoot_);
    // The old tree's blocks of the data tree itself, as groups of leaves:
    // one group for a one-level tree, several for two levels.
    std::vector<Group> old = oldGroups_;
    if (oldIsTree && old.empty())
        old.push_back({oldRoot_,
                       std::vector<uint64_t>(bids_.begin(), bids_.begin() + static_cast<std::ptrdiff_t>(oldCount_)),
                       oldTotal_});
    // Shared trees (another node holds them too) are rare; they get the
    // plain treatment: the new tree takes references of its own.
    bool shared = oldIsTree && ndb_.refCount(oldRoot_) > 2;
    for (const Group& g : oldGroups_)
        shared = shared || ndb_.refCount(g.bid) > 2;

    if (!removed_.empty()) {
        // Fewer blocks than before: the old tree's groups no longer line up,
        // so the new tree is made whole. Blocks kept as they were gain the
        // new tree as a holder; the old tree then lets go of all it held,
        // the removed and replaced blocks with it.
        std::vector<std::pair<uint64_t, size_t>> all;
        for (size_t i = 0; i < n; ++i) {
            if (!dirty_[i] && bids_[i])
                ndb_.addRef(bids_[i]);
            all.emplace_back(leaves[i], sizeOf(i));
        }
        const uint64_t root = ndb_.writeDataTree(all);
        if (oldRoot_)
            ndb_.release(oldRoot_);
        removed_.clear();
        return root;
    }
    if (n == 1) {
        releaseReplaced(0, 1);
        if (oldIsTree)
            ndb_.release(oldRoot_);
        return leaves[0];
    }
    if (shared) {
        for (size_t i = 0; i < n; ++i)
            if (!dirty_[i] && bids_[i])
                ndb_.addRef(bids_[i]);
        std::vector<std::pair<uint64_t, size_t>> all;
        for (size_t i = 0; i < n; ++i)
            all.emplace_back(leaves[i], sizeOf(i));
        const uint64_t root = ndb_.writeDataTree(all);
        ndb_.release(oldRoot_);
        return root;
    }
    if (!oldIsTree && oldRoot_ && dirty_[0])
        ndb_.release(oldRoot_); // the old single block was replaced
    if (n <= ndb_.format().xblockMax()) {
        int64_t total = static_cast<int64_t>(oldIsTree ? oldTotal_ : 0);
        if (oldIsTree) {
            for (int64_t d : delta)
                total += d;
        } else {
            total = 0;
            for (size_t i = 0; i < n; ++i)
                total += static_cast<int64_t>(sizeOf(i));
        }
        const uint64_t root = xblock(leaves, 1, static_cast<uint64_t>(total));
        if (oldIsTree) {
            // Its clean blocks pass to the new tree as they are.
            ndb_.releaseShallow(oldRoot_);
            releaseReplaced(0, n);
        }
        return root;
    }
    // Two levels: a group of blocks that did not change keeps its XBLOCK.
    std::vector<uint64_t> groups;
    uint64_t total = 0;
    for (size_t g = 0, start = 0; start < n; ++g, start += ndb_.format().xblockMax()) {
        const size_t end = std::min(n, start + ndb_.format().xblockMax());
        const bool known = g < old.size() && old[g].children.size() <= end - start;
        bool same = known && old[g].children.size() == end - start;
        int64_t bytes = known ? static_cast<int64_t>(old[g].total) : 0;
        for (size_t i = start; i < end; ++i) {
            if (dirty_[i])
                same = false;
            if (known && i - start < old[g].children.size())
                bytes += delta[i];
            else
                bytes += static_cast<int64_t>(sizeOf(i));
        }
        total += static_cast<uint64_t>(bytes);
        if (same) {
            groups.push_back(old[g].bid); // its holder becomes the new top
            continue;
        }
        std::vector<uint64_t> children(leaves.begin() + static_cast<std::ptrdiff_t>(start),
                                       leaves.begin() + static_cast<std::ptrdiff_t>(end));
        groups.push_back(xblock(children, 1, static_cast<uint64_t>(bytes)));
        if (known) {
            ndb_.releaseShallow(old[g].bid);
            releaseReplaced(start, start + old[g].children.size());
        }
    }
    const uint64_t root = xblock(groups, 2, total);
    if (!oldGroups_.empty())
        ndb_.releaseShallow(oldRoot_); // the old top: its groups are handled
    return root;
}

} // namespace pst
