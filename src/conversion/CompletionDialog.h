// The end of every run: how it ended, that outcome as the log's last line,
// the offer to open the log, and OK to end the program.
#pragma once
#include "../common/SkinnedDialog.h"

#include <string>

class CCompDlg : public SkinnedDialog {
public:
    explicit CCompDlg(HWND owner);

    static const wchar_t* outcomeText(bool stopped, bool failed);
    static const wchar_t* outcomeLogLine(bool stopped, bool failed);
    // How many items did not arrive whole; empty when every item did.
    static std::wstring incompleteText(size_t count);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
};
