#include "Crc.h"

#include <array>

namespace pst {

namespace {
// Eight tables: the first is the byte-wise CRC-32 table, table k the CRC
// of a byte followed by k zero bytes, so that eight bytes are folded in
// per step (slicing by eight).
using Tables = std::array<std::array<uint32_t, 256>, 8>;

const Tables& tables() {
    static const Tables t = [] {
        Tables out{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            out[0][n] = c;
        }
        for (uint32_t n = 0; n < 256; ++n)
            for (size_t k = 1; k < 8; ++k)
                out[k][n] = (out[k - 1][n] >> 8) ^ out[0][out[k - 1][n] & 0xFF];
        return out;
    }();
    return t;
}
} // namespace

uint32_t crc(const uint8_t* data, size_t size, uint32_t start) {
    uint32_t c = start;
    const Tables& t = tables();
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const uint32_t lo = c ^ (uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
                                 uint32_t(data[i + 3]) << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][data[i + 4]] ^ t[2][data[i + 5]] ^ t[1][data[i + 6]] ^ t[0][data[i + 7]];
    }
    for (; i < size; ++i)
        c = t[0][(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c;
}

} // namespace pst
