#include "Lmbcs.h"

#include <array>
#include <cstdint>

namespace notes {

namespace {

constexpr unsigned char kGroupControl = 0x0F;
constexpr unsigned char kGroupUnicode = 0x14;
// In the Unicode group, a low byte of zero is written as this marker
// followed by the high byte (LMBCS holds no zero bytes inside a text).
constexpr unsigned char kUnicodeZeroLow = 0xF6;
constexpr char16_t kReplacement = 0xFFFD;

// Code page 850's upper half: group 1, the optimisation group.
constexpr std::array<char16_t, 128> kGroup1 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C,
    0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

// The group 1 byte of a character, or 0 when group 1 has none.
unsigned char group1Byte(char16_t c) {
    for (size_t i = 0; i < kGroup1.size(); ++i)
        if (kGroup1[i] == c)
            return static_cast<unsigned char>(0x80 + i);
    return 0;
}

bool passesAsItself(char16_t c) { return (c >= 0x20 && c < 0x80) || c == 0x09 || c == 0x0A || c == 0x0D; }

void appendUnicodeGroup(std::string& out, char16_t unit) {
    const unsigned char high = static_cast<unsigned char>(unit >> 8), low = static_cast<unsigned char>(unit);
    out += static_cast<char>(kGroupUnicode);
    if (low == 0) {
        out += static_cast<char>(kUnicodeZeroLow);
        out += static_cast<char>(high);
    } else if (high == kUnicodeZeroLow) {
        // U+F601-U+F6FF: the marker's own range, which LMBCS cannot hold.
        out += static_cast<char>(0xFF);
        out += static_cast<char>(0xFD);
    } else {
        out += static_cast<char>(high);
        out += static_cast<char>(low);
    }
}

} // namespace

size_t lmbcsCharLength(unsigned char lead) {
    if (lead >= 0x10 && lead <= kGroupUnicode)
        return 3; // double-byte groups and the Unicode group
    if ((lead >= 0x01 && lead <= 0x08) || lead == 0x0B || lead == kGroupControl)
        return 2; // single-byte groups and the control group
    return 1;
}

std::string utf16ToLmbcs(const char16_t* text, size_t units) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = text[i];
        if (passesAsItself(c)) {
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += static_cast<char>(kGroupControl);
            out += static_cast<char>(c + 0x20);
        } else if (c >= 0x80 && c < 0xA0) {
            out += static_cast<char>(kGroupControl);
            out += static_cast<char>(c);
        } else if (const unsigned char b = group1Byte(c)) {
            out += static_cast<char>(b);
        } else {
            appendUnicodeGroup(out, c); // surrogates too, one unit at a time
        }
    }
    return out;
}

std::u16string lmbcsToUtf16(const char* lmbcs, size_t bytes) {
    std::u16string out;
    out.reserve(bytes);
    const auto* in = reinterpret_cast<const unsigned char*>(lmbcs);
    for (size_t i = 0; i < bytes;) {
        const unsigned char lead = in[i];
        const size_t length = lmbcsCharLength(lead);
        if (i + length > bytes) {
            out += kReplacement; // cut off at the end
            break;
        }
        if (lead >= 0x80) {
            out += kGroup1[lead - 0x80];
        } else if (lead >= 0x20 || passesAsItself(lead) || lead == 0) {
            out += static_cast<char16_t>(lead);
        } else if (lead == kGroupControl) {
            const unsigned char c = in[i + 1];
            out += c >= 0x20 && c < 0x40 ? static_cast<char16_t>(c - 0x20)
                                          : c >= 0x80 && c < 0xA0 ? static_cast<char16_t>(c) : kReplacement;
        } else if (lead == kGroupUnicode) {
            const unsigned char a = in[i + 1], b = in[i + 2];
            out += a == kUnicodeZeroLow ? static_cast<char16_t>(b << 8) : static_cast<char16_t>((a << 8) | b);
        } else if (lead == 0x01 && in[i + 1] >= 0x80) {
            out += kGroup1[in[i + 1] - 0x80]; // group 1 announced although implied
        } else {
            out += kReplacement; // another national group, or no group at all
        }
        i += length;
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        uint32_t cp = length == 1 ? c : length ? c & (0x7F >> length) : 0;
        bool valid = length != 0 && i + length <= s.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            valid = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out += kReplacement;
            ++i;
            continue;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

void appendUtf8(std::string& out, uint32_t cp) {
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

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp < 0xE000)
            cp = kReplacement; // a lone surrogate
        appendUtf8(out, cp);
    }
    return out;
}

std::string utf8ToLmbcs(const std::string& utf8) {
    const std::u16string wide = utf8ToUtf16(utf8);
    return utf16ToLmbcs(wide.data(), wide.size());
}

std::string lmbcsToUtf8(const std::string& lmbcs) { return utf16ToUtf8(lmbcsToUtf16(lmbcs.data(), lmbcs.size())); }

} // namespace notes
