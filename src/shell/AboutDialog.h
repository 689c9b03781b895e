// The about dialog: product and version, the maker's web page and its
// sales and support addresses.
#pragma once
#include "SkinnedDialog.h"

class CAboutDlg : public SkinnedDialog {
public:
    explicit CAboutDlg(HWND owner);

    static const wchar_t kWebsite[];
    static const wchar_t kSalesAddress[];
    static const wchar_t kSupportAddress[];

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
};
