// Step 4: the target PST, new (named by default after the time) or
// existing, with an optional backup copy of an existing one.
#pragma once
#include "../common/WizardPage.h"

#include <windows.h>

#include <string>

class CTrgDlg : public WizardPage {
public:
    explicit CTrgDlg(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Next
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void updateEnabledButtons() const;
    void browseNew();
    void browseExisting();
    // The checks of Next; false, after the message, when the page stays.
    bool checkNewPst();
    bool checkExistingPst();
};

// "<folder>\Tidewell <d-m-yyyy h-m>.pst", one backslash between.
std::wstring defaultPstName(const std::wstring& folder, const SYSTEMTIME& now);
