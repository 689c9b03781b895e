// The CRC (folded by carry-less multiplication where the processor has it,
// from the tables for the rest) against the bit-by-bit definition.
#include "Crc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

uint32_t bitwiseCrc(const uint8_t* data, size_t size, uint32_t c) {
    for (size_t i = 0; i < size; ++i) {
        c ^= data[i];
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c;
}

} // namespace

TEST(Crc, EveryLengthAndAlignmentMatchesTheBitwiseDefinition) {
    std::mt19937 random(7);
    std::vector<uint8_t> data(9000);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    for (size_t at = 0; at < 8; ++at)
        for (size_t n : {0, 1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 79, 80, 127, 128, 129, 496, 8176, 8999 - 7})
            ASSERT_EQ(bitwiseCrc(&data[at], n, 0x12345678u), pst::crc(&data[at], n, 0x12345678u))
                << "at " << at << ", " << n << " bytes";
}
