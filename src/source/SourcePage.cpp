#include "SourcePage.h"

#include "../shell/ActivityLog.h"
#include "../shell/PageChain.h"
#include "../shell/WizardState.h"
#include "FolderPage.h"

CSourceDld::CSourceDld(HWND owner) : WizardPage(IDD_SOURCE, owner) {}

BOOL CSourceDld::OnInitDialog() {
    openPage(L"\\step2.bmp");
    setChecked(IDC_SOURCE_BACKUP, false);
    enableItem(IDC_SOURCE_BACKUP_BROWSE, false);
    return TRUE;
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
        case IDC_SOURCE_BACKUP:
            enableItem(IDC_SOURCE_BACKUP_BROWSE, isChecked(IDC_SOURCE_BACKUP));
            return true;
        default:
            break;
        }
    }
    return WizardPage::OnCommand(id, code, control);
}

void CSourceDld::onNext() {
    wizardState().sourcePath = itemText(IDC_SOURCE_PATH);
    appendLogLines({kLogEmptyLine, L"Step 2 :", L"-------", L"NSF Source Path : " + itemText(IDC_SOURCE_PATH),
                    L"Backup NSF Path : " + itemText(IDC_SOURCE_BACKUP_PATH)});
    Ctreedlg next(hwnd());
    runNextPage(*this, next);
}
