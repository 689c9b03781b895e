#include "Messages.h"

#include "WizardState.h"

int showMessage(HWND owner, const std::wstring& text, UINT flags) {
    return MessageBoxW(owner, text.c_str(), wizardState().productTitle.c_str(), flags);
}

void showInformation(HWND owner, const std::wstring& text) {
    showMessage(owner, text, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
}
