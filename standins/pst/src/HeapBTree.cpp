#include "HeapBTree.h"

#include <algorithm>

namespace pst {

namespace {

// An index record: a key and a child's HID.
constexpr size_t kIndexRecord = 8;

Bytes record(uint32_t key, uint32_t value) {
    Bytes r;
    append32(r, key);
    append32(r, value);
    return r;
}

} // namespace

Bytes rowIndexRecord(uint32_t rowId, uint32_t row, uint8_t dataSize) {
    Bytes r;
    append32(r, rowId);
    if (dataSize == 2 && row > 0xFFFF)
        throw Error(ErrorKind::Full, "a folder of an ANSI personal folders file holds at most 65,536 items");
    if (dataSize == 2)
        append16(r, static_cast<uint16_t>(row));
    else
        append32(r, row);
    return r;
}

// --- a new tree ----------------------------------------------------------

HeapBTreeBuilder::HeapBTreeBuilder(HeapWriter& heap, uint8_t keySize, uint8_t dataSize)
    : heap_(heap), keySize_(keySize), dataSize_(dataSize), header_(heap.add(Bytes(kBthHeader, 0))) {}

void HeapBTreeBuilder::reserve(size_t count) {
    count_ = count;
    levels_.clear();
    // How many records each node takes, level by level from the leaves.
    for (size_t level = 0, below = count; below > 0 && (level == 0 || below > 1); ++level) {
        const size_t per = kMaxHeapItem / recordSize(level);
        std::vector<std::pair<uint32_t, size_t>> nodes;
        for (size_t start = 0; start < below; start += per)
            nodes.emplace_back(0, std::min(per, below - start));
        below = nodes.size();
        levels_.push_back(std::move(nodes));
    }
    for (size_t level = levels_.size(); level-- > 0;)
        for (auto& node : levels_[level])
            node.first = heap_.add(Bytes(node.second * recordSize(level), 0));
}

void HeapBTreeBuilder::fill(const Bytes& records) {
    if (records.size() != count_ * recordSize(0))
        throw Error(ErrorKind::Invalid, "a heap B-tree given other records than it was made for");
    Bytes header(kBthHeader, 0);
    header[0] = kClientBTree;
    header[1] = keySize_;
    header[2] = dataSize_;
    // Each level's nodes, and below the leaves the first key of each node
    // for the level above.
    std::vector<std::pair<Bytes, uint32_t>> below; // first key, HID
    const uint8_t* next = records.data();
    for (size_t level = 0; level < levels_.size(); ++level) {
        std::vector<std::pair<Bytes, uint32_t>> here;
        size_t child = 0;
        for (const auto& node : levels_[level]) {
            Bytes bytes;
            if (level == 0) {
                bytes.assign(next, next + node.second * recordSize(0));
                next += bytes.size();
            } else {
                for (size_t i = 0; i < node.second; ++i, ++child) {
                    appendBytes(bytes, below[child].first);
                    append32(bytes, below[child].second);
                }
            }
            here.emplace_back(Bytes(bytes.begin(), bytes.begin() + keySize_), node.first);
            heap_.replace(node.first, bytes); // the size it was given
        }
        below = std::move(here);
    }
    header[3] = static_cast<uint8_t>(levels_.empty() ? 0 : levels_.size() - 1);
    put32(header, 4, below.empty() ? 0 : below.front().second);
    heap_.replace(header_, header);
}

// --- a table's row index --------------------------------------------------

RowIndex::RowIndex(HeapWriter& heap, uint32_t headerHid) : heap_(heap), header_(headerHid) {
    dataSize_ = u8(heap_.item(header_), 2);
    if (dataSize_ != 2 && dataSize_ != 4)
        corrupt("a table's row index with records of an unknown size");
}

std::optional<uint32_t> RowIndex::find(uint32_t rowId) {
    Bytes header = heap_.item(header_);
    uint32_t hid = u32(header, 4);
    const size_t leaf = leafRecord();
    for (int level = u8(header, 3); hid; --level) {
        Bytes node = heap_.item(hid);
        if (level == 0) {
            for (size_t at = 0; at + leaf <= node.size(); at += leaf)
                if (u32(node, at) == rowId)
                    return dataSize_ == 2 ? u16(node, at + 4) : u32(node, at + 4);
            return std::nullopt;
        }
        uint32_t child = 0;
        for (size_t at = 0; at + kIndexRecord <= node.size(); at += kIndexRecord)
            if (u32(node, at) <= rowId || at == 0)
                child = u32(node, at + 4);
        hid = child;
    }
    return std::nullopt;
}

std::vector<uint32_t> RowIndex::pathTo(uint32_t rowId) {
    // From the root down to the leaf where the row's key is or would be.
    const Bytes header = heap_.item(header_);
    std::vector<uint32_t> path{u32(header, 4)};
    for (int level = u8(header, 3); level > 0; --level) {
        Bytes node = heap_.item(path.back());
        uint32_t child = u32(node, 4);
        for (size_t at = 0; at + kIndexRecord <= node.size(); at += kIndexRecord)
            if (u32(node, at) <= rowId)
                child = u32(node, at + 4);
        path.push_back(child);
    }
    return path;
}

void RowIndex::storeNode(std::vector<uint32_t>& path, size_t depth, const Bytes& node) {
    if (heap_.replace(path[depth], node))
        return;
    // The node outgrew its block: it moves, and its parent follows.
    const uint32_t moved = heap_.add(node);
    heap_.free(path[depth]);
    const uint32_t was = path[depth];
    path[depth] = moved;
    if (depth == 0) {
        Bytes header = heap_.item(header_);
        put32(header, 4, moved);
        heap_.replace(header_, header);
        return;
    }
    Bytes parent = heap_.item(path[depth - 1]);
    for (size_t at = 0; at + kIndexRecord <= parent.size(); at += kIndexRecord)
        if (u32(parent, at + 4) == was)
            put32(parent, at + 4, moved);
    storeNode(path, depth - 1, parent);
}

void RowIndex::insert(uint32_t rowId, uint32_t rowIndex) {
    Bytes header = heap_.item(header_);
    if (u32(header, 4) == 0) {
        put32(header, 4, heap_.add(rowIndexRecord(rowId, rowIndex, dataSize_)));
        header[3] = 0;
        heap_.replace(header_, header);
        return;
    }
    std::vector<uint32_t> path = pathTo(rowId);
    // Insert into the leaf; then, level by level, split what is too big.
    Bytes insert = rowIndexRecord(rowId, rowIndex, dataSize_);
    for (size_t depth = path.size(); depth-- > 0;) {
        const bool leaf = depth == path.size() - 1;
        const size_t step = leaf ? leafRecord() : kIndexRecord;
        Bytes node = heap_.item(path[depth]);
        size_t at = 0;
        while (at + step <= node.size() && u32(node, at) < u32(insert, 0))
            at += step;
        if (leaf && at + step <= node.size() && u32(node, at) == rowId)
            node.erase(node.begin() + static_cast<std::ptrdiff_t>(at), node.begin() + static_cast<std::ptrdiff_t>(at + step));
        node.insert(node.begin() + static_cast<std::ptrdiff_t>(at), insert.begin(), insert.end());
        const bool newFirst = at == 0;
        if (node.size() <= kMaxHeapItem) {
            storeNode(path, depth, node);
            // A new smallest key: the index keys above follow.
            if (newFirst)
                for (size_t d = depth; d-- > 0;) {
                    Bytes parent = heap_.item(path[d]);
                    for (size_t p = 0; p + kIndexRecord <= parent.size(); p += kIndexRecord)
                        if (u32(parent, p + 4) == path[d + 1])
                            put32(parent, p, u32(insert, 0));
                    storeNode(path, d, parent);
                    if (u32(parent, 0) != u32(insert, 0))
                        break;
                }
            return;
        }
        const size_t half = (node.size() / step / 2) * step;
        Bytes left = slice(node, 0, half), right = slice(node, half, node.size() - half);
        storeNode(path, depth, left);
        // storeNode may have moved it; read where it is now.
        const uint32_t rightHid = heap_.add(right);
        if (depth == 0) {
            Bytes h = heap_.item(header_);
            Bytes root;
            appendBytes(root, record(u32(left, 0), u32(h, 4)));
            appendBytes(root, record(u32(right, 0), rightHid));
            put32(h, 4, heap_.add(root));
            h[3] = static_cast<uint8_t>(h[3] + 1);
            heap_.replace(header_, h);
            return;
        }
        insert = record(u32(right, 0), rightHid);
    }
}

void RowIndex::remove(uint32_t rowId) {
    std::vector<uint32_t> path = pathTo(rowId);
    if (!path.front())
        corrupt("a table's index is empty");
    // Out of the leaf; a node left empty goes from its parent in turn. A
    // key above that is now smaller than its subtree's first still leads
    // the search there, so it stays.
    uint32_t gone = rowId;
    bool leaf = true;
    for (size_t depth = path.size(); depth-- > 0;) {
        const size_t step = leaf ? leafRecord() : kIndexRecord;
        Bytes node = heap_.item(path[depth]);
        size_t at = 0;
        while (at + step <= node.size() && (leaf ? u32(node, at) != gone : u32(node, at + 4) != gone))
            at += step;
        if (at + step > node.size())
            corrupt("a table's index lacks a row it has");
        node.erase(node.begin() + static_cast<std::ptrdiff_t>(at), node.begin() + static_cast<std::ptrdiff_t>(at + step));
        if (!node.empty()) {
            storeNode(path, depth, node);
            return;
        }
        heap_.free(path[depth]);
        gone = path[depth];
        leaf = false;
    }
    // The index is empty.
    Bytes header = heap_.item(header_);
    put32(header, 4, 0);
    header[3] = 0;
    heap_.replace(header_, header);
}

} // namespace pst
