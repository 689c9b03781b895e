#include "HeaderImport.h"

#include <cstdint>
#include <cwctype>

namespace outlook {

namespace {

std::wstring trim(const std::wstring& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::iswspace(s[a]))
        ++a;
    while (b > a && std::iswspace(s[b - 1]))
        --b;
    return s.substr(a, b - a);
}

bool equalsNoCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

// Splits at ", " outside quotes, as the header lines are written.
std::vector<MailAddress> addressList(const std::wstring& value) {
    std::vector<MailAddress> out;
    std::wstring part;
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'"')
            quoted = !quoted;
        if (!quoted && value[i] == L',' && i + 1 < value.size() && value[i + 1] == L' ') {
            if (!trim(part).empty())
                out.push_back(parseAddress(part));
            part.clear();
            ++i;
            continue;
        }
        part += value[i];
    }
    if (!trim(part).empty())
        out.push_back(parseAddress(part));
    return out;
}

bool readNumber(const std::wstring& s, size_t& at, int& out, size_t minDigits, size_t maxDigits) {
    size_t n = 0;
    int v = 0;
    while (at < s.size() && n < maxDigits && std::iswdigit(s[at])) {
        v = v * 10 + (s[at] - L'0');
        ++at;
        ++n;
    }
    out = v;
    return n >= minDigits;
}

// UTF-8 bytes (one per wide character) to UTF-16; a malformed sequence
// becomes U+FFFD.
std::wstring fromUtf8(const std::wstring& bytes) {
    std::wstring out;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned c = bytes[i] & 0xFF;
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        uint32_t cp = length == 1 ? c : length ? c & (0x7F >> length) : 0;
        bool valid = length != 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (bytes[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (bytes[i + k] & 0x3F);
        }
        if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        i += length;
        if (cp >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp);
        }
    }
    return out;
}

int base64Digit(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return c - L'A';
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 26;
    if (c >= L'0' && c <= L'9')
        return c - L'0' + 52;
    return c == L'+' ? 62 : c == L'/' ? 63 : -1;
}

// The bytes of an encoded word's text, one per wide character; nothing
// when it is not of its encoding.
std::optional<std::wstring> wordBytes(wchar_t encoding, const std::wstring& text) {
    std::wstring bytes;
    if (encoding == L'B' || encoding == L'b') {
        uint32_t bits = 0;
        int count = 0;
        for (wchar_t c : text) {
            if (c == L'=')
                break;
            const int d = base64Digit(c);
            if (d < 0)
                return std::nullopt;
            bits = (bits << 6) | static_cast<uint32_t>(d);
            if ((count += 6) >= 8) {
                count -= 8;
                bytes += static_cast<wchar_t>((bits >> count) & 0xFF);
            }
        }
        return bytes;
    }
    if (encoding == L'Q' || encoding == L'q') {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'_') {
                bytes += L' ';
            } else if (text[i] == L'=' && i + 2 < text.size() && std::iswxdigit(text[i + 1]) &&
                       std::iswxdigit(text[i + 2])) {
                bytes += static_cast<wchar_t>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                bytes += text[i];
            }
        }
        return bytes;
    }
    return std::nullopt;
}

// The text of one encoded word, or nothing when it is none this reader
// knows (its charset, UTF-8, ISO-8859-1 or US-ASCII).
std::optional<std::wstring> decodedWord(const std::wstring& word) {
    // =?charset?encoding?text?=
    const size_t q1 = word.find(L'?', 2);
    if (q1 == std::wstring::npos || q1 + 3 >= word.size() || word[q1 + 2] != L'?')
        return std::nullopt;
    std::wstring charset = word.substr(2, q1 - 2);
    const size_t star = charset.find(L'*'); // a language after the charset
    if (star != std::wstring::npos)
        charset.resize(star);
    const std::optional<std::wstring> bytes = wordBytes(word[q1 + 1], word.substr(q1 + 3, word.size() - q1 - 5));
    if (!bytes)
        return std::nullopt;
    if (equalsNoCase(charset, L"UTF-8"))
        return fromUtf8(*bytes);
    if (equalsNoCase(charset, L"ISO-8859-1") || equalsNoCase(charset, L"US-ASCII"))
        return *bytes;
    return std::nullopt;
}

void skipSpaces(const std::wstring& s, size_t& at) {
    while (at < s.size() && std::iswspace(s[at]))
        ++at;
}

} // namespace

std::wstring decodeEncodedWords(const std::wstring& text) {
    std::wstring out;
    size_t at = 0;
    bool afterWord = false; // blanks between two encoded words are dropped
    while (at < text.size()) {
        const size_t start = text.find(L"=?", at);
        if (start == std::wstring::npos) {
            out += text.substr(at);
            break;
        }
        // Its end: "?=" after the charset's and the encoding's question marks.
        const size_t q1 = text.find(L'?', start + 2);
        const size_t q2 = q1 == std::wstring::npos ? q1 : text.find(L'?', q1 + 1);
        const size_t end = q2 == std::wstring::npos ? q2 : text.find(L"?=", q2 + 1);
        std::optional<std::wstring> word;
        if (end != std::wstring::npos)
            word = decodedWord(text.substr(start, end + 2 - start));
        const std::wstring between = text.substr(at, start - at);
        if (!word) {
            out += between + L"=?";
            at = start + 2;
            afterWord = false;
            continue;
        }
        if (!(afterWord && trim(between).empty()))
            out += between;
        out += *word;
        at = end + 2;
        afterWord = true;
    }
    return out;
}

MailAddress parseAddress(const std::wstring& given) {
    std::wstring text = trim(given);
    MailAddress a;
    const size_t open = text.rfind(L'<');
    const size_t close = text.rfind(L'>');
    if (open != std::wstring::npos && close != std::wstring::npos && close > open) {
        a.email = trim(text.substr(open + 1, close - open - 1));
        a.name = trim(text.substr(0, open));
    } else if (text.find(L'@') != std::wstring::npos && text.find(L' ') == std::wstring::npos) {
        a.email = text;
    } else {
        a.name = text;
    }
    if (a.name.size() >= 2 && a.name.front() == L'"' && a.name.back() == L'"')
        a.name = a.name.substr(1, a.name.size() - 2);
    a.name = decodeEncodedWords(a.name);
    if (a.name.empty())
        a.name = a.email;
    return a;
}

std::optional<HeaderDate> parseHeaderDate(const std::wstring& given) {
    const std::wstring s = trim(given);
    size_t at = 0;
    // An optional day of the week.
    const size_t comma = s.find(L',');
    if (comma != std::wstring::npos && comma <= 9)
        at = comma + 1;
    HeaderDate d;
    skipSpaces(s, at);
    if (!readNumber(s, at, d.day, 1, 2))
        return std::nullopt;
    skipSpaces(s, at);
    static const wchar_t* months[] = {L"jan", L"feb", L"mar", L"apr", L"may", L"jun",
                                      L"jul", L"aug", L"sep", L"oct", L"nov", L"dec"};
    if (at + 3 > s.size())
        return std::nullopt;
    const std::wstring mon = s.substr(at, 3);
    for (int m = 0; m < 12; ++m)
        if (equalsNoCase(mon, months[m]))
            d.month = m + 1;
    if (!d.month)
        return std::nullopt;
    at += 3;
    skipSpaces(s, at);
    const size_t yearAt = at;
    if (!readNumber(s, at, d.year, 2, 4))
        return std::nullopt;
    if (at - yearAt == 2)
        d.year += d.year < 50 ? 2000 : 1900;
    skipSpaces(s, at);
    if (!readNumber(s, at, d.hour, 1, 2) || at >= s.size() || s[at] != L':')
        return std::nullopt;
    ++at;
    if (!readNumber(s, at, d.minute, 2, 2))
        return std::nullopt;
    if (at < s.size() && s[at] == L':') {
        ++at;
        if (!readNumber(s, at, d.second, 2, 2))
            return std::nullopt;
    }
    skipSpaces(s, at);
    if (at < s.size()) {
        const std::wstring zone = s.substr(at);
        if ((zone[0] == L'+' || zone[0] == L'-') && zone.size() >= 5) {
            size_t z = 1;
            int hhmm = 0;
            if (!readNumber(zone, z, hhmm, 4, 4) || z != zone.size())
                return std::nullopt;
            d.hasZone = true;
            d.zoneMinutes = (hhmm / 100 * 60 + hhmm % 100) * (zone[0] == L'-' ? -1 : 1);
        } else if (equalsNoCase(zone, L"GMT") || equalsNoCase(zone, L"UT") || equalsNoCase(zone, L"UTC") ||
                   equalsNoCase(zone, L"Z")) {
            d.hasZone = true;
        } else {
            return std::nullopt;
        }
    }
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.year < 1601 || d.year > 9999 || d.day < 1 || d.day > days[d.month - 1] ||
        (d.month == 2 && d.day == 29 && !leap) || d.hour > 23 || d.minute > 59 || d.second > 59)
        return std::nullopt;
    return d;
}

HeaderFields parseHeaders(const std::wstring& text) {
    // Lines, with folded continuations joined to the line before.
    std::vector<std::wstring> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(at, end - at);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        at = end + 1;
        if (line.empty())
            break; // the end of the header block
        if ((line[0] == L' ' || line[0] == L'\t') && !lines.empty())
            lines.back() += L" " + trim(line);
        else
            lines.push_back(line);
    }
    HeaderFields f;
    for (const std::wstring& line : lines) {
        const size_t colon = line.find(L':');
        if (colon == std::wstring::npos)
            continue;
        const std::wstring name = trim(line.substr(0, colon));
        const std::wstring value = trim(line.substr(colon + 1));
        if (equalsNoCase(name, L"From")) {
            if (!f.from && !value.empty())
                f.from = parseAddress(value);
        } else if (equalsNoCase(name, L"To")) {
            if (!f.to)
                f.to = addressList(value);
        } else if (equalsNoCase(name, L"Cc")) {
            if (!f.cc)
                f.cc = addressList(value);
        } else if (equalsNoCase(name, L"Date") || equalsNoCase(name, L"Sent")) {
            if (!f.sent)
                f.sent = parseHeaderDate(value);
        } else if (equalsNoCase(name, L"Received") || equalsNoCase(name, L"Delivery-date")) {
            if (!f.received) {
                // A Received trace line carries its date after its last ";".
                const size_t semi = value.rfind(L';');
                f.received = parseHeaderDate(semi == std::wstring::npos ? value : value.substr(semi + 1));
            }
        } else if (equalsNoCase(name, L"Subject")) {
            if (!f.subject)
                f.subject = decodeEncodedWords(value);
        }
    }
    return f;
}

} // namespace outlook
