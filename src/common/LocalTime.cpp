#include "LocalTime.h"

#include <cwchar>

const wchar_t kDateTimeFormat[] = L"%d-%d-%d %d:%d";
const wchar_t kDateTimeFileFormat[] = L"%d-%d-%d %d-%d";

std::wstring formatDateTime(const wchar_t* format, const SYSTEMTIME& t) {
    wchar_t text[64] = {};
    std::swprintf(text, 64, format, t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute);
    return text;
}

std::wstring localDateTimeText(const wchar_t* format) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return formatDateTime(format, now);
}
