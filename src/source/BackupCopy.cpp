#include "BackupCopy.h"

#include "../common/Messages.h"
#include "../common/Paths.h"
#include "CopyProgress.h"
#include "File64.h"

bool takeBackupCopy(HWND page, const std::wstring& file, const std::wstring& backupPath) {
    // The file's folder, with its backslash only when the backup path has
    // one, so that "C:\Data" and "C:\data\" both name the folder of
    // "C:\Data\mail.nsf".
    std::wstring folder = beforeLastBackslash(file);
    if (!backupPath.empty() && backupPath.back() == L'\\')
        folder += L'\\';
    if (equalNoCase(backupPath, folder)) {
        showInformation(page, L"Existing NSF file path and Backup Path are same, please specify different path.");
        return false;
    }
    if (!pathExists(backupPath)) {
        showInformation(page, L"Backup path does't exist.");
        return false;
    }
    uint64_t size = 0;
    {
        CFile64 source;
        FileError error;
        if (!source.open(file, GENERIC_READ, OPEN_EXISTING, error)) {
            showMessage(page, L"The file cannot be read.\r\n\r\n" + error.describe(),
                        MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL);
            return false;
        }
        try {
            size = source.length();
            source.close();
        } catch (const FileError& failure) {
            showMessage(page, L"The file cannot be read.\r\n\r\n" + failure.describe(),
                        MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL);
            return false;
        }
    }
    ULARGE_INTEGER available{}, total{}, free{};
    // A volume whose free space cannot be read is tried: the copy reports
    // what goes wrong.
    if (GetDiskFreeSpaceExW(backupPath.c_str(), &available, &total, &free) && free.QuadPart <= size) {
        showMessage(page, L"Not enough space at the destination. Please select different location.",
                    MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        return false;
    }
    runBackupCopy(page, file, backupPath + fromLastBackslash(file));
    return true;
}
