// The platform on Windows: the ANSI code page, and the user's short date
// and time formats, as the Notes client writes dates.
#include "Platform.h"

#include <windows.h>

#include <cstdio>

namespace notes {

namespace {

std::wstring widen(const std::string& s, UINT codePage) {
    if (s.empty())
        return {};
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring& w, UINT codePage) {
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

} // namespace

std::string utf16ToPlatform(const std::u16string& text) {
    return narrow(std::wstring(text.begin(), text.end()), CP_ACP);
}

std::u16string platformToUtf16(const std::string& text) {
    const std::wstring wide = widen(text, CP_ACP);
    return std::u16string(wide.begin(), wide.end());
}

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    return _wfopen(widen(utf8Path, CP_UTF8).c_str(), widen(mode, CP_UTF8).c_str());
}

bool removeFile(const std::string& utf8Path) { return DeleteFileW(widen(utf8Path, CP_UTF8).c_str()) != 0; }

std::string notesSetUpProblem() {
    wchar_t directory[MAX_PATH] = L"";
    DWORD bytes = sizeof directory;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Lotus\\Notes\\Installer", L"DirectoryValue", RRF_RT_REG_SZ,
                     nullptr, directory, &bytes) != ERROR_SUCCESS ||
        !*directory)
        return "no data directory is registered for this user";
    const DWORD attributes = GetFileAttributesW(directory);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return narrow(directory, CP_ACP) + " does not exist";
    return {};
}

CivilTime toLocalTime(int64_t utcSeconds) {
    // 100-ns intervals since 1601-01-01.
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>((utcSeconds + 11644473600LL) * 10000000LL);
    FILETIME utc{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME u{}, local{};
    FileTimeToSystemTime(&utc, &u);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &u, &local))
        local = u;
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::string renderDateTime(const CivilTime& t, bool withDate, bool withTime) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    wchar_t date[128] = {}, time[128] = {};
    std::wstring text;
    if (withDate && GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128) > 0)
        text = date;
    if (withTime && GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 128) > 0) {
        if (!text.empty())
            text += L' ';
        text += time;
    }
    return narrow(text, CP_ACP);
}

} // namespace notes
