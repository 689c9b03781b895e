#include "FolderDialog.h"

#include "../framework/Boundary.h"

#include <shlobj.h>

#ifndef BIF_NEWDIALOGSTYLE
#define BIF_NEWDIALOGSTYLE 0x0040
#endif

CFolderDialog::CFolderDialog(HWND owner, const std::wstring& initialFolder)
    : CFolderDialog(owner, L"Select Folder:",
                    BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE, initialFolder) {}

CFolderDialog::CFolderDialog(HWND owner, const wchar_t* title, UINT flags, const std::wstring& initialFolder)
    : owner_(owner), title_(title), flags_(flags), initial_(initialFolder) {}

CFolderDialog CFolderDialog::plain(const wchar_t* title) {
    return CFolderDialog(nullptr, title, BIF_RETURNONLYFSDIRS, {});
}

int CALLBACK CFolderDialog::callback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
    return tw::guarded("folder picker", 0, [&] {
        auto* self = reinterpret_cast<CFolderDialog*>(data);
        if (message == BFFM_INITIALIZED && !self->initial_.empty())
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(self->initial_.c_str()));
        if (message == BFFM_VALIDATEFAILEDW) {
            // A typed name that is no folder: say so, and stay open.
            MessageBeep(MB_ICONHAND);
            return 1;
        }
        (void)lParam;
        return 0;
    });
}

CFolderDialog::Result CFolderDialog::DoModal() {
    // The picker needs COM on this thread; one more start is harmless.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.lpszTitle = title_.c_str();
    info.ulFlags = flags_;
    info.lpfn = &CFolderDialog::callback;
    info.lParam = reinterpret_cast<LPARAM>(this);
    Result result = Cancelled;
    if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(chosen, path)) {
            path_ = path;
            result = Chosen;
        } else {
            result = NoPath;
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

std::wstring pickBackupFolder() {
    CFolderDialog picker = CFolderDialog::plain(L"Please select a folder below. Then Click OK.");
    return picker.DoModal() == CFolderDialog::Chosen ? picker.folderPath() : std::wstring();
}
