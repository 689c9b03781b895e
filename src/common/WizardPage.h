// What every wizard page shares: the product title as caption, the step
// picture, the skin background, the three header buttons (set up, then
// hidden) and their commands, and the exit question on Cancel.
#pragma once
#include "SkinnedDialog.h"

#include "../controls/ShadeButton.h"
#include "../framework/Handles.h"
#include "../resources/resource.h"

struct HeaderButtonIds {
    int viewLog = IDC_HEADER_VIEWLOG;
    int support = IDC_HEADER_SUPPORT;
    int exit = IDC_HEADER_EXIT;
};

class WizardPage : public SkinnedDialog {
protected:
    WizardPage(UINT templateId, HWND owner, HeaderButtonIds header = {})
        : SkinnedDialog(templateId, owner), header_(header) {}

    // The usual opening of a page: caption, header buttons set up and
    // hidden, step picture and background.
    void openPage(const wchar_t* stepPicture);
    void setTitle() const;
    void setUpHeaderButtons();
    void hideHeaderButtons() const;
    void loadStepPicture(const wchar_t* fileName);
    // The application icon as the window's big and small icon.
    void setApplicationIcon();

    // View Log, Support and Exit from the header buttons.
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // Esc and the close box ask whether to leave the wizard.
    void OnCancel() override;

    const HeaderButtonIds header_;

private:
    CxShadeButton headerButtons_[3];
    tw::Bitmap stepPicture_;
    tw::IconHandle bigIcon_, smallIcon_;
};

// Opens the maker's support page in the browser.
void openSupportPage();
