// Shared pieces of the window tests.
#pragma once
#include "Robot.h"
#include "WizardPages.h"
#include "common/Registry.h"
#include "resource.h"

#include <string>

namespace guitest {

// The window, or the test ends here saying what was missing.
inline HWND need(HWND hwnd, const char* what) {
    if (!hwnd)
        robot::abandon(std::string("not found: ") + what);
    return hwnd;
}

// Occurrences of `what` in `text`.
inline int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

inline std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }
// UTF-8 text (as the generated databases and the PST engine hold it) wide.
inline std::wstring fromUtf8(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    out.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                                       static_cast<int>(out.size()))));
    return out;
}

// The Notes data directory the current user's Notes installation names
// ("DirectoryValue", with its trailing backslash), where Step 2 looks.
inline void setNotesDirectory(const std::wstring& directory) {
    writeRegistryText(HKEY_CURRENT_USER, L"Software\\Lotus\\Notes\\Installer", L"DirectoryValue", directory + L"\\");
}

// Waits until Step 3 has listed its folders (Next enabled again).
inline void waitForListing(HWND step3) {
    if (!robot::waitUntil([&] { return robot::isEnabled(step3, IDOK); }))
        robot::abandon("Step 3 never finished listing");
}

// Checks the item of that text on Step 3.
inline void checkFolder(HWND step3, const std::wstring& text) {
    HWND tree = robot::control(step3, IDC_FOLDERS_TREE);
    HTREEITEM item = robot::findTreeItem(tree, text);
    if (!item || !robot::clickTreeCheckBox(tree, item))
        robot::abandon("no check box for " + narrow(text));
}

// The Notepad window showing the activity log (another test's Notepad may
// be about too), or null when none shows within the robot's time.
inline HWND waitForLogInNotepad() {
    HWND notepad = nullptr;
    robot::waitUntil([&] {
        for (HWND w : robot::findWindows(L"Notepad", nullptr))
            if (robot::windowText(w).find(L"Activity Log") != std::wstring::npos)
                notepad = w;
        return notepad != nullptr;
    });
    return notepad;
}

} // namespace guitest
