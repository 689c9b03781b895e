// The name-to-id map: named properties (a property set and a number) and
// the property ids this store gives them, 0x8000 upward.
#include "Crc.h"
#include "StoreImpl.h"

#include <cctype>

namespace pst {

namespace {

constexpr uint32_t kGuidStream = tag(0x0002, PT_BINARY);
constexpr uint32_t kEntryStream = tag(0x0003, PT_BINARY);

// The GUID's index as an entry names it: 1 and 2 for the two sets the map
// never lists, 3 upward for the GUID stream's entries.
int guidIndex(const Properties& map, const Guid& set, bool* listed) {
    *listed = true;
    if (set == psMapi())
        return kNameGuidMapi;
    Guid publicStrings = guidFromString("00020329-0000-0000-C000-000000000046");
    if (set == publicStrings)
        return kNameGuidPublicStrings;
    const Value* guids = findValue(map, kGuidStream);
    if (guids)
        for (size_t at = 0; at + 16 <= guids->bytes.size(); at += 16)
            if (std::equal(set.begin(), set.end(), guids->bytes.begin() + at))
                return static_cast<int>(kNameGuidFirstListed + at / 16);
    *listed = false;
    return static_cast<int>(kNameGuidFirstListed + (guids ? guids->bytes.size() / 16 : 0));
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void appendLe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

constexpr uint32_t kStringStream = tag(0x0004, PT_BINARY);

struct Entry {
    uint32_t id;    // the number, or the offset of the name in the string stream
    uint16_t kind;  // bit 0: a string name; bits 1-15: the GUID's index
    uint16_t prop;  // the property id less 0x8000
};

std::vector<Entry> entriesOf(const Properties& map) {
    std::vector<Entry> out;
    const Value* entries = findValue(map, kEntryStream);
    if (!entries)
        return out;
    const auto& b = entries->bytes;
    for (size_t at = 0; at + 8 <= b.size(); at += 8)
        out.push_back({le32(b, at), static_cast<uint16_t>(b[at + 4] | (b[at + 5] << 8)),
                       static_cast<uint16_t>(b[at + 6] | (b[at + 7] << 8))});
    return out;
}

// The name at an offset of the string stream: its byte length, then UTF-16.
std::optional<std::string> nameAt(const Properties& map, uint32_t offset) {
    const Value* strings = findValue(map, kStringStream);
    if (!strings || static_cast<uint64_t>(offset) + 4 > strings->bytes.size())
        return std::nullopt;
    const uint32_t length = le32(strings->bytes, offset);
    if (static_cast<uint64_t>(offset) + 4 + length > strings->bytes.size())
        return std::nullopt;
    auto from = strings->bytes.begin() + offset + 4;
    return fromUtf16le(std::vector<uint8_t>(from, from + length));
}

std::optional<uint16_t> lookup(const Properties& map, const Guid& set, uint32_t lid) {
    bool listed = false;
    const int index = guidIndex(map, set, &listed);
    if (!listed)
        return std::nullopt;
    for (const Entry& e : entriesOf(map))
        if (e.id == lid && (e.kind & 1) == 0 && (e.kind >> 1) == index)
            return static_cast<uint16_t>(kNamedPropertyFirst + e.prop);
    return std::nullopt;
}

std::optional<uint16_t> lookup(const Properties& map, const Guid& set, const std::string& name) {
    bool listed = false;
    const int index = guidIndex(map, set, &listed);
    if (!listed)
        return std::nullopt;
    for (const Entry& e : entriesOf(map))
        if ((e.kind & 1) && (e.kind >> 1) == index && nameAt(map, e.id) == name)
            return static_cast<uint16_t>(kNamedPropertyFirst + e.prop);
    return std::nullopt;
}

// Appends an entry to the entry stream and to its hash bucket, whose copy
// holds the number, or for a string name the CRC-32 of its UTF-16 text.
uint16_t appendEntry(Properties& map, const Guid& set, uint32_t id, bool isString, uint32_t hash) {
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
    const uint16_t kind = static_cast<uint16_t>((index << 1) | (isString ? 1 : 0));
    auto entry = [&](uint32_t first) {
        std::vector<uint8_t> e;
        appendLe32(e, first);
        e.push_back(static_cast<uint8_t>(kind));
        e.push_back(static_cast<uint8_t>(kind >> 8));
        e.push_back(static_cast<uint8_t>(prop));
        e.push_back(static_cast<uint8_t>(prop >> 8));
        return e;
    };
    const std::vector<uint8_t> stored = entry(id);
    entries.bytes.insert(entries.bytes.end(), stored.begin(), stored.end());
    const uint32_t bucket = (hash ^ kind) % kNameBucketCount;
    Value& slot = map[tag(static_cast<uint16_t>(kNameBucketFirst + bucket), PT_BINARY)];
    slot.type = PT_BINARY;
    const std::vector<uint8_t> hashed = entry(hash);
    slot.bytes.insert(slot.bytes.end(), hashed.begin(), hashed.end());
    return static_cast<uint16_t>(kNamedPropertyFirst + prop);
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
Guid psInternetHeaders() { return guidFromString("00020386-0000-0000-C000-000000000046"); }

std::optional<uint16_t> Store::findNamedProperty(const Guid& set, uint32_t lid) {
    return lookup(impl_->properties(kNidNameToIdMap), set, lid);
}

uint16_t Store::namedProperty(const Guid& set, uint32_t lid) {
    Impl::Guard guard(*impl_);
    Properties map = impl_->properties(kNidNameToIdMap);
    if (std::optional<uint16_t> known = lookup(map, set, lid))
        return *known;
    const uint16_t id = appendEntry(map, set, lid, false, lid);
    impl_->writeProperties(kNidNameToIdMap, 0, map);
    return id;
}

std::optional<uint16_t> Store::findNamedProperty(const Guid& set, const std::string& name) {
    return lookup(impl_->properties(kNidNameToIdMap), set, name);
}

uint16_t Store::namedProperty(const Guid& set, const std::string& name) {
    Impl::Guard guard(*impl_);
    if (name.empty())
        throw Error(ErrorKind::Invalid, "a named property needs a name");
    Properties map = impl_->properties(kNidNameToIdMap);
    if (std::optional<uint16_t> known = lookup(map, set, name))
        return *known;
    // The name goes to the end of the string stream, which keeps each
    // entry on a 4-byte boundary.
    const std::vector<uint8_t> text = utf16le(name);
    Value& strings = map[kStringStream];
    strings.type = PT_BINARY;
    while (strings.bytes.size() % 4)
        strings.bytes.push_back(0);
    const uint32_t offset = static_cast<uint32_t>(strings.bytes.size());
    appendLe32(strings.bytes, static_cast<uint32_t>(text.size()));
    strings.bytes.insert(strings.bytes.end(), text.begin(), text.end());
    while (strings.bytes.size() % 4)
        strings.bytes.push_back(0);
    const uint16_t id = appendEntry(map, set, offset, true, crc(text.data(), text.size()));
    impl_->writeProperties(kNidNameToIdMap, 0, map);
    return id;
}

std::optional<PropertyName> Store::propertyName(uint16_t id) {
    if (id < kNamedPropertyFirst)
        return std::nullopt;
    Properties map = impl_->properties(kNidNameToIdMap);
    for (const Entry& e : entriesOf(map)) {
        if (e.prop != id - kNamedPropertyFirst)
            continue;
        PropertyName out;
        const int index = e.kind >> 1;
        if (index == kNameGuidMapi)
            out.set = psMapi();
        else if (index == kNameGuidPublicStrings)
            out.set = guidFromString("00020329-0000-0000-C000-000000000046");
        else {
            const Value* guids = findValue(map, kGuidStream);
            const size_t at = static_cast<size_t>(index - kNameGuidFirstListed) * 16;
            if (index < kNameGuidFirstListed || !guids || at + 16 > guids->bytes.size())
                return std::nullopt;
            std::copy(guids->bytes.begin() + at, guids->bytes.begin() + at + 16, out.set.begin());
        }
        if (e.kind & 1) {
            std::optional<std::string> name = nameAt(map, e.id);
            if (!name)
                return std::nullopt;
            out.name = *name;
        } else {
            out.lid = e.id;
        }
        return out;
    }
    return std::nullopt;
}

} // namespace pst
