// Step 6: the conversion page. It starts the worker as it opens, shows what
// the worker reports, takes Pause, Resume and Stop, and hands over to the
// completion dialog once the worker has finished. It has no Back and never
// closes by itself.
#pragma once
#include "../common/WizardPage.h"
#include "../controls/TransparentStatic.h"
#include "OutlookSession.h"
#include "ProgressView.h"

#include <thread>

class CProDlg : public WizardPage, public ProgressView {
public:
    explicit CProDlg(HWND owner);
    ~CProDlg() override;

    // What the worker changes, each carried out on the page's thread.
    HWND window() const override { return hwnd(); }
    void setLabel(int id, const std::wstring& text) override;
    void setBar(int id, int percent) override;
    void invalidate() override;

protected:
    BOOL OnInitDialog() override;
    // Stop (the button and Enter).
    void OnOK() override;
    // The close box, Alt+F4 and Esc: asks, never closes the page.
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // Esc asks once before the dialog's own handling asks again.
    bool PreTranslateMessage(MSG& msg) override;
    bool OnPaint() override;

private:
    void startWorker();
    void togglePause();
    bool askToStop() const;
    void showStopping() const;
    void work();

    // The captions, the values the conversion writes and the status line.
    CTransparentStatic labels_[11];
    OutlookSession outlook_;
    std::thread worker_;
    bool started_ = false;
    bool handingOver_ = false;
};
