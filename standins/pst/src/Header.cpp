#include "Header.h"

#include "Crc.h"

namespace pst {

Header Header::parse(const Bytes& raw) {
    if (raw.size() < 24 || u32(raw, 0) != kHeaderMagic || u16(raw, 8) != kHeaderClientMagic)
        throw Error(ErrorKind::NotPst, "the file is not a PST (personal folders) file");
    Header h;
    h.version = u16(raw, 10);
    if (h.version == 14 || h.version == 15)
        throw Error(ErrorKind::Unsupported,
                    "the file is an ANSI PST of Outlook 97-2002; only Unicode PST files (Outlook 2003 and later) "
                    "can be used");
    if (h.version < 21 || h.version >= 36)
        throw Error(ErrorKind::Unsupported, "the PST file has a format version this program does not handle (" +
                                                std::to_string(h.version) + ")");
    if (raw.size() < kHeaderSize)
        throw Error(ErrorKind::Corrupt, "the PST file's header is truncated");
    h.raw = slice(raw, 0, kHeaderSize);
    if (crcMismatch(&h.raw[8], 471, u32(h.raw, 4)) || crcMismatch(&h.raw[8], 516, u32(h.raw, 524)))
        throw Error(ErrorKind::Corrupt, "the PST file's header is damaged (checksum mismatch)");
    h.clientVersion = u16(h.raw, 12);
    h.nextPageBid = u64(h.raw, 32);
    h.unique = u32(h.raw, 40);
    for (int i = 0; i < 32; ++i)
        h.nidCounters[i] = u32(h.raw, 44 + 4 * i);
    h.fileEof = u64(h.raw, 184);
    h.lastAMap = u64(h.raw, 192);
    h.amapFree = u64(h.raw, 200);
    h.pmapFree = u64(h.raw, 208);
    h.nbt = {u64(h.raw, 216), u64(h.raw, 224)};
    h.bbt = {u64(h.raw, 232), u64(h.raw, 240)};
    h.amapValid = u8(h.raw, 248);
    h.crypt = u8(h.raw, 513);
    h.nextBlockBid = u64(h.raw, 516);
    if (u8(h.raw, 512) != 0x80)
        throw Error(ErrorKind::Corrupt, "the PST file's header is damaged (sentinel)");
    if (h.crypt > kCryptCyclic)
        throw Error(ErrorKind::Unsupported, "the PST file uses an unknown encoding");
    return h;
}

Bytes Header::serialize() const {
    Bytes b = raw;
    put16(b, 10, version);
    put16(b, 12, clientVersion);
    put64(b, 32, nextPageBid);
    put32(b, 40, unique);
    for (int i = 0; i < 32; ++i)
        put32(b, 44 + 4 * i, nidCounters[i]);
    put64(b, 184, fileEof);
    put64(b, 192, lastAMap);
    put64(b, 200, amapFree);
    put64(b, 208, pmapFree);
    put64(b, 216, nbt.bid);
    put64(b, 224, nbt.ib);
    put64(b, 232, bbt.bid);
    put64(b, 240, bbt.ib);
    put8(b, 248, amapValid);
    put8(b, 513, crypt);
    put64(b, 516, nextBlockBid);
    put32(b, 4, crc(&b[8], 471));
    put32(b, 524, crc(&b[8], 516));
    return b;
}

} // namespace pst
