// Text in an ANSI PST: the format keeps strings in 8 bits (PT_STRING8 and
// PT_MV_STRING8), in the code page of the machine that wrote them. The
// engine hands out and takes Unicode; an ANSI store's strings are widened
// when read and narrowed when written, in Windows-1252, where every byte
// has a character and so every stored byte survives the round trip.
#pragma once
#include "Bytes.h"
#include "pst/Values.h"

#include <optional>

namespace pst {

constexpr uint16_t PT_MV_STRING8 = 0x101E;

// The 8-bit string type for a Unicode one, and back; other types as they are.
uint16_t narrowType(uint16_t type);
uint16_t wideType(uint16_t type);
inline uint32_t narrowTag(uint32_t tag) { return (tag & 0xFFFF0000u) | narrowType(static_cast<uint16_t>(tag)); }
inline uint32_t wideTag(uint32_t tag) { return (tag & 0xFFFF0000u) | wideType(static_cast<uint16_t>(tag)); }

// A value of a Unicode string type as the 8-bit type holds it (characters
// the code page lacks become "?"); other values unchanged.
Value narrowed(const Value& v);
// A value of an 8-bit string type as Unicode; other values unchanged.
Value widened(const Value& v);

// Every string of `p` narrowed, under its 8-bit tag.
Properties narrowedProperties(const Properties& p);
// The cell for a column from an object's properties: the value of its tag,
// or for an 8-bit string column the Unicode value narrowed; null for none.
std::optional<Value> valueForColumn(const Properties& p, uint32_t columnTag);

} // namespace pst
