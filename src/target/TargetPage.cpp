#include "TargetPage.h"

#include "../common/ActivityLog.h"
#include "../common/FilePicker.h"
#include "../common/FolderDialog.h"
#include "../common/LocalTime.h"
#include "../common/Messages.h"
#include "../common/PageChain.h"
#include "../common/Paths.h"
#include "../common/WizardState.h"
#include "../source/BackupCopy.h"

CTrgDlg::CTrgDlg(HWND owner) : WizardPage(IDD_TARGET, owner) {}

std::wstring defaultPstName(const std::wstring& folder, const SYSTEMTIME& now) {
    std::wstring name = folder;
    if (name.empty() || name.back() != L'\\')
        name += L'\\';
    return name + L"Tidewell " + formatDateTime(kDateTimeFileFormat, now) + L".pst";
}

BOOL CTrgDlg::OnInitDialog() {
    openPage(L"\\step4.bmp");
    limitToPathLength({IDC_TARGET_NEW_PATH, IDC_TARGET_EXISTING_PATH, IDC_TARGET_BACKUP_PATH});
    CheckRadioButton(hwnd(), IDC_TARGET_NEW, IDC_TARGET_EXISTING, IDC_TARGET_EXISTING);
    enableItem(IDC_TARGET_NEW_BROWSE, false);
    enableItem(IDC_TARGET_BACKUP_BROWSE, false);
    return TRUE;
}

void CTrgDlg::updateEnabledButtons() const {
    const bool creating = isChecked(IDC_TARGET_NEW);
    enableItem(IDC_TARGET_NEW_BROWSE, creating);
    enableItem(IDC_TARGET_EXISTING_BROWSE, !creating);
    enableItem(IDC_TARGET_BACKUP_BROWSE, !creating && isChecked(IDC_TARGET_BACKUP));
}

bool CTrgDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_TARGET_BACK:
            goBack(*this, BackKind::EmptySelection);
            return true;
        case IDC_TARGET_NEW:
        case IDC_TARGET_EXISTING:
            updateEnabledButtons();
            return true;
        case IDC_TARGET_BACKUP:
            enableItem(IDC_TARGET_BACKUP_BROWSE, isChecked(IDC_TARGET_BACKUP));
            return true;
        case IDC_TARGET_NEW_BROWSE:
            browseNew();
            return true;
        case IDC_TARGET_EXISTING_BROWSE:
            browseExisting();
            return true;
        case IDC_TARGET_BACKUP_BROWSE: {
            const std::wstring folder = pickBackupFolder();
            if (!folder.empty())
                setItemText(IDC_TARGET_BACKUP_PATH, folder);
            return true;
        }
        default:
            break;
        }
    }
    return WizardPage::OnCommand(id, code, control);
}

void CTrgDlg::browseNew() {
    CFolderDialog picker(hwnd());
    if (picker.DoModal() != CFolderDialog::Chosen)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::wstring name = defaultPstName(picker.folderPath(), now);
    wizardState().pstPath = name;
    setItemText(IDC_TARGET_NEW_PATH, name);
}

void CTrgDlg::browseExisting() {
    const bool backup = isChecked(IDC_TARGET_BACKUP);
    for (int id : {IDC_TARGET_EXISTING_BROWSE, IDC_TARGET_BACK, IDOK})
        enableItem(id, false);
    if (backup)
        enableItem(IDC_TARGET_BACKUP_BROWSE, false);
    const std::wstring chosen = pickFileToOpen(L"PST (*.PST)", L"*.pst");
    if (!chosen.empty()) {
        setItemText(IDC_TARGET_EXISTING_PATH, chosen);
        wizardState().pstPath = chosen;
    }
    for (int id : {IDC_TARGET_EXISTING_BROWSE, IDC_TARGET_BACK, IDOK})
        enableItem(id, true);
    if (isChecked(IDC_TARGET_BACKUP)) {
        enableItem(IDC_TARGET_BACKUP_BROWSE, true);
        enableItem(IDC_TARGET_BACKUP_PATH, true);
    }
}

bool CTrgDlg::checkNewPst() {
    const std::wstring path = itemText(IDC_TARGET_NEW_PATH);
    if (!hasExtension(path, L".pst")) {
        showInformation(hwnd(), L"New Pst File not specified.");
        return false;
    }
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || !pathExists(path.substr(0, slash + 1))) {
        showInformation(hwnd(), L"Pst path does't exist.");
        return false;
    }
    wizardState().pstPath = path;
    return true;
}

bool CTrgDlg::checkExistingPst() {
    const std::wstring path = itemText(IDC_TARGET_EXISTING_PATH);
    const std::wstring backup = itemText(IDC_TARGET_BACKUP_PATH);
    if (!pathExists(path)) {
        showInformation(hwnd(), L"Pst path does't exist.");
        return false;
    }
    if (isChecked(IDC_TARGET_BACKUP)) {
        if (backup.empty()) {
            showInformation(hwnd(), L"Please select backup path.");
            return false;
        }
        if (!takeBackupCopy(hwnd(), path, backup))
            return false;
    }
    wizardState().pstPath = path;
    return true;
}

void CTrgDlg::OnOK() {
    if (!(isChecked(IDC_TARGET_NEW) ? checkNewPst() : checkExistingPst()))
        return;
    appendLogLines({kLogEmptyLine, L"Step 4 :", L"-------", L"New PST File Path : " + itemText(IDC_TARGET_NEW_PATH),
                    L"Default PST Path : " + itemText(IDC_TARGET_EXISTING_PATH),
                    L"Backup PST Path : " + itemText(IDC_TARGET_BACKUP_PATH)});
    runNextPage(*this);
}
