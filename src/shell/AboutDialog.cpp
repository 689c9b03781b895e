#include "AboutDialog.h"

#include "../resources/resource.h"
#include "WizardState.h"

#include <shellapi.h>

const wchar_t CAboutDlg::kWebsite[] = L"http://www.tidewell.example/";
const wchar_t CAboutDlg::kSalesAddress[] = L"sales@tidewell.example";
const wchar_t CAboutDlg::kSupportAddress[] = L"support@tidewell.example";

CAboutDlg::CAboutDlg(HWND owner) : SkinnedDialog(IDD_ABOUTBOX, owner) {}

BOOL CAboutDlg::OnInitDialog() {
    loadBackground(L"\\msgskin.bmp");
    setCaption(wizardState().productTitle);
    return TRUE;
}

bool CAboutDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED) {
        const wchar_t* target = id == IDC_ABOUT_WEBSITE ? kWebsite : nullptr;
        std::wstring mail;
        if (id == IDC_ABOUT_SALES)
            mail = std::wstring(L"mailto:") + kSalesAddress;
        if (id == IDC_ABOUT_SUPPORT)
            mail = std::wstring(L"mailto:") + kSupportAddress;
        if (!mail.empty())
            target = mail.c_str();
        if (target) {
            ShellExecuteW(hwnd(), L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
            return true;
        }
    }
    return SkinnedDialog::OnCommand(id, code, control);
}
