// Little-endian reads and writes on byte buffers, every read checked
// against the buffer's end: data from a file is never trusted.
#pragma once
#include "pst/Error.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pst {

using Bytes = std::vector<uint8_t>;

// The file is not what the format says it is.
[[noreturn]] inline void corrupt(const std::string& what) {
    throw Error(ErrorKind::Corrupt, "the PST file is damaged: " + what);
}

inline void need(const Bytes& b, size_t at, size_t n, const char* what) {
    if (at > b.size() || n > b.size() - at)
        throw Error(ErrorKind::Corrupt, std::string("truncated ") + what);
}

inline uint8_t u8(const Bytes& b, size_t at) {
    need(b, at, 1, "value");
    return b[at];
}
inline uint16_t u16(const Bytes& b, size_t at) {
    need(b, at, 2, "value");
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
inline uint32_t u32(const Bytes& b, size_t at) {
    need(b, at, 4, "value");
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint64_t u64(const Bytes& b, size_t at) { return u32(b, at) | (static_cast<uint64_t>(u32(b, at + 4)) << 32); }

// A block id, node data id or file offset: 8 bytes in the Unicode format,
// 4 in the ANSI one.
inline uint64_t uid(const Bytes& b, size_t at, size_t width) { return width == 8 ? u64(b, at) : u32(b, at); }

inline Bytes slice(const Bytes& b, size_t at, size_t n) {
    need(b, at, n, "range");
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

inline void put8(Bytes& b, size_t at, uint8_t v) { b.at(at) = v; }
inline void put16(Bytes& b, size_t at, uint16_t v) {
    b.at(at + 1);
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
inline void put64(Bytes& b, size_t at, uint64_t v) {
    put32(b, at, static_cast<uint32_t>(v));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

inline void putId(Bytes& b, size_t at, uint64_t v, size_t width) {
    if (width == 8)
        put64(b, at, v);
    else
        put32(b, at, static_cast<uint32_t>(v));
}

inline void append16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void append32(Bytes& b, uint32_t v) {
    append16(b, static_cast<uint16_t>(v));
    append16(b, static_cast<uint16_t>(v >> 16));
}
inline void append64(Bytes& b, uint64_t v) {
    append32(b, static_cast<uint32_t>(v));
    append32(b, static_cast<uint32_t>(v >> 32));
}
inline void appendBytes(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

} // namespace pst
