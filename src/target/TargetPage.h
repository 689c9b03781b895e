// Step 4: the target PST.
#pragma once
#include "../shell/WizardPage.h"

class CTrgDlg : public WizardPage {
public:
    explicit CTrgDlg(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Next
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void updateEnabledButtons() const;
};
