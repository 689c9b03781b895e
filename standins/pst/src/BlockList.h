// A node's data as a list of blocks, changed block by block: what did not
// change keeps its block, and its data tree's blocks where they still fit.
#pragma once
#include "Ndb.h"

#include <map>

namespace pst {

// A node's data as a list of blocks, read when needed and written back
// sharing every block (and data-tree block) that did not change.
class BlockList {
public:
    BlockList(Ndb& ndb, uint64_t bidData);
    size_t size() const { return bids_.size(); }
    const Bytes& get(size_t index);
    void set(size_t index, Bytes data);
    void append(Bytes data);
    // Drops the last block.
    void removeLast();
    bool changed() const { return changed_; }
    size_t blockSize(size_t index);
    // Writes the new data tree and lets go of the old one (blocks that did
    // not change pass from the old tree to the new without a new count).
    // Returns the new root; the caller points the node at it.
    uint64_t write();

private:
    Ndb& ndb_;
    uint64_t oldRoot_;
    std::vector<uint64_t> bids_;           // 0: new, not yet written
    std::map<size_t, Bytes> loaded_;
    std::vector<bool> dirty_;
    std::map<size_t, size_t> originalSize_; // sizes of blocks as first read
    uint64_t oldTotal_ = 0;
    size_t oldCount_ = 0; // blocks of the old tree
    // The old tree's XBLOCKs when it had two levels: each covers a range.
    struct Group {
        uint64_t bid;
        std::vector<uint64_t> children;
        uint64_t total;
    };
    std::vector<Group> oldGroups_;
    std::vector<uint64_t> removed_; // blocks of the old tree no longer in the list
    bool changed_ = false;
};

} // namespace pst
