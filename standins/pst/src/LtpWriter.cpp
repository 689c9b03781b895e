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

uint32_t HeapBuilder::add(const Bytes& item) {
    if (item.size() > kMaxItem)
        throw Error(ErrorKind::Invalid, "a heap item larger than 3,580 bytes");
    auto fits = [&](size_t b) {
        const Block& blk = blocks_[b];
        size_t map = 4 + 2 * (blk.items.size() + 2);
        size_t start = headerSize(b) + blk.used + item.size();
        return (start + 1) / 2 * 2 + map <= kMaxBlockData;
    };
    if (!fits(blocks_.size() - 1))
        blocks_.emplace_back();
    const size_t b = blocks_.size() - 1;
    Block& blk = blocks_[b];
    blk.items.push_back(item);
    blk.used += item.size();
    return static_cast<uint32_t>((b << 16) | (blk.items.size() << 5));
}

std::vector<Bytes> HeapBuilder::blocks() const {
    std::vector<Bytes> out;
    std::vector<uint8_t> fill;
    for (size_t b = 0; b < blocks_.size(); ++b) {
        const Block& blk = blocks_[b];
        Bytes data(headerSize(b), 0);
        std::vector<uint16_t> offsets;
        for (const Bytes& item : blk.items) {
            offsets.push_back(static_cast<uint16_t>(data.size()));
            appendBytes(data, item);
        }
        offsets.push_back(static_cast<uint16_t>(data.size()));
        if (data.size() % 2)
            data.push_back(0);
        const uint16_t map = static_cast<uint16_t>(data.size());
        append16(data, static_cast<uint16_t>(blk.items.size()));
        append16(data, 0);
        for (uint16_t o : offsets)
            append16(data, o);
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

uint32_t buildBTree(HeapBuilder& heap, uint8_t keySize, uint8_t dataSize,
                    const std::vector<std::pair<Bytes, Bytes>>& records) {
    Bytes header(8, 0);
    header[0] = kClientBTree;
    header[1] = keySize;
    header[2] = dataSize;
    if (records.empty())
        return heap.add(header);
    // Leaves, then index levels over them until one node remains.
    std::vector<std::pair<Bytes, uint32_t>> level; // first key, HID
    const size_t perLeaf = kMaxItem / (keySize + dataSize);
    for (size_t start = 0; start < records.size(); start += perLeaf) {
        Bytes node;
        size_t end = std::min(records.size(), start + perLeaf);
        for (size_t i = start; i < end; ++i) {
            appendBytes(node, records[i].first);
            appendBytes(node, records[i].second);
        }
        level.emplace_back(records[start].first, heap.add(node));
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
    std::vector<std::pair<Bytes, Bytes>> records;
    Properties all = properties;
    for (const auto& kv : external) {
        all[kv.first] = Value{static_cast<uint16_t>(kv.first & 0xFFFF), {}};
        subnodes[kv.second.nid] = kv.second;
    }
    for (const auto& kv : all) {
        const uint16_t id = static_cast<uint16_t>(kv.first >> 16);
        const Value& v = kv.second;
        Bytes key;
        append16(key, id);
        Bytes data;
        append16(data, v.type);
        auto outside = external.find(kv.first);
        if (outside != external.end()) {
            append32(data, outside->second.nid);
        } else if (isInlineType(v.type)) {
            Bytes inline4(4, 0);
            std::copy_n(v.bytes.begin(), std::min<size_t>(4, v.bytes.size()), inline4.begin());
            appendBytes(data, inline4);
        } else if (v.bytes.size() <= kMaxItem) {
            // An empty value is an empty heap item, not "no value": some
            // readers take HID 0 for a missing property.
            append32(data, heap.add(Bytes(v.bytes.begin(), v.bytes.end())));
        } else {
            const uint32_t nid = freeLocalNid();
            subnodes[nid] = {nid, ndb.writeData(Bytes(v.bytes.begin(), v.bytes.end())), 0};
            append32(data, nid);
        }
        records.emplace_back(key, data);
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
            return heap.add(Bytes(v.bytes.begin(), v.bytes.end()));
        const uint32_t nid = (++nextLocal << 5) | kNidTypeLtp;
        subnodes[nid] = {nid, ndb.writeData(Bytes(v.bytes.begin(), v.bytes.end())), 0};
        return nid;
    };

    std::vector<Bytes> rowBytes;
    std::vector<std::pair<Bytes, Bytes>> index;
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
        Bytes key, data;
        append32(key, rows[r].rowId);
        append32(data, static_cast<uint32_t>(r));
        index.emplace_back(key, data);
    }
    std::sort(index.begin(), index.end(), [](const auto& a, const auto& b) { return u32(a.first, 0) < u32(b.first, 0); });

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
    const uint32_t rowIndex = buildBTree(heap, 4, 4, index);

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
