// Base64 decoding in pieces, as attachment data is streamed: white space
// between the characters is ignored, anything else out of the alphabet is
// an error, and padding may only end the data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace notes {

class Base64Decoder {
public:
    // Decodes what it can of `in` and appends the bytes to `out`; false on a
    // character that is not base64 or data after the padding.
    bool feed(const char* in, size_t n, std::string& out);
    // The same into `out`, which has room for mostBytes(n); `written` tells
    // how much was written.
    bool feed(const char* in, size_t n, char* out, size_t& written);
    static size_t mostBytes(size_t n) { return (n + 3) / 4 * 3 + 3; }
    // True when the data ended on a whole group (or was empty).
    bool finish() const { return count_ == 0; }

private:
    uint32_t bits_ = 0;
    int count_ = 0;   // characters in the current group of four
    int padding_ = 0; // '=' seen
};

std::string encodeBase64(const std::string& bytes, size_t lineLength = 76);

} // namespace notes
