#include "SourcePage.h"

#include "../common/ActivityLog.h"
#include "../common/FilePicker.h"
#include "../common/FolderDialog.h"
#include "../common/Messages.h"
#include "../common/PageChain.h"
#include "../common/Paths.h"
#include "../common/Registry.h"
#include "../common/WizardState.h"
#include "../framework/Handles.h"
#include "BackupCopy.h"

CSourceDld::CSourceDld(HWND owner) : WizardPage(IDD_SOURCE, owner) {}

std::wstring notesDataDirectory(HWND owner) {
    const std::wstring directory =
        readRegistryText(HKEY_CURRENT_USER, L"Software\\Lotus\\Notes\\Installer", L"DirectoryValue");
    if (directory.empty())
        showMessage(owner,
                    L"Lotus Notes not found installed or corrupted. Please install Lotus Notes & re-run conversion "
                    L"Application",
                    MB_OK);
    return directory;
}

BOOL CSourceDld::OnInitDialog() {
    openPage(L"\\step2.bmp");
    limitToPathLength({IDC_SOURCE_PATH, IDC_SOURCE_BACKUP_PATH});
    proposeSource();
    setChecked(IDC_SOURCE_BACKUP, false);
    enableItem(IDC_SOURCE_BACKUP_BROWSE, false);
    return TRUE;
}

// Mails: the first database the file system lists in the Notes mail
// directory; Address Book: the Notes directory's names.nsf.
void CSourceDld::proposeSource() {
    const std::wstring directory = notesDataDirectory(hwnd());
    if (directory.empty())
        return;
    std::wstring proposal;
    if (wizardState().mode == ModeAddressBook) {
        proposal = directory + L"names.nsf";
    } else {
        WIN32_FIND_DATAW found;
        tw::FindHandle find(FindFirstFileW((directory + L"mail\\*.nsf").c_str(), &found));
        if (find)
            proposal = directory + L"mail\\" + found.cFileName;
    }
    if (proposal.empty())
        return;
    setItemText(IDC_SOURCE_PATH, proposal);
    wizardState().sourcePath = proposal;
}

bool CSourceDld::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_SOURCE_NEXT:
            onNext();
            return true;
        case IDC_SOURCE_BACK:
            goBack(*this, BackKind::KeepSelection);
            return true;
        case IDC_SOURCE_BROWSE:
            browse();
            return true;
        case IDC_SOURCE_BACKUP:
            enableItem(IDC_SOURCE_BACKUP_BROWSE, isChecked(IDC_SOURCE_BACKUP));
            return true;
        case IDC_SOURCE_BACKUP_BROWSE:
            browseBackup();
            return true;
        default:
            break;
        }
    }
    return WizardPage::OnCommand(id, code, control);
}

void CSourceDld::browse() {
    for (int id : {IDC_SOURCE_BACK, IDC_SOURCE_NEXT, IDC_SOURCE_BROWSE, IDC_SOURCE_BACKUP_BROWSE})
        enableItem(id, false);
    const std::wstring chosen = pickFileToOpen(L"NSF (*.NSF)", L"*.nsf");
    if (!chosen.empty()) {
        setItemText(IDC_SOURCE_PATH, chosen);
        wizardState().sourcePath = itemText(IDC_SOURCE_PATH);
    }
    for (int id : {IDC_SOURCE_BROWSE, IDC_SOURCE_BACK, IDC_SOURCE_NEXT})
        enableItem(id, true);
    enableItem(IDC_SOURCE_BACKUP_BROWSE, isChecked(IDC_SOURCE_BACKUP));
}

void CSourceDld::browseBackup() {
    const std::wstring folder = pickBackupFolder();
    if (!folder.empty())
        setItemText(IDC_SOURCE_BACKUP_PATH, folder);
}

void CSourceDld::onNext() {
    const std::wstring source = itemText(IDC_SOURCE_PATH);
    if (!hasExtension(source, L".nsf") || !pathExists(source)) {
        showInformation(hwnd(), L"Source path does't exist.");
        return;
    }
    if (isChecked(IDC_SOURCE_BACKUP) && !takeBackupCopy(hwnd(), source, itemText(IDC_SOURCE_BACKUP_PATH)))
        return;
    wizardState().sourcePath = itemText(IDC_SOURCE_PATH);
    appendLogLines({kLogEmptyLine, L"Step 2 :", L"-------", L"NSF Source Path : " + itemText(IDC_SOURCE_PATH),
                    L"Backup NSF Path : " + itemText(IDC_SOURCE_BACKUP_PATH)});
    runNextPage(*this);
}
