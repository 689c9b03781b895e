// Writing a heap on a node, new or changed: the one writer of heap blocks,
// so that every heap the engine leaves behind is laid out alike, as
// Outlook lays out its own: items in the order they were allocated, each
// block's map right after its items, every block but the last as long as
// a block can be, and the fill levels where the format keeps them.
#pragma once
#include "BlockList.h"

#include <set>

namespace pst {

class HeapWriter {
public:
    // A new, empty heap for a client of this kind.
    HeapWriter(Ndb& ndb, uint8_t clientSignature);
    // The heap of a node's data, to be changed.
    HeapWriter(Ndb& ndb, uint64_t bidData);

    uint8_t clientSignature();
    uint32_t userRoot();
    void setUserRoot(uint32_t hid);
    Bytes item(uint32_t hid);
    size_t itemSize(uint32_t hid);
    // False when the item would no longer fit in its block.
    bool replace(uint32_t hid, const Bytes& bytes);
    // Frees an item: its id may be given to a later one.
    void free(uint32_t hid);
    uint32_t add(const Bytes& bytes) { return add(bytes.data(), bytes.size()); }
    uint32_t add(const uint8_t* bytes, size_t size);
    bool changed() const { return !dirty_.empty() || blocks_.changed(); }
    // Writes what changed; returns the heap's data tree for the node.
    uint64_t write();

private:
    // A block's items back to back in one buffer (a block is parsed for
    // every table change, and may hold hundreds of items).
    struct Block {
        Bytes header;             // the block's own header bytes
        Bytes data;               // the items
        std::vector<size_t> ends; // where each item ends in `data`
        size_t count() const { return ends.size(); }
        size_t begin(size_t i) const { return i ? ends[i - 1] : 0; }
        size_t size(size_t i) const { return ends[i] - begin(i); }
        Bytes get(size_t i) const;
        void set(size_t i, const uint8_t* bytes, size_t size);
        void push(const uint8_t* bytes, size_t size);
        void pop();
        // Bytes the block takes with `dataBytes` of items and `items` of them.
        static size_t bytesFor(size_t index, size_t dataBytes, size_t items);
    };
    Block& block(size_t index);
    Block parse(size_t index, const Bytes& raw) const;
    Bytes serialize(size_t index, const Block& b) const;
    void setFillLevel(size_t index, const Block& b);
    void touch(size_t index) { dirty_.insert(index); }
    uint32_t locate(uint32_t hid, size_t* index);

    BlockList blocks_;
    size_t blockMax_; // the format's largest block: the heap's blocks fill to it
    std::map<size_t, Block> parsed_;
    std::set<size_t> dirty_;   // blocks changed since they were last written
    std::set<uint32_t> freed_; // items this writer freed
};

} // namespace pst
