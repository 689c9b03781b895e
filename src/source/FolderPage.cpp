#include "FolderPage.h"

#include "../shell/ActivityLog.h"
#include "../shell/PageChain.h"
#include "../shell/WizardState.h"
#include "../target/TargetPage.h"

Ctreedlg::Ctreedlg(HWND owner)
    : WizardPage(IDD_FOLDERS, owner,
                 HeaderButtonIds{IDC_FOLDERS_HEADER_VIEWLOG, IDC_FOLDERS_HEADER_SUPPORT, IDC_FOLDERS_HEADER_EXIT}) {}

BOOL Ctreedlg::OnInitDialog() {
    openPage(wizardState().mode == ModeAddressBook ? L"\\step3_add.bmp" : L"\\step3_mail.bmp");
    return TRUE;
}

bool Ctreedlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED && id == IDC_FOLDERS_BACK) {
        goBack(*this, BackKind::EmptySelection);
        return true;
    }
    return WizardPage::OnCommand(id, code, control);
}

void Ctreedlg::OnOK() {
    WizardState& state = wizardState();
    state.selectedFolderCount = static_cast<int>(state.selectedFolders.size());
    writeSelectionLines();
    CTrgDlg next(hwnd());
    runNextPage(*this, next);
}

void Ctreedlg::writeSelectionLines() const {
    appendLogLines({kLogEmptyLine, L"Step 3 :", L"-------", L"List of Selected NSF Folder(s) : "});
    for (const std::wstring& entry : wizardState().selectedFolders)
        appendLogLine(entry);
}
