#include "FolderNamePage.h"

#include "../common/ActivityLog.h"
#include "../common/LocalTime.h"
#include "../common/Messages.h"
#include "../common/PageChain.h"
#include "../common/WizardState.h"

CCreFolDlg::CCreFolDlg(HWND owner) : WizardPage(IDD_FOLDERNAME, owner) {}

BOOL CCreFolDlg::OnInitDialog() {
    openPage(wizardState().mode == ModeAddressBook ? L"\\step5_add.bmp" : L"\\step5_mail.bmp");
    note_.attachDlgItem(hwnd(), IDC_FOLDERNAME_NOTE);
    note_.setPointSize(10).setBold(true).setTransparentDrawing(true);
    setItemText(IDC_FOLDERNAME_NAME, localDateTimeText(kDateTimeFormat));
    return TRUE;
}

bool CCreFolDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED && id == IDC_FOLDERNAME_BACK) {
        goBack(*this, BackKind::KeepSelection);
        return true;
    }
    if (code == BN_CLICKED && id == IDC_FOLDERNAME_EDIT) {
        // The box opens editable; each click first says what the name does.
        showInformation(hwnd(), L"If you select existing folder it will insert mails in existing folder else it will "
                                L"create new.");
        enableItem(IDC_FOLDERNAME_NAME, isChecked(IDC_FOLDERNAME_EDIT));
        return true;
    }
    return WizardPage::OnCommand(id, code, control);
}

void CCreFolDlg::OnOK() {
    WizardState& state = wizardState();
    state.pstFolderName = itemText(IDC_FOLDERNAME_NAME);
    if (state.pstFolderName.empty()) {
        showInformation(hwnd(), L"Cannot continue, please specify folder name.");
        return;
    }
    appendLogLines({kLogEmptyLine, L"Step 5 :", L"-------", L"New Folder in PST : " + state.pstFolderName});
    runNextPage(*this);
}
