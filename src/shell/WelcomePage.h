// Step 1: the welcome page and main window. Chooses the mode, starts the
// log's section for this run and carries the working menu.
#pragma once
#include "../common/WizardPage.h"
#include "../controls/Label.h"
#include "LogLocationDialog.h"

#include <memory>

class CTW_ZURadEZADlg : public WizardPage {
public:
    explicit CTW_ZURadEZADlg(HWND owner = nullptr);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override; // Next
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // Esc is asked about before the dialog manager turns it into Cancel.
    bool PreTranslateMessage(MSG& msg) override;

    bool OnSysCommand(WPARAM command, LPARAM lParam) override;
    // Minimised: the application icon, centred.
    bool OnPaint() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void writeStartLines();
    void addAboutToSystemMenu();
    void showAbout();

    CLabel welcome_;
    // Made with the page and run again for every Change Path.
    std::unique_ptr<CLogDlg> logDialog_;
};

// Support > Help: the help file, looked for on a PATH that gains the
// installation directory each time, then beside the program, then through
// the help viewer.
void openHelp();
