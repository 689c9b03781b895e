// The node database of a PST: the node and block B-trees, blocks with
// their trailers, a node's data (through XBLOCK and XXBLOCK trees) and its
// subnodes (through SLBLOCK and SIBLOCK trees).
#pragma once
#include "File.h"
#include "Header.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace pst {

constexpr size_t kPageSize = 512;
constexpr size_t kMaxBlock = 8192;
constexpr size_t kMaxBlockData = 8176;

enum PageType : uint8_t { kPageBbt = 0x80, kPageNbt = 0x81, kPageFMap = 0x82, kPagePMap = 0x83, kPageAMap = 0x84,
                          kPageFPMap = 0x85, kPageDList = 0x86 };

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

struct SubnodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};

inline bool isInternalBid(uint64_t bid) { return (bid & 2) != 0; }
inline uint16_t signature(uint64_t ib, uint64_t bid) {
    uint64_t v = ib ^ bid;
    return static_cast<uint16_t>((v >> 16) ^ v);
}
// Bytes a block of `cb` data bytes takes in the file (trailer included).
inline size_t blockSize(size_t cb) { return (cb + 16 + 63) / 64 * 64; }

class Ndb {
public:
    explicit Ndb(std::shared_ptr<File> file);

    const Header& header() const { return header_; }
    File& file() { return *file_; }

    std::optional<NodeEntry> findNode(uint32_t nid);
    std::optional<BlockEntry> findBlock(uint64_t bid);
    void forEachNode(const std::function<void(const NodeEntry&)>& visit);
    void forEachBlock(const std::function<void(const BlockEntry&)>& visit);

    // A block's data bytes, checked against its trailer, decoded when it is
    // an external (data) block.
    Bytes readBlock(uint64_t bid);
    // The data blocks of a node's data, in order (HN pages are per block).
    std::vector<Bytes> readDataBlocks(uint64_t bidData);
    Bytes readData(uint64_t bidData);
    std::map<uint32_t, SubnodeEntry> readSubnodes(uint64_t bidSub);

    // A B-tree page, checked (type, checksum, place).
    Bytes readPage(const BlockRef& ref, uint8_t type);

private:
    std::optional<NodeEntry> searchNbt(const BlockRef& page, uint64_t key, int depth);
    std::optional<BlockEntry> searchBbt(const BlockRef& page, uint64_t key, int depth);
    void walk(const BlockRef& page, uint8_t type, int depth, const std::function<void(const Bytes&, int)>& leaf);
    void collectData(uint64_t bid, int depth, std::vector<Bytes>& out);
    void collectSubnodes(uint64_t bid, int depth, std::map<uint32_t, SubnodeEntry>& out);

    std::shared_ptr<File> file_;
    Header header_;
};

} // namespace pst
