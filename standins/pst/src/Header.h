// A PST's header: 564 bytes in the Unicode format, 512 in the ANSI one.
#pragma once
#include "Bytes.h"
#include "pst/Format.h"

#include <array>

namespace pst {

struct BlockRef {
    uint64_t bid = 0;
    uint64_t ib = 0;
};

struct Header {
    const FileFormat* format = &kUnicodeFormat;
    Bytes raw; // kept whole: reserved fields are written back as found
    uint16_t version = 0;
    uint16_t clientVersion = 0;
    uint64_t nextPageBid = 0;
    uint32_t unique = 0;
    std::array<uint32_t, 32> nidCounters{};
    uint64_t fileEof = 0;
    uint64_t lastAMap = 0;
    uint64_t amapFree = 0;
    uint64_t pmapFree = 0;
    BlockRef nbt, bbt;
    uint8_t amapValid = 0;
    uint8_t crypt = 0;
    uint64_t nextBlockBid = 0;

    // Parses and checks a header of either format; throws NotPst,
    // Unsupported or Corrupt.
    static Header parse(const Bytes& raw);
    // The raw bytes with the fields above and both CRCs written in.
    Bytes serialize() const;
};

} // namespace pst
