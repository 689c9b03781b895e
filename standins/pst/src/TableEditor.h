// Changing a table context in place: a row added or changed rewrites only
// the heap blocks and row-matrix blocks it touches, and the data-tree
// blocks above them, so that the cost of adding a row to a table does not
// grow with the table.
#pragma once
#include "HeapBTree.h"
#include "LtpWriter.h"

#include <optional>
#include <set>

namespace pst {

class TableEditor {
public:
    TableEditor(Ndb& ndb, uint32_t tableNid);
    // Its parts refer to one another.
    TableEditor(const TableEditor&) = delete;
    TableEditor& operator=(const TableEditor&) = delete;
    const std::vector<Column>& columns() const { return info_.columns; }
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
    void freeRowValues(const Bytes& row);
    uint16_t rowSize() const { return info_.rowSize(); }
    uint32_t matrixRows();
    void appendToMatrix(const Bytes& row);
    void moveMatrixToSubnode(const Bytes& rows);
    void dropLastMatrixRow();
    Bytes matrixRow(uint32_t index);
    void setMatrixRow(uint32_t index, const Bytes& row);
    void writeInfo();

    Ndb& ndb_;
    uint32_t nid_;
    NodeEntry entry_;
    HeapWriter heap_;
    Subnodes subnodes_;
    LocalSubnodes local_{ndb_, subnodes_};
    bool subnodesChanged_ = false;
    uint32_t infoHid_ = 0;
    TableInfo info_;
    std::optional<RowIndex> index_;
    std::optional<BlockList> matrix_; // the row matrix when it is a subnode
    std::set<uint32_t> matrixReplaced_;
};

} // namespace pst
