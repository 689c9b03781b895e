#include "Profile.h"

#include <windows.h>
#include <shlobj.h>

namespace outlook {

namespace {

class Key {
public:
    explicit Key(bool create) {
        if (create)
            RegCreateKeyExW(HKEY_CURRENT_USER, Profile::keyPath(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &key_, nullptr);
        else
            RegOpenKeyExW(HKEY_CURRENT_USER, Profile::keyPath(), 0, KEY_READ, &key_);
    }
    ~Key() {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

    // A string or multi-string value, with its terminators.
    bool read(const wchar_t* name, DWORD type, std::wstring& out) const {
        if (!key_)
            return false;
        DWORD actual = 0, bytes = 0;
        if (RegQueryValueExW(key_, name, nullptr, &actual, nullptr, &bytes) != ERROR_SUCCESS || actual != type)
            return false;
        std::wstring buffer(bytes / sizeof(wchar_t) + 2, L'\0');
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, name, nullptr, &actual, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) !=
            ERROR_SUCCESS)
            return false;
        buffer.resize(bytes / sizeof(wchar_t));
        out = buffer;
        return true;
    }
    void write(const wchar_t* name, DWORD type, const std::wstring& data) const {
        if (key_)
            RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }

private:
    HKEY key_ = nullptr;
};

std::wstring untilNul(const std::wstring& s) { return s.substr(0, s.find(L'\0')); }

} // namespace

const wchar_t* Profile::keyPath() { return L"Software\\Tidewell\\Outlook Stand-in"; }

std::wstring fullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(sizeof(buffer) / sizeof(buffer[0])), buffer, nullptr);
    if (n == 0 || n >= sizeof(buffer) / sizeof(buffer[0]))
        return path;
    return std::wstring(buffer, n);
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::wstring Profile::defaultStorePath() {
    Key key(true);
    std::wstring value;
    if (key.read(L"DefaultStore", REG_SZ, value) && !untilNul(value).empty())
        return untilNul(value);
    wchar_t appData[MAX_PATH] = L"";
    std::wstring dir;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)))
        dir = std::wstring(appData) + L"\\Microsoft\\Outlook";
    else
        dir = L"C:\\Outlook";
    SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    const std::wstring path = dir + L"\\Outlook.pst";
    key.write(L"DefaultStore", REG_SZ, path);
    return path;
}

std::vector<std::wstring> Profile::stores() {
    std::vector<std::wstring> out;
    Key key(false);
    std::wstring multi;
    if (!key.read(L"Stores", REG_MULTI_SZ, multi))
        return out;
    size_t at = 0;
    while (at < multi.size()) {
        size_t end = multi.find(L'\0', at);
        if (end == std::wstring::npos)
            end = multi.size();
        if (end == at)
            break;
        out.push_back(multi.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

void Profile::addStore(const std::wstring& path) {
    std::vector<std::wstring> list = stores();
    for (const std::wstring& p : list)
        if (samePath(p, path))
            return;
    list.push_back(path);
    std::wstring multi;
    for (const std::wstring& p : list) {
        multi += p;
        multi += L'\0';
    }
    // The value's own final terminator is added by write().
    Key(true).write(L"Stores", REG_MULTI_SZ, multi);
}

std::wstring Profile::version() {
    Key key(false);
    std::wstring value;
    if (key.read(L"Version", REG_SZ, value) && !untilNul(value).empty())
        return untilNul(value);
    return L"11.0.8169.0";
}

void Profile::countStart() {
    Key key(true);
    if (!key.get())
        return;
    DWORD starts = 0, bytes = sizeof starts, type = 0;
    if (RegQueryValueExW(key.get(), L"Starts", nullptr, &type, reinterpret_cast<BYTE*>(&starts), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        starts = 0;
    ++starts;
    RegSetValueExW(key.get(), L"Starts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&starts), sizeof starts);
}

} // namespace outlook
