// The permutative encoding of external data blocks (bCryptMethod 1): a byte
// substitution, and its inverse to decode.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pst {

void permuteEncode(uint8_t* data, size_t size);
// Encodes `size` bytes of `from` into `to`.
void permuteEncode(const uint8_t* from, uint8_t* to, size_t size);
void permuteDecode(uint8_t* data, size_t size);

} // namespace pst
