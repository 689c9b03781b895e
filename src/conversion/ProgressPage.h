// Step 6: the conversion page. It has no Back: a run ends through the
// completion dialog.
#pragma once
#include "../shell/WizardPage.h"

class CProDlg : public WizardPage {
public:
    explicit CProDlg(HWND owner);

protected:
    BOOL OnInitDialog() override;
    // The page is never closed by Cancel or Stop.
    void OnOK() override {}
    void OnCancel() override {}
};
