// Every fact of the PST formats (Unicode and ANSI) the engine relies on, in one place:
// sizes, signatures, limits and the ids of the nodes every store holds.
// What the code does with them lives elsewhere; a number of the format
// written anywhere but here is a second copy waiting to drift.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pst {

// --- the file header -------------------------------------------------------
constexpr uint32_t kHeaderMagic = 0x4E444221;   // "!BDN"
constexpr uint16_t kHeaderClientMagic = 0x4D53; // "SM"
constexpr uint8_t kCryptNone = 0, kCryptPermute = 1, kCryptCyclic = 2;
constexpr uint8_t kAMapValid = 2;
// wVer: 14 and 15 are the ANSI format of Outlook 97-2002, 21 to 35 the
// Unicode format of Outlook 2003 and later.
constexpr uint16_t kVersionAnsiFirst = 14, kVersionAnsiLast = 15;
constexpr uint16_t kVersionUnicodeFirst = 21, kVersionUnicodeLast = 35;

// --- pages: B-trees and allocation maps ------------------------------------
constexpr size_t kPageSize = 512;
enum PageType : uint8_t { kPageBbt = 0x80, kPageNbt = 0x81, kPageFMap = 0x82, kPagePMap = 0x83, kPageAMap = 0x84,
                          kPageFPMap = 0x85, kPageDList = 0x86 };
// Allocation maps: one bit per 64 bytes; the first map, and one every span.
constexpr uint64_t kFirstAMap = 0x4400;
constexpr size_t kAMapBytes = 496;
constexpr uint64_t kAMapSpan = kAMapBytes * 8 * 64; // 253,952 bytes
constexpr size_t kAllocationUnit = 64;
// The map pages that follow a span's AMap page: a PMap in every 8th span,
// an FMap in every 496th from the 128th, an FPMap in every 63,488th from
// the 8,192nd.
inline bool spanHasPMap(size_t span) { return span % 8 == 0; }
inline bool spanHasFMap(size_t span) { return span >= 128 && (span - 128) % kAMapBytes == 0; }
inline bool spanHasFPMap(size_t span) { return span >= 8192 && (span - 8192) % (kAMapBytes * 128) == 0; }

// --- blocks ------------------------------------------------------------------
constexpr size_t kMaxBlock = 8192;
// Internal blocks: their first byte names the kind.
constexpr uint8_t kBlockDataTree = 1; // XBLOCK (level 1) and XXBLOCK (level 2)
constexpr uint8_t kBlockSubnodes = 2; // SLBLOCK (level 0) and SIBLOCK (level 1)
constexpr size_t kXBlockHeader = 8;   // btype, cLevel, cEnt, lcbTotal

// Where the two formats differ. The ANSI format (Outlook 97-2002) holds
// block ids, node data ids and file offsets in 32 bits where the Unicode
// format holds 64, so every structure that carries one is shorter, and
// the file ends at 2 GB. Pages are 512 bytes in both: data, then a
// trailer (type, type again, signature, then CRC and id in the Unicode
// format, id and CRC in the ANSI one).
struct FileFormat {
    bool ansi;
    size_t idSize;          // a BID or an IB: 8 or 4 bytes
    size_t headerSize;      // the header as its CRCs cover it
    size_t pageData;        // the bytes of a page before its trailer
    size_t pageCrc, pageBid;        // the trailer's CRC and id, from the page's start
    size_t btreeEntryBytes; // a B-tree page's entries; cEnt, cEntMax, cbEnt, cLevel follow
    size_t btreeInnerEntry; // key, then the child's BREF
    size_t nbtLeafEntry;    // nid, bidData, bidSub, nidParent (and padding)
    size_t bbtLeafEntry;    // BREF, cb, cRef (and padding)
    size_t btreeInnerMax, nbtLeafMax, bbtLeafMax; // cEntMax as Outlook writes it
    size_t amapBits;        // where a map page's bits begin (after padding)
    size_t blockTrailer;    // cb, wSig, then CRC and id (Unicode) or id and CRC (ANSI)
    size_t blockCrc, blockBid; // within the trailer
    size_t subnodeHeader;   // btype, cLevel, cEnt (and padding)
    uint8_t rowIndexData;   // a table's row index: the row number's bytes
    uint64_t maxFileSize;   // the largest file the format allows

    size_t maxBlockData() const { return kMaxBlock - blockTrailer; }
    size_t slEntry() const { return 3 * idSize; } // nid, bidData, bidSub
    size_t siEntry() const { return 2 * idSize; } // nid, bid
    size_t xblockMax() const { return (maxBlockData() - kXBlockHeader) / idSize; }
    size_t slBlockMax() const { return (maxBlockData() - subnodeHeader) / slEntry(); }
    size_t siBlockMax() const { return (maxBlockData() - subnodeHeader) / siEntry(); }
    // Bytes a block of `cb` data bytes takes in the file, trailer included.
    size_t blockSize(size_t cb) const { return (cb + blockTrailer + 63) / 64 * 64; }
};

constexpr FileFormat kUnicodeFormat{false, 8,   564, 496, 500, 504, 488, 24, 32, 24, 20, 15, 20,
                                    0,     16,  4,   8,   8,   4,   ~uint64_t(0) >> 1};
constexpr FileFormat kAnsiFormat{true, 4,  512, 500, 508, 504, 496, 12, 16, 12, 41, 31, 41,
                                 4,    12, 8,   4,   4,   2,   uint64_t(1) << 31};

// The longer of the two headers, and the one of a new (Unicode) file.
constexpr size_t kHeaderSize = kUnicodeFormat.headerSize;

inline bool isInternalBid(uint64_t bid) { return (bid & 2) != 0; }
// A block's or page's signature: the halves of its offset and id combined.
inline uint16_t signature(uint64_t ib, uint64_t bid) {
    const uint64_t v = ib ^ bid;
    return static_cast<uint16_t>((v >> 16) ^ v);
}

// --- node ids ------------------------------------------------------------------
inline uint32_t nidType(uint32_t nid) { return nid & 0x1F; }
enum NidType : uint32_t { kNidTypeFolder = 0x02, kNidTypeSearchFolder = 0x03, kNidTypeMessage = 0x04,
                          kNidTypeAttachment = 0x05, kNidTypeAssocMessage = 0x08, kNidTypeHierarchyTable = 0x0D,
                          kNidTypeContentsTable = 0x0E, kNidTypeAssocContentsTable = 0x0F,
                          kNidTypeSearchContentsTable = 0x10,
                          kNidTypeLtp = 0x1F /* a value of a heap too large for it */ };
inline uint32_t makeNid(uint32_t type, uint32_t index) { return (index << 5) | (type & 0x1F); }
inline uint32_t tableOf(uint32_t folderNid, uint32_t type) { return (folderNid & ~0x1Fu) | type; }

// The nodes every store holds.
constexpr uint32_t kNidMessageStore = 0x21;
constexpr uint32_t kNidNameToIdMap = 0x61;
constexpr uint32_t kNidRootFolder = 0x122;
constexpr uint32_t kNidSearchQueue = 0x1E1;
constexpr uint32_t kNidSearchActivity = 0x201;
constexpr uint32_t kNidSearchDomain = 0x261;
constexpr uint32_t kNidReceiveFolders = 0x62B;
constexpr uint32_t kNidHierarchyTemplate = 0x60D;
constexpr uint32_t kNidContentsTemplate = 0x60E;
constexpr uint32_t kNidAssocTemplate = 0x60F;
constexpr uint32_t kNidSearchContentsTemplate = 0x610;
constexpr uint32_t kNidAttachmentTemplate = 0x671;
constexpr uint32_t kNidRecipientTemplate = 0x692;
constexpr uint32_t kNidSpamFolder = 0x2223;
constexpr uint32_t kNidIpmSubtree = 0x8022;
constexpr uint32_t kNidSearchRoot = 0x8042;
constexpr uint32_t kNidDeletedItems = 0x8062;
// A message's recipient and attachment tables, as its subnodes.
constexpr uint32_t kNidRecipientTable = 0x692;
constexpr uint32_t kNidAttachmentTable = 0x671;
// The first index of a message's attachment subnodes and of a node's
// subnodes holding values too large for its heap, as Outlook numbers them.
constexpr uint32_t kFirstAttachmentIndex = 0x8000;
constexpr uint32_t kFirstLtpIndex = 0x400;

// --- heaps ---------------------------------------------------------------------
constexpr uint8_t kHeapSignature = 0xEC;
constexpr uint8_t kClientTable = 0x7C;
constexpr uint8_t kClientProperties = 0xBC;
constexpr uint8_t kClientBTree = 0xB5;
constexpr size_t kMaxHeapItem = 3580;    // the largest item a heap block takes
// Outlook keeps a value of more than 1 KB in a subnode of its own, not in
// the heap (seen in its files: 1,006 bytes in a heap, 1,098 in a subnode).
constexpr size_t kMaxHeapValue = 1024;
constexpr size_t kMaxHeapItems = 0x7FF;  // items in one heap block
constexpr size_t kMaxHeapBlocks = 0x10000;
constexpr size_t kHeapFirstHeader = 12;  // ibHnpm, bSig, bClientSig, hidUserRoot, rgbFillLevel[4]
constexpr size_t kHeapBitmapHeader = 66; // ibHnpm, rgbFillLevel[64]: every 128th block from the 9th
constexpr size_t kHeapPageHeader = 2;    // ibHnpm
constexpr size_t kHeapMapHeader = 4;     // cAlloc, cFree, then the allocations' offsets
constexpr size_t kFillLevelsInFirst = 8, kFillLevelsInBitmap = 128;
// The header a heap block carries, by its place in the heap.
inline size_t heapHeaderSize(size_t block) {
    if (block == 0)
        return kHeapFirstHeader;
    return block % kFillLevelsInBitmap == kFillLevelsInFirst ? kHeapBitmapHeader : kHeapPageHeader;
}
// A heap block's fill level: how much room it has left, in the sixteen
// steps the format knows.
inline uint8_t heapFillLevel(size_t freeBytes) {
    static const size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
    for (uint8_t i = 0; i < 15; ++i)
        if (freeBytes >= limits[i])
            return i;
    return 15;
}
// Heap ids: 5 type bits (0), an 11-bit index from 1, the block's number.
inline bool isHid(uint32_t hnid) { return (hnid & 0x1F) == 0; }
inline uint32_t makeHid(size_t block, size_t index) { return static_cast<uint32_t>((block << 16) | (index << 5)); }
inline size_t hidBlock(uint32_t hid) { return hid >> 16; }
inline size_t hidIndex(uint32_t hid) { return (hid >> 5) & 0x7FF; }

// A B-tree on a heap: its 8-byte header (signature, key size, data size,
// index levels, root), index records of key and HID, leaf records of key
// and data.
constexpr size_t kBthHeader = 8;

// --- property and table contexts ------------------------------------------------
constexpr uint8_t kPcKeySize = 2, kPcDataSize = 6;      // property id; type and value or HNID
constexpr uint8_t kRowIndexKeySize = 4; // row id; then the row number (FileFormat::rowIndexData)
// TCINFO: signature, column count, the four group ends, the row index, the
// row matrix, a deprecated index, then 8 bytes per column.
constexpr size_t kTcInfoHeader = 22;
constexpr size_t kTcColumn = 8;
constexpr uint32_t kTagLtpRowId = 0x67F20003;
constexpr uint32_t kTagLtpRowVersion = 0x67F30003;
constexpr uint32_t kTagMessageClass = 0x001A001F;
// The message store's PidTagPstPassword: the CRC-32 of its password, 0 for none.
constexpr uint32_t kTagPstPassword = 0x67FF0003;

// --- the name-to-id map ---------------------------------------------------------------
constexpr uint32_t kNameBucketCount = 251;
constexpr uint16_t kNameBucketFirst = 0x1000;
constexpr uint16_t kNamedPropertyFirst = 0x8000;
constexpr uint16_t kNameGuidMapi = 1, kNameGuidPublicStrings = 2, kNameGuidFirstListed = 3;

// --- values a store keeps in step --------------------------------------------------
constexpr uint32_t kMsgFlagRead = 0x1, kMsgFlagHasAttach = 0x10;

} // namespace pst
