// Lists, tables and properties: the heap on a node, the B-tree on a heap,
// property contexts and table contexts, read from a node's data.
#pragma once
#include "Ndb.h"

#include <map>
#include <optional>
#include <vector>

namespace pst {

constexpr uint8_t kHeapSignature = 0xEC;
constexpr uint8_t kClientTable = 0x7C;
constexpr uint8_t kClientProperties = 0xBC;
constexpr uint8_t kClientBTree = 0xB5;

inline bool isHid(uint32_t hnid) { return (hnid & 0x1F) == 0; }

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

// A property value as stored: its type and its bytes (for values of 4 bytes
// or fewer, the 4 bytes of the entry).
struct StoredValue {
    uint16_t type = 0;
    Bytes bytes;
};

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

// Whether a property of this type is held in the entry itself.
bool isInlineType(uint16_t type);
// The fixed size of a type's value, 0 for variable-size types.
size_t fixedSize(uint16_t type);

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
