// DXL's date/time texts: "20070307T090500,00+01" (date, time with
// hundredths, zone offset in hours), "20070307" (a date alone),
// "T090500,00" (a time alone).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace notes {

struct DxlDateTime {
    bool hasDate = false, hasTime = false, hasZone = false;
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, hundredths = 0;
    int zoneMinutes = 0; // east of UTC

    // Seconds since 1970-01-01 UTC (needs a date, a time and a zone).
    int64_t utcSeconds() const;
};

std::optional<DxlDateTime> parseDxlDateTime(const std::string& text);

// The value as the platform writes a local date and time: converted to
// local time when it carries a zone, written as it stands otherwise.
std::string renderDxlDateTime(const DxlDateTime& value);

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int year, int month, int day);

} // namespace notes
