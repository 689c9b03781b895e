// Lists, tables and properties: the heap on a node, the B-tree on a heap,
// property contexts and table contexts, read from a node's data.
#pragma once
#include "Ndb.h"

#include <map>
#include <optional>
#include <vector>

namespace pst {

// A heap on a node: items addressed by HID, spread over the node's blocks.
class Heap {
public:
    Heap(std::vector<Bytes> blocks);
    uint8_t clientSignature() const { return client_; }
    uint32_t userRoot() const { return userRoot_; }
    // The item's bytes (empty for HID 0); throws when it does not exist.
    Bytes item(uint32_t hid) const;

private:
    std::vector<Bytes> blocks_;
    uint8_t client_ = 0;
    uint32_t userRoot_ = 0;
};

// The records of a B-tree on a heap, in key order, back to back: each the
// key's bytes, then the data's.
Bytes readBTree(const Heap& heap, uint32_t headerHid, uint8_t keySize, uint8_t dataSize);

// Whether a property of this type is held in the entry itself.
bool isInlineType(uint16_t type);
// The fixed size of a type's value, 0 for variable-size types.
size_t fixedSize(uint16_t type);

// A property value as stored: its type and its bytes (for values of 4 bytes
// or fewer, the 4 bytes of the entry).
struct StoredValue {
    uint16_t type = 0;
    Bytes bytes;
};

// The data of a node's subnode that holds a value too large for its heap.
Bytes subnodeValue(Ndb& ndb, const std::map<uint32_t, SubnodeEntry>& subnodes, uint32_t nid);

// Reads what an HNID names: a heap item or a subnode's data.
class ValueSource {
public:
    ValueSource(Ndb& ndb, const Heap& heap, const std::map<uint32_t, SubnodeEntry>& subnodes)
        : ndb_(ndb), heap_(heap), subnodes_(subnodes) {}
    Bytes read(uint32_t hnid) const;

private:
    Ndb& ndb_;
    const Heap& heap_;
    const std::map<uint32_t, SubnodeEntry>& subnodes_;
};


// A property context (a folder, message, attachment or the store itself).
struct PropertyContext {
    std::map<uint16_t, StoredValue> properties; // by property id
};
PropertyContext readPropertyContext(Ndb& ndb, uint64_t bidData, const std::map<uint32_t, SubnodeEntry>& subnodes);

struct Column {
    uint32_t tag = 0;
    uint16_t offset = 0;
    uint8_t size = 0;
    uint8_t bit = 0;
};

// A table's description (TCINFO): its columns, where each group of cells
// ends in a row (8- and 4-byte cells, 2-byte, 1-byte, then the cell bits;
// the last is the row's size), its row index and its rows.
struct TableInfo {
    std::vector<Column> columns;
    uint16_t ends[4] = {0, 0, 0, 0};
    uint32_t rowIndex = 0; // the HID of the row index's header
    uint32_t rows = 0;     // the row matrix: a HID, a subnode, or 0 for none
    uint16_t rowSize() const { return ends[3]; }
    uint16_t cellBits() const { return ends[2]; }
};
// Parses and checks a description: every column inside the row.
TableInfo parseTableInfo(const Bytes& info);
Bytes tableInfoBytes(const TableInfo& info);
// Rows in each block of a row matrix too large for the heap: whole rows,
// every block but the last as long as a block can be.
inline size_t rowsPerBlock(const FileFormat& f, uint16_t rowSize) { return f.maxBlockData() / rowSize; }

// Whether a row has a cell in the column.
inline bool hasCell(const Bytes& row, const TableInfo& info, const Column& c) {
    return (row[info.cellBits() + c.bit / 8] >> (7 - c.bit % 8)) & 1;
}
// Whether the column's cells hold their values, rather than an HNID.
inline bool cellHoldsValue(const Column& c) {
    const size_t fixed = fixedSize(static_cast<uint16_t>(c.tag & 0xFFFF));
    return fixed && fixed <= c.size;
}
// A present cell's value, read through `readHnid` when the row holds an
// HNID for it.
template <class ReadHnid>
StoredValue cellValue(const Bytes& row, const Column& c, ReadHnid&& readHnid) {
    StoredValue v;
    v.type = static_cast<uint16_t>(c.tag & 0xFFFF);
    if (cellHoldsValue(c))
        v.bytes = slice(row, c.offset, fixedSize(v.type));
    else if (c.size == 4)
        v.bytes = readHnid(u32(row, c.offset));
    else
        v.bytes = slice(row, c.offset, c.size);
    return v;
}

// A table context: its columns and, per row, the cells present.
struct TableContext {
    std::vector<Column> columns;
    uint16_t rowSize = 0;
    struct Row {
        uint32_t rowId = 0;
        std::map<uint32_t, StoredValue> cells; // by property tag
    };
    std::vector<Row> rows;
};
TableContext readTableContext(Ndb& ndb, uint64_t bidData, const std::map<uint32_t, SubnodeEntry>& subnodes);

} // namespace pst
