#include "ConversionRun.h"

#include "../shell/ActivityLog.h"
#include "../shell/Messages.h"
#include "../shell/WizardState.h"
#include "CompletionDialog.h"
#include "ProgressView.h"

ConversionRun& conversionRun() {
    static ConversionRun run;
    return run;
}

void logStep6Summary(int folderCount) {
    const ConversionRun& run = conversionRun();
    appendLogLines({kLogEmptyLine, L"Step 6 :", L"-------",
                    L"No. of folder selected : " + std::to_wstring(folderCount),
                    L"Current Progress : " + std::to_wstring(run.currentProgressCount.load()),
                    L"Overall Progress : " + std::to_wstring(run.overallProgressCount.load())});
}

namespace {

constexpr ULONGLONG kLowSpace = 314572800ULL; // 300 MB

// The free bytes of the volume that holds the PST; when they cannot be
// read, the check does not hold the conversion up.
bool freeSpaceIsLow() {
    const std::wstring& pst = wizardState().pstPath;
    const size_t slash = pst.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return false;
    std::wstring directory = pst.substr(0, slash);
    if (directory.size() == 2 && directory[1] == L':')
        directory += L'\\'; // "C:" alone would be the current directory of C:
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(directory.c_str(), &available, &total, &free))
        return false;
    return free.QuadPart <= kLowSpace;
}

} // namespace

bool checkFreeSpace(int& lowSpaceAnswers, int folderCount) {
    if (!freeSpaceIsLow())
        return true;
    ConversionRun& run = conversionRun();
    ProgressView* page = run.progressPage.load();
    HWND owner = page ? page->window() : nullptr;
    const int answer = showMessage(owner, L"Free space is less than 300 MB. Are you sure you want to continue.",
                                   MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL);
    if (answer == IDYES) {
        if (++lowSpaceAnswers > 3) {
            run.requestStop();
            return false;
        }
        return true;
    }
    logStep6Summary(folderCount);
    run.conversionStopped = true;
    // From the worker: the page steps aside for the completion dialog,
    // whose OK ends the program; any other close goes on with the item.
    if (owner)
        ShowWindow(owner, SW_HIDE);
    if (page)
        page->invalidate();
    CCompDlg completion(owner);
    completion.DoModal();
    if (owner)
        ShowWindow(owner, SW_SHOW);
    return true;
}
