#include "Header.h"

#include "Crc.h"

namespace pst {

namespace {

// Where each field lies, by format: the ANSI header holds its ids and
// offsets in 32 bits, so everything after its first id sits earlier.
struct HeaderFields {
    size_t nextBlockBid, nextPageBid, unique, nidCounters;
    size_t fileEof, lastAMap, amapFree, pmapFree, nbt, bbt, amapValid;
    size_t sentinel, crypt;
    size_t crcFull; // 0: the ANSI header has only the partial CRC
};

constexpr HeaderFields kUnicodeFields{516, 32, 40, 44, 184, 192, 200, 208, 216, 232, 248, 512, 513, 524};
constexpr HeaderFields kAnsiFields{24, 28, 32, 36, 168, 172, 176, 180, 184, 192, 200, 460, 461, 0};

const HeaderFields& fieldsOf(const FileFormat& f) { return f.ansi ? kAnsiFields : kUnicodeFields; }

// The partial CRC covers 471 bytes from wMagicClient in both formats; the
// Unicode header's full CRC 516.
constexpr size_t kCrcStart = 8, kCrcPartialBytes = 471, kCrcFullBytes = 516;


} // namespace

Header Header::parse(const Bytes& raw) {
    if (raw.size() < 24 || u32(raw, 0) != kHeaderMagic || u16(raw, 8) != kHeaderClientMagic)
        throw Error(ErrorKind::NotPst, "the file is not a PST (personal folders) file");
    Header h;
    h.version = u16(raw, 10);
    if (h.version >= kVersionAnsiFirst && h.version <= kVersionAnsiLast)
        h.format = &kAnsiFormat;
    else if (h.version < kVersionUnicodeFirst || h.version > kVersionUnicodeLast)
        throw Error(ErrorKind::Unsupported, "the PST file has a format version this program does not handle (" +
                                                std::to_string(h.version) + ")");
    const FileFormat& f = *h.format;
    const HeaderFields& at = fieldsOf(f);
    if (raw.size() < f.headerSize)
        throw Error(ErrorKind::Corrupt, "the PST file's header is truncated");
    h.raw = slice(raw, 0, f.headerSize);
    if (crcMismatch(&h.raw[kCrcStart], kCrcPartialBytes, u32(h.raw, 4)) ||
        (at.crcFull && crcMismatch(&h.raw[kCrcStart], kCrcFullBytes, u32(h.raw, at.crcFull))))
        throw Error(ErrorKind::Corrupt, "the PST file's header is damaged (checksum mismatch)");
    h.clientVersion = u16(h.raw, 12);
    h.nextPageBid = uid(h.raw, at.nextPageBid, f.idSize);
    h.unique = u32(h.raw, at.unique);
    for (int i = 0; i < 32; ++i)
        h.nidCounters[i] = u32(h.raw, at.nidCounters + 4 * i);
    h.fileEof = uid(h.raw, at.fileEof, f.idSize);
    h.lastAMap = uid(h.raw, at.lastAMap, f.idSize);
    h.amapFree = uid(h.raw, at.amapFree, f.idSize);
    h.pmapFree = uid(h.raw, at.pmapFree, f.idSize);
    h.nbt = {uid(h.raw, at.nbt, f.idSize), uid(h.raw, at.nbt + f.idSize, f.idSize)};
    h.bbt = {uid(h.raw, at.bbt, f.idSize), uid(h.raw, at.bbt + f.idSize, f.idSize)};
    h.amapValid = u8(h.raw, at.amapValid);
    h.crypt = u8(h.raw, at.crypt);
    h.nextBlockBid = uid(h.raw, at.nextBlockBid, f.idSize);
    if (u8(h.raw, at.sentinel) != 0x80)
        throw Error(ErrorKind::Corrupt, "the PST file's header is damaged (sentinel)");
    if (h.crypt > kCryptCyclic)
        throw Error(ErrorKind::Unsupported, "the PST file uses an unknown encoding");
    return h;
}

Bytes Header::serialize() const {
    const FileFormat& f = *format;
    const HeaderFields& at = fieldsOf(f);
    Bytes b = raw;
    put16(b, 10, version);
    put16(b, 12, clientVersion);
    putId(b, at.nextPageBid, nextPageBid, f.idSize);
    put32(b, at.unique, unique);
    for (int i = 0; i < 32; ++i)
        put32(b, at.nidCounters + 4 * i, nidCounters[i]);
    putId(b, at.fileEof, fileEof, f.idSize);
    putId(b, at.lastAMap, lastAMap, f.idSize);
    putId(b, at.amapFree, amapFree, f.idSize);
    putId(b, at.pmapFree, pmapFree, f.idSize);
    putId(b, at.nbt, nbt.bid, f.idSize);
    putId(b, at.nbt + f.idSize, nbt.ib, f.idSize);
    putId(b, at.bbt, bbt.bid, f.idSize);
    putId(b, at.bbt + f.idSize, bbt.ib, f.idSize);
    put8(b, at.amapValid, amapValid);
    put8(b, at.crypt, crypt);
    putId(b, at.nextBlockBid, nextBlockBid, f.idSize);
    put32(b, 4, crc(&b[kCrcStart], kCrcPartialBytes));
    if (at.crcFull)
        put32(b, at.crcFull, crc(&b[kCrcStart], kCrcFullBytes));
    return b;
}

} // namespace pst
