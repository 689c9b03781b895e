#include "ProgressPage.h"

CProDlg::CProDlg(HWND owner) : WizardPage(IDD_PROGRESS, owner) {}

BOOL CProDlg::OnInitDialog() {
    openPage(L"\\step6.bmp");
    return TRUE;
}
