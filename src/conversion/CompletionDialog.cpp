#include "CompletionDialog.h"

#include "../common/ActivityLog.h"
#include "../common/WizardState.h"
#include "../resources/resource.h"
#include "ConversionRun.h"

CCompDlg::CCompDlg(HWND owner) : SkinnedDialog(IDD_COMPLETION, owner) {}

const wchar_t* CCompDlg::outcomeText(bool stopped, bool failed) {
    if (!stopped)
        return L"Conversion Completed Successfully";
    return failed ? L"Conversion not completed successfully" : L"                 Conversion Aborted";
}

const wchar_t* CCompDlg::outcomeLogLine(bool stopped, bool failed) {
    if (!stopped)
        return L"Conversion completed successfully";
    return failed ? L"Conversion not completed successfully" : L"Conversion aborted";
}

std::wstring CCompDlg::incompleteText(size_t count) {
    if (count == 0)
        return std::wstring();
    return std::to_wstring(count) + (count == 1 ? L" item" : L" items") +
           L" did not arrive whole: the activity log names them.";
}

BOOL CCompDlg::OnInitDialog() {
    loadBackground(L"\\msgskin.bmp");
    const ConversionRun& run = conversionRun();
    const bool stopped = run.conversionStopped, failed = run.conversionFailed;
    setItemText(IDC_COMPLETION_TEXT, outcomeText(stopped, failed));
    setItemText(IDC_COMPLETION_INCOMPLETE, incompleteText(run.incompleteCount()));
    appendLogLine(outcomeLogLine(stopped, failed));
    setCaption(wizardState().productTitle);
    return TRUE;
}

void CCompDlg::OnOK() {
    if (isChecked(IDC_COMPLETION_VIEWLOG))
        viewLog();
    RemoveDirectoryW(attachmentDirectory().c_str());
    // At the end of a run the worker has written its last lines (the page
    // opens this dialog once the worker has ended); from the low-space
    // question it waits, mid-run, for this answer, and ends with the process.
    TerminateProcess(GetCurrentProcess(), 0);
    ExitProcess(0);
}
