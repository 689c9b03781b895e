#include "DxlDateTime.h"

#include "Platform.h"

namespace notes {

namespace {

bool digits(const std::string& s, size_t at, size_t n, int& value) {
    if (at + n > s.size())
        return false;
    value = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int64_t DxlDateTime::utcSeconds() const {
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
           static_cast<int64_t>(zoneMinutes) * 60;
}

std::optional<DxlDateTime> parseDxlDateTime(const std::string& raw) {
    // Blanks around the value are allowed (DXL is often indented).
    size_t b = raw.find_first_not_of(" \t\r\n"), e = raw.find_last_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::nullopt;
    const std::string s = raw.substr(b, e - b + 1);
    DxlDateTime v;
    size_t at = 0;
    if (s[0] != 'T') {
        if (!digits(s, 0, 4, v.year) || !digits(s, 4, 2, v.month) || !digits(s, 6, 2, v.day))
            return std::nullopt;
        if (v.year < 1 || v.month < 1 || v.month > 12 || v.day < 1 || v.day > daysInMonth(v.year, v.month))
            return std::nullopt;
        v.hasDate = true;
        at = 8;
    }
    if (at < s.size() && s[at] == 'T') {
        ++at;
        if (!digits(s, at, 2, v.hour) || !digits(s, at + 2, 2, v.minute) || !digits(s, at + 4, 2, v.second))
            return std::nullopt;
        if (v.hour > 23 || v.minute > 59 || v.second > 59)
            return std::nullopt;
        at += 6;
        if (at < s.size() && s[at] == ',') {
            if (!digits(s, at + 1, 2, v.hundredths))
                return std::nullopt;
            at += 3;
        }
        v.hasTime = true;
    }
    if (at < s.size()) {
        if (!v.hasTime)
            return std::nullopt;
        if (s[at] == 'Z' && at + 1 == s.size()) {
            v.hasZone = true;
            at += 1;
        } else if (s[at] == '+' || s[at] == '-') {
            int sign = s[at] == '-' ? -1 : 1, hours = 0, minutes = 0;
            if (!digits(s, at + 1, 2, hours))
                return std::nullopt;
            at += 3;
            if (at < s.size() && s[at] == ':')
                ++at;
            if (at < s.size()) {
                if (!digits(s, at, 2, minutes))
                    return std::nullopt;
                at += 2;
            }
            if (hours > 14 || minutes > 59)
                return std::nullopt;
            v.hasZone = true;
            v.zoneMinutes = sign * (hours * 60 + minutes);
        }
        if (at != s.size())
            return std::nullopt;
    }
    if (!v.hasDate && !v.hasTime)
        return std::nullopt;
    return v;
}

std::string renderDxlDateTime(const DxlDateTime& v) {
    CivilTime t{v.year, v.month, v.day, v.hour, v.minute, v.second};
    if (v.hasDate && v.hasTime && v.hasZone)
        t = toLocalTime(v.utcSeconds());
    return renderDateTime(t, v.hasDate, v.hasTime);
}

} // namespace notes
