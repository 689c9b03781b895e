// The about dialog: product and version, the maker's web page and its
// sales and support addresses.
#pragma once
#include "../common/SkinnedDialog.h"
#include "../controls/LinkButton.h"

class CAboutDlg : public SkinnedDialog {
public:
    explicit CAboutDlg(HWND owner);

    static const wchar_t kWebsite[];
    static const wchar_t kSalesAddress[];
    static const wchar_t kSupportAddress[];

protected:
    BOOL OnInitDialog() override;

private:
    CURLLinkButton website_, sales_, support_;
};

// The about dialog over `owner`: the About Us command, and what a
// "Contact Us" link runs.
void runAboutDialog(HWND owner);
