// Step 6: the conversion page. It starts the worker as it opens, shows what
// the worker reports, takes Pause, Resume and Stop, and hands over to the
// completion dialog once the worker has ended. It has no Back and never
// closes by itself.
#pragma once
#include "../common/WizardPage.h"
#include "../controls/TransparentStatic.h"
#include "../framework/Worker.h"
#include "OutlookSession.h"
#include "ProgressView.h"

class CProDlg : public WizardPage, public ProgressView {
public:
    explicit CProDlg(HWND owner);
    ~CProDlg() override;

    // What the worker asks of the page, each carried out on the page's
    // thread while the worker waits.
    void setLabel(int id, const std::wstring& text) override;
    void setBar(int id, int percent) override;
    int ask(const std::wstring& text, UINT flags) override;
    void showCompletion() override;

protected:
    BOOL OnInitDialog() override;
    // Stop (the button and Enter).
    void OnOK() override;
    // The close box, Alt+F4 and Esc: asks, never closes the page.
    void OnCancel() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // Esc asks once before the dialog's own handling asks again.
    bool PreTranslateMessage(MSG& msg) override;
    // Once the run is over, each paint hands over to the completion dialog.
    bool OnPaint() override;
    void OnWorkerEnded() override;

private:
    void startWorker();
    void handOver();
    void togglePause();
    bool askToStop() const;
    void showStopping() const;
    void work();

    // The captions, the values the conversion writes and the status line.
    CTransparentStatic labels_[11];
    OutlookSession outlook_;
    bool runOver_ = false;
    bool handingOver_ = false;
    // Last: the worker goes, joined, before what it uses.
    tw::Worker worker_{*this};
};
