// Changing a table context in place: a row added or changed rewrites only
// the heap blocks and row-matrix blocks it touches, and the data-tree
// blocks above them, so that the cost of adding a row to a table does not
// grow with the table.
#pragma once
#include "LtpWriter.h"

#include <map>
#include <set>
#include <optional>

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

// A heap whose items can be replaced or added one at a time.
class EditableHeap {
public:
    EditableHeap(Ndb& ndb, uint64_t bidData);
    uint8_t clientSignature();
    uint32_t userRoot();
    Bytes item(uint32_t hid);
    // False when the item no longer fits in its block.
    bool replace(uint32_t hid, const Bytes& bytes);
    // Frees an item: its id may be given to a later one.
    void free(uint32_t hid);
    uint32_t add(const Bytes& bytes);
    bool changed() const { return blocks_.changed(); }
    uint64_t write();

private:
    // A block's items back to back in one buffer (a block is parsed for
    // every table change, and may hold hundreds of items).
    struct Parsed {
        Bytes header;             // the block's own header bytes
        Bytes data;               // the items
        std::vector<size_t> ends; // where each item ends in `data`
        size_t count() const { return ends.size(); }
        size_t begin(size_t i) const { return i ? ends[i - 1] : 0; }
        size_t size(size_t i) const { return ends[i] - begin(i); }
        Bytes get(size_t i) const {
            return Bytes(data.begin() + static_cast<std::ptrdiff_t>(begin(i)),
                         data.begin() + static_cast<std::ptrdiff_t>(ends[i]));
        }
        void set(size_t i, const Bytes& bytes);
        void push(const Bytes& bytes);
        void pop();
    };
    Parsed& parsed(size_t block);
    Bytes serialize(size_t block, const Parsed& p) const;
    size_t serializedSize(size_t block, const Parsed& p) const;
    size_t serializedSize(size_t block, const Parsed& p, size_t dataBytes) const;
    void store(size_t block);
    void setFill(size_t block, size_t freeBytes);

    BlockList blocks_;
    std::map<size_t, Parsed> parsed_;
    std::set<uint32_t> freed_; // items this editor freed
};

class TableEditor {
public:
    TableEditor(Ndb& ndb, uint32_t tableNid);
    const std::vector<Column>& columns() const { return columns_; }
    void appendRow(uint32_t rowId, const Properties& cells);
    // False when the table has no row of that id.
    bool updateRow(uint32_t rowId, const Properties& cells);
    // The cells of a row as stored, if the table has it.
    std::optional<Properties> rowCells(uint32_t rowId);
    // Removes a row in place: the last row takes its place, so that the
    // cost does not grow with the table. False when there is no such row.
    bool removeRow(uint32_t rowId);
    // Points the table's node at what changed.
    void commit();

private:
    Bytes encodeRow(uint32_t rowId, const Properties& cells);
    uint32_t storeValue(const Bytes& value);
    void freeValue(uint32_t hnid);
    std::optional<uint32_t> findRowIndex(uint32_t rowId);
    std::vector<uint32_t> pathTo(uint32_t rowId);
    void insertIndex(uint32_t rowId, uint32_t rowIndex);
    void removeIndex(uint32_t rowId);
    bool hasCell(const Bytes& row, const Column& c) const;
    void freeRowValues(const Bytes& row);
    void dropLastMatrixRow();
    uint32_t matrixRows();
    void appendToMatrix(const Bytes& row);
    Bytes matrixRow(uint32_t index);
    void setMatrixRow(uint32_t index, const Bytes& row);
    void writeInfo();
    // Stores a changed B-tree node, moving it when it no longer fits and
    // updating what points to it.
    void storeNode(std::vector<uint32_t>& path, size_t depth, const Bytes& node);

    Ndb& ndb_;
    uint32_t nid_;
    NodeEntry entry_;
    EditableHeap heap_;
    Subnodes subnodes_;
    bool subnodesChanged_ = false;
    std::vector<Column> columns_;
    Bytes info_;
    uint16_t rowSize_ = 0, cebOffset_ = 0;
    uint32_t infoHid_ = 0, indexHid_ = 0, rowsHnid_ = 0;
    std::optional<BlockList> matrix_; // the row matrix when it is a subnode
    std::set<uint32_t> matrixReplaced_;
    uint32_t nextLocal_ = 0x400;
};

} // namespace pst
