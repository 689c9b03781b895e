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

HWND expectMessageBox(DWORD pid, const std::wstring& text) {
    HWND box = robot::waitForMessageBox(kTitle, pid);
    if (!box)
        robot::abandon("no message box appeared; expected \"" + std::string(text.begin(), text.end()) + "\"");
    return box;
}

} // namespace wizard
