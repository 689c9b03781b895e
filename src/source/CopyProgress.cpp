#include "CopyProgress.h"

#include "../common/Messages.h"
#include "../common/WizardState.h"
#include "../resources/resource.h"
#include "CopyJobs.h"
#include "File64.h"

#include <commctrl.h>

CCopyProg::CCopyProg(HWND owner) : SkinnedDialog(IDD_COPYPROGRESS, owner) {}

BOOL CCopyProg::OnInitDialog() {
    setCaption(wizardState().productTitle);
    loadBackground(L"\\msgskin.bmp");
    // The worker copies its own list: the caller empties the shared ones
    // when the dialog returns, whenever the worker ends.
    const CopyJobs& jobs = copyJobs();
    for (size_t i = 0; i < jobs.sources.size() && i < jobs.destinations.size(); ++i)
        jobs_.emplace_back(jobs.sources[i], jobs.destinations[i]);
    worker_.start("copy worker", [this] { copyAll(); });
    return TRUE;
}

void CCopyProg::copyAll() {
    for (const auto& job : jobs_) {
        if (stop_ || !copyOne(job.first, job.second))
            return;
    }
}

int CCopyProg::ask(const wchar_t* text, UINT flags) const {
    return worker_.ask(IDCANCEL, [&] {
        return MessageBoxW(nullptr, text, wizardState().productTitle.c_str(), flags | MB_SYSTEMMODAL);
    });
}

void CCopyProg::setBar(int percent) const {
    worker_.onPage([&] { SendDlgItemMessageW(hwnd(), IDC_COPY_PROGRESS, PBM_SETPOS, percent, 0); });
}

bool CCopyProg::copyOne(const std::wstring& source, const std::wstring& destination) {
    worker_.onPage([&] { setItemText(IDC_COPY_FILE, L"Copying " + source); });
    CFile64 from;
    FileError error;
    if (!from.open(source, GENERIC_READ, OPEN_EXISTING, error)) {
        ask(L"Your Lotus Notes or Microsoft Outlook application is opened, please close the application",
            MB_OK | MB_ICONINFORMATION);
        return true; // the next job follows
    }
    if (GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES) {
        worker_.onPage([&] { enableItem(IDOK, false); });
        const bool overwrite = ask(L"File Exists, Do You Want To Overwrite", MB_YESNO | MB_ICONQUESTION) == IDYES;
        // A stop confirmed while it asked: the old copy is left as it is.
        if (stop_)
            return false;
        if (!overwrite)
            return true;
        worker_.onPage([&] { enableItem(IDOK, true); });
    }
    CFile64 to;
    bool written = false;
    try {
        if (!to.open(destination, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, error))
            throw error;
        written = true;
        const uint64_t size = from.length();
        int shown = -1;
        copyInChunks(from, to, kChunk, [&](uint64_t copied, size_t) {
            const int percent = static_cast<int>(copied * 100 / size);
            if (percent != shown) {
                shown = percent;
                setBar(percent);
            }
            // Held here while the dialog asks; a stop leaves what is
            // written, and both files close below.
            gate_.pass();
            return !stop_;
        });
        if (size == 0) // nothing to divide: an empty file is wholly copied
            setBar(100);
        to.close();
        from.close();
        return !stop_;
    } catch (const FileError& failure) {
        // Reported with the file and the platform's words; the incomplete
        // copy is removed and the dialog closes.
        for (CFile64* file : {&from, &to}) {
            try {
                file->close();
            } catch (const FileError&) {
            }
        }
        if (written)
            DeleteFileW(destination.c_str());
        ask((L"The backup copy could not be made.\r\n\r\n" + failure.describe()).c_str(), MB_OK | MB_ICONSTOP);
        return false;
    }
}

void CCopyProg::askToStop(const wchar_t* text, const wchar_t* caption, UINT icon) {
    gate_.hold();
    const bool yes = MessageBoxW(hwnd(), text, caption, MB_YESNO | icon | MB_SYSTEMMODAL) == IDYES;
    if (yes)
        stop_ = true;
    gate_.release();
    if (yes)
        EndDialog(IDCANCEL);
}

void CCopyProg::OnOK() {
    if (!worker_.started())
        return;
    askToStop(L"Are you sure, you want to stop this process", L"Stop!", MB_ICONQUESTION);
}

bool CCopyProg::PreTranslateMessage(MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE)
        return false;
    askToStop(L"Are you sure you want to exit.", L"Allert!", MB_ICONEXCLAMATION);
    return true;
}

void runBackupCopy(HWND owner, const std::wstring& source, const std::wstring& destination) {
    copyJobs().append(source, destination);
    {
        CCopyProg copy(owner);
        copy.DoModal();
    }
    copyJobs().clear();
}
