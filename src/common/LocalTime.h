// The local date and time as the wizard writes it: day, month, year, hour
// and minute through a printf format, without leading zeros.
#pragma once
#include <windows.h>

#include <string>

// "%d-%d-%d %d:%d" for the log and the folder name, "%d-%d-%d %d-%d" for
// file names.
extern const wchar_t kDateTimeFormat[];
extern const wchar_t kDateTimeFileFormat[];

std::wstring formatDateTime(const wchar_t* format, const SYSTEMTIME& time);
std::wstring localDateTimeText(const wchar_t* format);
