// What the library takes from the machine it runs on: its 8-bit text (the
// ANSI code page on Windows), its file names, whether the client is set up,
// and its way of writing a local date and time.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace notes {

struct CivilTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

// UTF-16 to platform text; characters the platform text cannot hold
// become its default character.
std::string utf16ToPlatform(const std::u16string& text);
// Platform text to UTF-16.
std::u16string platformToUtf16(const std::string& text);

// Files by their UTF-8 paths (any character on every platform).
std::FILE* openFile(const std::string& utf8Path, const char* mode);
bool removeFile(const std::string& utf8Path);

// Why the Notes client is not set up for the current user (no data
// directory registered, or one that is gone), or empty when it is.
std::string notesSetUpProblem();

// The local wall-clock time of an instant given as seconds since
// 1970-01-01 00:00 UTC.
CivilTime toLocalTime(int64_t utcSeconds);
// A date and/or time in the user's short date and time format, in platform
// text, without a zone.
std::string renderDateTime(const CivilTime& t, bool withDate, bool withTime);

} // namespace notes
