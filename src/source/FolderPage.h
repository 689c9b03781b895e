// Step 3: the Notes folders to convert.
#pragma once
#include "../shell/WizardPage.h"

class Ctreedlg : public WizardPage {
public:
    explicit Ctreedlg(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Next
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void writeSelectionLines() const;
};
