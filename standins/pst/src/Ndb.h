// The node database of a PST: the node and block B-trees, blocks with
// their trailers, a node's data (through XBLOCK and XXBLOCK trees) and its
// subnodes (through SLBLOCK and SIBLOCK trees); and, for a writable file,
// new blocks, reference counts and the commit that makes them durable.
#pragma once
#include "BTree.h"
#include "SlotCache.h"
#include "File.h"
#include "Header.h"
#include "Space.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace pst {

struct NodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
    uint32_t nidParent = 0;
};

struct BlockEntry {
    BlockRef ref;
    uint16_t cb = 0;
    uint16_t refCount = 0;
};

// An XBLOCK (level 1: data blocks) or XXBLOCK (level 2: XBLOCKs): the
// blocks of node data too large for one, and the bytes they hold.
struct XBlock {
    uint8_t level = 1;
    uint64_t total = 0;
    std::vector<uint64_t> children;
};

struct SubnodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};
using Subnodes = std::map<uint32_t, SubnodeEntry>;

// B-tree leaf entries and page trailers as the file's format lays them out
// (for the checker, which reads the trees page by page).
NodeEntry nodeEntryOf(const FileFormat& f, const Bytes& b, size_t at);
BlockEntry blockEntryOf(const FileFormat& f, const Bytes& b, size_t at);
bool pageIsSound(const FileFormat& f, const Bytes& page, uint8_t type, const BlockRef& ref);
// A page: its data, then the trailer with the id given (a map page's is
// its offset).
Bytes sealPage(const FileFormat& f, const Bytes& data, uint8_t type, uint16_t sig, uint64_t id);

class Ndb : private PageStore {
public:
    // Opens the file's node database; `writable` files may be changed.
    Ndb(std::shared_ptr<File> file, bool writable);
    // A new, empty database (no nodes, no blocks) in a new file.
    static std::unique_ptr<Ndb> create(std::shared_ptr<File> file, const Bytes& reservedHeaderFields);
    // One that refuses every use: what a store holds once it could not be
    // read again.
    static std::unique_ptr<Ndb> unusable();
    ~Ndb() override;

    const Header& header() const { return header_; }
    const FileFormat& format() const { return *format_; }
    Header& mutableHeader() { return header_; }
    File& file() { return *file_; }
    bool writable() const { return space_ != nullptr; }

    std::optional<NodeEntry> findNode(uint32_t nid);
    std::optional<BlockEntry> findBlock(uint64_t bid);
    void forEachNode(const std::function<void(const NodeEntry&)>& visit);
    void forEachBlock(const std::function<void(const BlockEntry&)>& visit);

    // A block's data bytes, checked against its trailer, decoded when it is
    // an external (data) block.
    Bytes readBlock(uint64_t bid);
    // The data blocks of a node's data, in order (heap pages are per block).
    std::vector<Bytes> readDataBlocks(uint64_t bidData);
    Bytes readData(uint64_t bidData);
    // Visits a node's data one block at a time.
    void forEachDataBlock(uint64_t bidData, const std::function<void(const Bytes&)>& visit);
    // The ids of a node's data blocks, in order, without reading them.
    std::vector<uint64_t> dataBlockIds(uint64_t bidData);
    // A data-tree block, checked.
    XBlock readXBlock(uint64_t bid);
    Subnodes readSubnodes(uint64_t bidSub);

    // --- writing (writable databases only) ---
    // A new block holding `data`; its reference count is 2 (the block tree
    // and the one holder the caller is about to give it).
    uint64_t writeBlock(const Bytes& data, bool internal) { return writeBlock(data.data(), data.size(), internal); }
    uint64_t writeBlock(const uint8_t* data, size_t size, bool internal);
    // Room for reading what is about to be written, kept from use to use
    // (memory fresh from the system costs more than the reading).
    Bytes& readBuffer() { return readBuffer_; }
    // Node data of any size, as one block or a tree of them; 0 for none.
    uint64_t writeData(const Bytes& data);
    // Node data from its blocks (each at most a block's data, all but the last
    // full, or heap blocks of any fill).
    uint64_t writeDataBlocks(const std::vector<Bytes>& blocks);
    // A data tree over blocks already written (each holds one reference
    // that the tree takes over), with their sizes.
    uint64_t writeDataTree(const std::vector<std::pair<uint64_t, size_t>>& blocks);
    uint64_t writeXBlock(const XBlock& x);
    uint64_t writeSubnodes(const Subnodes& subnodes);
    void addRef(uint64_t bid);
    // Drops one reference; a block no longer used is freed, with what it
    // refers to.
    void release(uint64_t bid);
    void releaseSubnodes(uint64_t bidSub);
    // Drops the block's last reference without letting go of what it
    // refers to: its children have been handed to a replacement.
    void releaseShallow(uint64_t bid);
    uint16_t refCount(uint64_t bid);

    void putNode(const NodeEntry& node);
    void removeNode(uint32_t nid);
    // A new node id of the type.
    uint32_t allocateNid(uint32_t type);
    // The next row version (dwUnique).
    uint32_t nextUnique();

    // Makes every change so far durable: new pages and maps, then the
    // header, each step flushed to the disk. With a flush interval set,
    // a commit within the interval of the last flush writes the same in
    // the same order without flushing (sound when the process ends, not
    // proof against a power cut); `flush` forces one.
    void commit(bool flush = false);
    void setFlushInterval(std::chrono::milliseconds interval);
    std::chrono::milliseconds flushInterval() const { return flushInterval_; }
    // Commits, then gives back the space the last commit let go of, so
    // that nothing stays allocated unused once the file is closed.
    void close();

    // For the checker.
    Space* space() { return space_.get(); }
    // After a failure that could not be undone: every further use fails,
    // and nothing is written on closing.
    void poison() { poisoned_ = true; }

private:
    Ndb() = default;
    void loadPage(const BlockRef& ref, uint8_t type, Bytes& out) override;
    BlockRef storePage(const Bytes& data, uint8_t type) override;
    void retirePage(const BlockRef& ref) override;
    void openTrees();
    void collectSubnodes(uint64_t bid, int depth, Subnodes& out);
    void releaseContents(uint64_t bid, const Bytes& data);
    void requireWritable() const;
    void requireUsable() const;

    std::shared_ptr<File> file_;
    Header header_;
    const FileFormat* format_ = &kUnicodeFormat;
    std::unique_ptr<Space> space_;
    std::unique_ptr<BTree> nbt_, bbt_;
    // A lookup in either tree walks its pages from the root, and the small
    // blocks of a folder's tables are read again for every message added
    // to it: both held here (2 MB and 4 MB).
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Fuzzing opens thousands of tiny stores: small caches, slots shared
    // more often.
    static constexpr size_t kCacheSlots = 64;
#else
    static constexpr size_t kCacheSlots = 4096;
#endif
    SlotCache pages_{kCacheSlots, kPageSize}; // a page's data and its type byte
    SlotCache blocks_{kCacheSlots, 1024};
    Bytes blockOut_; // a block as written: encoded, padded, sealed
    Bytes readBuffer_;
    bool changed_ = false;
    bool poisoned_ = false;
    bool unflushed_ = false; // a commit is written but not yet flushed
    std::chrono::milliseconds flushInterval_{0};
    std::chrono::steady_clock::time_point lastFlush_ = std::chrono::steady_clock::now();
};

} // namespace pst
