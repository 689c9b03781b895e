// The name-to-id map: named properties (a property set and a number) and
// the property ids this store gives them, 0x8000 upward.
#include "StoreImpl.h"

#include <cctype>

namespace pst {

namespace {

constexpr uint32_t kBucketCount = 251;
constexpr uint32_t kGuidStream = tag(0x0002, PT_BINARY);
constexpr uint32_t kEntryStream = tag(0x0003, PT_BINARY);

// The GUID's index as an entry names it: 1 and 2 for the two sets the map
// never lists, 3 upward for the GUID stream's entries.
int guidIndex(const Properties& map, const Guid& set, bool* listed) {
    *listed = true;
    if (set == psMapi())
        return 1;
    Guid publicStrings = guidFromString("00020329-0000-0000-C000-000000000046");
    if (set == publicStrings)
        return 2;
    const Value* guids = findValue(map, kGuidStream);
    if (guids)
        for (size_t at = 0; at + 16 <= guids->bytes.size(); at += 16)
            if (std::equal(set.begin(), set.end(), guids->bytes.begin() + at))
                return static_cast<int>(3 + at / 16);
    *listed = false;
    return guids ? static_cast<int>(3 + guids->bytes.size() / 16) : 3;
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void appendLe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::optional<uint16_t> lookup(const Properties& map, const Guid& set, uint32_t lid) {
    bool listed = false;
    const int index = guidIndex(map, set, &listed);
    if (!listed)
        return std::nullopt;
    const Value* entries = findValue(map, kEntryStream);
    if (!entries)
        return std::nullopt;
    for (size_t at = 0; at + 8 <= entries->bytes.size(); at += 8) {
        const uint32_t id = le32(entries->bytes, at);
        const uint16_t kind = static_cast<uint16_t>(entries->bytes[at + 4] | (entries->bytes[at + 5] << 8));
        const uint16_t prop = static_cast<uint16_t>(entries->bytes[at + 6] | (entries->bytes[at + 7] << 8));
        if (id == lid && (kind & 1) == 0 && (kind >> 1) == index)
            return static_cast<uint16_t>(0x8000 + prop);
    }
    return std::nullopt;
}

} // namespace

Guid guidFromString(const std::string& text) {
    // Data1-Data2-Data3 little-endian, then the last eight bytes as written.
    std::string hex;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            hex += c;
    Guid g{};
    if (hex.size() != 32)
        throw Error(ErrorKind::Invalid, "not a GUID: " + text);
    auto byteAt = [&](size_t i) { return static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16)); };
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        g[i] = byteAt(order[i]);
    return g;
}

Guid psetidCommon() { return guidFromString("00062008-0000-0000-C000-000000000046"); }
Guid psetidAddress() { return guidFromString("00062004-0000-0000-C000-000000000046"); }
Guid psMapi() { return guidFromString("00020328-0000-0000-C000-000000000046"); }

std::optional<uint16_t> Store::findNamedProperty(const Guid& set, uint32_t lid) {
    return lookup(impl_->properties(kNidNameToIdMap), set, lid);
}

uint16_t Store::namedProperty(const Guid& set, uint32_t lid) {
    Properties map = impl_->properties(kNidNameToIdMap);
    if (std::optional<uint16_t> known = lookup(map, set, lid))
        return *known;
    bool listed = false;
    const int index = guidIndex(map, set, &listed);
    if (!listed) {
        Value& guids = map[kGuidStream];
        guids.type = PT_BINARY;
        guids.bytes.insert(guids.bytes.end(), set.begin(), set.end());
    }
    Value& entries = map[kEntryStream];
    entries.type = PT_BINARY;
    const uint16_t prop = static_cast<uint16_t>(entries.bytes.size() / 8);
    if (prop >= 0x7FFF)
        throw Error(ErrorKind::Invalid, "the store has no room for more named properties");
    const uint16_t kind = static_cast<uint16_t>(index << 1);
    std::vector<uint8_t> entry;
    appendLe32(entry, lid);
    entry.push_back(static_cast<uint8_t>(kind));
    entry.push_back(static_cast<uint8_t>(kind >> 8));
    entry.push_back(static_cast<uint8_t>(prop));
    entry.push_back(static_cast<uint8_t>(prop >> 8));
    entries.bytes.insert(entries.bytes.end(), entry.begin(), entry.end());
    // The same entry in its hash bucket.
    const uint32_t bucket = (lid ^ kind) % kBucketCount;
    Value& slot = map[tag(static_cast<uint16_t>(0x1000 + bucket), PT_BINARY)];
    slot.type = PT_BINARY;
    slot.bytes.insert(slot.bytes.end(), entry.begin(), entry.end());
    impl_->writeProperties(kNidNameToIdMap, 0, map);
    return static_cast<uint16_t>(0x8000 + prop);
}

} // namespace pst
