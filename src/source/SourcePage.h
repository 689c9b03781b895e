// Step 2: the source database, proposed from the Notes installation, with
// an optional backup copy of it taken before Step 3.
#pragma once
#include "../common/WizardPage.h"

class CSourceDld : public WizardPage {
public:
    explicit CSourceDld(HWND owner);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void proposeSource();
    void browse();
    void browseBackup();
    void onNext();
};

// The Notes data directory from the current user's Notes installation
// ("DirectoryValue"), or empty after telling the user that Notes is missing.
std::wstring notesDataDirectory(HWND owner);
