// What each test gets of its own: registry roots and a temporary directory.
#pragma once
#include <windows.h>

#include <string>

namespace testenv {

// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER of this process redirected to
// fresh, empty keys, so that settings written by one test are seen by no
// other. A child process adopts the same keys by name.
class IsolatedRegistry {
public:
    IsolatedRegistry();
    ~IsolatedRegistry();
    IsolatedRegistry(const IsolatedRegistry&) = delete;
    IsolatedRegistry& operator=(const IsolatedRegistry&) = delete;

    const std::wstring& name() const { return name_; }
    // Redirects this process's roots to the keys of `name` (in a child).
    static bool adopt(const std::wstring& name);

    // Convenience for the wizard's own settings.
    void setSetting(const wchar_t* value, const std::wstring& text) const;
    void deleteSettingsKey() const;

private:
    std::wstring name_;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A directory of the test's own on the small volume the harness names
// (TW_LOW_SPACE_DRIVE, a drive of its own), made when first asked for and
// removed with everything in it at the end. Empty when there is no such
// volume (mounting one needs root); tests that need it are then skipped.
class SmallVolumeDirectory {
public:
    SmallVolumeDirectory() = default;
    ~SmallVolumeDirectory();
    SmallVolumeDirectory(const SmallVolumeDirectory&) = delete;
    SmallVolumeDirectory& operator=(const SmallVolumeDirectory&) = delete;
    const std::wstring& path();
    // Fills the volume with a file in the directory until no more than
    // `leave` bytes are free; false when the file could not be made.
    bool fill(ULONGLONG leave);
    // Takes the filling file away again.
    void drain();

private:
    std::wstring path_;
};

// Removes a directory tree; true when nothing is left.
bool removeTree(const std::wstring& path);
std::string readFileBytes(const std::wstring& path);
bool writeFileBytes(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);
// Copies a file under `name` into a directory of the host ("/a/b", as
// build files name it), made when missing: for readers run on the host.
bool copyToHostDirectory(const char* hostDirectory, const std::wstring& file, const std::wstring& name);

} // namespace testenv
