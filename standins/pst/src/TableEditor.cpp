#include "TableEditor.h"

#include <algorithm>

namespace pst {

namespace {

constexpr size_t kMaxItem = 3580;
constexpr size_t kXBlockMax = (kMaxBlockData - 8) / 8;
constexpr uint32_t kNidTypeLtp = 0x1F;
constexpr uint32_t kRowIdTag = 0x67F20003; // every row's id, in a column of its own

[[noreturn]] void corrupt(const std::string& what) { throw Error(ErrorKind::Corrupt, "the PST file is damaged: " + what); }

size_t heapHeaderSize(size_t block) { return block == 0 ? 12 : block % 128 == 8 ? 66 : 2; }

uint8_t fillLevel(size_t free) {
    static const size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
    for (uint8_t i = 0; i < 15; ++i)
        if (free >= limits[i])
            return i;
    return 15;
}

Bytes record(uint32_t key, uint32_t value) {
    Bytes r;
    append32(r, key);
    append32(r, value);
    return r;
}

} // namespace

// --- BlockList ---------------------------------------------------------

BlockList::BlockList(Ndb& ndb, uint64_t bidData) : ndb_(ndb), oldRoot_(bidData) {
    if (!bidData)
        return;
    if (!isInternalBid(bidData)) {
        bids_.push_back(bidData);
    } else {
        Bytes top = ndb.readBlock(bidData);
        if (u8(top, 0) != 1 || static_cast<size_t>(u16(top, 2)) * 8 + 8 > top.size())
            corrupt("a data tree block is malformed");
        const uint8_t level = u8(top, 1);
        oldTotal_ = u32(top, 4);
        for (size_t i = 0; i < u16(top, 2); ++i) {
            const uint64_t child = u64(top, 8 + 8 * i);
            if (level == 1) {
                bids_.push_back(child);
                continue;
            }
            Bytes x = ndb.readBlock(child);
            if (u8(x, 0) != 1 || u8(x, 1) != 1 || static_cast<size_t>(u16(x, 2)) * 8 + 8 > x.size())
                corrupt("a data tree block is malformed");
            Group g{child, {}, u32(x, 4)};
            for (size_t k = 0; k < u16(x, 2); ++k)
                g.children.push_back(u64(x, 8 + 8 * k));
            bids_.insert(bids_.end(), g.children.begin(), g.children.end());
            oldGroups_.push_back(std::move(g));
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
    auto xblock = [&](const std::vector<uint64_t>& children, uint8_t level, uint64_t bytes) {
        Bytes x(8 + 8 * children.size(), 0);
        x[0] = 1;
        x[1] = level;
        put16(x, 2, static_cast<uint16_t>(children.size()));
        put32(x, 4, static_cast<uint32_t>(bytes));
        for (size_t i = 0; i < children.size(); ++i)
            put64(x, 8 + 8 * i, children[i]);
        return ndb_.writeBlock(x, true);
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
    if (n <= kXBlockMax) {
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
    for (size_t g = 0, start = 0; start < n; ++g, start += kXBlockMax) {
        const size_t end = std::min(n, start + kXBlockMax);
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

// --- EditableHeap ------------------------------------------------------

EditableHeap::EditableHeap(Ndb& ndb, uint64_t bidData) : blocks_(ndb, bidData) {
    if (blocks_.size() == 0)
        corrupt("a heap without data");
    if (u8(parsed(0).header, 2) != kHeapSignature)
        corrupt("a heap without its signature");
}

EditableHeap::Parsed& EditableHeap::parsed(size_t block) {
    auto it = parsed_.find(block);
    if (it != parsed_.end())
        return it->second;
    const Bytes& b = blocks_.get(block);
    Parsed p;
    const size_t hs = heapHeaderSize(block);
    p.header = slice(b, 0, hs);
    const size_t map = u16(b, 0);
    const size_t count = u16(b, map);
    need(b, map + 4, 2 * (count + 1), "heap map");
    p.ends.reserve(count + 1);
    size_t expected = hs;
    for (size_t i = 0; i < count; ++i) {
        const size_t start = u16(b, map + 4 + 2 * i), end = u16(b, map + 4 + 2 * (i + 1));
        if (end < start || end > map)
            corrupt("a heap item out of its block");
        if (start != expected)
            break; // items not back to back: taken one by one below
        expected = end;
        p.ends.push_back(end - hs);
    }
    if (p.ends.size() == count) {
        p.data.assign(b.begin() + static_cast<std::ptrdiff_t>(hs), b.begin() + static_cast<std::ptrdiff_t>(expected));
    } else {
        p.ends.clear();
        for (size_t i = 0; i < count; ++i) {
            const size_t start = u16(b, map + 4 + 2 * i), end = u16(b, map + 4 + 2 * (i + 1));
            p.data.insert(p.data.end(), b.begin() + static_cast<std::ptrdiff_t>(start),
                          b.begin() + static_cast<std::ptrdiff_t>(end));
            p.ends.push_back(p.data.size());
        }
    }
    return parsed_[block] = std::move(p);
}

void EditableHeap::Parsed::set(size_t i, const Bytes& bytes) {
    const size_t from = begin(i), old = ends[i] - from;
    const auto at = data.begin() + static_cast<std::ptrdiff_t>(from);
    if (bytes.size() > old) {
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(old), at);
        data.insert(at + static_cast<std::ptrdiff_t>(old), bytes.begin() + static_cast<std::ptrdiff_t>(old), bytes.end());
    } else {
        std::copy(bytes.begin(), bytes.end(), at);
        data.erase(at + static_cast<std::ptrdiff_t>(bytes.size()), at + static_cast<std::ptrdiff_t>(old));
    }
    const ptrdiff_t delta = static_cast<ptrdiff_t>(bytes.size()) - static_cast<ptrdiff_t>(old);
    for (size_t k = i; k < ends.size(); ++k)
        ends[k] = static_cast<size_t>(static_cast<ptrdiff_t>(ends[k]) + delta);
}

void EditableHeap::Parsed::push(const Bytes& bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    ends.push_back(data.size());
}

void EditableHeap::Parsed::pop() {
    ends.pop_back();
    data.resize(ends.empty() ? 0 : ends.back());
}

size_t EditableHeap::serializedSize(size_t block, const Parsed& p, size_t dataBytes) const {
    const size_t size = (heapHeaderSize(block) + dataBytes + 1) / 2 * 2;
    return size + 4 + 2 * (p.count() + 1);
}

size_t EditableHeap::serializedSize(size_t block, const Parsed& p) const {
    return serializedSize(block, p, p.data.size());
}

Bytes EditableHeap::serialize(size_t block, const Parsed& p) const {
    Bytes data;
    data.reserve(serializedSize(block, p));
    data = p.header;
    const size_t hs = data.size();
    appendBytes(data, p.data);
    if (data.size() % 2)
        data.push_back(0);
    const uint16_t map = static_cast<uint16_t>(data.size());
    append16(data, static_cast<uint16_t>(p.count()));
    append16(data, 0);
    append16(data, static_cast<uint16_t>(hs));
    for (size_t end : p.ends)
        append16(data, static_cast<uint16_t>(hs + end));
    put16(data, 0, map);
    return data;
}

void EditableHeap::setFill(size_t block, size_t freeBytes) {
    const uint8_t level = fillLevel(freeBytes);
    size_t owner, slot, at;
    if (block < 8) {
        owner = 0;
        slot = block;
        at = 8;
    } else {
        owner = block - (block - 8) % 128;
        slot = block - owner;
        at = 2;
    }
    Parsed& p = parsed(owner);
    uint8_t& b = p.header[at + slot / 2];
    const int shift = (slot % 2) * 4;
    b = static_cast<uint8_t>((b & ~(0xF << shift)) | (level << shift));
    if (owner != block)
        blocks_.set(owner, serialize(owner, p));
}

void EditableHeap::store(size_t block) {
    Parsed& p = parsed(block);
    setFill(block, kMaxBlockData - serializedSize(block, p));
    blocks_.set(block, serialize(block, p));
}

uint8_t EditableHeap::clientSignature() { return parsed(0).header[3]; }

uint32_t EditableHeap::userRoot() { return u32(parsed(0).header, 4); }

Bytes EditableHeap::item(uint32_t hid) {
    if (hid == 0)
        return {};
    if (!isHid(hid))
        corrupt("a heap reference that is not a heap id");
    const size_t block = hid >> 16, index = (hid >> 5) & 0x7FF;
    if (block >= blocks_.size() || index == 0)
        corrupt("a heap reference out of range");
    Parsed& p = parsed(block);
    if (index > p.count())
        corrupt("a heap item that does not exist");
    return p.get(index - 1);
}

bool EditableHeap::replace(uint32_t hid, const Bytes& bytes) {
    item(hid); // checks it exists
    const size_t block = hid >> 16, index = (hid >> 5) & 0x7FF;
    Parsed& p = parsed(block);
    const size_t oldSize = p.size(index - 1);
    if (bytes.size() > kMaxItem || serializedSize(block, p, p.data.size() - oldSize + bytes.size()) > kMaxBlockData)
        return false;
    p.set(index - 1, bytes);
    store(block);
    return true;
}

void EditableHeap::free(uint32_t hid) {
    replace(hid, {});
    freed_.insert(hid);
    // Freed items at the end of their block are dropped, so that a table
    // whose rows come and go does not grow by empty items.
    const size_t block = hid >> 16;
    Parsed& p = parsed(block);
    bool dropped = false;
    while (p.count() > 1 && p.size(p.count() - 1) == 0 &&
           freed_.erase(static_cast<uint32_t>((block << 16) | (p.count() << 5)))) {
        p.pop();
        dropped = true;
    }
    if (dropped)
        store(block);
}

uint32_t EditableHeap::add(const Bytes& bytes) {
    if (bytes.size() > kMaxItem)
        throw Error(ErrorKind::Invalid, "a heap item larger than 3,580 bytes");
    size_t block = blocks_.size() - 1;
    Parsed& last = parsed(block);
    last.push(bytes);
    if (serializedSize(block, last) <= kMaxBlockData && last.count() < 0x7FF) {
        store(block);
        const uint32_t hid = static_cast<uint32_t>((block << 16) | (last.count() << 5));
        freed_.erase(hid); // an id dropped before, in use again
        return hid;
    }
    last.pop();
    // A new block, with the header its place calls for.
    block = blocks_.size();
    if (block > 0xFFFF)
        throw Error(ErrorKind::Invalid, "a heap too large for one node");
    Parsed fresh;
    fresh.header.assign(heapHeaderSize(block), 0);
    fresh.push(bytes);
    blocks_.append(serialize(block, fresh));
    parsed_[block] = std::move(fresh);
    store(block);
    return static_cast<uint32_t>((block << 16) | (1u << 5));
}

uint64_t EditableHeap::write() { return blocks_.write(); }

// --- TableEditor -------------------------------------------------------

TableEditor::TableEditor(Ndb& ndb, uint32_t tableNid)
    : ndb_(ndb), nid_(tableNid), entry_([&] {
          std::optional<NodeEntry> e = ndb.findNode(tableNid);
          if (!e)
              throw Error(ErrorKind::NotFound, "no table with the node id " + std::to_string(tableNid));
          return *e;
      }()),
      heap_(ndb, entry_.bidData) {
    subnodes_ = ndb.readSubnodes(entry_.bidSub);
    if (heap_.clientSignature() != kClientTable)
        corrupt("a table context of another kind");
    infoHid_ = heap_.userRoot();
    info_ = heap_.item(infoHid_);
    if (u8(info_, 0) != kClientTable)
        corrupt("a table without its signature");
    const uint8_t count = u8(info_, 1);
    cebOffset_ = u16(info_, 6);
    rowSize_ = u16(info_, 8);
    indexHid_ = u32(info_, 10);
    rowsHnid_ = u32(info_, 14);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 22 + 8 * i;
        columns_.push_back({u32(info_, at), u16(info_, at + 4), u8(info_, at + 6), u8(info_, at + 7)});
    }
    if (rowSize_ == 0)
        corrupt("a table with rows of no size");
    if (rowsHnid_ && !isHid(rowsHnid_)) {
        auto it = subnodes_.find(rowsHnid_);
        if (it == subnodes_.end())
            corrupt("a table's rows in a subnode that does not exist");
        matrix_.emplace(ndb, it->second.bidData);
    }
    for (const auto& kv : subnodes_)
        nextLocal_ = std::max(nextLocal_, kv.first >> 5);
}

uint32_t TableEditor::storeValue(const Bytes& value) {
    if (value.empty())
        return 0;
    if (value.size() <= kMaxItem)
        return heap_.add(value);
    const uint32_t nid = (++nextLocal_ << 5) | kNidTypeLtp;
    subnodes_[nid] = {nid, ndb_.writeData(value), 0};
    subnodesChanged_ = true;
    return nid;
}

void TableEditor::freeValue(uint32_t hnid) {
    if (!hnid)
        return;
    if (isHid(hnid)) {
        heap_.free(hnid);
    } else if (subnodes_.erase(hnid)) {
        subnodesChanged_ = true;
    }
}

Bytes TableEditor::encodeRow(uint32_t rowId, const Properties& cells) {
    Bytes row(rowSize_, 0);
    for (const Column& c : columns_) {
        const Value* v = nullptr;
        Value own;
        if (c.tag == kRowIdTag) {
            own = {PT_LONG, {}};
            for (int k = 0; k < 4; ++k)
                own.bytes.push_back(static_cast<uint8_t>(rowId >> (8 * k)));
            v = &own;
        } else {
            auto it = cells.find(c.tag);
            if (it != cells.end())
                v = &it->second;
        }
        if (!v)
            continue;
        const uint16_t type = static_cast<uint16_t>(c.tag & 0xFFFF);
        const size_t fixed = fixedSize(type);
        if (fixed && fixed <= c.size)
            std::copy_n(v->bytes.begin(), std::min(fixed, v->bytes.size()), row.begin() + c.offset);
        else
            put32(row, c.offset, storeValue(Bytes(v->bytes.begin(), v->bytes.end())));
        row[cebOffset_ + c.bit / 8] |= static_cast<uint8_t>(0x80 >> (c.bit % 8));
    }
    return row;
}

uint32_t TableEditor::matrixRows() {
    if (!rowsHnid_)
        return 0;
    if (isHid(rowsHnid_))
        return static_cast<uint32_t>(heap_.item(rowsHnid_).size() / rowSize_);
    // Every block but the last holds as many rows as fit.
    const size_t n = matrix_->size();
    if (n == 0)
        return 0;
    const size_t perBlock = kMaxBlockData / rowSize_;
    return static_cast<uint32_t>((n - 1) * perBlock + matrix_->blockSize(n - 1) / rowSize_);
}

void TableEditor::writeInfo() {
    put32(info_, 10, indexHid_);
    put32(info_, 14, rowsHnid_);
    if (!heap_.replace(infoHid_, info_))
        corrupt("a table's description does not fit its heap block");
}

void TableEditor::appendToMatrix(const Bytes& row) {
    const size_t perBlock = kMaxBlockData / rowSize_;
    if (!rowsHnid_) {
        rowsHnid_ = heap_.add(row);
        writeInfo();
        return;
    }
    if (isHid(rowsHnid_)) {
        Bytes all = heap_.item(rowsHnid_);
        appendBytes(all, row);
        if (all.size() <= kMaxItem) {
            if (!heap_.replace(rowsHnid_, all)) {
                const uint32_t moved = heap_.add(all);
                heap_.free(rowsHnid_);
                rowsHnid_ = moved;
                writeInfo();
            }
            return;
        }
        // Too many rows for the heap: they move to a subnode of their own,
        // whole rows per block.
        std::vector<Bytes> blocks;
        const size_t rows = all.size() / rowSize_;
        for (size_t start = 0; start < rows; start += perBlock)
            blocks.push_back(slice(all, start * rowSize_, std::min(perBlock, rows - start) * rowSize_));
        heap_.free(rowsHnid_);
        const uint32_t nid = (++nextLocal_ << 5) | kNidTypeLtp;
        subnodes_[nid] = {nid, ndb_.writeDataBlocks(blocks), 0};
        subnodesChanged_ = true;
        rowsHnid_ = nid;
        writeInfo();
        matrix_.emplace(ndb_, subnodes_[nid].bidData);
        return;
    }
    const size_t n = matrix_->size();
    if (n && matrix_->blockSize(n - 1) / rowSize_ < perBlock) {
        Bytes last = matrix_->get(n - 1);
        appendBytes(last, row);
        matrix_->set(n - 1, std::move(last));
    } else {
        matrix_->append(row);
    }
}

Bytes TableEditor::matrixRow(uint32_t index) {
    if (isHid(rowsHnid_))
        return slice(heap_.item(rowsHnid_), static_cast<size_t>(index) * rowSize_, rowSize_);
    const size_t perBlock = kMaxBlockData / rowSize_;
    return slice(matrix_->get(index / perBlock), (index % perBlock) * rowSize_, rowSize_);
}

void TableEditor::setMatrixRow(uint32_t index, const Bytes& row) {
    if (isHid(rowsHnid_)) {
        Bytes all = heap_.item(rowsHnid_);
        std::copy(row.begin(), row.end(), all.begin() + static_cast<std::ptrdiff_t>(index) * rowSize_);
        if (!heap_.replace(rowsHnid_, all))
            corrupt("a table's rows do not fit their heap block");
        return;
    }
    const size_t perBlock = kMaxBlockData / rowSize_;
    Bytes block = matrix_->get(index / perBlock);
    std::copy(row.begin(), row.end(), block.begin() + static_cast<std::ptrdiff_t>((index % perBlock) * rowSize_));
    matrix_->set(index / perBlock, std::move(block));
}

std::optional<uint32_t> TableEditor::findRowIndex(uint32_t rowId) {
    Bytes header = heap_.item(indexHid_);
    uint32_t hid = u32(header, 4);
    for (int level = u8(header, 3); hid; --level) {
        Bytes node = heap_.item(hid);
        if (level == 0) {
            for (size_t at = 0; at + 8 <= node.size(); at += 8)
                if (u32(node, at) == rowId)
                    return u32(node, at + 4);
            return std::nullopt;
        }
        uint32_t child = 0;
        for (size_t at = 0; at + 8 <= node.size(); at += 8)
            if (u32(node, at) <= rowId || at == 0)
                child = u32(node, at + 4);
        hid = child;
    }
    return std::nullopt;
}

std::vector<uint32_t> TableEditor::pathTo(uint32_t rowId) {
    // From the root down to the leaf where the row's key is or would be.
    const Bytes header = heap_.item(indexHid_);
    std::vector<uint32_t> path{u32(header, 4)};
    for (int level = u8(header, 3); level > 0; --level) {
        Bytes node = heap_.item(path.back());
        uint32_t child = u32(node, 4);
        for (size_t at = 0; at + 8 <= node.size(); at += 8)
            if (u32(node, at) <= rowId)
                child = u32(node, at + 4);
        path.push_back(child);
    }
    return path;
}

void TableEditor::storeNode(std::vector<uint32_t>& path, size_t depth, const Bytes& node) {
    if (heap_.replace(path[depth], node))
        return;
    // The node outgrew its block: it moves, and its parent follows.
    const uint32_t moved = heap_.add(node);
    heap_.free(path[depth]);
    const uint32_t was = path[depth];
    path[depth] = moved;
    if (depth == 0) {
        Bytes header = heap_.item(indexHid_);
        put32(header, 4, moved);
        heap_.replace(indexHid_, header);
        return;
    }
    Bytes parent = heap_.item(path[depth - 1]);
    for (size_t at = 0; at + 8 <= parent.size(); at += 8)
        if (u32(parent, at + 4) == was)
            put32(parent, at + 4, moved);
    storeNode(path, depth - 1, parent);
}

void TableEditor::insertIndex(uint32_t rowId, uint32_t rowIndex) {
    Bytes header = heap_.item(indexHid_);
    if (u32(header, 4) == 0) {
        put32(header, 4, heap_.add(record(rowId, rowIndex)));
        header[3] = 0;
        heap_.replace(indexHid_, header);
        return;
    }
    std::vector<uint32_t> path = pathTo(rowId);
    // Insert into the leaf; then, level by level, split what is too big.
    Bytes insert = record(rowId, rowIndex);
    for (size_t depth = path.size(); depth-- > 0;) {
        Bytes node = heap_.item(path[depth]);
        size_t at = 0;
        while (at + 8 <= node.size() && u32(node, at) < u32(insert, 0))
            at += 8;
        if (depth == path.size() - 1 && at + 8 <= node.size() && u32(node, at) == rowId)
            node.erase(node.begin() + static_cast<std::ptrdiff_t>(at), node.begin() + static_cast<std::ptrdiff_t>(at + 8));
        node.insert(node.begin() + static_cast<std::ptrdiff_t>(at), insert.begin(), insert.end());
        const bool newFirst = at == 0;
        if (node.size() <= kMaxItem) {
            storeNode(path, depth, node);
            // A new smallest key: the index keys above follow.
            if (newFirst)
                for (size_t d = depth; d-- > 0;) {
                    Bytes parent = heap_.item(path[d]);
                    for (size_t p = 0; p + 8 <= parent.size(); p += 8)
                        if (u32(parent, p + 4) == path[d + 1])
                            put32(parent, p, u32(insert, 0));
                    storeNode(path, d, parent);
                    if (u32(parent, 0) != u32(insert, 0))
                        break;
                }
            return;
        }
        const size_t half = (node.size() / 8 / 2) * 8;
        Bytes left = slice(node, 0, half), right = slice(node, half, node.size() - half);
        storeNode(path, depth, left);
        // storeNode may have moved it; read where it is now.
        const uint32_t rightHid = heap_.add(right);
        if (depth == 0) {
            Bytes h = heap_.item(indexHid_);
            Bytes root;
            appendBytes(root, record(u32(left, 0), u32(h, 4)));
            appendBytes(root, record(u32(right, 0), rightHid));
            put32(h, 4, heap_.add(root));
            h[3] = static_cast<uint8_t>(h[3] + 1);
            heap_.replace(indexHid_, h);
            return;
        }
        insert = record(u32(right, 0), rightHid);
    }
}

void TableEditor::appendRow(uint32_t rowId, const Properties& cells) {
    const Bytes row = encodeRow(rowId, cells);
    const uint32_t index = matrixRows();
    appendToMatrix(row);
    insertIndex(rowId, index);
}

bool TableEditor::updateRow(uint32_t rowId, const Properties& cells) {
    std::optional<uint32_t> index = findRowIndex(rowId);
    if (!index)
        return false;
    freeRowValues(matrixRow(*index));
    setMatrixRow(*index, encodeRow(rowId, cells));
    return true;
}

bool TableEditor::hasCell(const Bytes& row, const Column& c) const {
    return (row[cebOffset_ + c.bit / 8] >> (7 - c.bit % 8)) & 1;
}

std::optional<Properties> TableEditor::rowCells(uint32_t rowId) {
    std::optional<uint32_t> index = findRowIndex(rowId);
    if (!index)
        return std::nullopt;
    const Bytes row = matrixRow(*index);
    Properties cells;
    for (const Column& c : columns_) {
        if (!hasCell(row, c))
            continue;
        Value v{static_cast<uint16_t>(c.tag & 0xFFFF), {}};
        const size_t fixed = fixedSize(v.type);
        if (fixed && fixed <= c.size) {
            v.bytes = slice(row, c.offset, fixed);
        } else if (c.size == 4) {
            const uint32_t hnid = u32(row, c.offset);
            if (isHid(hnid)) {
                v.bytes = heap_.item(hnid);
            } else {
                auto it = subnodes_.find(hnid);
                if (it == subnodes_.end())
                    corrupt("a table value in a subnode that does not exist");
                v.bytes = ndb_.readData(it->second.bidData);
            }
        } else {
            v.bytes = slice(row, c.offset, c.size);
        }
        cells[c.tag] = std::move(v);
    }
    return cells;
}

void TableEditor::freeRowValues(const Bytes& row) {
    for (const Column& c : columns_) {
        const uint16_t type = static_cast<uint16_t>(c.tag & 0xFFFF);
        const bool present = hasCell(row, c);
        const size_t fixed = fixedSize(type);
        if (present && !(fixed && fixed <= c.size) && c.size == 4)
            freeValue(u32(row, c.offset));
    }
}

bool TableEditor::removeRow(uint32_t rowId) {
    std::optional<uint32_t> index = findRowIndex(rowId);
    if (!index)
        return false;
    const uint32_t last = matrixRows() - 1;
    if (*index > last)
        corrupt("a table's index names a row it does not have");
    freeRowValues(matrixRow(*index));
    if (*index != last) {
        const Bytes moved = matrixRow(last);
        auto idColumn = std::find_if(columns_.begin(), columns_.end(),
                                     [](const Column& c) { return c.tag == kRowIdTag && c.size >= 4; });
        if (idColumn == columns_.end())
            corrupt("a table without its rows' ids");
        const uint32_t movedId = u32(moved, idColumn->offset);
        setMatrixRow(*index, moved);
        insertIndex(movedId, *index); // its record now names the new place
    }
    removeIndex(rowId);
    dropLastMatrixRow();
    return true;
}

void TableEditor::dropLastMatrixRow() {
    if (isHid(rowsHnid_)) {
        Bytes all = heap_.item(rowsHnid_);
        all.resize(all.size() - rowSize_);
        if (all.empty()) {
            heap_.free(rowsHnid_);
            rowsHnid_ = 0;
            writeInfo();
        } else {
            heap_.replace(rowsHnid_, all);
        }
        return;
    }
    const size_t n = matrix_->size();
    const size_t size = matrix_->blockSize(n - 1);
    if (size > rowSize_) {
        Bytes block = matrix_->get(n - 1);
        block.resize(size - rowSize_);
        matrix_->set(n - 1, std::move(block));
    } else if (n > 1) {
        matrix_->removeLast();
    } else {
        // The last row of a matrix of its own: the subnode goes, and the
        // old list of subnodes lets go of its data when it is replaced.
        subnodes_.erase(rowsHnid_);
        subnodesChanged_ = true;
        matrix_.reset();
        rowsHnid_ = 0;
        writeInfo();
    }
}

void TableEditor::removeIndex(uint32_t rowId) {
    std::vector<uint32_t> path = pathTo(rowId);
    if (!path.front())
        corrupt("a table's index is empty");
    // Out of the leaf; a node left empty goes from its parent in turn. A
    // key above that is now smaller than its subtree's first still leads
    // the search there, so it stays.
    uint32_t gone = rowId;
    bool leaf = true;
    for (size_t depth = path.size(); depth-- > 0;) {
        Bytes node = heap_.item(path[depth]);
        size_t at = 0;
        while (at + 8 <= node.size() && (leaf ? u32(node, at) != gone : u32(node, at + 4) != gone))
            at += 8;
        if (at + 8 > node.size())
            corrupt("a table's index lacks a row it has");
        node.erase(node.begin() + static_cast<std::ptrdiff_t>(at), node.begin() + static_cast<std::ptrdiff_t>(at + 8));
        if (!node.empty()) {
            storeNode(path, depth, node);
            return;
        }
        heap_.free(path[depth]);
        gone = path[depth];
        leaf = false;
    }
    // The index is empty.
    Bytes header = heap_.item(indexHid_);
    put32(header, 4, 0);
    header[3] = 0;
    heap_.replace(indexHid_, header);
}

void TableEditor::commit() {
    if (matrix_ && matrix_->changed()) {
        // The subnode list's entry names the new tree; its old tree has
        // been let go by the list of blocks already.
        subnodes_[rowsHnid_].bidData = matrix_->write();
        subnodesChanged_ = true;
        matrixReplaced_.insert(rowsHnid_);
    }
    if (!heap_.changed() && !subnodesChanged_)
        return;
    const uint64_t bidData = heap_.changed() ? heap_.write() : entry_.bidData;
    uint64_t bidSub = entry_.bidSub;
    if (subnodesChanged_) {
        // Entries kept as they were gain the new list as a holder.
        Subnodes old = ndb_.readSubnodes(entry_.bidSub);
        for (const auto& kv : subnodes_) {
            auto was = old.find(kv.first);
            if (was == old.end())
                continue;
            if (matrixReplaced_.count(kv.first)) {
                // Its old data is gone already; the old list must not let
                // go of it again when it goes.
                continue;
            }
            if (was->second.bidData != kv.second.bidData || was->second.bidSub != kv.second.bidSub)
                continue;
            if (kv.second.bidData)
                ndb_.addRef(kv.second.bidData);
            if (kv.second.bidSub)
                ndb_.addRef(kv.second.bidSub);
        }
        bidSub = ndb_.writeSubnodes(subnodes_);
    }
    ndb_.putNode({nid_, bidData, bidSub, entry_.nidParent});
    // The heap's old tree was let go as the new one was written; the old
    // subnode list goes now, keeping what the new list holds.
    if (bidSub != entry_.bidSub && entry_.bidSub) {
        if (matrixReplaced_.empty()) {
            ndb_.release(entry_.bidSub);
        } else {
            // The replaced matrix's old data is already gone: let go of the
            // old list alone and of what else it held.
            Subnodes old = ndb_.readSubnodes(entry_.bidSub);
            ndb_.releaseShallow(entry_.bidSub);
            for (const auto& kv : old) {
                if (matrixReplaced_.count(kv.first))
                    continue;
                if (kv.second.bidData)
                    ndb_.release(kv.second.bidData);
                if (kv.second.bidSub)
                    ndb_.release(kv.second.bidSub);
            }
        }
    }
    matrixReplaced_.clear();
    entry_.bidData = bidData;
    entry_.bidSub = bidSub;
    subnodesChanged_ = false;
}

} // namespace pst
