#include "WizardState.h"

WizardState& wizardState() {
    // Never destroyed: the process ends from inside the page chain, and a
    // worker may still read the record then.
    static WizardState* state = new WizardState;
    return *state;
}

std::wstring attachmentDirectory() { return wizardState().appDirectory + L"\\Attachment"; }
