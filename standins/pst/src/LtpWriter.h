// Building heaps, B-trees on heaps, property contexts and table contexts,
// and writing them as a node's data and subnodes.
#pragma once
#include "Ltp.h"
#include "pst/Values.h"

namespace pst {

// A heap built item by item; an item's HID is known when it is added.
class HeapBuilder {
public:
    explicit HeapBuilder(uint8_t clientSignature) : client_(clientSignature) { blocks_.emplace_back(); }
    uint32_t add(const Bytes& item);
    uint32_t add(const uint8_t* item, size_t size);
    void setUserRoot(uint32_t hid) { userRoot_ = hid; }
    // The heap's blocks, each at most 8176 bytes.
    std::vector<Bytes> blocks() const;

private:
    struct Block {
        Bytes data;                  // the items back to back
        std::vector<uint16_t> ends;  // where each ends in `data`
    };
    size_t headerSize(size_t block) const;
    uint8_t client_;
    uint32_t userRoot_ = 0;
    std::vector<Block> blocks_;
};

// A B-tree on the heap over sorted records (back to back, key then data);
// returns its header's HID.
uint32_t buildBTree(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize, const Bytes& records);

// What a node's data and subnodes are once written.
struct WrittenNode {
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};

// Writes a property context. Values too large for the heap go to subnodes
// of their own; `keep` are further subnodes of the node (a message's
// recipient and attachment tables) kept as they are.
// `external` are values already written as subnodes (by tag): the property
// names the subnode, which joins the node's subnodes.
WrittenNode writePropertyContext(Ndb& ndb, const Properties& properties, const Subnodes& keep = {},
                                 const std::map<uint32_t, SubnodeEntry>& external = {});

struct TableRow {
    uint32_t rowId = 0;
    Properties cells; // by tag; only cells whose tag is a column are kept
};

// Writes a table context with the given columns (their places in the row
// as given) and rows (row ids ascending or not: the index sorts them).
WrittenNode writeTableContext(Ndb& ndb, const std::vector<Column>& columns, const std::vector<TableRow>& rows);

// The place of each value size in a row: 8- and 4-byte cells, then 2-byte,
// then 1-byte, then the cell bits; what Outlook's templates do.
std::vector<Column> layoutColumns(std::vector<uint32_t> tags);
uint16_t rowSizeOf(const std::vector<Column>& columns);

} // namespace pst
