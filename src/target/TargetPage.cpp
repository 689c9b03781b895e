#include "TargetPage.h"

#include "../shell/ActivityLog.h"
#include "../shell/PageChain.h"
#include "../shell/WizardState.h"
#include "FolderNamePage.h"

CTrgDlg::CTrgDlg(HWND owner) : WizardPage(IDD_TARGET, owner) {}

BOOL CTrgDlg::OnInitDialog() {
    openPage(L"\\step4.bmp");
    CheckRadioButton(hwnd(), IDC_TARGET_NEW, IDC_TARGET_EXISTING, IDC_TARGET_EXISTING);
    enableItem(IDC_TARGET_NEW_BROWSE, false);
    enableItem(IDC_TARGET_BACKUP_BROWSE, false);
    return TRUE;
}

void CTrgDlg::updateEnabledButtons() const {
    bool creating = isChecked(IDC_TARGET_NEW);
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
        default:
            break;
        }
    }
    return WizardPage::OnCommand(id, code, control);
}

void CTrgDlg::OnOK() {
    wizardState().pstPath = itemText(isChecked(IDC_TARGET_NEW) ? IDC_TARGET_NEW_PATH : IDC_TARGET_EXISTING_PATH);
    appendLogLines({kLogEmptyLine, L"Step 4 :", L"-------", L"New PST File Path : " + itemText(IDC_TARGET_NEW_PATH),
                    L"Default PST Path : " + itemText(IDC_TARGET_EXISTING_PATH),
                    L"Backup PST Path : " + itemText(IDC_TARGET_BACKUP_PATH)});
    CCreFolDlg next(hwnd());
    runNextPage(*this, next);
}
