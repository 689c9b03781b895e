#include "Ndb.h"

#include "Crc.h"
#include "Permute.h"

namespace pst {

namespace {

constexpr int kMaxDepth = 16;

[[noreturn]] void corrupt(const std::string& what) { throw Error(ErrorKind::Corrupt, "the PST file is damaged: " + what); }

struct BTreePage {
    Bytes data;
    uint8_t count, max, entrySize, level;
};

BTreePage btree(Bytes data) {
    BTreePage p{std::move(data), 0, 0, 0, 0};
    p.count = p.data[488];
    p.max = p.data[489];
    p.entrySize = p.data[490];
    p.level = p.data[491];
    if (p.entrySize == 0 || static_cast<size_t>(p.count) * p.entrySize > 488)
        corrupt("a B-tree page holds more entries than fit");
    return p;
}

} // namespace

Ndb::Ndb(std::shared_ptr<File> file) : file_(std::move(file)) {
    if (file_->size() < kHeaderSize) {
        Bytes start = file_->read(0, static_cast<size_t>(file_->size()));
        header_ = Header::parse(start); // throws NotPst for small foreign files
    }
    header_ = Header::parse(file_->read(0, kHeaderSize));
    if (header_.crypt == kCryptCyclic)
        throw Error(ErrorKind::Unsupported, "the PST file uses the cyclic encoding, which is not supported");
}

Bytes Ndb::readPage(const BlockRef& ref, uint8_t type) {
    if (ref.ib % 512 != 0 && type != kPageBbt && type != kPageNbt)
        corrupt("a page is not aligned");
    Bytes page = file_->read(ref.ib, kPageSize);
    if (page[496] != type || page[497] != type)
        corrupt("a page is not of the kind expected");
    if (crc(page.data(), 496) != u32(page, 500))
        corrupt("a page's checksum does not match");
    if (u64(page, 504) != ref.bid)
        corrupt("a page is not the one referred to");
    if (type == kPageBbt || type == kPageNbt) {
        if (u16(page, 498) != signature(ref.ib, ref.bid))
            corrupt("a page's signature does not match");
    }
    page.resize(496);
    return page;
}

std::optional<NodeEntry> Ndb::findNode(uint32_t nid) { return searchNbt(header_.nbt, nid, 0); }

std::optional<BlockEntry> Ndb::findBlock(uint64_t bid) { return searchBbt(header_.bbt, bid & ~uint64_t(1), 0); }

std::optional<NodeEntry> Ndb::searchNbt(const BlockRef& ref, uint64_t key, int depth) {
    if (depth > kMaxDepth)
        corrupt("the node B-tree is too deep");
    BTreePage p = btree(readPage(ref, kPageNbt));
    if (p.level > 0) {
        if (p.entrySize < 24)
            corrupt("a node B-tree page has short entries");
        std::optional<BlockRef> child;
        for (size_t i = 0; i < p.count; ++i) {
            size_t at = i * p.entrySize;
            if (u64(p.data, at) > key)
                break;
            child = BlockRef{u64(p.data, at + 8), u64(p.data, at + 16)};
        }
        return child ? searchNbt(*child, key, depth + 1) : std::nullopt;
    }
    if (p.entrySize < 32)
        corrupt("a node B-tree leaf has short entries");
    for (size_t i = 0; i < p.count; ++i) {
        size_t at = i * p.entrySize;
        if (static_cast<uint32_t>(u64(p.data, at)) == key)
            return NodeEntry{static_cast<uint32_t>(u64(p.data, at)), u64(p.data, at + 8), u64(p.data, at + 16),
                             u32(p.data, at + 24)};
    }
    return std::nullopt;
}

std::optional<BlockEntry> Ndb::searchBbt(const BlockRef& ref, uint64_t key, int depth) {
    if (depth > kMaxDepth)
        corrupt("the block B-tree is too deep");
    BTreePage p = btree(readPage(ref, kPageBbt));
    if (p.level > 0) {
        if (p.entrySize < 24)
            corrupt("a block B-tree page has short entries");
        std::optional<BlockRef> child;
        for (size_t i = 0; i < p.count; ++i) {
            size_t at = i * p.entrySize;
            if (u64(p.data, at) > key)
                break;
            child = BlockRef{u64(p.data, at + 8), u64(p.data, at + 16)};
        }
        return child ? searchBbt(*child, key, depth + 1) : std::nullopt;
    }
    if (p.entrySize < 24)
        corrupt("a block B-tree leaf has short entries");
    for (size_t i = 0; i < p.count; ++i) {
        size_t at = i * p.entrySize;
        if ((u64(p.data, at) & ~uint64_t(1)) == key)
            return BlockEntry{{u64(p.data, at), u64(p.data, at + 8)}, u16(p.data, at + 16), u16(p.data, at + 18)};
    }
    return std::nullopt;
}

void Ndb::walk(const BlockRef& ref, uint8_t type, int depth, const std::function<void(const Bytes&, int)>& leaf) {
    if (depth > kMaxDepth)
        corrupt("a B-tree is too deep");
    BTreePage p = btree(readPage(ref, type));
    if (p.level > 0) {
        for (size_t i = 0; i < p.count; ++i) {
            size_t at = i * p.entrySize;
            walk({u64(p.data, at + 8), u64(p.data, at + 16)}, type, depth + 1, leaf);
        }
        return;
    }
    for (size_t i = 0; i < p.count; ++i)
        leaf(slice(p.data, i * p.entrySize, p.entrySize), 0);
}

void Ndb::forEachNode(const std::function<void(const NodeEntry&)>& visit) {
    walk(header_.nbt, kPageNbt, 0, [&](const Bytes& e, int) {
        if (e.size() < 32)
            corrupt("a node B-tree leaf has short entries");
        visit({static_cast<uint32_t>(u64(e, 0)), u64(e, 8), u64(e, 16), u32(e, 24)});
    });
}

void Ndb::forEachBlock(const std::function<void(const BlockEntry&)>& visit) {
    walk(header_.bbt, kPageBbt, 0, [&](const Bytes& e, int) {
        if (e.size() < 24)
            corrupt("a block B-tree leaf has short entries");
        visit({{u64(e, 0), u64(e, 8)}, u16(e, 16), u16(e, 18)});
    });
}

Bytes Ndb::readBlock(uint64_t bid) {
    std::optional<BlockEntry> entry = findBlock(bid);
    if (!entry)
        corrupt("a block is missing (" + std::to_string(bid) + ")");
    if (entry->cb > kMaxBlockData)
        corrupt("a block is larger than a block may be");
    const size_t size = blockSize(entry->cb);
    Bytes raw = file_->read(entry->ref.ib, size);
    const size_t t = size - 16;
    if (u16(raw, t) != entry->cb)
        corrupt("a block's size does not match its trailer");
    if (u16(raw, t + 2) != signature(entry->ref.ib, entry->ref.bid))
        corrupt("a block's signature does not match");
    if (crc(raw.data(), entry->cb) != u32(raw, t + 4))
        corrupt("a block's checksum does not match");
    if ((u64(raw, t + 8) & ~uint64_t(1)) != (entry->ref.bid & ~uint64_t(1)))
        corrupt("a block is not the one referred to");
    raw.resize(entry->cb);
    if (!isInternalBid(entry->ref.bid) && header_.crypt == kCryptPermute)
        permuteDecode(raw.data(), raw.size());
    return raw;
}

void Ndb::collectData(uint64_t bid, int depth, std::vector<Bytes>& out) {
    if (depth > 2)
        corrupt("a data tree is too deep");
    Bytes b = readBlock(bid);
    if (!isInternalBid(bid)) {
        out.push_back(std::move(b));
        return;
    }
    if (u8(b, 0) != 1)
        corrupt("an internal block is not a data tree");
    const uint8_t level = u8(b, 1);
    const uint16_t count = u16(b, 2);
    if (level == 0 || level > 2 || static_cast<size_t>(count) * 8 + 8 > b.size())
        corrupt("a data tree block is malformed");
    for (size_t i = 0; i < count; ++i)
        collectData(u64(b, 8 + 8 * i), depth + 1, out);
}

std::vector<Bytes> Ndb::readDataBlocks(uint64_t bidData) {
    std::vector<Bytes> out;
    if (bidData)
        collectData(bidData, 0, out);
    return out;
}

Bytes Ndb::readData(uint64_t bidData) {
    Bytes all;
    for (const Bytes& b : readDataBlocks(bidData))
        appendBytes(all, b);
    return all;
}

void Ndb::collectSubnodes(uint64_t bid, int depth, std::map<uint32_t, SubnodeEntry>& out) {
    if (depth > 2)
        corrupt("a subnode tree is too deep");
    Bytes b = readBlock(bid);
    if (u8(b, 0) != 2)
        corrupt("a subnode block is malformed");
    const uint8_t level = u8(b, 1);
    const uint16_t count = u16(b, 2);
    if (level == 0) {
        need(b, 8, static_cast<size_t>(count) * 24, "subnode list");
        for (size_t i = 0; i < count; ++i) {
            size_t at = 8 + 24 * i;
            // The upper half of the NID field is not part of the NID.
            SubnodeEntry e{static_cast<uint32_t>(u64(b, at)), u64(b, at + 8), u64(b, at + 16)};
            out[e.nid] = e;
        }
    } else {
        need(b, 8, static_cast<size_t>(count) * 16, "subnode index");
        for (size_t i = 0; i < count; ++i)
            collectSubnodes(u64(b, 8 + 16 * i + 8), depth + 1, out);
    }
}

std::map<uint32_t, SubnodeEntry> Ndb::readSubnodes(uint64_t bidSub) {
    std::map<uint32_t, SubnodeEntry> out;
    if (bidSub)
        collectSubnodes(bidSub, 0, out);
    return out;
}

} // namespace pst
