#include "Paths.h"

#include <windows.h>

std::wstring fourCharacterExtension(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    return path.substr(dot == std::wstring::npos ? 0 : dot, 4);
}

bool equalNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool hasExtension(const std::wstring& path, const wchar_t* extension) {
    return equalNoCase(fourCharacterExtension(path), extension);
}

bool pathExists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool directoryExists(const std::wstring& path) {
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring beforeLastBackslash(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring fromLastBackslash(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash);
}
