// Step 1: the welcome page and main window. Chooses the mode, starts the
// log's section for this run and carries the working menu.
#pragma once
#include "WizardPage.h"

class CTW_ZURadEZADlg : public WizardPage {
public:
    explicit CTW_ZURadEZADlg(HWND owner = nullptr);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Next
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // Esc is asked about before the dialog manager turns it into Cancel.
    bool PreTranslateMessage(MSG& msg) override;

private:
    void writeStartLines();
};
