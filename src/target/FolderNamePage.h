// Step 5: the name of the folder the conversion creates in the PST.
#pragma once
#include "../common/WizardPage.h"
#include "../controls/Label.h"

class CCreFolDlg : public WizardPage {
public:
    explicit CCreFolDlg(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Next
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    CLabel note_;
};
