#include "Registry.h"

#include "../framework/Handles.h"

const wchar_t kSettingsKey[] = L"TWNSF_PST";

namespace {
constexpr DWORD kBufferBytes = 520;
constexpr size_t kMaxChars = 259;
} // namespace

std::wstring readRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name) {
    tw::RegKey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[kBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0, bytes = kBufferBytes;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return {};
    // The stored text need not end with its zero; the extra element above
    // guarantees one.
    std::wstring text(buffer, bytes / sizeof(wchar_t));
    size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos)
        text.resize(zero);
    if (text.size() > kMaxChars)
        return {};
    return text;
}

bool writeRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name, const std::wstring& value) {
    tw::RegKey key;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

std::wstring readSetting(const wchar_t* name) { return readRegistryText(HKEY_CLASSES_ROOT, kSettingsKey, name); }

bool writeSetting(const wchar_t* name, const std::wstring& value) {
    return writeRegistryText(HKEY_CLASSES_ROOT, kSettingsKey, name, value);
}
