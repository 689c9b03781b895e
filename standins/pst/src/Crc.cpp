#include "Crc.h"

#include <array>

namespace pst {

namespace {
const std::array<uint32_t, 256>& table() {
    static const std::array<uint32_t, 256> t = [] {
        std::array<uint32_t, 256> out{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            out[n] = c;
        }
        return out;
    }();
    return t;
}
} // namespace

uint32_t crc(const uint8_t* data, size_t size, uint32_t start) {
    uint32_t c = start;
    const auto& t = table();
    for (size_t i = 0; i < size; ++i)
        c = t[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c;
}

} // namespace pst
