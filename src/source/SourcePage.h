// Step 2: the source database.
#pragma once
#include "../shell/WizardPage.h"

class CSourceDld : public WizardPage {
public:
    explicit CSourceDld(HWND owner);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void onNext();
};
