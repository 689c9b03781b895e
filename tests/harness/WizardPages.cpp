#include "WizardPages.h"

#include "resource.h"

#include <string>

namespace wizard {

const wchar_t kTitle[] = L"Tidewell for NSF to PST";

HWND waitForStep(int step, DWORD pid, int timeoutMs) {
    static const int marker[] = {0,
                                 IDC_WELCOME_TEXT,
                                 IDC_SOURCE_NEXT,
                                 IDC_FOLDERS_TREE,
                                 IDC_TARGET_NEW_PATH,
                                 IDC_FOLDERNAME_NOTE,
                                 IDC_PROGRESS_OVERALL};
    if (step < 1 || step > 6)
        return nullptr;
    return robot::waitForDialogWith(kTitle, marker[step], pid, timeoutMs);
}

HWND completionDialog(DWORD pid) {
    // The only window with both the check box 1014 and the text 1040.
    for (HWND w : robot::findWindows(L"#32770", kTitle, pid))
        if (IsWindowVisible(w) && GetDlgItem(w, IDC_COMPLETION_VIEWLOG) && GetDlgItem(w, IDC_COMPLETION_TEXT) &&
            !GetDlgItem(w, IDC_PROGRESS_OVERALL))
            return w;
    return nullptr;
}

HWND waitForCompletion(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    robot::waitUntil([&] { return (found = completionDialog(pid)) != nullptr; }, timeoutMs);
    return found;
}

HWND expectMessageBox(DWORD pid, const std::wstring& text) {
    HWND box = robot::waitForMessageBox(kTitle, pid);
    if (!box)
        robot::abandon("no message box appeared; expected \"" + std::string(text.begin(), text.end()) + "\"");
    return box;
}

} // namespace wizard
