#include "LogLocationDialog.h"

#include "../common/ActivityLog.h"
#include "../common/FolderDialog.h"
#include "../common/Messages.h"
#include "../common/Paths.h"
#include "../common/Registry.h"
#include "../common/WizardState.h"
#include "../resources/resource.h"

CLogDlg::CLogDlg(HWND owner) : SkinnedDialog(IDD_LOGPATH, owner) {}

BOOL CLogDlg::OnInitDialog() {
    loadBackground(L"\\msgskin.bmp");
    limitToPathLength({IDC_LOGPATH_PATH});
    setItemText(IDC_LOGPATH_PATH, wizardState().logDirectory);
    setCaption(wizardState().productTitle);
    return TRUE;
}

bool CLogDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED && id == IDC_LOGPATH_BROWSE) {
        CFolderDialog picker(hwnd());
        if (picker.DoModal() == CFolderDialog::Chosen)
            setItemText(IDC_LOGPATH_PATH, picker.folderPath());
        return true;
    }
    return SkinnedDialog::OnCommand(id, code, control);
}

void CLogDlg::OnOK() {
    const std::wstring directory = itemText(IDC_LOGPATH_PATH);
    // A directory whose log file's path would be too long for the platform
    // is refused like a missing one: the log could never be written there.
    // So is a file of that name: no log could be written "inside" it.
    if (!directoryExists(directory) || !logPathFits(directory)) {
        showMessage(hwnd(), L"Path Does't exists", MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL);
        EndDialog(IDCANCEL);
        return;
    }
    if (!writeSetting(L"LogPath", directory)) {
        showMessage(hwnd(), L"The log location could not be saved: the log stays where it was.",
                    MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL);
        EndDialog(IDCANCEL);
        return;
    }
    wizardState().logDirectory = directory;
    EndDialog(IDOK);
}
