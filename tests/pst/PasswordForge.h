// A password of a given CRC-32, for tests of stores protected by one: a PST
// keeps only the CRC-32 of its password (PidTagPstPassword), so any text of
// that CRC opens it, as in Outlook.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

// A password whose CRC-32 (the PST format's: reflected, from 0, no final
// inversion) is `target`: a prefix, then four characters worked back from
// the target; prefixes are tried until those four are printable.
inline std::string passwordWithCrc(uint32_t target) {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    auto crcOf = [&](const std::string& s) {
        uint32_t c = 0;
        for (unsigned char b : s)
            c = (c >> 8) ^ table[(c ^ b) & 0xFF];
        return c;
    };
    for (int n = 0; n < 100000; ++n) {
        const std::string prefix = "Tidewell" + std::to_string(n);
        // Back from the target: each step's table index by its top byte.
        uint32_t t = target;
        std::array<uint8_t, 4> index{};
        for (int k = 3; k >= 0; --k) {
            for (uint32_t j = 0; j < 256; ++j)
                if (table[j] >> 24 == t >> 24)
                    index[static_cast<size_t>(k)] = static_cast<uint8_t>(j);
            t = (t ^ table[index[static_cast<size_t>(k)]]) << 8;
        }
        // Forward from the prefix: the byte that meets each index.
        uint32_t c = crcOf(prefix);
        std::string tail;
        for (uint8_t j : index) {
            tail += static_cast<char>((c ^ j) & 0xFF);
            c = (c >> 8) ^ table[j];
        }
        const bool printable =
            std::all_of(tail.begin(), tail.end(), [](char ch) { return ch > 0x20 && ch < 0x7F; });
        if (printable && crcOf(prefix + tail) == target)
            return prefix + tail;
    }
    return {};
}
