#include "WelcomePage.h"

#include "../source/SourcePage.h"
#include "ActivityLog.h"
#include "LocalTime.h"
#include "PageChain.h"
#include "WizardState.h"

CTW_ZURadEZADlg::CTW_ZURadEZADlg(HWND owner) : WizardPage(IDD_WELCOME, owner) {}

BOOL CTW_ZURadEZADlg::OnInitDialog() {
    setChecked(IDC_WELCOME_MAILS, true);
    setTitle();
    setUpHeaderButtons();
    loadStepPicture(L"\\step1.bmp");
    loadBackground(L"\\main.bmp");
    hideHeaderButtons();
    writeStartLines();

    setApplicationIcon();

    CreateDirectoryW(attachmentDirectory().c_str(), nullptr);
    return TRUE;
}

void CTW_ZURadEZADlg::writeStartLines() {
    appendLogLines({kLogEmptyLine, L"-----------------------Start--------------------------", L"Tidewell for NSF to PST",
                    L"Version 1.0", localDateTimeText(kDateTimeFormat)});
}

void CTW_ZURadEZADlg::OnOK() {
    WizardState& state = wizardState();
    if (isChecked(IDC_WELCOME_MAILS)) {
        state.mode = ModeMails;
        appendLogLines({kLogEmptyLine, L"Step 1 :", L"-------", L"Mode : Migrating Mail Folder"});
    }
    if (isChecked(IDC_WELCOME_ADDRESSBOOK)) {
        state.mode = ModeAddressBook;
        appendLogLines({kLogEmptyLine, L"Step 1 :", L"-------", L"Mode : Migrating Address Folder"});
    }
    CSourceDld next(hwnd());
    runNextPage(*this, next);
}

bool CTW_ZURadEZADlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case ID_FILE_EXIT:
        confirmExit(hwnd());
        return true;
    case ID_LOG_VIEW:
        viewLog();
        return true;
    case ID_LOG_CLEAR:
        clearLog(hwnd());
        return true;
    default:
        return WizardPage::OnCommand(id, code, control);
    }
}

bool CTW_ZURadEZADlg::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        // Yes ends the process; on No the key is dropped.
        confirmExit(hwnd(), MB_ICONEXCLAMATION);
        return true;
    }
    return false;
}
