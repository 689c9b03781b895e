// The optional backup copy of Steps 2 and 4: the checks of the backup
// folder against the file, then the copy itself with its dialog.
#pragma once
#include <windows.h>

#include <string>

// Checks `backupPath` for `file` (not the file's own folder, existing,
// room for the file) and copies the file into it. False, after the check's
// message, when a check fails and the page must stay; true once the copy
// dialog has run, whatever came of the copy.
bool takeBackupCopy(HWND page, const std::wstring& file, const std::wstring& backupPath);
