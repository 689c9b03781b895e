#include "Base64.h"

namespace notes {

namespace {

int value(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

bool Base64Decoder::feed(const char* in, size_t n, std::string& out) {
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '=') {
            // "xx==" or "xxx=" only.
            if (count_ < 2)
                return false;
            ++padding_;
            ++count_;
            if (count_ == 4) {
                if (padding_ == 2) {
                    out += static_cast<char>((bits_ >> 4) & 0xFF);
                } else {
                    out += static_cast<char>((bits_ >> 10) & 0xFF);
                    out += static_cast<char>((bits_ >> 2) & 0xFF);
                }
                count_ = 0;
                bits_ = 0;
                padding_ = -100; // nothing may follow
            }
            continue;
        }
        int v = value(c);
        if (v < 0 || padding_ != 0)
            return false;
        bits_ = (bits_ << 6) | static_cast<uint32_t>(v);
        if (++count_ == 4) {
            out += static_cast<char>((bits_ >> 16) & 0xFF);
            out += static_cast<char>((bits_ >> 8) & 0xFF);
            out += static_cast<char>(bits_ & 0xFF);
            count_ = 0;
            bits_ = 0;
        }
    }
    return true;
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
