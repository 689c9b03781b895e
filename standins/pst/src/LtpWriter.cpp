#include "LtpWriter.h"

#include <algorithm>

namespace pst {

namespace {

constexpr size_t kMaxItem = 3580;
constexpr uint32_t kNidTypeLtp = 0x1F;

uint8_t fillLevel(size_t free) {
    static const size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
    for (uint8_t i = 0; i < 15; ++i)
        if (free >= limits[i])
            return i;
    return 15;
}

// Bytes a value takes in a row cell, and whether it is held there.
size_t cellSize(uint16_t type) {
    size_t fixed = fixedSize(type);
    if (fixed && fixed <= 8)
        return fixed;
    return 4; // an HNID
}

} // namespace

size_t HeapBuilder::headerSize(size_t block) const {
    if (block == 0)
        return 12;
    return block % 128 == 8 ? 66 : 2;
}

uint32_t HeapBuilder::add(const Bytes& item) { return add(item.data(), item.size()); }

uint32_t HeapBuilder::add(const uint8_t* item, size_t size) {
    if (size > kMaxItem)
        throw Error(ErrorKind::Invalid, "a heap item larger than 3,580 bytes");
    auto fits = [&](size_t b) {
        const Block& blk = blocks_[b];
        size_t map = 4 + 2 * (blk.ends.size() + 2);
        size_t start = headerSize(b) + blk.data.size() + size;
        return (start + 1) / 2 * 2 + map <= kMaxBlockData;
    };
    if (!fits(blocks_.size() - 1))
        blocks_.emplace_back();
    const size_t b = blocks_.size() - 1;
    Block& blk = blocks_[b];
    blk.data.insert(blk.data.end(), item, item + size);
    blk.ends.push_back(static_cast<uint16_t>(blk.data.size()));
    return static_cast<uint32_t>((b << 16) | (blk.ends.size() << 5));
}

std::vector<Bytes> HeapBuilder::blocks() const {
    std::vector<Bytes> out;
    std::vector<uint8_t> fill;
    out.reserve(blocks_.size());
    for (size_t b = 0; b < blocks_.size(); ++b) {
        const Block& blk = blocks_[b];
        const size_t hs = headerSize(b);
        Bytes data;
        data.reserve(hs + blk.data.size() + 1 + 4 + 2 * (blk.ends.size() + 1));
        data.assign(hs, 0);
        appendBytes(data, blk.data);
        if (data.size() % 2)
            data.push_back(0);
        const uint16_t map = static_cast<uint16_t>(data.size());
        append16(data, static_cast<uint16_t>(blk.ends.size()));
        append16(data, 0);
        append16(data, static_cast<uint16_t>(hs));
        for (uint16_t end : blk.ends)
            append16(data, static_cast<uint16_t>(hs + end));
        put16(data, 0, map);
        fill.push_back(fillLevel(kMaxBlockData - data.size()));
        out.push_back(std::move(data));
    }
    // Header of the first block, and the fill levels kept where the format
    // keeps them (the first 8 blocks in the header, then per bitmap block).
    Bytes& first = out[0];
    first[2] = kHeapSignature;
    first[3] = client_;
    put32(first, 4, userRoot_);
    for (size_t b = 0; b < 8 && b < fill.size(); ++b)
        first[8 + b / 2] |= static_cast<uint8_t>(fill[b] << ((b % 2) * 4));
    for (size_t b = 8; b < out.size(); b += 128)
        for (size_t k = 0; k < 128 && b + k < fill.size(); ++k)
            out[b][2 + k / 2] |= static_cast<uint8_t>(fill[b + k] << ((k % 2) * 4));
    return out;
}

uint32_t buildBTree(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize, const Bytes& records) {
    Bytes header(8, 0);
    header[0] = kClientBTree;
    header[1] = keySize;
    header[2] = dataSize;
    const size_t recordSize = keySize + dataSize;
    const size_t count = records.size() / recordSize;
    if (count == 0)
        return heap.add(header);
    // Leaves, then index levels over them until one node remains.
    std::vector<std::pair<Bytes, uint32_t>> level; // first key, HID
    const size_t perLeaf = kMaxItem / recordSize;
    for (size_t start = 0; start < count; start += perLeaf) {
        const size_t end = std::min(count, start + perLeaf);
        const uint8_t* first = records.data() + start * recordSize;
        level.emplace_back(Bytes(first, first + keySize), heap.add(first, (end - start) * recordSize));
    }
    uint8_t levels = 0;
    const size_t perIndex = kMaxItem / (keySize + 4u);
    while (level.size() > 1) {
        std::vector<std::pair<Bytes, uint32_t>> up;
        for (size_t start = 0; start < level.size(); start += perIndex) {
            Bytes node;
            size_t end = std::min(level.size(), start + perIndex);
            for (size_t i = start; i < end; ++i) {
                appendBytes(node, level[i].first);
                append32(node, level[i].second);
            }
            up.emplace_back(level[start].first, heap.add(node));
        }
        level = std::move(up);
        ++levels;
    }
    header[3] = levels;
    put32(header, 4, level[0].second);
    return heap.add(header);
}

WrittenNode writePropertyContext(Ndb& ndb, const Properties& properties, const Subnodes& keep,
                                 const std::map<uint32_t, SubnodeEntry>& external) {
    HeapBuilder heap(kClientProperties);
    Subnodes subnodes = keep;
    uint32_t nextLocal = 0x400;
    auto freeLocalNid = [&] {
        uint32_t nid;
        do
            nid = (++nextLocal << 5) | kNidTypeLtp;
        while (subnodes.count(nid));
        return nid;
    };
    for (const auto& kv : external)
        subnodes[kv.second.nid] = kv.second;
    // The records in tag order: the properties and the values written
    // outside (which take the place of a property of the same tag).
    Bytes records;
    records.reserve(8 * (properties.size() + external.size()));
    auto record = [&](uint32_t tag, uint16_t type, uint32_t value) {
        append16(records, static_cast<uint16_t>(tag >> 16));
        append16(records, type);
        append32(records, value);
    };
    auto inside = properties.begin();
    auto outside = external.begin();
    while (inside != properties.end() || outside != external.end()) {
        if (outside != external.end() && (inside == properties.end() || outside->first <= inside->first)) {
            if (inside != properties.end() && inside->first == outside->first)
                ++inside;
            record(outside->first, static_cast<uint16_t>(outside->first & 0xFFFF), outside->second.nid);
            ++outside;
            continue;
        }
        const Value& v = inside->second;
        uint32_t value;
        if (isInlineType(v.type)) {
            uint8_t inline4[4] = {0, 0, 0, 0};
            std::copy_n(v.bytes.begin(), std::min<size_t>(4, v.bytes.size()), inline4);
            value = inline4[0] | (inline4[1] << 8) | (inline4[2] << 16) | (static_cast<uint32_t>(inline4[3]) << 24);
        } else if (v.bytes.size() <= kMaxItem) {
            // An empty value is an empty heap item, not "no value": some
            // readers take HID 0 for a missing property.
            value = heap.add(v.bytes);
        } else {
            value = freeLocalNid();
            subnodes[value] = {value, ndb.writeData(v.bytes), 0};
        }
        record(inside->first, v.type, value);
        ++inside;
    }
    heap.setUserRoot(buildBTree(heap, 2, 6, records));
    WrittenNode out;
    out.bidData = ndb.writeDataBlocks(heap.blocks());
    out.bidSub = ndb.writeSubnodes(subnodes);
    return out;
}

std::vector<Column> layoutColumns(std::vector<uint32_t> tags) {
    // The row id and row version lead, as the format requires.
    tags.erase(std::remove_if(tags.begin(), tags.end(),
                              [](uint32_t t) { return t == 0x67F20003 || t == 0x67F30003; }),
               tags.end());
    std::vector<uint32_t> ordered{0x67F20003, 0x67F30003};
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

WrittenNode writeTableContext(Ndb& ndb, const std::vector<Column>& unsortedColumns, const std::vector<TableRow>& rows) {
    std::vector<Column> columns = unsortedColumns;
    std::sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) { return a.tag < b.tag; });
    // The groups' ends: 8/4-byte cells, 2-byte, 1-byte, then the cell bits.
    uint16_t end4 = 0, end2 = 0, end1 = 0;
    for (const Column& c : columns) {
        uint16_t e = static_cast<uint16_t>(c.offset + c.size);
        if (c.size >= 4)
            end4 = std::max(end4, e);
        else if (c.size == 2)
            end2 = std::max(end2, e);
        else
            end1 = std::max(end1, e);
    }
    end2 = std::max(end2, end4);
    end1 = std::max(end1, end2);
    const uint16_t rowSize = static_cast<uint16_t>(end1 + (columns.size() + 7) / 8);

    HeapBuilder heap(kClientTable);
    Subnodes subnodes;
    uint32_t nextLocal = 0x400;
    auto cellValue = [&](const Value& v) -> uint32_t {
        if (v.bytes.empty())
            return 0;
        if (v.bytes.size() <= kMaxItem)
            return heap.add(v.bytes);
        const uint32_t nid = (++nextLocal << 5) | kNidTypeLtp;
        subnodes[nid] = {nid, ndb.writeData(v.bytes), 0};
        return nid;
    };

    std::vector<Bytes> rowBytes;
    std::vector<std::pair<uint32_t, uint32_t>> index; // row id, row
    rowBytes.reserve(rows.size());
    index.reserve(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        Bytes row(rowSize, 0);
        for (size_t i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            const Value* v = nullptr;
            Value own;
            if (c.tag == 0x67F20003) {
                own = {PT_LONG, {}};
                for (int k = 0; k < 4; ++k)
                    own.bytes.push_back(static_cast<uint8_t>(rows[r].rowId >> (8 * k)));
                v = &own;
            } else {
                auto it = rows[r].cells.find(c.tag);
                if (it != rows[r].cells.end())
                    v = &it->second;
            }
            if (!v)
                continue;
            const uint16_t type = static_cast<uint16_t>(c.tag & 0xFFFF);
            const size_t fixed = fixedSize(type);
            if (fixed && fixed <= c.size) {
                std::copy_n(v->bytes.begin(), std::min(fixed, v->bytes.size()), row.begin() + c.offset);
            } else {
                put32(row, c.offset, cellValue(*v));
            }
            row[end1 + c.bit / 8] |= static_cast<uint8_t>(0x80 >> (c.bit % 8));
        }
        rowBytes.push_back(std::move(row));
        index.emplace_back(rows[r].rowId, static_cast<uint32_t>(r));
    }
    std::sort(index.begin(), index.end());
    Bytes indexRecords;
    indexRecords.reserve(8 * index.size());
    for (const auto& rec : index) {
        append32(indexRecords, rec.first);
        append32(indexRecords, rec.second);
    }

    uint32_t hnidRows = 0;
    const size_t matrix = rowBytes.size() * rowSize;
    if (matrix && matrix <= kMaxItem) {
        Bytes all;
        for (const Bytes& r : rowBytes)
            appendBytes(all, r);
        hnidRows = heap.add(all);
    } else if (matrix) {
        // Whole rows per block, in a subnode.
        const size_t perBlock = kMaxBlockData / rowSize;
        std::vector<Bytes> blocks;
        for (size_t start = 0; start < rowBytes.size(); start += perBlock) {
            Bytes b;
            for (size_t i = start; i < std::min(rowBytes.size(), start + perBlock); ++i)
                appendBytes(b, rowBytes[i]);
            blocks.push_back(std::move(b));
        }
        hnidRows = (++nextLocal << 5) | kNidTypeLtp;
        subnodes[hnidRows] = {hnidRows, ndb.writeDataBlocks(blocks), 0};
    }
    const uint32_t rowIndex = buildBTree(heap, 4, 4, indexRecords);

    Bytes info;
    info.push_back(kClientTable);
    info.push_back(static_cast<uint8_t>(columns.size()));
    append16(info, end4);
    append16(info, end2);
    append16(info, end1);
    append16(info, rowSize);
    append32(info, rowIndex);
    append32(info, hnidRows);
    append32(info, 0); // hidIndex, deprecated
    for (const Column& c : columns) {
        append32(info, c.tag);
        append16(info, c.offset);
        info.push_back(c.size);
        info.push_back(c.bit);
    }
    heap.setUserRoot(heap.add(info));
    WrittenNode out;
    out.bidData = ndb.writeDataBlocks(heap.blocks());
    out.bidSub = ndb.writeSubnodes(subnodes);
    return out;
}

} // namespace pst
