#include "ProgressPage.h"

#include "../common/Messages.h"
#include "../common/WizardState.h"
#include "../framework/Boundary.h"
#include "CompletionDialog.h"
#include "ContactConversion.h"
#include "ConversionRun.h"
#include "MailConversion.h"

#include <commctrl.h>
#include <ole2.h>

CProDlg::CProDlg(HWND owner) : WizardPage(IDD_PROGRESS, owner) {}

CProDlg::~CProDlg() {
    // The program ends through the completion dialog. A page that goes
    // before its worker has ended asks it to stop, lets it go on from any
    // hold, and waits for it.
    if (worker_.running()) {
        ConversionRun& run = conversionRun();
        run.requestStop();
        while (run.gate.held())
            run.gate.release();
    }
    worker_.join();
    conversionRun().progressPage = nullptr;
}

BOOL CProDlg::OnInitDialog() {
    openPage(L"\\step6.bmp");
    const int labels[] = {IDC_PROGRESS_FOLDER_CAPTION, IDC_PROGRESS_FOLDER,          IDC_PROGRESS_POSITION_CAPTION,
                          IDC_PROGRESS_POSITION,       IDC_PROGRESS_DETAIL1_CAPTION, IDC_PROGRESS_DETAIL1,
                          IDC_PROGRESS_DETAIL2_CAPTION, IDC_PROGRESS_DETAIL2,        IDC_PROGRESS_CURRENT_CAPTION,
                          IDC_PROGRESS_OVERALL_CAPTION, IDC_PROGRESS_STATUS};
    for (size_t i = 0; i < 11; ++i)
        labels_[i].attachDlgItem(hwnd(), labels[i]);
    conversionRun().progressPage = this;
    startWorker();
    return TRUE;
}

void CProDlg::startWorker() {
    ConversionRun& run = conversionRun();
    run.conversionThread = true;
    worker_.start("conversion worker", [this] { work(); });
}

// The worker: the conversion of the mode chosen, the Step 6 block and the
// end of the Outlook session. The page hears of its end from the worker.
void CProDlg::work() {
    ConversionRun& run = conversionRun();
    // COM for the whole run: the session's own start and end nest inside
    // it, so that objects kept across an Outlook restart stay loaded.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const WizardState& state = wizardState();
    const bool finished = tw::guarded("conversion worker", false, [&] {
        if (state.mode == ModeAddressBook) {
            convertContacts(*this, outlook_);
            logStep6Summary(state.selectedFolderCount);
            shutDownOutlook(outlook_);
        } else {
            convertMails(*this, outlook_);
            shutDownOutlook(outlook_);
            run.conversionThread = false;
            logStep6Summary(state.selectedFolderCount);
        }
        return true;
    });
    if (!finished) {
        // Something escaped the conversion: the run ends, as one not done.
        run.conversionStopped = true;
        tw::guarded("conversion worker", false, [&] {
            shutDownOutlook(outlook_);
            return true;
        });
    }
    run.conversionThread = false;
    outlook_.stagingItem.reset();
    outlook_.safeMailItem.reset();
    outlook_.contactItem.reset();
    while (outlook_.comStarts > 0) {
        --outlook_.comStarts;
        CoUninitialize();
    }
    if (com)
        CoUninitialize();
}

void CProDlg::setLabel(int id, const std::wstring& text) {
    conversionRun().gate.pass();
    // The label wipes its old text itself.
    worker_.onPage([&] { setItemText(id, text); });
}

void CProDlg::setBar(int id, int percent) {
    conversionRun().gate.pass();
    worker_.onPage([&] { SendDlgItemMessageW(hwnd(), id, PBM_SETPOS, static_cast<WPARAM>(percent), 0); });
}

int CProDlg::ask(const std::wstring& text, UINT flags) {
    return worker_.ask(IDCANCEL, [&] { return showMessage(hwnd(), text, flags); });
}

void CProDlg::showCompletion() {
    worker_.onPage([&] { handOver(); });
}

void CProDlg::OnWorkerEnded() {
    runOver_ = true;
    InvalidateRect(hwnd(), nullptr, TRUE);
}

bool CProDlg::askToStop() const {
    return showMessage(hwnd(), L"Are you sure you want to stop.", MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) ==
           IDYES;
}

void CProDlg::showStopping() const { setItemText(IDC_PROGRESS_STATUS, L"Stopping conversion please wait..."); }

void CProDlg::OnOK() {
    ConversionRun& run = conversionRun();
    // The worker is held for as long as the question is open.
    const bool running = run.conversionThread;
    if (running)
        run.gate.hold();
    const bool yes = askToStop();
    if (yes)
        showStopping();
    if (running)
        run.gate.release();
    if (yes)
        run.requestStop();
}

void CProDlg::OnCancel() {
    ConversionRun& run = conversionRun();
    if (!askToStop())
        return;
    showStopping();
    if (run.conversionThread)
        run.gate.release();
    run.requestStop();
}

bool CProDlg::PreTranslateMessage(MSG& msg) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && askToStop()) {
        showStopping();
        conversionRun().requestStop();
    }
    return false; // the key goes on, to become the Cancel command
}

void CProDlg::togglePause() {
    ConversionRun& run = conversionRun();
    if (!run.conversionThread)
        return;
    if (!run.workerPaused) {
        run.gate.hold();
        setItemText(IDC_PROGRESS_PAUSE, L"Resume");
        run.workerPaused = true;
    } else {
        run.gate.release();
        setItemText(IDC_PROGRESS_PAUSE, L"Pause");
        run.workerPaused = false;
    }
}

bool CProDlg::OnCommand(UINT id, UINT code, HWND control) {
    if (code == BN_CLICKED && id == IDC_PROGRESS_PAUSE) {
        togglePause();
        return true;
    }
    // The menu's commands do nothing here. Esc and the close box arrive as
    // IDCANCEL without a control too (the page has no Cancel button).
    if (!control && id != IDOK && id != IDCANCEL)
        return true;
    return WizardPage::OnCommand(id, code, control);
}

bool CProDlg::OnPaint() {
    if (!runOver_)
        return false;
    PAINTSTRUCT ps;
    BeginPaint(hwnd(), &ps);
    EndPaint(hwnd(), &ps);
    handOver();
    return true;
}

void CProDlg::handOver() {
    if (handingOver_)
        return;
    handingOver_ = true;
    ShowWindow(hwnd(), SW_HIDE);
    InvalidateRect(hwnd(), nullptr, TRUE);
    CCompDlg completion(hwnd());
    completion.DoModal();
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    handingOver_ = false;
}
