#include "Base64.h"

namespace notes {

namespace {

// The value of each character: 0-63 in the alphabet, kSpace for white
// space between characters, kPad for '=', kBad for anything else.
constexpr int8_t kSpace = -1, kPad = -2, kBad = -3;

struct Values {
    int8_t of[256];
    constexpr Values() : of() {
        for (int c = 0; c < 256; ++c)
            of[c] = kBad;
        for (int c = 'A'; c <= 'Z'; ++c)
            of[c] = static_cast<int8_t>(c - 'A');
        for (int c = 'a'; c <= 'z'; ++c)
            of[c] = static_cast<int8_t>(c - 'a' + 26);
        for (int c = '0'; c <= '9'; ++c)
            of[c] = static_cast<int8_t>(c - '0' + 52);
        of[static_cast<int>('+')] = 62;
        of[static_cast<int>('/')] = 63;
        of[static_cast<int>(' ')] = of[static_cast<int>('\t')] = of[static_cast<int>('\r')] = of[static_cast<int>('\n')] = kSpace;
        of[static_cast<int>('=')] = kPad;
    }
};
constexpr Values kValues;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

bool Base64Decoder::feed(const char* in, size_t n, std::string& out) {
    // Written through a pointer into room made beforehand (three bytes per
    // four characters, at most), then cut to what was written.
    const size_t start = out.size();
    out.resize(start + mostBytes(n));
    size_t written = 0;
    const bool ok = feed(in, n, &out[start], written);
    out.resize(start + written);
    return ok;
}

bool Base64Decoder::feed(const char* in, size_t n, char* out, size_t& written) {
    char* to = out;
    bool ok = true;
    for (size_t i = 0; i < n; ++i) {
        // Whole groups of four at once while nothing but the alphabet comes.
        if (count_ == 0 && padding_ == 0) {
            for (; i + 4 <= n; i += 4) {
                const int8_t a = kValues.of[static_cast<unsigned char>(in[i])];
                const int8_t b = kValues.of[static_cast<unsigned char>(in[i + 1])];
                const int8_t c = kValues.of[static_cast<unsigned char>(in[i + 2])];
                const int8_t d = kValues.of[static_cast<unsigned char>(in[i + 3])];
                if ((a | b | c | d) < 0)
                    break;
                const uint32_t group = static_cast<uint32_t>(a) << 18 | static_cast<uint32_t>(b) << 12 |
                                       static_cast<uint32_t>(c) << 6 | static_cast<uint32_t>(d);
                *to++ = static_cast<char>(group >> 16);
                *to++ = static_cast<char>((group >> 8) & 0xFF);
                *to++ = static_cast<char>(group & 0xFF);
            }
            if (i == n)
                break;
        }
        const int8_t v = kValues.of[static_cast<unsigned char>(in[i])];
        if (v >= 0 && padding_ == 0) {
            bits_ = (bits_ << 6) | static_cast<uint32_t>(v);
            if (++count_ == 4) {
                *to++ = static_cast<char>((bits_ >> 16) & 0xFF);
                *to++ = static_cast<char>((bits_ >> 8) & 0xFF);
                *to++ = static_cast<char>(bits_ & 0xFF);
                count_ = 0;
                bits_ = 0;
            }
            continue;
        }
        if (v == kSpace)
            continue;
        if (v != kPad || count_ < 2) {
            // Out of the alphabet, data after the padding, or "x=".
            ok = false;
            break;
        }
        // "xx==" or "xxx=" only.
        ++padding_;
        ++count_;
        if (count_ == 4) {
            if (padding_ == 2) {
                *to++ = static_cast<char>((bits_ >> 4) & 0xFF);
            } else {
                *to++ = static_cast<char>((bits_ >> 10) & 0xFF);
                *to++ = static_cast<char>((bits_ >> 2) & 0xFF);
            }
            count_ = 0;
            bits_ = 0;
            padding_ = -100; // nothing may follow
        }
    }
    written = static_cast<size_t>(to - out);
    return ok;
}

std::string encodeBase64(const std::string& bytes, size_t lineLength) {
    std::string out;
    out.reserve(bytes.size() * 4 / 3 + bytes.size() / 57 * 2 + 8);
    size_t column = 0;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t b = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            b |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            b |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(b >> 18) & 63];
        out += kAlphabet[(b >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(b >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[b & 63] : '=';
        column += 4;
        if (lineLength && column >= lineLength && i + 3 < bytes.size()) {
            out += '\n';
            column = 0;
        }
    }
    return out;
}

} // namespace notes
