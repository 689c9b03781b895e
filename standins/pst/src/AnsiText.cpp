#include "AnsiText.h"

#include <functional>

namespace pst {

namespace {

// Windows-1252's 0x80-0x9F; its five unassigned bytes are the C1 controls
// of the same number, as Windows maps them.
const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                            0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint16_t unitOf(uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte; }

uint8_t byteOf(uint16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100))
        return static_cast<uint8_t>(unit);
    for (uint8_t i = 0; i < 32; ++i)
        if (kHigh[i] == unit)
            return static_cast<uint8_t>(0x80 + i);
    return '?';
}

Bytes narrowString(const Bytes& utf16) {
    Bytes out;
    out.reserve(utf16.size() / 2);
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const uint16_t unit = static_cast<uint16_t>(utf16[i] | (utf16[i + 1] << 8));
        // A character beyond the BMP is one "?", not two.
        if (unit >= 0xDC00 && unit < 0xE000 && i >= 2 && utf16[i - 1] >= 0xD8 && utf16[i - 1] < 0xDC)
            continue;
        out.push_back(byteOf(unit));
    }
    return out;
}

Bytes widenString(const Bytes& bytes) {
    Bytes out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes)
        append16(out, unitOf(b));
    return out;
}

// A multi-valued string: the count, an offset per value, then the values.
Bytes convertMulti(const Bytes& in, const std::function<Bytes(const Bytes&)>& convert) {
    const uint32_t count = u32(in, 0);
    need(in, 4, static_cast<size_t>(count) * 4, "multi-valued string");
    std::vector<Bytes> values;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t start = u32(in, 4 + 4 * i);
        const size_t end = i + 1 < count ? u32(in, 8 + 4 * i) : in.size();
        if (end < start)
            corrupt("a multi-valued string's values overlap");
        values.push_back(convert(slice(in, start, end - start)));
    }
    Bytes out;
    append32(out, count);
    size_t at = 4 + 4 * values.size();
    for (const Bytes& v : values) {
        append32(out, static_cast<uint32_t>(at));
        at += v.size();
    }
    for (const Bytes& v : values)
        appendBytes(out, v);
    return out;
}

} // namespace

uint16_t narrowType(uint16_t type) {
    if (type == PT_UNICODE)
        return PT_STRING8;
    return type == PT_MV_UNICODE ? PT_MV_STRING8 : type;
}

uint16_t wideType(uint16_t type) {
    if (type == PT_STRING8)
        return PT_UNICODE;
    return type == PT_MV_STRING8 ? static_cast<uint16_t>(PT_MV_UNICODE) : type;
}

Value narrowed(const Value& v) {
    if (v.type == PT_UNICODE)
        return {PT_STRING8, narrowString(v.bytes)};
    if (v.type == PT_MV_UNICODE && !v.bytes.empty())
        return {PT_MV_STRING8, convertMulti(v.bytes, narrowString)};
    return v;
}

Value widened(const Value& v) {
    if (v.type == PT_STRING8)
        return {PT_UNICODE, widenString(v.bytes)};
    if (v.type == PT_MV_STRING8 && !v.bytes.empty())
        return {PT_MV_UNICODE, convertMulti(v.bytes, widenString)};
    return v;
}

Properties narrowedProperties(const Properties& p) {
    Properties out;
    for (const auto& kv : p)
        out[narrowTag(kv.first)] = narrowed(kv.second);
    return out;
}

std::optional<Value> valueForColumn(const Properties& p, uint32_t columnTag) {
    auto it = p.find(columnTag);
    if (it != p.end())
        return it->second;
    if (wideTag(columnTag) != columnTag) {
        it = p.find(wideTag(columnTag));
        if (it != p.end())
            return narrowed(it->second);
    }
    return std::nullopt;
}

} // namespace pst
