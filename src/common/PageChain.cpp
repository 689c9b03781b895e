#include "PageChain.h"

#include "Messages.h"
#include "WizardState.h"

INT_PTR runInPlaceOf(tw::Dialog& currentPage, tw::Dialog& nextPage) {
    HWND current = currentPage.hwnd();
    ShowWindow(current, SW_HIDE);
    InvalidateRect(current, nullptr, TRUE);
    INT_PTR result = nextPage.DoModal();
    ShowWindow(current, SW_SHOWNORMAL);
    return result;
}

void goBack(tw::Dialog& page, BackKind kind) {
    if (kind == BackKind::EmptySelection)
        wizardState().selectedFolders.clear();
    page.EndDialog(IDCANCEL);
}

bool askToExit(HWND page, UINT icon) {
    return showMessage(page, L"Are you sure you want to exit.", MB_YESNO | icon | MB_SYSTEMMODAL) == IDYES;
}

void endProcess() { ExitProcess(0); }

void confirmExit(HWND page, UINT icon) {
    if (askToExit(page, icon))
        endProcess();
}
