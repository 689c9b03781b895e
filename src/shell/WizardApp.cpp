#include "WizardApp.h"

#include "../common/Registry.h"
#include "../common/WizardState.h"
#include "WelcomePage.h"

#include <commctrl.h>

namespace {
constexpr DWORD kAllCommonControlClasses = 0xFF;
}

void CTW_ZURadEZAApp::loadSettings() {
    INITCOMMONCONTROLSEX classes{sizeof classes, kAllCommonControlClasses};
    InitCommonControlsEx(&classes);
    // No ActiveX control is hosted by any page, and COM is left to the
    // conversion worker, which initialises it for itself.

    WizardState& state = wizardState();
    state.productTitle = L"Tidewell for NSF to PST";
    wchar_t windows[260] = {};
    GetWindowsDirectoryW(windows, 260);
    state.skinDirectory = std::wstring(windows) + L"\\Tidewell for NSF to PST";
    state.logDirectory.clear();
    state.logDirectory = readSetting(L"LogPath");
    state.appDirectory.clear();
    state.appDirectory = readSetting(L"FilePath");
    setRegistryKey(L"Local AppWizard-Generated Applications");
}

bool CTW_ZURadEZAApp::InitInstance() {
    loadSettings();
    CTW_ZURadEZADlg page;
    setMainDialog(&page);
    page.DoModal();
    setMainDialog(nullptr);
    return false;
}
