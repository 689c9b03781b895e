#include "Ndb.h"

#include "Crc.h"
#include "Permute.h"

#include <map>
#include <mutex>
#include <optional>

namespace pst {

namespace {

Bytes nodeEntryBytes(const FileFormat& f, const NodeEntry& e) {
    const size_t w = f.idSize;
    Bytes b(f.nbtLeafEntry, 0);
    putId(b, 0, e.nid, w);
    putId(b, w, e.bidData, w);
    putId(b, 2 * w, e.bidSub, w);
    put32(b, 3 * w, e.nidParent);
    return b;
}

Bytes blockEntryBytes(const FileFormat& f, const BlockEntry& e) {
    const size_t w = f.idSize;
    Bytes b(f.bbtLeafEntry, 0);
    putId(b, 0, e.ref.bid, w);
    putId(b, w, e.ref.ib, w);
    put16(b, 2 * w, e.cb);
    put16(b, 2 * w + 2, e.refCount);
    return b;
}

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

NodeEntry nodeEntryOf(const FileFormat& f, const Bytes& b, size_t at) {
    const size_t w = f.idSize;
    // The upper half of a 64-bit NID field is not part of the NID.
    return {static_cast<uint32_t>(uid(b, at, w)), uid(b, at + w, w), uid(b, at + 2 * w, w), u32(b, at + 3 * w)};
}

BlockEntry blockEntryOf(const FileFormat& f, const Bytes& b, size_t at) {
    const size_t w = f.idSize;
    return {{uid(b, at, w), uid(b, at + w, w)}, u16(b, at + 2 * w), u16(b, at + 2 * w + 2)};
}

bool pageIsSound(const FileFormat& f, const Bytes& page, uint8_t type, const BlockRef& ref) {
    return page.size() >= kPageSize && page[f.pageData] == type && page[f.pageData + 1] == type &&
           !crcMismatch(page.data(), f.pageData, u32(page, f.pageCrc)) && uid(page, f.pageBid, f.idSize) == ref.bid &&
           u16(page, f.pageData + 2) == signature(ref.ib, ref.bid);
}

Bytes sealPage(const FileFormat& f, const Bytes& data, uint8_t type, uint16_t sig, uint64_t id) {
    Bytes page = data;
    page.resize(kPageSize, 0);
    page[f.pageData] = type;
    page[f.pageData + 1] = type;
    put16(page, f.pageData + 2, sig);
    put32(page, f.pageCrc, crc(page.data(), f.pageData));
    putId(page, f.pageBid, id, f.idSize);
    return page;
}

Ndb::Ndb(std::shared_ptr<File> file, bool writable) : file_(std::move(file)) {
    const uint64_t size = file_->size();
    const Bytes raw = file_->read(0, static_cast<size_t>(std::min<uint64_t>(size, kHeaderSize)));
    header_ = Header::parse(raw);
    format_ = header_.format;
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
    // The node tree's keys are 32-bit node ids (in 64-bit fields in the
    // Unicode format).
    PageStore& pages = *this;
    const FileFormat& f = *format_;
    nbt_ = std::make_unique<BTree>(pages, f, kPageNbt, f.nbtLeafEntry, f.nbtLeafMax, header_.nbt, 0xFFFFFFFFull);
    bbt_ = std::make_unique<BTree>(pages, f, kPageBbt, f.bbtLeafEntry, f.bbtLeafMax, header_.bbt, ~uint64_t(1));
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
    put32(h.raw, 0, kHeaderMagic);
    put16(h.raw, 8, kHeaderClientMagic);
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
    for (uint32_t& counter : h.nidCounters)
        counter = 0x400;
    h.nidCounters[kNidTypeSearchFolder] = 0x4000;
    h.nidCounters[kNidTypeMessage] = 0x10000;
    h.nidCounters[kNidTypeAssocMessage] = 0x8000;
    h.amapValid = kAMapValid;
    h.crypt = kCryptPermute;
    h.lastAMap = 0;
    h.fileEof = kFirstAMap;
    // The space before the first AMap: header and the (unused) DList slot.
    db->file_->write(0, Bytes(kFirstAMap, 0));
    db->space_ = std::make_unique<Space>(*db->file_, h);
    PageStore& pages = *db;
    const FileFormat& f = kUnicodeFormat;
    h.nbt = BTree::createEmpty(pages, f, kPageNbt, f.nbtLeafEntry, f.nbtLeafMax);
    h.bbt = BTree::createEmpty(pages, f, kPageBbt, f.bbtLeafEntry, f.bbtLeafMax);
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
    const FileFormat& f = *format_;
    if (ref.ib % kPageSize != 0)
        corrupt("a page is not aligned");
    if (pages_.find(ref.bid, ref.ib, page) && page[f.pageData] == type) {
        page.resize(f.pageData);
        return;
    }
    page = file_->read(ref.ib, kPageSize);
    if (page[f.pageData] != type || page[f.pageData + 1] != type)
        corrupt("a page is not of the kind expected");
    if (crcMismatch(page.data(), f.pageData, u32(page, f.pageCrc)))
        corrupt("a page's checksum does not match");
    if (uid(page, f.pageBid, f.idSize) != ref.bid)
        corrupt("a page is not the one referred to");
    if (u16(page, f.pageData + 2) != signature(ref.ib, ref.bid))
        corrupt("a page's signature does not match");
    page.resize(f.pageData + 1); // the type byte kept for the cache's check
    pages_.put(ref.bid, ref.ib, page);
    page.resize(f.pageData);
}

BlockRef Ndb::storePage(const Bytes& data, uint8_t type) {
    requireWritable();
    const FileFormat& f = *format_;
    BlockRef ref;
    ref.ib = space_->allocate(kPageSize, true);
    ref.bid = header_.nextPageBid++;
    Bytes page = sealPage(f, data, type, signature(ref.ib, ref.bid), ref.bid);
    file_->write(ref.ib, page);
    page.resize(f.pageData + 1);
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
    if (e->size() < format_->nbtLeafEntry)
        corrupt("a node B-tree leaf has short entries");
    return nodeEntryOf(*format_, *e, 0);
}

std::optional<BlockEntry> Ndb::findBlock(uint64_t bid) {
    requireUsable();
    std::optional<Bytes> e = bbt_->find(bid);
    if (!e)
        return std::nullopt;
    return blockEntryOf(*format_, *e, 0);
}

void Ndb::forEachNode(const std::function<void(const NodeEntry&)>& visit) {
    requireUsable();
    nbt_->forEach([&](const Bytes& e) { visit(nodeEntryOf(*format_, e, 0)); });
}

void Ndb::forEachBlock(const std::function<void(const BlockEntry&)>& visit) {
    requireUsable();
    bbt_->forEach([&](const Bytes& e) { visit(blockEntryOf(*format_, e, 0)); });
}

Bytes Ndb::readBlock(uint64_t bid) {
    std::optional<BlockEntry> entry = findBlock(bid);
    if (!entry)
        corrupt("a block is missing (" + std::to_string(bid) + ")");
    Bytes held;
    if (blocks_.find(entry->ref.bid, entry->ref.ib, held))
        return held;
    const FileFormat& f = *format_;
    if (entry->cb > f.maxBlockData())
        corrupt("a block is larger than a block may be");
    const size_t size = f.blockSize(entry->cb);
    Bytes raw = file_->read(entry->ref.ib, size);
    const size_t t = size - f.blockTrailer;
    if (u16(raw, t) != entry->cb)
        corrupt("a block's size does not match its trailer");
    if (u16(raw, t + 2) != signature(entry->ref.ib, entry->ref.bid))
        corrupt("a block's signature does not match");
    if (crcMismatch(raw.data(), entry->cb, u32(raw, t + f.blockCrc)))
        corrupt("a block's checksum does not match");
    if ((uid(raw, t + f.blockBid, f.idSize) & ~uint64_t(1)) != (entry->ref.bid & ~uint64_t(1)))
        corrupt("a block is not the one referred to");
    raw.resize(entry->cb);
    if (!isInternalBid(entry->ref.bid) && header_.crypt == kCryptPermute)
        permuteDecode(raw.data(), raw.size());
    blocks_.put(entry->ref.bid, entry->ref.ib, raw);
    return raw;
}

namespace {

XBlock parseXBlock(const FileFormat& f, const Bytes& b) {
    if (u8(b, 0) != kBlockDataTree)
        corrupt("an internal block is not a data tree");
    XBlock x;
    x.level = u8(b, 1);
    const size_t count = u16(b, 2);
    if (x.level == 0 || x.level > 2 || kXBlockHeader + f.idSize * count > b.size())
        corrupt("a data tree block is malformed");
    x.total = u32(b, 4);
    x.children.reserve(count);
    for (size_t i = 0; i < count; ++i)
        x.children.push_back(uid(b, kXBlockHeader + f.idSize * i, f.idSize));
    return x;
}

// An SLBLOCK (level 0: the subnodes) or SIBLOCK (level 1: per SLBLOCK, its
// first subnode's id and the block, in `bidData`).
struct SubnodeBlock {
    uint8_t level = 0;
    std::vector<SubnodeEntry> entries;
};

SubnodeBlock parseSubnodeBlock(const FileFormat& f, const Bytes& b) {
    if (u8(b, 0) != kBlockSubnodes || u8(b, 1) > 1)
        corrupt("a subnode block is malformed");
    SubnodeBlock s;
    s.level = b[1];
    const size_t count = u16(b, 2), size = s.level ? f.siEntry() : f.slEntry(), w = f.idSize;
    need(b, f.subnodeHeader, count * size, "subnode block");
    s.entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = f.subnodeHeader + size * i;
        // The upper half of a 64-bit NID field is not part of the NID.
        s.entries.push_back({static_cast<uint32_t>(uid(b, at, w)), uid(b, at + w, w), s.level ? 0 : uid(b, at + 2 * w, w)});
    }
    return s;
}

} // namespace

XBlock Ndb::readXBlock(uint64_t bid) { return parseXBlock(*format_, readBlock(bid)); }

uint64_t Ndb::writeXBlock(const XBlock& x) {
    const size_t w = format_->idSize;
    Bytes b(kXBlockHeader + w * x.children.size(), 0);
    b[0] = kBlockDataTree;
    b[1] = x.level;
    put16(b, 2, static_cast<uint16_t>(x.children.size()));
    put32(b, 4, static_cast<uint32_t>(x.total));
    for (size_t i = 0; i < x.children.size(); ++i)
        putId(b, kXBlockHeader + w * i, x.children[i], w);
    return writeBlock(b, true);
}

std::vector<Bytes> Ndb::readDataBlocks(uint64_t bidData) {
    std::vector<Bytes> out;
    for (uint64_t bid : dataBlockIds(bidData))
        out.push_back(readBlock(bid));
    return out;
}

void Ndb::forEachDataBlock(uint64_t bidData, const std::function<void(const Bytes&)>& visit) {
    for (uint64_t bid : dataBlockIds(bidData))
        visit(readBlock(bid));
}

std::vector<uint64_t> Ndb::dataBlockIds(uint64_t bidData) {
    if (!bidData || !isInternalBid(bidData))
        return bidData ? std::vector<uint64_t>{bidData} : std::vector<uint64_t>{};
    // An XXBLOCK's children are XBLOCKs, an XBLOCK's are data blocks.
    const XBlock top = readXBlock(bidData);
    std::vector<uint64_t> out;
    auto leaves = [&](const std::vector<uint64_t>& children) {
        for (uint64_t child : children) {
            if (isInternalBid(child))
                corrupt("a data tree names a tree block in place of data");
            out.push_back(child);
        }
    };
    if (top.level == 1) {
        leaves(top.children);
        return out;
    }
    for (uint64_t child : top.children) {
        const XBlock x = readXBlock(child);
        if (x.level != 1)
            corrupt("a data tree block at the wrong level");
        leaves(x.children);
    }
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
    const SubnodeBlock block = parseSubnodeBlock(*format_, readBlock(bid));
    for (const SubnodeEntry& e : block.entries) {
        if (block.level == 0)
            out[e.nid] = e;
        else
            collectSubnodes(e.bidData, depth + 1, out);
    }
}

Subnodes Ndb::readSubnodes(uint64_t bidSub) {
    Subnodes out;
    if (bidSub)
        collectSubnodes(bidSub, 0, out);
    return out;
}

uint64_t Ndb::writeBlock(const uint8_t* data, size_t cb, bool internal) {
    requireWritable();
    const FileFormat& f = *format_;
    if (cb > f.maxBlockData())
        throw Error(ErrorKind::Invalid, "a block larger than a block may be");
    const size_t size = f.blockSize(cb);
    const uint64_t ib = space_->allocate(size, false);
    const uint64_t bid = header_.nextBlockBid | (internal ? 2 : 0);
    header_.nextBlockBid += 4;
    // Encoded while it is copied, in a buffer kept from block to block.
    Bytes& raw = blockOut_;
    raw.resize(size);
    if (!internal && header_.crypt == kCryptPermute)
        permuteEncode(data, raw.data(), cb);
    else
        std::copy(data, data + cb, raw.begin());
    const size_t t = size - f.blockTrailer;
    std::fill(raw.begin() + static_cast<std::ptrdiff_t>(cb), raw.begin() + static_cast<std::ptrdiff_t>(t), 0);
    put16(raw, t, static_cast<uint16_t>(cb));
    put16(raw, t + 2, signature(ib, bid));
    put32(raw, t + f.blockCrc, crc(raw.data(), cb));
    putId(raw, t + f.blockBid, bid, f.idSize);
    file_->write(ib, raw);
    blocks_.put(bid, ib, data, cb);
    bbt_->put(blockEntryBytes(f, {{bid, ib}, static_cast<uint16_t>(cb), 2}));
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
    uint64_t total = 0;
    std::vector<uint64_t> bids;
    for (const auto& b : blocks) {
        bids.push_back(b.first);
        total += b.second;
    }
    const size_t perX = format_->xblockMax();
    if (bids.size() <= perX)
        return writeXBlock({1, total, bids});
    if (bids.size() > perX * perX)
        throw Error(ErrorKind::Invalid, "node data too large for one node");
    // An XXBLOCK over XBLOCKs of up to perX blocks each.
    std::vector<uint64_t> xblocks;
    for (size_t start = 0; start < bids.size(); start += perX) {
        size_t end = std::min(bids.size(), start + perX);
        uint64_t bytes = 0;
        for (size_t i = start; i < end; ++i)
            bytes += blocks[i].second;
        xblocks.push_back(writeXBlock({1, bytes, std::vector<uint64_t>(bids.begin() + start, bids.begin() + end)}));
    }
    return writeXBlock({2, total, xblocks});
}

uint64_t Ndb::writeData(const Bytes& data) {
    std::vector<Bytes> blocks;
    const size_t most = format_->maxBlockData();
    for (size_t at = 0; at < data.size(); at += most)
        blocks.push_back(slice(data, at, std::min(most, data.size() - at)));
    return writeDataBlocks(blocks);
}

uint64_t Ndb::writeSubnodes(const Subnodes& subnodes) {
    if (subnodes.empty())
        return 0;
    const FileFormat& f = *format_;
    const size_t w = f.idSize;
    std::vector<std::pair<uint32_t, uint64_t>> lists; // first nid, SLBLOCK bid
    std::vector<SubnodeEntry> all;
    for (const auto& kv : subnodes)
        all.push_back(kv.second);
    for (size_t start = 0; start < all.size(); start += f.slBlockMax()) {
        size_t end = std::min(all.size(), start + f.slBlockMax());
        Bytes b(f.subnodeHeader + f.slEntry() * (end - start), 0);
        b[0] = kBlockSubnodes;
        b[1] = 0;
        put16(b, 2, static_cast<uint16_t>(end - start));
        for (size_t i = start; i < end; ++i) {
            size_t at = f.subnodeHeader + f.slEntry() * (i - start);
            putId(b, at, all[i].nid, w);
            putId(b, at + w, all[i].bidData, w);
            putId(b, at + 2 * w, all[i].bidSub, w);
        }
        lists.emplace_back(all[start].nid, writeBlock(b, true));
    }
    if (lists.size() == 1)
        return lists[0].second;
    if (lists.size() > f.siBlockMax())
        throw Error(ErrorKind::Invalid, "too many subnodes for one node");
    Bytes b(f.subnodeHeader + f.siEntry() * lists.size(), 0);
    b[0] = kBlockSubnodes;
    b[1] = 1;
    put16(b, 2, static_cast<uint16_t>(lists.size()));
    for (size_t i = 0; i < lists.size(); ++i) {
        putId(b, f.subnodeHeader + f.siEntry() * i, lists[i].first, w);
        putId(b, f.subnodeHeader + f.siEntry() * i + w, lists[i].second, w);
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
    bbt_->put(blockEntryBytes(*format_, *e));
    changed_ = true;
}

void Ndb::releaseContents(uint64_t bid, const Bytes& data) {
    if (!isInternalBid(bid))
        return;
    if (u8(data, 0) == kBlockDataTree) {
        for (uint64_t child : parseXBlock(*format_, data).children)
            release(child);
        return;
    }
    // A block is gone from the tree before what it holds is let go, so a
    // block that names itself is found missing, not released forever.
    for (const SubnodeEntry& e : parseSubnodeBlock(*format_, data).entries) {
        release(e.bidData);
        release(e.bidSub);
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
        bbt_->put(blockEntryBytes(*format_, *e));
    } else {
        // Its last holder lets go: what it refers to goes with it.
        Bytes contents = isInternalBid(bid) ? readBlock(bid) : Bytes();
        bbt_->erase(bid);
        blocks_.erase(e->ref.bid);
        space_->release(e->ref.ib, format_->blockSize(e->cb));
        releaseContents(bid, contents);
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
    space_->release(e->ref.ib, format_->blockSize(e->cb));
    changed_ = true;
}

uint16_t Ndb::refCount(uint64_t bid) {
    std::optional<BlockEntry> e = findBlock(bid);
    return e ? e->refCount : 0;
}

void Ndb::putNode(const NodeEntry& node) {
    requireWritable();
    nbt_->put(nodeEntryBytes(*format_, node));
    changed_ = true;
}

void Ndb::removeNode(uint32_t nid) {
    requireWritable();
    nbt_->erase(nid);
    changed_ = true;
}

uint32_t Ndb::allocateNid(uint32_t type) {
    requireWritable();
    const uint32_t index = ++header_.nidCounters[nidType(type)];
    changed_ = true;
    return makeNid(type, index);
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
    else
        file_->flush();
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
