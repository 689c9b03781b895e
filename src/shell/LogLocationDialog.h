// Log > Change Path: the directory of the activity log, checked and stored
// in the registry ("LogPath") and in the wizard's state.
#pragma once
#include "../common/SkinnedDialog.h"

class CLogDlg : public SkinnedDialog {
public:
    explicit CLogDlg(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Apply
    bool OnCommand(UINT id, UINT code, HWND control) override;
};
