#include "WizardPage.h"

#include "ActivityLog.h"
#include "PageChain.h"
#include "WizardState.h"

#include <shellapi.h>

namespace {
const wchar_t kSupportPage[] = L"https://www.tidewell.example/support/nsf-to-pst";
}

void openSupportPage() { ShellExecuteW(nullptr, L"open", kSupportPage, nullptr, nullptr, SW_SHOWNORMAL); }

void WizardPage::openPage(const wchar_t* stepPicture) {
    setTitle();
    setUpHeaderButtons();
    loadStepPicture(stepPicture);
    loadBackground(L"\\main.bmp");
    hideHeaderButtons();
    // Every page shows in the task bar, so each carries the program's icon.
    setApplicationIcon();
}

void WizardPage::setApplicationIcon() {
    HINSTANCE module = GetModuleHandleW(nullptr);
    bigIcon_.reset(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void WizardPage::setTitle() const { setCaption(wizardState().productTitle); }

void WizardPage::setUpHeaderButtons() {
    const struct {
        int id;
        int icon;
        const wchar_t* tip;
    } buttons[] = {{header_.viewLog, IDI_VIEWLOG, L"View Log"},
                   {header_.support, IDI_SUPPORT, L"Support"},
                   {header_.exit, IDI_EXIT, L"Exit"}};
    for (int i = 0; i < 3; ++i) {
        CxShadeButton& button = headerButtons_[i];
        if (!button.attachDlgItem(hwnd(), buttons[i].id))
            continue;
        button.applyDefaultShade();
        button.setStateIcons(buttons[i].icon, buttons[i].icon, buttons[i].icon);
        button.setTooltipTexts(buttons[i].tip);
    }
}

void WizardPage::hideHeaderButtons() const {
    showItem(header_.viewLog, false);
    showItem(header_.support, false);
    showItem(header_.exit, false);
}

void WizardPage::loadStepPicture(const wchar_t* fileName) {
    stepPicture_.reset(loadSkinBitmap(fileName));
    SendDlgItemMessageW(hwnd(), IDC_STEP_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(stepPicture_.get()));
}

bool WizardPage::OnCommand(UINT id, UINT code, HWND control) {
    if (code != BN_CLICKED)
        return false;
    if (static_cast<int>(id) == header_.viewLog) {
        viewLog();
        return true;
    }
    if (static_cast<int>(id) == header_.support) {
        openSupportPage();
        return true;
    }
    if (static_cast<int>(id) == header_.exit) {
        confirmExit(hwnd());
        return true;
    }
    return false;
}

void WizardPage::OnCancel() { confirmExit(hwnd()); }
