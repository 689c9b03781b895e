#include "MailParts.h"

#include "../framework/Handles.h"
#include "../framework/Text.h"

#include <windows.h>
#include <oleauto.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

std::wstring shownFolderName(const std::wstring& notesName) {
    static const struct {
        const wchar_t* notes;
        const wchar_t* shown;
    } system[] = {{L"($Inbox)", L"Inbox"}, {L"($Sent)", L"Sent"}, {L"($Drafts)", L"Drafts"}, {L"($All)", L"All"},
                  {L"($Trash)", L"Trash"}};
    for (const auto& s : system)
        if (notesName == s.notes)
            return s.shown;
    return notesName;
}

std::string headerDateText(const std::wstring& postedDate) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    VARIANT text, date;
    VariantInit(&text);
    VariantInit(&date);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocStringLen(postedDate.data(), static_cast<UINT>(postedDate.size()));
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

std::wstring oneLine(const std::wstring& value) {
    std::wstring out = value;
    for (wchar_t& c : out)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return out;
}

namespace {

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 3; ++k)
            v = (v << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? digits[(v >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

// An encoded word holds at most 75 characters: 45 bytes of UTF-8 make 60
// of base64 after "=?UTF-8?B?". A character is never split between words.
constexpr size_t kWordBytes = 45;

// An address: a name and an ASCII address in angle brackets keep the
// address as it is, so that it stays readable; anything else is one value.
std::string addressValue(const std::wstring& value) {
    const std::wstring line = oneLine(value);
    const size_t open = line.rfind(L'<');
    if (open != std::wstring::npos && open > 0 && line.back() == L'>' &&
        std::all_of(line.begin() + open, line.end(), [](wchar_t c) { return c < 0x80; }))
    {
        std::wstring name = line.substr(0, open);
        while (!name.empty() && name.back() == L' ')
            name.pop_back();
        return headerValue(name) + " " + std::string(line.begin() + open, line.end());
    }
    return headerValue(line);
}

std::string joined(const std::vector<std::wstring>& values) {
    std::string out;
    for (size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + addressValue(values[i]);
    return out;
}

} // namespace

std::string headerValue(const std::wstring& value) {
    const bool plain = std::all_of(value.begin(), value.end(), [](wchar_t c) { return c < 0x80; }) &&
                       value.find(L"=?") == std::wstring::npos;
    if (plain)
        return std::string(value.begin(), value.end());
    const std::string utf8 = tw::toUtf8(value);
    std::string out;
    for (size_t at = 0; at < utf8.size();) {
        size_t end = std::min(at + kWordBytes, utf8.size());
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end; // back to the start of a character
        out += (at ? "\r\n " : "") + std::string("=?UTF-8?B?") + base64(utf8.substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

namespace {

// "Name:" and the value; a value that starts with an encoded word is set
// off by a blank, as RFC 2047 asks.
std::string field(const char* name, const std::string& value) {
    return name + std::string(value.compare(0, 2, "=?") == 0 ? " " : "") + value + "\r\n";
}

} // namespace

std::string headerLines(const MailHeaders& h) {
    std::string out;
    if (h.hasFrom)
        out += field("From:", addressValue(h.from));
    if (h.hasTo)
        out += field("To:", joined(h.to));
    if (h.hasCc)
        out += field("Cc:", joined(h.cc));
    if (h.hasDate)
        for (const char* name : {"Date: ", "Sent: ", "Received: ", "Delivery-date: "})
            out += name + h.date + "\r\n";
    if (h.hasSubject)
        out += field("Subject:", headerValue(oneLine(h.subject)));
    return out;
}

std::wstring safeAttachmentName(const std::wstring& name, const std::wstring& fallback) {
    std::wstring w = name;
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
    return w;
}

bool isAddedAttachment(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    std::wstring four = path.substr(dot == std::wstring::npos ? 0 : dot, 4);
    for (wchar_t& c : four)
        c = static_cast<wchar_t>(towlower(c));
    return four != L".msg";
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

// The Windows and system directories, the profile and its Documents,
// Desktop and application data, the program files: looked up once, as the
// folder is checked after every message (and the shell's look-up writes
// the registry each time).
const std::vector<std::wstring>& ownFolders() {
    static const std::vector<std::wstring> own = [] {
        std::vector<std::wstring> out;
        wchar_t dir[MAX_PATH] = L"";
        if (GetWindowsDirectoryW(dir, MAX_PATH))
            out.push_back(dir);
        if (GetSystemDirectoryW(dir, MAX_PATH))
            out.push_back(dir);
        for (int csidl : {CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                          CSIDL_PROGRAM_FILES, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_DESKTOPDIRECTORY})
            if (SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, dir)))
                out.push_back(dir);
        return out;
    }();
    return own;
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
    for (const std::wstring& o : ownFolders())
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
