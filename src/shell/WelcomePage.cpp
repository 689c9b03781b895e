#include "WelcomePage.h"

#include "../common/ActivityLog.h"
#include "../common/LocalTime.h"
#include "../common/PageChain.h"
#include "../common/Registry.h"
#include "../common/WizardState.h"
#include "AboutDialog.h"

#include <shellapi.h>

CTW_ZURadEZADlg::CTW_ZURadEZADlg(HWND owner) : WizardPage(IDD_WELCOME, owner) {}

BOOL CTW_ZURadEZADlg::OnInitDialog() {
    addAboutToSystemMenu();
    setChecked(IDC_WELCOME_MAILS, true);
    setTitle();
    setUpHeaderButtons();
    loadStepPicture(L"\\step1.bmp");
    loadBackground(L"\\main.bmp");
    hideHeaderButtons();
    writeStartLines();
    welcome_.attachDlgItem(hwnd(), IDC_WELCOME_TEXT);
    welcome_.setPointSize(12).setBold(true).setTextColour(RGB(255, 0, 0)).setTransparentDrawing(true);
    setApplicationIcon();

    CreateDirectoryW(attachmentDirectory().c_str(), nullptr);
    logDialog_ = std::make_unique<CLogDlg>(hwnd());
    return TRUE;
}

void CTW_ZURadEZADlg::addAboutToSystemMenu() {
    HMENU system = GetSystemMenu(hwnd(), FALSE);
    wchar_t text[128] = L"";
    if (!system || !LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 128) || !*text)
        return;
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, text);
}

void CTW_ZURadEZADlg::showAbout() { runAboutDialog(hwnd()); }

bool CTW_ZURadEZADlg::OnSysCommand(WPARAM command, LPARAM) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    showAbout();
    return true;
}

bool CTW_ZURadEZADlg::OnPaint() {
    if (!IsIconic(hwnd()))
        return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon);
    EndPaint(hwnd(), &ps);
    return true;
}

bool CTW_ZURadEZADlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_QUERYDRAGICON)
        return false;
    result = reinterpret_cast<LRESULT>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    return true;
}

void openHelp() {
    const std::wstring installation = readSetting(L"FilePath");
    wchar_t path[2048] = L"";
    const DWORD n = GetEnvironmentVariableW(L"PATH", path, 2048);
    if (n > 0 && n < 2048)
        SetEnvironmentVariableW(L"PATH", (std::wstring(path) + L";" + installation + L";").c_str());
    const wchar_t helpFile[] = L"Tidewell for NSF to PST.chm";
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", helpFile, nullptr, nullptr, SW_SHOWNORMAL)) > 32)
        return;
    const std::wstring beside = installation + L"\\" + helpFile;
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", beside.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
        32)
        return;
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    ShellExecuteW(nullptr, L"open", (std::wstring(windows) + L"\\hh.exe").c_str(), beside.c_str(), nullptr,
                  SW_SHOWNORMAL);
}

void CTW_ZURadEZADlg::writeStartLines() {
    appendLogLines({kLogEmptyLine, L"-----------------------Start--------------------------", L"Tidewell for NSF to PST",
                    L"Version 1.0", localDateTimeText(kDateTimeFormat)});
}

void CTW_ZURadEZADlg::OnOK() {
    WizardState& state = wizardState();
    if (isChecked(IDC_WELCOME_MAILS)) {
        state.mode = ModeMails;
        appendLogLines({kLogEmptyLine, L"Step 1 :", L"-------", L"Mode : Migrating Mail Folder"});
    }
    if (isChecked(IDC_WELCOME_ADDRESSBOOK)) {
        state.mode = ModeAddressBook;
        appendLogLines({kLogEmptyLine, L"Step 1 :", L"-------", L"Mode : Migrating Address Folder"});
    }
    runNextPage(*this);
}

bool CTW_ZURadEZADlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case ID_FILE_EXIT:
        confirmExit(hwnd());
        return true;
    case ID_LOG_VIEW:
        viewLog();
        return true;
    case ID_LOG_CLEAR:
        clearLog(hwnd());
        return true;
    case ID_LOG_CHANGEPATH:
        logDialog_->DoModal();
        return true;
    case ID_SUPPORT_HELP:
        openHelp();
        return true;
    case ID_SUPPORT_ABOUT:
        showAbout();
        return true;
    default:
        return WizardPage::OnCommand(id, code, control);
    }
}

bool CTW_ZURadEZADlg::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        // Yes ends the process; on No the key is dropped.
        confirmExit(hwnd(), MB_ICONEXCLAMATION);
        return true;
    }
    return false;
}
