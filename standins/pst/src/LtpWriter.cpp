#include "LtpWriter.h"

#include "AnsiText.h"

#include "HeapBTree.h"

#include <algorithm>

namespace pst {

namespace {

// Bytes a value takes in a row cell, and whether it is held there.
size_t cellSize(uint16_t type) {
    size_t fixed = fixedSize(type);
    if (fixed && fixed <= 8)
        return fixed;
    return 4; // an HNID
}

uint32_t le32(const Bytes& b) {
    uint8_t four[4] = {0, 0, 0, 0};
    std::copy_n(b.begin(), std::min<size_t>(4, b.size()), four);
    return four[0] | (four[1] << 8) | (four[2] << 16) | (static_cast<uint32_t>(four[3]) << 24);
}

} // namespace

uint32_t LocalSubnodes::place(uint64_t bidData) {
    uint32_t nid;
    do
        nid = makeNid(kNidTypeLtp, ++next_);
    while (subnodes_.count(nid));
    subnodes_[nid] = {nid, bidData, 0};
    return nid;
}

uint32_t storeCellValue(HeapWriter& heap, LocalSubnodes& local, const Bytes& value) {
    if (value.empty())
        return 0;
    return value.size() <= kMaxHeapValue ? heap.add(value) : local.add(value);
}

WrittenNode writePropertyContext(Ndb& ndb, const Properties& given, const Subnodes& keep,
                                 const std::map<uint32_t, SubnodeEntry>& external) {
    // An ANSI store keeps its strings in 8 bits.
    const bool ansi = ndb.format().ansi;
    const Properties narrowedCopy = ansi ? narrowedProperties(given) : Properties();
    const Properties& properties = ansi ? narrowedCopy : given;
    Subnodes subnodes = keep;
    for (const auto& kv : external)
        subnodes[kv.second.nid] = kv.second;
    LocalSubnodes local(ndb, subnodes);
    // The properties in tag order; a value written outside takes the place
    // of a property of the same tag.
    struct Entry {
        uint32_t tag;
        const Value* value;  // or
        uint32_t outside;    // the subnode written outside
    };
    std::vector<Entry> entries;
    entries.reserve(properties.size() + external.size());
    auto inside = properties.begin();
    auto outside = external.begin();
    while (inside != properties.end() || outside != external.end()) {
        if (outside != external.end() && (inside == properties.end() || outside->first <= inside->first)) {
            if (inside != properties.end() && inside->first == outside->first)
                ++inside;
            entries.push_back({outside->first, nullptr, outside->second.nid});
            ++outside;
        } else {
            entries.push_back({inside->first, &inside->second, 0});
            ++inside;
        }
    }
    HeapWriter heap(ndb, kClientProperties);
    HeapBTreeBuilder tree(heap, kPcKeySize, kPcDataSize);
    heap.setUserRoot(tree.header());
    auto store = [&](const Value& v) -> uint32_t {
        if (isInlineType(v.type))
            return le32(v.bytes);
        // An empty value is an empty heap item, not "no value": some
        // readers take HID 0 for a missing property.
        return v.bytes.size() <= kMaxHeapValue ? heap.add(v.bytes) : local.add(v.bytes);
    };
    // A message's class is given when Outlook makes it, before the rest:
    // it comes before the tree's leaf.
    auto messageClass = properties.find(kTagMessageClass);
    const bool classFirst = messageClass != properties.end() && !external.count(kTagMessageClass);
    const uint32_t classValue = classFirst ? store(messageClass->second) : 0;
    tree.reserve(entries.size());
    Bytes records;
    records.reserve(8 * entries.size());
    for (const Entry& e : entries) {
        const uint16_t type = e.value ? e.value->type : static_cast<uint16_t>(e.tag & 0xFFFF);
        const uint32_t value = !e.value ? e.outside : classFirst && e.tag == kTagMessageClass ? classValue : store(*e.value);
        append16(records, static_cast<uint16_t>(e.tag >> 16));
        append16(records, type);
        append32(records, value);
    }
    tree.fill(records);
    WrittenNode out;
    out.bidData = heap.write();
    out.bidSub = ndb.writeSubnodes(subnodes);
    return out;
}

Bytes encodeTableRow(const TableInfo& info, uint32_t rowId, const Properties& cells,
                     const std::function<uint32_t(const Bytes&)>& store) {
    Bytes row(info.rowSize(), 0);
    Value id{PT_LONG, {}};
    append32(id.bytes, rowId);
    for (const Column& c : info.columns) {
        const Value* v = &id;
        std::optional<Value> cell;
        if (c.tag != kTagLtpRowId) {
            cell = valueForColumn(cells, c.tag);
            if (!cell)
                continue;
            v = &*cell;
        }
        if (cellHoldsValue(c))
            std::copy_n(v->bytes.begin(), std::min(v->bytes.size(), fixedSize(static_cast<uint16_t>(c.tag & 0xFFFF))),
                        row.begin() + c.offset);
        else
            put32(row, c.offset, store(v->bytes));
        row[info.cellBits() + c.bit / 8] |= static_cast<uint8_t>(0x80 >> (c.bit % 8));
    }
    return row;
}

std::vector<Bytes> rowMatrixBlocks(const FileFormat& f, const Bytes& rows, uint16_t rowSize) {
    const size_t perBlock = rowsPerBlock(f, rowSize) * rowSize;
    std::vector<Bytes> blocks;
    for (size_t at = 0; at < rows.size(); at += perBlock) {
        blocks.push_back(slice(rows, at, std::min(perBlock, rows.size() - at)));
        if (at + perBlock < rows.size())
            blocks.back().resize(f.maxBlockData(), 0); // whole blocks but the last
    }
    return blocks;
}

std::vector<Column> layoutColumns(std::vector<uint32_t> tags) {
    // The row id and row version lead, as the format requires.
    tags.erase(std::remove_if(tags.begin(), tags.end(),
                              [](uint32_t t) { return t == kTagLtpRowId || t == kTagLtpRowVersion; }),
               tags.end());
    std::vector<uint32_t> ordered{kTagLtpRowId, kTagLtpRowVersion};
    for (size_t size : {size_t(8), size_t(4), size_t(2), size_t(1)})
        for (uint32_t t : tags)
            if (cellSize(static_cast<uint16_t>(t & 0xFFFF)) == size)
                ordered.push_back(t);
    std::vector<Column> columns;
    uint16_t offset = 0;
    for (size_t i = 0; i < ordered.size(); ++i) {
        Column c;
        c.tag = ordered[i];
        c.size = static_cast<uint8_t>(cellSize(static_cast<uint16_t>(c.tag & 0xFFFF)));
        c.offset = offset;
        c.bit = static_cast<uint8_t>(i);
        offset = static_cast<uint16_t>(offset + c.size);
        columns.push_back(c);
    }
    std::sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) { return a.tag < b.tag; });
    return columns;
}

uint16_t rowSizeOf(const std::vector<Column>& columns) {
    size_t end = 0;
    for (const Column& c : columns)
        end = std::max<size_t>(end, c.offset + c.size);
    return static_cast<uint16_t>(end + (columns.size() + 7) / 8);
}

WrittenNode writeTableContext(Ndb& ndb, const std::vector<Column>& columns, const std::vector<TableRow>& rows) {
    TableInfo info;
    info.columns = columns;
    // An ANSI store's string columns are 8-bit ones (their cells follow).
    if (ndb.format().ansi)
        for (Column& c : info.columns)
            c.tag = narrowTag(c.tag);
    std::sort(info.columns.begin(), info.columns.end(), [](const Column& a, const Column& b) { return a.tag < b.tag; });
    // The groups' ends: 8/4-byte cells, 2-byte, 1-byte, then the cell bits.
    for (const Column& c : info.columns) {
        const uint16_t end = static_cast<uint16_t>(c.offset + c.size);
        uint16_t& group = info.ends[c.size >= 4 ? 0 : c.size == 2 ? 1 : 2];
        group = std::max(group, end);
    }
    info.ends[1] = std::max(info.ends[1], info.ends[0]);
    info.ends[2] = std::max(info.ends[2], info.ends[1]);
    info.ends[3] = static_cast<uint16_t>(info.ends[2] + (info.columns.size() + 7) / 8);

    HeapWriter heap(ndb, kClientTable);
    HeapBTreeBuilder index(heap, kRowIndexKeySize, ndb.format().rowIndexData);
    const uint32_t infoHid = heap.add(Bytes(kTcInfoHeader + kTcColumn * info.columns.size(), 0));
    heap.setUserRoot(infoHid);
    index.reserve(rows.size());
    const size_t matrixBytes = rows.size() * info.rowSize();
    if (matrixBytes && matrixBytes <= kMaxHeapItem)
        info.rows = heap.add(Bytes(matrixBytes, 0));

    Subnodes subnodes;
    LocalSubnodes local(ndb, subnodes);
    auto store = [&](const Bytes& value) { return storeCellValue(heap, local, value); };
    Bytes matrix;
    matrix.reserve(matrixBytes);
    std::vector<std::pair<uint32_t, uint32_t>> order; // row id, row
    order.reserve(rows.size());
    for (const TableRow& r : rows) {
        order.emplace_back(r.rowId, static_cast<uint32_t>(order.size()));
        appendBytes(matrix, encodeTableRow(info, r.rowId, r.cells, store));
    }
    if (info.rows)
        heap.replace(info.rows, matrix);
    else if (matrixBytes)
        info.rows = local.place(ndb.writeDataBlocks(rowMatrixBlocks(ndb.format(), matrix, info.rowSize())));
    std::sort(order.begin(), order.end());
    Bytes records;
    for (const auto& rec : order)
        appendBytes(records, rowIndexRecord(rec.first, rec.second, ndb.format().rowIndexData));
    index.fill(records);
    info.rowIndex = index.header();
    heap.replace(infoHid, tableInfoBytes(info));
    WrittenNode out;
    out.bidData = heap.write();
    out.bidSub = ndb.writeSubnodes(subnodes);
    return out;
}

} // namespace pst
