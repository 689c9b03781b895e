// The CRC-32 of the PST format: polynomial 0xEDB88320, starting at 0, no
// final inversion.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pst {

uint32_t crc(const uint8_t* data, size_t size, uint32_t start = 0);

// Whether a stored checksum disagrees with the data it covers. A fuzzing
// build accepts every checksum, so that mutated files reach the structure
// checks behind it instead of all stopping at the first CRC.
inline bool crcMismatch(const uint8_t* data, size_t size, uint32_t stored) {
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    (void)data, (void)size, (void)stored;
    return false;
#else
    return crc(data, size) != stored;
#endif
}

} // namespace pst
