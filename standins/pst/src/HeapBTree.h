// B-trees on a heap (BTH): a new one laid out as Outlook lays out its own,
// its header first and its nodes from the root down before the values they
// point to; and a table's row index changed row by row.
#pragma once
#include "HeapWriter.h"

#include <optional>

namespace pst {

// A new B-tree on a heap, allocated in two steps so that its header and
// nodes take the places Outlook gives them: the header where the tree is
// made, the nodes when their number is known, their records last.
class HeapBTreeBuilder {
public:
    // Allocates the tree's header.
    HeapBTreeBuilder(HeapWriter& heap, uint8_t keySize, uint8_t dataSize);
    uint32_t header() const { return header_; }
    // Allocates the nodes for `count` records: the root, then each level
    // below it from left to right.
    void reserve(size_t count);
    // Writes the records (key then data, sorted by key, as many as were
    // reserved) into the nodes, and the header over them.
    void fill(const Bytes& records);

private:
    size_t recordSize(size_t level) const { return keySize_ + (level ? 4u : dataSize_); }
    HeapWriter& heap_;
    uint8_t keySize_, dataSize_;
    uint32_t header_;
    size_t count_ = 0;
    // Per level from the leaves up: each node's HID and record count.
    std::vector<std::vector<std::pair<uint32_t, size_t>>> levels_;
};

// A row index record: the row id, then the row number in the format's
// size (4 bytes in the Unicode format, 2 in the ANSI one).
Bytes rowIndexRecord(uint32_t rowId, uint32_t row, uint8_t dataSize);

// A table's row index: row ids (4 bytes) to row numbers.
class RowIndex {
public:
    RowIndex(HeapWriter& heap, uint32_t headerHid);
    std::optional<uint32_t> find(uint32_t rowId);
    // Adds the row, or points its record at a new row number.
    void insert(uint32_t rowId, uint32_t rowIndex);
    void remove(uint32_t rowId);

private:
    std::vector<uint32_t> pathTo(uint32_t rowId);
    // Stores a changed node, moving it when it no longer fits and
    // updating what points to it.
    void storeNode(std::vector<uint32_t>& path, size_t depth, const Bytes& node);

    size_t leafRecord() const { return 4u + dataSize_; }

    HeapWriter& heap_;
    uint32_t header_;
    uint8_t dataSize_ = 4;
};

} // namespace pst
