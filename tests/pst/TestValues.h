// Property values for the tests' messages, as the engine stores them.
#pragma once
#include "pst/Values.h"

#include <string>

inline pst::Value text(const std::string& s) { return {pst::PT_UNICODE, pst::utf16le(s)}; }

inline pst::Value number(int32_t v) {
    pst::Value out{pst::PT_LONG, {}};
    for (int i = 0; i < 4; ++i)
        out.bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return out;
}

inline pst::Value binary(const std::string& s) { return {pst::PT_BINARY, std::vector<uint8_t>(s.begin(), s.end())}; }
