#include "FolderPage.h"

#include "../common/ActivityLog.h"
#include "../common/Messages.h"
#include "../common/PageChain.h"
#include "../common/WizardState.h"
#include "../framework/Text.h"

Ctreedlg::Ctreedlg(HWND owner)
    : WizardPage(IDD_FOLDERS, owner,
                 HeaderButtonIds{IDC_FOLDERS_HEADER_VIEWLOG, IDC_FOLDERS_HEADER_SUPPORT, IDC_FOLDERS_HEADER_EXIT}) {}

Ctreedlg::~Ctreedlg() {
    // The window is gone by now, so a worker still running finds every
    // change it asks for refused, and ends at its next poll.
    enumerationStopRequested = true;
    worker_.join();
}

BOOL Ctreedlg::OnInitDialog() {
    openPage(wizardState().mode == ModeAddressBook ? L"\\step3_add.bmp" : L"\\step3_mail.bmp");
    tree_.attachDlgItem(hwnd(), IDC_FOLDERS_TREE);
    auto work = wizardState().mode == ModeAddressBook ? &ListAddressBook : &EnumerateMailFolders;
    worker_.start("Step 3 worker", [this, work] { work(this); });
    return TRUE;
}

void Ctreedlg::addFolderPath(const std::wstring& path) {
    worker_.onPage([&] { tree_.AddFolderPath(path); });
}

void Ctreedlg::addAddressBook(const std::wstring& sourcePath) {
    worker_.onPage([&] {
        HTREEITEM root = tree_.AddItem(nullptr, L"Lotus Notes");
        tree_.AddItem(root, sourcePath);
    });
}

void Ctreedlg::initFolderIcons() {
    worker_.onPage([&] { tree_.InitFolderIcons(); });
}

void Ctreedlg::showListingControls(bool show) {
    worker_.onPage([&] {
        showItem(IDC_FOLDERS_WAIT, show);
        showItem(IDC_FOLDERS_PROGRESS, show);
    });
}

void Ctreedlg::enableNavigation(bool enable) {
    worker_.onPage([&] {
        enableItem(IDC_FOLDERS_BACK, enable);
        enableItem(IDOK, enable);
    });
}

void Ctreedlg::setProgress(int percent) {
    worker_.onPage([&] { SendDlgItemMessageW(hwnd(), IDC_FOLDERS_PROGRESS, PBM_SETPOS, percent, 0); });
}

void Ctreedlg::reportUnreadableSource(const std::wstring& libraryText) {
    worker_.onPage([&] {
        showMessage(hwnd(), L"The source database could not be read.\r\n\r\n" + libraryText,
                    MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
    });
}

bool Ctreedlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED && id == IDC_FOLDERS_BACK) {
        goBack(*this, BackKind::EmptySelection);
        return true;
    }
    return WizardPage::OnCommand(id, code, control);
}

void Ctreedlg::OnCancel() {
    if (askToExit(hwnd())) {
        enumerationStopRequested = true;
        endProcess();
    }
}

void Ctreedlg::collectChecked(HTREEITEM parent) {
    // A parent before its children, siblings in tree order.
    for (HTREEITEM item : tree_.Children(parent)) {
        if (tree_.IsChecked(item))
            wizardState().selectedFolders.append(tree_.GetItemPath(item));
        collectChecked(item);
    }
}

void Ctreedlg::OnOK() {
    WizardState& state = wizardState();
    state.selectedFolders.clear();
    // Top-level items are never entries: only their descendants.
    for (HTREEITEM top : tree_.Children(nullptr))
        collectChecked(top);
    state.selectedFolderCount = static_cast<int>(state.selectedFolders.size());
    if (state.selectedFolderCount == 0) {
        showMessage(hwnd(), L"Please Select Any Folder", MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        return;
    }
    writeSelectionLines();
    runNextPage(*this);
}

void Ctreedlg::writeSelectionLines() const {
    appendLogLines({kLogEmptyLine, L"Step 3 :", L"-------", L"List of Selected NSF Folder(s) : "});
    for (const std::wstring& entry : wizardState().selectedFolders)
        appendLogLine(entry);
}
