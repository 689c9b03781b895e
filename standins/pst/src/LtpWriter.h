// Writing property contexts and table contexts as a node's data and
// subnodes, laid out as Outlook lays out its own: a property context's
// B-tree header and leaf first, then its values in property order; a
// table's row index header, its description, its row index and its rows
// first, then its cells' values row by row.
#pragma once
#include "HeapWriter.h"
#include "Ltp.h"
#include "pst/Values.h"

namespace pst {

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

// Subnodes a node's values go to: local ids from Outlook's first upward,
// past those the node has already.
class LocalSubnodes {
public:
    LocalSubnodes(Ndb& ndb, Subnodes& subnodes) : ndb_(ndb), subnodes_(subnodes) {}
    uint32_t add(const Bytes& value) { return place(ndb_.writeData(value)); }
    // Data already written.
    uint32_t place(uint64_t bidData);

private:
    Ndb& ndb_;
    Subnodes& subnodes_;
    uint32_t next_ = kFirstLtpIndex;
};

// Where a table cell's value goes: nowhere for an empty one (HNID 0), the
// heap, or a subnode of its own when it is large.
uint32_t storeCellValue(HeapWriter& heap, LocalSubnodes& local, const Bytes& value);

struct TableRow {
    uint32_t rowId = 0;
    Properties cells; // by tag; only cells whose tag is a column are kept
};

// Writes a table context with the given columns (their places in the row
// as given) and rows (row ids ascending or not: the index sorts them).
WrittenNode writeTableContext(Ndb& ndb, const std::vector<Column>& columns, const std::vector<TableRow>& rows);

// A row's bytes: the cells the table has columns for, each value held in
// the row or stored by `store` (which gives its HNID, 0 for an empty one).
Bytes encodeTableRow(const TableInfo& info, uint32_t rowId, const Properties& cells,
                     const std::function<uint32_t(const Bytes&)>& store);
// The blocks of a row matrix too large for the heap.
std::vector<Bytes> rowMatrixBlocks(const FileFormat& f, const Bytes& rows, uint16_t rowSize);

// The place of each value size in a row: 8- and 4-byte cells, then 2-byte,
// then 1-byte, then the cell bits; what Outlook's templates do.
std::vector<Column> layoutColumns(std::vector<uint32_t> tags);
uint16_t rowSizeOf(const std::vector<Column>& columns);

} // namespace pst
