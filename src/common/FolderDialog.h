// The platform's folder picker: file-system folders only. As the wizard's
// own CFolderDialog (Step 4's new PST, the log location) it has an owner,
// the title "Select Folder:", an edit field and the newer style, starts at
// an optional folder, and beeps and stays open when a typed name is no
// folder. The backup pickers use it without owner, edit field or style.
#pragma once
#include <windows.h>

#include <string>

class CFolderDialog {
public:
    enum Result { Cancelled = IDCANCEL, Chosen = IDOK, NoPath = -1 };

    // The wizard's picker.
    explicit CFolderDialog(HWND owner, const std::wstring& initialFolder = {});
    // The plain picker of the backup folders.
    static CFolderDialog plain(const wchar_t* title);

    Result DoModal();
    // The chosen folder's path, after Chosen.
    const std::wstring& folderPath() const { return path_; }

private:
    CFolderDialog(HWND owner, const wchar_t* title, UINT flags, const std::wstring& initialFolder);
    static int CALLBACK callback(HWND dialog, UINT message, LPARAM lParam, LPARAM data);

    HWND owner_;
    std::wstring title_;
    UINT flags_;
    std::wstring initial_;
    std::wstring path_;
};

// The backup folder pickers of Steps 2 and 4: the chosen path or empty.
std::wstring pickBackupFolder();
