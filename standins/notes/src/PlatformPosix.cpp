// The platform outside Windows: Windows-1252 as 8-bit text, month/day/year
// with a 24-hour clock as the date format, the C library's local time.
#include "Platform.h"

#include <cstdio>
#include <ctime>

namespace notes {

namespace {

// Windows-1252 characters 0x80-0x9F (0 where the code page has none).
const uint16_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                            0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

} // namespace

std::string utf16ToPlatform(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == c && c != 0)
                mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}

std::u16string platformToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        out += c < 0x80 || c >= 0xA0 ? c : (kHigh[c - 0x80] ? kHigh[c - 0x80] : 0xFFFD);
    return out;
}

std::FILE* openFile(const std::string& utf8Path, const char* mode) { return std::fopen(utf8Path.c_str(), mode); }

bool removeFile(const std::string& utf8Path) { return std::remove(utf8Path.c_str()) == 0; }

// Outside Windows there is no client installation to find.
std::string notesSetUpProblem() { return {}; }

CivilTime toLocalTime(int64_t utcSeconds) {
    std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string renderDateTime(const CivilTime& t, bool withDate, bool withTime) {
    char text[64] = {};
    if (withDate && withTime)
        std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                      t.second);
    else if (withDate)
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", t.month, t.day, t.year);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

} // namespace notes
