#include "MailParts.h"

#include "../framework/Handles.h"
#include "../framework/Text.h"

#include <windows.h>
#include <oleauto.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

std::string shownFolderName(const std::string& notesName) {
    static const struct {
        const char* notes;
        const char* shown;
    } system[] = {{"($Inbox)", "Inbox"}, {"($Sent)", "Sent"}, {"($Drafts)", "Drafts"}, {"($All)", "All"},
                  {"($Trash)", "Trash"}};
    for (const auto& s : system)
        if (notesName == s.notes)
            return s.shown;
    return notesName;
}

std::string headerDateText(const std::string& postedDate) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::wstring wide = tw::fromAnsi(postedDate);
    VARIANT text, date;
    VariantInit(&text);
    VariantInit(&date);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    const HRESULT hr = VariantChangeType(&date, &text, 0, VT_DATE);
    VariantClear(&text);
    SYSTEMTIME st{};
    if (FAILED(hr) || !VariantTimeToSystemTime(V_DATE(&date), &st) || st.wMonth < 1 || st.wMonth > 12)
        return "Invalid DateTime";
    char out[64];
    std::snprintf(out, sizeof out, "%02u %s %04u %02u:%02u:%02u", st.wDay, months[st.wMonth - 1], st.wYear,
                  st.wHour, st.wMinute, st.wSecond);
    return out;
}

std::string oneLine(const std::string& value) {
    std::string out = value;
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

namespace {

std::string joined(const std::vector<std::string>& values) {
    std::string out;
    for (size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + oneLine(values[i]);
    return out;
}

} // namespace

std::string headerLines(const MailHeaders& h) {
    std::string out;
    if (h.hasFrom)
        out += "From:" + oneLine(h.from) + "\r\n";
    if (h.hasTo)
        out += "To:" + joined(h.to) + "\r\n";
    if (h.hasCc)
        out += "Cc:" + joined(h.cc) + "\r\n";
    if (h.hasDate)
        for (const char* field : {"Date: ", "Sent: ", "Received: ", "Delivery-date: "})
            out += field + oneLine(h.date) + "\r\n";
    if (h.hasSubject)
        out += "Subject:" + oneLine(h.subject) + "\r\n";
    return out;
}

std::string safeAttachmentName(const std::string& name, const std::string& fallback) {
    // Through wide text, so that a double-byte character is never split.
    std::wstring w = tw::fromAnsi(name);
    const size_t slash = w.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        w = w.substr(slash + 1);
    for (wchar_t& c : w)
        if (c < 32 || wcschr(L"<>:\"/\\|?*", c))
            c = L'_';
    while (!w.empty() && (w.back() == L'.' || w.back() == L' '))
        w.pop_back();
    while (!w.empty() && w.front() == L' ')
        w.erase(w.begin());
    if (w.empty())
        return fallback;
    // CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with or without an extension,
    // name devices, not files.
    std::wstring stem = w.substr(0, w.find(L'.'));
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(towupper(c));
    const bool device = stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" ||
                        (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
                         stem[3] >= L'1' && stem[3] <= L'9');
    if (device)
        w = L"_" + w;
    return tw::toAnsi(w);
}

bool isAddedAttachment(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    std::string four = path.substr(dot == std::string::npos ? 0 : dot, 4);
    for (char& c : four)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return four != ".msg";
}

namespace {

std::wstring withoutTrailingSlash(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

// Whether `a` is `b` or a folder above it, letter case aside.
bool isOrHolds(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.size() < a.size())
        return false;
    if (CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(a.size()), TRUE) !=
        CSTR_EQUAL)
        return false;
    return b.size() == a.size() || a.back() == L'\\' || b[a.size()] == L'\\';
}

// A folder of the user's or the system's own: a drive's root, the Windows
// and system directories, the profile and its Documents, Desktop and
// application data, the program files, and every folder above them.
bool isUsersOwnFolder(const std::wstring& folder) {
    wchar_t full[MAX_PATH * 2] = L"";
    if (!GetFullPathNameW(folder.c_str(), MAX_PATH * 2, full, nullptr))
        return true; // not even a path: leave it alone
    const std::wstring path = withoutTrailingSlash(full);
    const bool shareRoot = path.compare(0, 2, L"\\\\") == 0 && std::count(path.begin(), path.end(), L'\\') <= 3;
    if (path.size() <= 3 || shareRoot)
        return true; // a drive's root ("C:\\"), or a share's
    std::vector<std::wstring> own;
    wchar_t dir[MAX_PATH] = L"";
    if (GetWindowsDirectoryW(dir, MAX_PATH))
        own.push_back(dir);
    if (GetSystemDirectoryW(dir, MAX_PATH))
        own.push_back(dir);
    for (int csidl : {CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                      CSIDL_PROGRAM_FILES, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_DESKTOPDIRECTORY})
        if (SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, dir)))
            own.push_back(dir);
    for (const std::wstring& o : own)
        if (isOrHolds(path, withoutTrailingSlash(o)))
            return true;
    return false;
}

} // namespace

std::wstring emptySecureTempFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\11.0\\Outlook\\Security", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::wstring();
    tw::RegKey held(key);
    BYTE buffer[522] = {};
    DWORD bytes = 520, type = 0;
    if (RegQueryValueExW(key, L"OutlookSecureTempFolder", nullptr, &type, buffer, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    std::wstring folder(reinterpret_cast<const wchar_t*>(buffer), wcsnlen(reinterpret_cast<const wchar_t*>(buffer), bytes / 2));
    if (folder.empty())
        return std::wstring();
    // Outlook's folder is one of its own; a value naming one of the user's
    // folders would empty it of the user's files.
    if (isUsersOwnFolder(folder))
        return folder;
    WIN32_FIND_DATAW found;
    tw::FindHandle find(FindFirstFileW((folder + L"*.*").c_str(), &found));
    if (!find)
        return std::wstring();
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find.get(), &found));
    return std::wstring();
}
