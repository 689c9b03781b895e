#include "pst/Values.h"

namespace pst {

std::vector<uint8_t> utf16le(const std::string& s) {
    std::vector<uint8_t> out;
    out.reserve(s.size() * 2);
    auto put = [&](uint32_t unit) {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    };
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            put(0xFFFD);
            ++i;
            continue;
        }
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string fromUtf16le(const std::vector<uint8_t>& b) {
    std::string out;
    for (size_t i = 0; i + 1 < b.size(); i += 2) {
        uint32_t cp = b[i] | (b[i + 1] << 8);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < b.size()) {
            uint32_t low = b[i + 2] | (b[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string subjectText(const Properties& p) {
    auto it = p.find(tag(0x0037, PT_UNICODE));
    if (it == p.end())
        return {};
    std::string s = it->second.text();
    if (s.size() >= 2 && s[0] == '\x01')
        s.erase(0, 2);
    return s;
}

std::string Value::text() const {
    if (type == PT_UNICODE)
        return fromUtf16le(bytes);
    return std::string(bytes.begin(), bytes.end());
}

int32_t Value::int32() const {
    if (bytes.size() < 4)
        return bytes.size() >= 2 ? static_cast<int16_t>(bytes[0] | (bytes[1] << 8)) : 0;
    return static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}

bool Value::boolean() const { return !bytes.empty() && bytes[0] != 0; }

int64_t Value::int64() const {
    uint64_t v = 0;
    for (size_t i = 0; i < 8 && i < bytes.size(); ++i)
        v |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return static_cast<int64_t>(v);
}

} // namespace pst
