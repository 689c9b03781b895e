// The backup copy dialog: copies the jobs of copyJobs() byte for byte on a
// worker, in 4,096-byte chunks, showing the file and a bar, and closes
// itself when the worker is done. Stop and Esc ask first; on Yes the
// worker stops at its next chunk, closes both files, and the dialog closes.
#pragma once
#include "../common/SkinnedDialog.h"
#include "../framework/Worker.h"
#include "../framework/WorkerGate.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

class CCopyProg : public SkinnedDialog {
public:
    explicit CCopyProg(HWND owner);

    static constexpr size_t kChunk = 4096;

protected:
    BOOL OnInitDialog() override;
    // Stop, and Enter.
    void OnOK() override;
    // There is no close box; Esc asks in the key filter.
    void OnCancel() override {}
    bool PreTranslateMessage(MSG& msg) override;
    // Done, stopped or failed: the dialog closes.
    void OnWorkerEnded() override { EndDialog(IDOK); }

private:
    void copyAll();
    // One job; false when the rest must not follow (stopped or failed).
    bool copyOne(const std::wstring& source, const std::wstring& destination);
    // On the worker: a question the dialog's thread shows, not owned by the
    // dialog, so that Stop and Esc stay at hand; the answer.
    int ask(const wchar_t* text, UINT flags) const;
    void setBar(int percent) const;
    // Holds the worker while the question is open; on Yes stops it and
    // closes the dialog (the worker is joined as the dialog goes).
    void askToStop(const wchar_t* text, const wchar_t* caption, UINT icon);

    std::vector<std::pair<std::wstring, std::wstring>> jobs_;
    WorkerGate gate_;
    std::atomic<bool> stop_{false};
    // Last: the worker goes, joined, before what it uses.
    tw::Worker worker_{*this};
};

// Runs the copy of one file with the dialog, as Steps 2 and 4 do: the job
// appended, the dialog run modally, the lists emptied.
void runBackupCopy(HWND owner, const std::wstring& source, const std::wstring& destination);
