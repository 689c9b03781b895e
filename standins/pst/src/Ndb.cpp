#include "Ndb.h"

#include "Crc.h"
#include "Permute.h"

#include <map>
#include <mutex>
#include <optional>

namespace pst {

namespace {

[[noreturn]] void corrupt(const std::string& what) { throw Error(ErrorKind::Corrupt, "the PST file is damaged: " + what); }

constexpr size_t kNbtLeafMax = 15, kBbtLeafMax = 20;
constexpr size_t kXBlockMax = (kMaxBlockData - 8) / 8;   // BIDs in one XBLOCK
constexpr size_t kSlBlockMax = (kMaxBlockData - 8) / 24; // entries in one SLBLOCK
constexpr size_t kSiBlockMax = (kMaxBlockData - 8) / 16;

Bytes nodeEntryBytes(const NodeEntry& e) {
    Bytes b(32, 0);
    put64(b, 0, e.nid);
    put64(b, 8, e.bidData);
    put64(b, 16, e.bidSub);
    put32(b, 24, e.nidParent);
    return b;
}

NodeEntry nodeEntryOf(const Bytes& b) {
    return {static_cast<uint32_t>(u64(b, 0)), u64(b, 8), u64(b, 16), u32(b, 24)};
}

Bytes blockEntryBytes(const BlockEntry& e) {
    Bytes b(24, 0);
    put64(b, 0, e.ref.bid);
    put64(b, 8, e.ref.ib);
    put16(b, 16, e.cb);
    put16(b, 18, e.refCount);
    return b;
}

BlockEntry blockEntryOf(const Bytes& b) { return {{u64(b, 0), u64(b, 8)}, u16(b, 16), u16(b, 18)}; }

// Where the free space of files closed by this process lay, so that opening
// one again (a mail program started anew) does not read every allocation
// map of a large file before its first change. Kept only while the file is
// as it was left: its header unchanged byte for byte.
struct LeftSpace {
    Bytes header;
    Space::Hints hints;
};
std::mutex leftSpaceLock;
std::map<std::string, LeftSpace>& leftSpace() {
    static std::map<std::string, LeftSpace> files;
    return files;
}

void keepSpaceHints(const std::string& path, Bytes header, Space::Hints hints) {
    std::lock_guard<std::mutex> hold(leftSpaceLock);
    auto& files = leftSpace();
    // A few files: a mail program's stores, not every file ever closed.
    if (files.size() >= 8 && !files.count(path))
        files.erase(files.begin());
    files[path] = LeftSpace{std::move(header), std::move(hints)};
}

std::optional<Space::Hints> takeSpaceHints(const std::string& path, const Bytes& header) {
    std::lock_guard<std::mutex> hold(leftSpaceLock);
    auto it = leftSpace().find(path);
    if (it == leftSpace().end())
        return std::nullopt;
    std::optional<Space::Hints> hints;
    if (it->second.header == header)
        hints = std::move(it->second.hints);
    leftSpace().erase(it);
    return hints;
}

} // namespace

Ndb::Ndb(std::shared_ptr<File> file, bool writable) : file_(std::move(file)) {
    const uint64_t size = file_->size();
    const Bytes raw = file_->read(0, static_cast<size_t>(std::min<uint64_t>(size, kHeaderSize)));
    header_ = Header::parse(raw);
    if (header_.crypt == kCryptCyclic)
        throw Error(ErrorKind::Unsupported, "the PST file uses the cyclic encoding, which is not supported");
    if (writable) {
        if (header_.amapValid != 2)
            throw Error(ErrorKind::Unsupported,
                        "the PST file's allocation maps need repair; let Outlook (or its repair tool) open it first");
        std::optional<Space::Hints> hints = takeSpaceHints(file_->path(), raw);
        space_ = std::make_unique<Space>(*file_, header_, hints ? &*hints : nullptr);
    }
    openTrees();
}

Ndb::~Ndb() {
    // Changes not committed are left out, as they would be after a crash;
    // with none, the space the last commit let go of is given back.
    if (poisoned_)
        return;
    if (space_ && !changed_) {
        try {
            close();
            keepSpaceHints(file_->path(), header_.serialize(), space_->hints());
        } catch (...) {
            // A failure here leaves the last commit in force.
        }
    } else if (space_ && unflushed_) {
        try {
            file_->sync();
        } catch (...) {
        }
    }
}

void Ndb::close() {
    if (!space_)
        return;
    commit(true);
    if (space_->mapsChanged()) {
        space_->writeMaps();
        file_->sync();
        file_->write(0, header_.serialize());
        file_->sync();
        changed_ = false;
    }
}

void Ndb::openTrees() {
    // The node tree's keys are 32-bit node ids in 64-bit fields.
    PageStore& pages = *this;
    nbt_ = std::make_unique<BTree>(pages, kPageNbt, 32, kNbtLeafMax, header_.nbt, 0xFFFFFFFFull);
    bbt_ = std::make_unique<BTree>(pages, kPageBbt, 24, kBbtLeafMax, header_.bbt, ~uint64_t(1));
}

std::unique_ptr<Ndb> Ndb::unusable() {
    std::unique_ptr<Ndb> db(new Ndb());
    db->poisoned_ = true;
    return db;
}

std::unique_ptr<Ndb> Ndb::create(std::shared_ptr<File> file, const Bytes& reserved) {
    std::unique_ptr<Ndb> db(new Ndb());
    db->file_ = std::move(file);
    Header& h = db->header_;
    h.raw = reserved.size() == kHeaderSize ? reserved : Bytes(kHeaderSize, 0);
    put32(h.raw, 0, 0x4E444221);
    put16(h.raw, 8, 0x4D53);
    h.raw[14] = 1;
    h.raw[15] = 1;
    for (size_t i = 256; i < 512; ++i)
        h.raw[i] = 0xFF; // rgbFM and rgbFP, as Outlook writes them
    h.raw[512] = 0x80;
    h.version = 23;
    h.clientVersion = 19;
    h.nextPageBid = 1;
    h.nextBlockBid = 4;
    h.unique = 1;
    for (int i = 0; i < 32; ++i)
        h.nidCounters[i] = 0x400;
    h.nidCounters[3] = 0x4000;  // search folders
    h.nidCounters[4] = 0x10000; // messages
    h.nidCounters[8] = 0x8000;  // associated messages
    h.amapValid = 2;
    h.crypt = kCryptPermute;
    h.lastAMap = 0;
    h.fileEof = kFirstAMap;
    // The space before the first AMap: header and the (unused) DList slot.
    db->file_->write(0, Bytes(kFirstAMap, 0));
    db->space_ = std::make_unique<Space>(*db->file_, h);
    PageStore& pages = *db;
    h.nbt = BTree::createEmpty(pages, kPageNbt, 32, kNbtLeafMax);
    h.bbt = BTree::createEmpty(pages, kPageBbt, 24, kBbtLeafMax);
    db->openTrees();
    db->changed_ = true;
    return db;
}

void Ndb::requireUsable() const {
    if (poisoned_)
        throw Error(ErrorKind::Io, "the PST file could not be read again after a failed change");
}

void Ndb::requireWritable() const {
    requireUsable();
    if (!space_)
        throw Error(ErrorKind::Invalid, "the store is open for reading only");
}

void Ndb::loadPage(const BlockRef& ref, uint8_t type, Bytes& page) {
    if (ref.ib % 512 != 0)
        corrupt("a page is not aligned");
    if (pages_.find(ref.bid, ref.ib, page) && page[496] == type) {
        page.resize(496);
        return;
    }
    page = file_->read(ref.ib, kPageSize);
    if (page[496] != type || page[497] != type)
        corrupt("a page is not of the kind expected");
    if (crcMismatch(page.data(), 496, u32(page, 500)))
        corrupt("a page's checksum does not match");
    if (u64(page, 504) != ref.bid)
        corrupt("a page is not the one referred to");
    if (u16(page, 498) != signature(ref.ib, ref.bid))
        corrupt("a page's signature does not match");
    page.resize(497); // the type byte kept for the cache's check
    pages_.put(ref.bid, ref.ib, page);
    page.resize(496);
}

BlockRef Ndb::storePage(const Bytes& data496, uint8_t type) {
    requireWritable();
    BlockRef ref;
    ref.ib = space_->allocate(kPageSize, true);
    ref.bid = header_.nextPageBid++;
    Bytes page = data496;
    page.resize(kPageSize, 0);
    page[496] = type;
    page[497] = type;
    put16(page, 498, signature(ref.ib, ref.bid));
    put32(page, 500, crc(page.data(), 496));
    put64(page, 504, ref.bid);
    file_->write(ref.ib, page);
    page.resize(497);
    pages_.put(ref.bid, ref.ib, page);
    return ref;
}

void Ndb::retirePage(const BlockRef& ref) {
    pages_.erase(ref.bid);
    if (space_)
        space_->release(ref.ib, kPageSize);
}

std::optional<NodeEntry> Ndb::findNode(uint32_t nid) {
    requireUsable();
    std::optional<Bytes> e = nbt_->find(nid);
    if (!e)
        return std::nullopt;
    if (e->size() < 32)
        corrupt("a node B-tree leaf has short entries");
    return nodeEntryOf(*e);
}

std::optional<BlockEntry> Ndb::findBlock(uint64_t bid) {
    requireUsable();
    std::optional<Bytes> e = bbt_->find(bid);
    if (!e)
        return std::nullopt;
    return blockEntryOf(*e);
}

void Ndb::forEachNode(const std::function<void(const NodeEntry&)>& visit) {
    requireUsable();
    nbt_->forEach([&](const Bytes& e) { visit(nodeEntryOf(e)); });
}

void Ndb::forEachBlock(const std::function<void(const BlockEntry&)>& visit) {
    requireUsable();
    bbt_->forEach([&](const Bytes& e) { visit(blockEntryOf(e)); });
}

Bytes Ndb::readBlock(uint64_t bid) {
    std::optional<BlockEntry> entry = findBlock(bid);
    if (!entry)
        corrupt("a block is missing (" + std::to_string(bid) + ")");
    Bytes held;
    if (blocks_.find(entry->ref.bid, entry->ref.ib, held))
        return held;
    if (entry->cb > kMaxBlockData)
        corrupt("a block is larger than a block may be");
    const size_t size = blockSize(entry->cb);
    Bytes raw = file_->read(entry->ref.ib, size);
    const size_t t = size - 16;
    if (u16(raw, t) != entry->cb)
        corrupt("a block's size does not match its trailer");
    if (u16(raw, t + 2) != signature(entry->ref.ib, entry->ref.bid))
        corrupt("a block's signature does not match");
    if (crcMismatch(raw.data(), entry->cb, u32(raw, t + 4)))
        corrupt("a block's checksum does not match");
    if ((u64(raw, t + 8) & ~uint64_t(1)) != (entry->ref.bid & ~uint64_t(1)))
        corrupt("a block is not the one referred to");
    raw.resize(entry->cb);
    if (!isInternalBid(entry->ref.bid) && header_.crypt == kCryptPermute)
        permuteDecode(raw.data(), raw.size());
    blocks_.put(entry->ref.bid, entry->ref.ib, raw);
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

void Ndb::forEachDataBlock(uint64_t bidData, const std::function<void(const Bytes&)>& visit) {
    for (uint64_t bid : dataBlockIds(bidData))
        visit(readBlock(bid));
}

std::vector<uint64_t> Ndb::dataBlockIds(uint64_t bidData) {
    std::vector<uint64_t> out;
    std::function<void(uint64_t, int)> walk = [&](uint64_t bid, int depth) {
        if (!isInternalBid(bid)) {
            out.push_back(bid);
            return;
        }
        if (depth > 2)
            corrupt("a data tree is too deep");
        Bytes b = readBlock(bid);
        if (u8(b, 0) != 1 || static_cast<size_t>(u16(b, 2)) * 8 + 8 > b.size())
            corrupt("a data tree block is malformed");
        for (size_t i = 0; i < u16(b, 2); ++i)
            walk(u64(b, 8 + 8 * i), depth + 1);
    };
    if (bidData)
        walk(bidData, 0);
    return out;
}

Bytes Ndb::readData(uint64_t bidData) {
    Bytes all;
    for (const Bytes& b : readDataBlocks(bidData))
        appendBytes(all, b);
    return all;
}

void Ndb::collectSubnodes(uint64_t bid, int depth, Subnodes& out) {
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

Subnodes Ndb::readSubnodes(uint64_t bidSub) {
    Subnodes out;
    if (bidSub)
        collectSubnodes(bidSub, 0, out);
    return out;
}

uint64_t Ndb::writeBlock(const Bytes& data, bool internal) {
    requireWritable();
    if (data.size() > kMaxBlockData)
        throw Error(ErrorKind::Invalid, "a block larger than a block may be");
    const size_t size = blockSize(data.size());
    const uint64_t ib = space_->allocate(size, false);
    const uint64_t bid = header_.nextBlockBid | (internal ? 2 : 0);
    header_.nextBlockBid += 4;
    Bytes raw = data;
    if (!internal && header_.crypt == kCryptPermute)
        permuteEncode(raw.data(), raw.size());
    const size_t cb = raw.size();
    raw.resize(size, 0);
    const size_t t = size - 16;
    put16(raw, t, static_cast<uint16_t>(cb));
    put16(raw, t + 2, signature(ib, bid));
    put32(raw, t + 4, crc(raw.data(), cb));
    put64(raw, t + 8, bid);
    file_->write(ib, raw);
    blocks_.put(bid, ib, data);
    bbt_->put(blockEntryBytes({{bid, ib}, static_cast<uint16_t>(cb), 2}));
    changed_ = true;
    return bid;
}

uint64_t Ndb::writeDataBlocks(const std::vector<Bytes>& blocks) {
    std::vector<std::pair<uint64_t, size_t>> written;
    for (const Bytes& b : blocks)
        written.emplace_back(writeBlock(b, false), b.size());
    return writeDataTree(written);
}

uint64_t Ndb::writeDataTree(const std::vector<std::pair<uint64_t, size_t>>& blocks) {
    if (blocks.empty())
        return 0;
    if (blocks.size() == 1)
        return blocks[0].first;
    auto xblock = [&](const std::vector<uint64_t>& children, uint8_t level, uint64_t bytes) {
        Bytes x(8 + 8 * children.size(), 0);
        x[0] = 1;
        x[1] = level;
        put16(x, 2, static_cast<uint16_t>(children.size()));
        put32(x, 4, static_cast<uint32_t>(bytes));
        for (size_t i = 0; i < children.size(); ++i)
            put64(x, 8 + 8 * i, children[i]);
        return writeBlock(x, true);
    };
    uint64_t total = 0;
    std::vector<uint64_t> bids;
    for (const auto& b : blocks) {
        bids.push_back(b.first);
        total += b.second;
    }
    if (bids.size() <= kXBlockMax)
        return xblock(bids, 1, total);
    if (bids.size() > kXBlockMax * kXBlockMax)
        throw Error(ErrorKind::Invalid, "node data too large for one node");
    // An XXBLOCK over XBLOCKs of up to kXBlockMax blocks each.
    std::vector<uint64_t> xblocks;
    for (size_t start = 0; start < bids.size(); start += kXBlockMax) {
        size_t end = std::min(bids.size(), start + kXBlockMax);
        uint64_t bytes = 0;
        for (size_t i = start; i < end; ++i)
            bytes += blocks[i].second;
        xblocks.push_back(xblock(std::vector<uint64_t>(bids.begin() + start, bids.begin() + end), 1, bytes));
    }
    return xblock(xblocks, 2, total);
}

uint64_t Ndb::writeData(const Bytes& data) {
    std::vector<Bytes> blocks;
    for (size_t at = 0; at < data.size(); at += kMaxBlockData)
        blocks.push_back(slice(data, at, std::min(kMaxBlockData, data.size() - at)));
    return writeDataBlocks(blocks);
}

uint64_t Ndb::writeSubnodes(const Subnodes& subnodes) {
    if (subnodes.empty())
        return 0;
    std::vector<std::pair<uint32_t, uint64_t>> lists; // first nid, SLBLOCK bid
    std::vector<SubnodeEntry> all;
    for (const auto& kv : subnodes)
        all.push_back(kv.second);
    for (size_t start = 0; start < all.size(); start += kSlBlockMax) {
        size_t end = std::min(all.size(), start + kSlBlockMax);
        Bytes b(8 + 24 * (end - start), 0);
        b[0] = 2;
        b[1] = 0;
        put16(b, 2, static_cast<uint16_t>(end - start));
        for (size_t i = start; i < end; ++i) {
            size_t at = 8 + 24 * (i - start);
            put64(b, at, all[i].nid);
            put64(b, at + 8, all[i].bidData);
            put64(b, at + 16, all[i].bidSub);
        }
        lists.emplace_back(all[start].nid, writeBlock(b, true));
    }
    if (lists.size() == 1)
        return lists[0].second;
    if (lists.size() > kSiBlockMax)
        throw Error(ErrorKind::Invalid, "too many subnodes for one node");
    Bytes b(8 + 16 * lists.size(), 0);
    b[0] = 2;
    b[1] = 1;
    put16(b, 2, static_cast<uint16_t>(lists.size()));
    for (size_t i = 0; i < lists.size(); ++i) {
        put64(b, 8 + 16 * i, lists[i].first);
        put64(b, 8 + 16 * i + 8, lists[i].second);
    }
    return writeBlock(b, true);
}

void Ndb::addRef(uint64_t bid) {
    requireWritable();
    std::optional<BlockEntry> e = findBlock(bid);
    if (!e)
        corrupt("a reference to a missing block");
    if (e->refCount == 0xFFFF)
        throw Error(ErrorKind::Invalid, "a block shared too often");
    ++e->refCount;
    bbt_->put(blockEntryBytes(*e));
    changed_ = true;
}

void Ndb::releaseContents(uint64_t bid, const Bytes& data, int depth) {
    if (depth > 3 || !isInternalBid(bid))
        return;
    if (data.size() < 8)
        return;
    const uint16_t count = u16(data, 2);
    if (data[0] == 1) {
        for (size_t i = 0; i < count && 8 + 8 * i + 8 <= data.size(); ++i)
            release(u64(data, 8 + 8 * i));
    } else if (data[0] == 2 && data[1] == 0) {
        for (size_t i = 0; i < count && 8 + 24 * i + 24 <= data.size(); ++i) {
            if (uint64_t d = u64(data, 8 + 24 * i + 8))
                release(d);
            if (uint64_t s = u64(data, 8 + 24 * i + 16))
                release(s);
        }
    } else if (data[0] == 2) {
        for (size_t i = 0; i < count && 8 + 16 * i + 16 <= data.size(); ++i)
            release(u64(data, 8 + 16 * i + 8));
    }
}

void Ndb::release(uint64_t bid) {
    requireWritable();
    if (!bid)
        return;
    std::optional<BlockEntry> e = findBlock(bid);
    if (!e)
        corrupt("a release of a missing block");
    if (e->refCount > 2) {
        --e->refCount;
        bbt_->put(blockEntryBytes(*e));
    } else {
        // Its last holder lets go: what it refers to goes with it.
        Bytes contents = isInternalBid(bid) ? readBlock(bid) : Bytes();
        bbt_->erase(bid);
        blocks_.erase(e->ref.bid);
        space_->release(e->ref.ib, blockSize(e->cb));
        releaseContents(bid, contents, 0);
    }
    changed_ = true;
}

void Ndb::releaseSubnodes(uint64_t bidSub) { release(bidSub); }

void Ndb::releaseShallow(uint64_t bid) {
    requireWritable();
    std::optional<BlockEntry> e = findBlock(bid);
    if (!e)
        corrupt("a release of a missing block");
    bbt_->erase(bid);
    blocks_.erase(e->ref.bid);
    space_->release(e->ref.ib, blockSize(e->cb));
    changed_ = true;
}

uint16_t Ndb::refCount(uint64_t bid) {
    std::optional<BlockEntry> e = findBlock(bid);
    return e ? e->refCount : 0;
}

void Ndb::putNode(const NodeEntry& node) {
    requireWritable();
    nbt_->put(nodeEntryBytes(node));
    changed_ = true;
}

void Ndb::removeNode(uint32_t nid) {
    requireWritable();
    nbt_->erase(nid);
    changed_ = true;
}

uint32_t Ndb::allocateNid(uint32_t type) {
    requireWritable();
    uint32_t index = ++header_.nidCounters[type & 0x1F];
    changed_ = true;
    return (index << 5) | (type & 0x1F);
}

uint32_t Ndb::nextUnique() {
    requireWritable();
    changed_ = true;
    return ++header_.unique;
}

void Ndb::setFlushInterval(std::chrono::milliseconds interval) { flushInterval_ = interval; }

void Ndb::commit(bool flush) {
    requireWritable();
    const auto now = std::chrono::steady_clock::now();
    flush = flush || flushInterval_.count() == 0 || now - lastFlush_ >= flushInterval_;
    if (!changed_ && !space_->hasPendingFrees() && !(flush && unflushed_))
        return;
    header_.nbt = nbt_->commit();
    header_.bbt = bbt_->commit();
    space_->writeMaps();
    // New pages and maps first, the header that names them last: the file
    // is whole for any reader and once this process ends, flushed or not.
    if (flush)
        file_->sync();
    file_->write(0, header_.serialize());
    if (flush) {
        file_->sync();
        lastFlush_ = now;
    } else {
        file_->flush();
    }
    unflushed_ = !flush;
    // Space let go by this commit is free from the next one on.
    space_->committed();
    changed_ = space_->hasPendingFrees();
}

} // namespace pst
