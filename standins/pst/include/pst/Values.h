// Property values as the engine hands them out: the property type and the
// stored bytes, with readers for the common types.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pst {

enum PropertyType : uint16_t {
    PT_SHORT = 0x0002,
    PT_LONG = 0x0003,
    PT_BOOLEAN = 0x000B,
    PT_LONGLONG = 0x0014,
    PT_STRING8 = 0x001E,
    PT_UNICODE = 0x001F,
    PT_SYSTIME = 0x0040,
    PT_CLSID = 0x0048,
    PT_BINARY = 0x0102,
    PT_MV_LONG = 0x1003,
    PT_MV_UNICODE = 0x101F,
};

constexpr uint32_t tag(uint16_t id, uint16_t type) { return (static_cast<uint32_t>(id) << 16) | type; }

struct Value {
    uint16_t type = 0;
    std::vector<uint8_t> bytes;

    // UTF-16LE strings as UTF-8 (8-bit strings as they are).
    std::string text() const;
    int32_t int32() const;
    bool boolean() const;
    int64_t int64() const; // also PT_SYSTIME: 100-ns intervals since 1601
};

using Properties = std::map<uint32_t, Value>; // by property tag

// PR_SUBJECT as the user reads it: a stored subject may begin with the
// marker 0x01 and the length of its prefix ("FW: "), which are not text.
std::string subjectText(const Properties& p);

// UTF-8 to UTF-16LE bytes and back.
std::vector<uint8_t> utf16le(const std::string& utf8);
std::string fromUtf16le(const std::vector<uint8_t>& bytes);

} // namespace pst
