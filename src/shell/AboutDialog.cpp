#include "AboutDialog.h"

#include "../common/WizardState.h"
#include "../resources/resource.h"


const wchar_t CAboutDlg::kWebsite[] = L"http://www.tidewell.example/";
const wchar_t CAboutDlg::kSalesAddress[] = L"sales@tidewell.example";
const wchar_t CAboutDlg::kSupportAddress[] = L"support@tidewell.example";

CAboutDlg::CAboutDlg(HWND owner) : SkinnedDialog(IDD_ABOUTBOX, owner) {}

BOOL CAboutDlg::OnInitDialog() {
    loadBackground(L"\\msgskin.bmp");
    setCaption(wizardState().productTitle);
    website_.attachDlgItem(hwnd(), IDC_ABOUT_WEBSITE);
    website_.setLinkAddress(kWebsite);
    // The e-mail links open nothing in the shell: they become new mails.
    sales_.attachDlgItem(hwnd(), IDC_ABOUT_SALES);
    support_.attachDlgItem(hwnd(), IDC_ABOUT_SUPPORT);
    for (CURLLinkButton* link : {&website_, &sales_, &support_})
        link->setAboutCommand([this] { runAboutDialog(hwnd()); });
    return TRUE;
}

void runAboutDialog(HWND owner) {
    CAboutDlg about(owner);
    about.DoModal();
}
