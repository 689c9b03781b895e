#include "ConversionRun.h"

#include "../common/ActivityLog.h"
#include "../common/Messages.h"
#include "../common/WizardState.h"
#include "CompletionDialog.h"
#include "ProgressView.h"

ConversionRun& conversionRun() {
    static ConversionRun run;
    return run;
}

void ConversionRun::noteIncomplete(const std::wstring& folder, const std::wstring& item, const std::wstring& leftOut,
                                   const std::wstring& why, size_t items) {
    std::lock_guard<std::mutex> hold(incompleteLock_);
    incomplete_.push_back(folder + L" | " + item + L" | " + leftOut + L" | " + why);
    incompleteCount_ += items;
}

size_t ConversionRun::incompleteCount() const {
    std::lock_guard<std::mutex> hold(incompleteLock_);
    return incompleteCount_;
}

std::vector<std::wstring> ConversionRun::incompleteItems() const {
    std::lock_guard<std::mutex> hold(incompleteLock_);
    return incomplete_;
}

void logStep6Summary(int folderCount) {
    const ConversionRun& run = conversionRun();
    std::vector<std::wstring> lines = {kLogEmptyLine, L"Step 6 :", L"-------",
                                       L"No. of folder selected : " + std::to_wstring(folderCount),
                                       L"Current Progress : " + std::to_wstring(run.currentProgressCount.load()),
                                       L"Overall Progress : " + std::to_wstring(run.overallProgressCount.load())};
    const std::vector<std::wstring> incomplete = run.incompleteItems();
    for (const std::wstring& item : incomplete)
        lines.push_back(L"Not arrived whole : " + item);
    if (!incomplete.empty())
        lines.push_back(L"Items not arrived whole : " + std::to_wstring(run.incompleteCount()));
    appendLogLines(lines);
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
    const wchar_t question[] = L"Free space is less than 300 MB. Are you sure you want to continue.";
    const UINT flags = MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL;
    const int answer = page ? page->ask(question, flags) : showMessage(nullptr, question, flags);
    if (answer == IDYES) {
        if (++lowSpaceAnswers > 3) {
            run.requestStop();
            return false;
        }
        return true;
    }
    logStep6Summary(folderCount);
    run.conversionStopped = true;
    // The completion dialog's OK ends the program; any other close goes on
    // with the item.
    if (page) {
        page->showCompletion();
    } else {
        CCompDlg completion(nullptr);
        completion.DoModal();
    }
    return true;
}
