// What the pages chose, and the settings loaded at start-up: one record for
// the whole process. Pages write it on the user-interface thread; the
// conversion worker reads it once the pages that write it are out of reach.
#pragma once
#include "TextList.h"

#include <string>

enum WizardMode { ModeNone = 0, ModeMails = 1, ModeAddressBook = 2 };

struct WizardState {
    int mode = ModeNone;
    std::wstring sourcePath;
    TextList selectedFolders;
    int selectedFolderCount = 0;
    std::wstring pstPath;
    std::wstring pstFolderName;
    std::wstring logDirectory;
    std::wstring appDirectory;
    std::wstring skinDirectory;
    std::wstring productTitle;
};

// The process-wide record; created on first use and never freed.
WizardState& wizardState();

// The directory of detached attachments: always derived, never stored.
std::wstring attachmentDirectory();
