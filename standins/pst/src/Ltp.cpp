#include "Ltp.h"

#include "AnsiText.h"

#include <algorithm>

namespace pst {

namespace {

constexpr size_t kMaxTreeDepth = 8;

} // namespace

Heap::Heap(std::vector<Bytes> blocks) : blocks_(std::move(blocks)) {
    if (blocks_.empty())
        corrupt("a heap without data");
    const Bytes& first = blocks_[0];
    if (u8(first, 2) != kHeapSignature)
        corrupt("a heap without its signature");
    client_ = u8(first, 3);
    userRoot_ = u32(first, 4);
}

Bytes Heap::item(uint32_t hid) const {
    if (hid == 0)
        return {};
    if (!isHid(hid))
        corrupt("a heap reference that is not a heap id");
    const size_t index = hidIndex(hid);
    const size_t blockIndex = hidBlock(hid);
    if (index == 0 || blockIndex >= blocks_.size())
        corrupt("a heap reference out of range");
    const Bytes& b = blocks_[blockIndex];
    const size_t map = u16(b, 0);
    const size_t allocations = u16(b, map);
    if (index > allocations)
        corrupt("a heap item that does not exist");
    const size_t start = u16(b, map + kHeapMapHeader + 2 * (index - 1));
    const size_t end = u16(b, map + kHeapMapHeader + 2 * index);
    if (end < start || end > map)
        corrupt("a heap item out of its block");
    return slice(b, start, end - start);
}

Bytes readBTree(const Heap& heap, uint32_t headerHid, uint8_t keySize, uint8_t dataSize) {
    Bytes header = heap.item(headerHid);
    if (u8(header, 0) != kClientBTree)
        corrupt("a B-tree on the heap without its signature");
    const uint8_t cbKey = u8(header, 1), cbEnt = u8(header, 2), levels = u8(header, 3);
    const uint32_t root = u32(header, 4);
    if (cbKey != keySize || cbEnt != dataSize)
        corrupt("a B-tree on the heap with unexpected record sizes");
    if (levels > kMaxTreeDepth)
        corrupt("a B-tree on the heap is too deep");
    Bytes out;
    auto visit = [&](auto&& self, uint32_t hid, int level) -> void {
        Bytes node = heap.item(hid);
        const size_t record = level > 0 ? cbKey + 4u : static_cast<size_t>(cbKey) + cbEnt;
        if (node.size() % record != 0)
            corrupt("a B-tree node on the heap has a partial record");
        if (level == 0) {
            appendBytes(out, node);
            return;
        }
        for (size_t at = 0; at < node.size(); at += record)
            self(self, u32(node, at + cbKey), level - 1);
    };
    if (root)
        visit(visit, root, levels);
    return out;
}

Bytes subnodeValue(Ndb& ndb, const std::map<uint32_t, SubnodeEntry>& subnodes, uint32_t nid) {
    auto it = subnodes.find(nid);
    if (it == subnodes.end())
        corrupt("a value in a subnode that does not exist");
    return ndb.readData(it->second.bidData);
}

Bytes ValueSource::read(uint32_t hnid) const {
    return isHid(hnid) ? heap_.item(hnid) : subnodeValue(ndb_, subnodes_, hnid);
}

bool isInlineType(uint16_t type) {
    switch (type) {
    case 0x0002: // int16
    case 0x0003: // int32
    case 0x0004: // float
    case 0x000A: // error
    case 0x000B: // boolean
        return true;
    default:
        return false;
    }
}

size_t fixedSize(uint16_t type) {
    switch (type) {
    case 0x0002: return 2;
    case 0x0003: case 0x0004: case 0x000A: return 4;
    case 0x000B: return 1;
    case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
    case 0x0048: return 16;
    default: return 0;
    }
}

namespace {

// An ANSI store's strings as the engine hands them out: Unicode.
void widen(StoredValue& v) {
    if (wideType(v.type) == v.type)
        return;
    Value w = widened(Value{v.type, std::move(v.bytes)});
    v.type = w.type;
    v.bytes = std::move(w.bytes);
}

} // namespace

PropertyContext readPropertyContext(Ndb& ndb, uint64_t bidData, const std::map<uint32_t, SubnodeEntry>& subnodes) {
    Heap heap(ndb.readDataBlocks(bidData));
    if (heap.clientSignature() != kClientProperties)
        corrupt("a property context of another kind");
    ValueSource values(ndb, heap, subnodes);
    PropertyContext pc;
    const Bytes records = readBTree(heap, heap.userRoot(), kPcKeySize, kPcDataSize);
    for (size_t at = 0; at < records.size(); at += 8) {
        const uint16_t id = u16(records, at);
        StoredValue v;
        v.type = u16(records, at + 2);
        const uint32_t hnid = u32(records, at + 4);
        if (isInlineType(v.type))
            v.bytes = slice(records, at + 4, 4);
        else
            v.bytes = values.read(hnid);
        if (ndb.format().ansi)
            widen(v);
        pc.properties[id] = std::move(v);
    }
    return pc;
}

TableInfo parseTableInfo(const Bytes& info) {
    if (u8(info, 0) != kClientTable)
        corrupt("a table without its signature");
    TableInfo t;
    const uint8_t columns = u8(info, 1);
    for (size_t i = 0; i < 4; ++i)
        t.ends[i] = u16(info, 2 + 2 * i);
    t.rowIndex = u32(info, 10);
    t.rows = u32(info, 14);
    if (t.rowSize() == 0)
        corrupt("a table with rows of no size");
    if (static_cast<size_t>(t.cellBits()) + (columns + 7) / 8 > t.rowSize())
        corrupt("a table's cell bits outside its row");
    for (size_t i = 0; i < columns; ++i) {
        const size_t at = kTcInfoHeader + kTcColumn * i;
        Column c{u32(info, at), u16(info, at + 4), u8(info, at + 6), u8(info, at + 7)};
        if (static_cast<size_t>(c.offset) + c.size > t.rowSize())
            corrupt("a table column outside its row");
        if (c.bit >= 8 * ((columns + 7) / 8))
            corrupt("a table column's cell bit outside the cell bits");
        t.columns.push_back(c);
    }
    return t;
}

Bytes tableInfoBytes(const TableInfo& t) {
    Bytes info;
    info.reserve(kTcInfoHeader + kTcColumn * t.columns.size());
    info.push_back(kClientTable);
    info.push_back(static_cast<uint8_t>(t.columns.size()));
    for (uint16_t end : t.ends)
        append16(info, end);
    append32(info, t.rowIndex);
    append32(info, t.rows);
    append32(info, 0); // hidIndex, deprecated
    for (const Column& c : t.columns) {
        append32(info, c.tag);
        append16(info, c.offset);
        info.push_back(c.size);
        info.push_back(c.bit);
    }
    return info;
}

TableContext readTableContext(Ndb& ndb, uint64_t bidData, const std::map<uint32_t, SubnodeEntry>& subnodes) {
    Heap heap(ndb.readDataBlocks(bidData));
    if (heap.clientSignature() != kClientTable)
        corrupt("a table context of another kind");
    ValueSource values(ndb, heap, subnodes);
    const TableInfo info = parseTableInfo(heap.item(heap.userRoot()));
    TableContext tc;
    tc.columns = info.columns;
    const bool ansi = ndb.format().ansi;
    if (ansi)
        for (Column& c : tc.columns)
            c.tag = wideTag(c.tag);
    tc.rowSize = info.rowSize();

    // The row matrix: in the heap, or in a subnode whose every block holds
    // whole rows.
    std::vector<Bytes> matrixBlocks;
    if (info.rows) {
        if (isHid(info.rows)) {
            matrixBlocks.push_back(heap.item(info.rows));
        } else {
            auto it = subnodes.find(info.rows);
            if (it == subnodes.end())
                corrupt("a table's rows in a subnode that does not exist");
            matrixBlocks = ndb.readDataBlocks(it->second.bidData);
        }
    }
    const size_t perBlock = rowsPerBlock(ndb.format(), tc.rowSize);
    size_t matrixRows = 0;
    for (const Bytes& b : matrixBlocks)
        matrixRows += std::min(perBlock, b.size() / tc.rowSize);
    const uint8_t dataSize = ndb.format().rowIndexData;
    const size_t recordSize = kRowIndexKeySize + dataSize;
    const Bytes records = readBTree(heap, info.rowIndex, kRowIndexKeySize, dataSize);
    if (records.size() / recordSize != matrixRows)
        corrupt("a table whose index and rows differ in number");
    tc.rows.reserve(matrixRows);
    for (size_t rec = 0; rec + recordSize <= records.size(); rec += recordSize) {
        const uint32_t rowId = u32(records, rec);
        const uint32_t index = dataSize == 2 ? u16(records, rec + 4) : u32(records, rec + 4);
        const size_t block = perBlock ? index / perBlock : 0;
        const size_t at = (perBlock ? index % perBlock : index) * tc.rowSize;
        if (block >= matrixBlocks.size())
            corrupt("a table row outside its rows");
        const Bytes row = slice(matrixBlocks[block], at, tc.rowSize);
        TableContext::Row r;
        r.rowId = rowId;
        for (const Column& c : tc.columns) {
            if (!hasCell(row, info, c))
                continue;
            // Columns lie inside the row (checked above).
            if (c.tag == kTagLtpRowId && c.size >= 4 && u32(row, c.offset) != rowId)
                corrupt("a table's index names another row");
            StoredValue cell = cellValue(row, c, [&](uint32_t hnid) { return values.read(hnid); });
            if (ansi)
                widen(cell);
            r.cells[ansi ? wideTag(c.tag) : c.tag] = std::move(cell);
        }
        tc.rows.push_back(std::move(r));
    }
    return tc;
}

} // namespace pst
