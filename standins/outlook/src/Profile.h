// The stand-in's mail profile, kept in its own registry key under
// HKEY_CURRENT_USER as Outlook keeps its profile: the default store (where
// new items are saved), the stores added to the profile in the order they
// were added, and the version the application reports.
#pragma once
#include <string>
#include <vector>

namespace outlook {

class Profile {
public:
    static const wchar_t* keyPath(); // "Software\\Tidewell\\Outlook Stand-in"

    // The default store's path: the value "DefaultStore", or Outlook.pst
    // under the user's local application data (then written there).
    std::wstring defaultStorePath();
    std::vector<std::wstring> stores();
    // Adds a path (full, as given) unless the profile has it already;
    // paths compare without regard to case.
    void addStore(const std::wstring& path);
    // "Version", or "11.0.8169.0".
    std::wstring version();
    // Counts one start of the application in "Starts" (a DWORD), so that
    // tests can see how often a client restarted it.
    void countStart();
};

// The full form of a path, for comparing and storing.
std::wstring fullPath(const std::wstring& path);
bool samePath(const std::wstring& a, const std::wstring& b);

} // namespace outlook
