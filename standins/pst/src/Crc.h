// The CRC-32 of the PST format: polynomial 0xEDB88320, starting at 0, no
// final inversion.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pst {

uint32_t crc(const uint8_t* data, size_t size, uint32_t start = 0);

} // namespace pst
