#include "TestEnv.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace testenv {

namespace {

const wchar_t kIsolationRoot[] = L"Software\\Tidewell Tests";

std::wstring uniqueName() {
    static std::atomic<int> counter{0};
    wchar_t name[64];
    std::swprintf(name, 64, L"%lu-%lu-%d", GetCurrentProcessId(), GetTickCount(), counter++);
    return name;
}

HKEY openIsolated(const std::wstring& name, const wchar_t* root) {
    // The keys live under the real HKCU, opened before any redirection.
    std::wstring path = std::wstring(kIsolationRoot) + L"\\" + name + L"\\" + root;
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

} // namespace

IsolatedRegistry::IsolatedRegistry() : name_(uniqueName()) {
    if (!adopt(name_))
        std::fprintf(stderr, "testenv: cannot isolate the registry\n");
}

bool IsolatedRegistry::adopt(const std::wstring& name) {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    HKEY classes = openIsolated(name, L"HKCR");
    HKEY user = openIsolated(name, L"HKCU");
    bool ok = classes && user && RegOverridePredefKey(HKEY_CLASSES_ROOT, classes) == ERROR_SUCCESS &&
              RegOverridePredefKey(HKEY_CURRENT_USER, user) == ERROR_SUCCESS;
    if (classes)
        RegCloseKey(classes);
    if (user)
        RegCloseKey(user);
    return ok;
}

IsolatedRegistry::~IsolatedRegistry() {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    std::wstring path = std::wstring(kIsolationRoot) + L"\\" + name_;
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

void IsolatedRegistry::setSetting(const wchar_t* value, const std::wstring& text) const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"TWNSF_PST", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

void IsolatedRegistry::deleteSettingsKey() const { RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TWNSF_PST"); }

SmallVolumeDirectory::~SmallVolumeDirectory() {
    if (!path_.empty())
        removeTree(path_);
}

const std::wstring& SmallVolumeDirectory::path() {
    const char* drive = std::getenv("TW_LOW_SPACE_DRIVE");
    if (path_.empty() && drive && *drive) {
        path_ = std::wstring(drive, drive + std::strlen(drive)) + L"\\tw-" + uniqueName();
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    return path_;
}

bool SmallVolumeDirectory::fill(ULONGLONG leave) {
    if (path().empty())
        return false;
    HANDLE file = CreateFileW((path_ + L"\\filler.bin").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SetFilePointer(file, 0, nullptr, FILE_END);
    const std::string chunk(64 * 1024, 'f');
    ULARGE_INTEGER free{};
    while (GetDiskFreeSpaceExW(path_.c_str(), &free, nullptr, nullptr) && free.QuadPart > leave) {
        DWORD written = 0;
        const ULONGLONG room = free.QuadPart - leave;
        const DWORD n = static_cast<DWORD>(room < chunk.size() ? room : chunk.size());
        if (!WriteFile(file, chunk.data(), n < 4096 ? 4096 : n, &written, nullptr) || !written)
            break;
    }
    CloseHandle(file);
    return true;
}

void SmallVolumeDirectory::drain() {
    if (!path_.empty())
        DeleteFileW((path_ + L"\\filler.bin").c_str());
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"tw-" + uniqueName();
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() { removeTree(path_); }

bool removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::string readFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool copyToHostDirectory(const char* hostDirectory, const std::wstring& file, const std::wstring& name) {
    std::wstring dir = L"Z:";
    for (const char* p = hostDirectory; *p; ++p)
        dir += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    CreateDirectoryW(dir.c_str(), nullptr);
    // Writable whatever the original was: the next run copies over it.
    const std::wstring to = dir + L"\\" + name;
    SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileW(file.c_str(), to.c_str(), FALSE) && SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace testenv
