// What one conversion run shares between the Step 6 page, the conversion
// on its worker and the completion dialog: the flags and counters of the
// run, the Step 6 block of the log and the free-space check.
#pragma once
#include "../framework/WorkerGate.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class ProgressView;

struct ConversionRun {
    // A worker is running; cleared by the worker when it has finished.
    std::atomic<bool> conversionThread{false};
    std::atomic<ProgressView*> progressPage{nullptr};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> conversionStopped{false};
    std::atomic<bool> conversionFailed{false};
    std::atomic<int32_t> currentProgressCount{0};
    std::atomic<int32_t> overallProgressCount{0};
    bool workerPaused = false; // the page's own, on its thread
    WorkerGate gate;

    // A poll point of the conversion: waits while the page holds the
    // worker, then reads the stop request.
    bool stopPolled() {
        gate.pass();
        return stopRequested.load();
    }
    void requestStop() {
        stopRequested = true;
        conversionStopped = true;
    }

    // An item that went on past a failure and did not arrive whole: where
    // it is, what it is, what was left out and why. One line may stand for
    // several items (the rest of a folder that could not be converted).
    void noteIncomplete(const std::wstring& folder, const std::wstring& item, const std::wstring& leftOut,
                        const std::wstring& why, size_t items = 1);
    // Their lines, and how many items they stand for.
    std::vector<std::wstring> incompleteItems() const;
    size_t incompleteCount() const;

private:
    mutable std::mutex incompleteLock_;
    std::vector<std::wstring> incomplete_;
    size_t incompleteCount_ = 0;
};

// The process's one run, all clear at start-up.
ConversionRun& conversionRun();

// The Step 6 block: an empty line, "Step 6 :", "-------", the folder count
// and both progress counts; then, when items did not arrive whole, a line
// for each and their count.
void logStep6Summary(int folderCount);

// Before each item: with 300 MB or less free where the PST is, asks whether
// to go on. Returns false when the conversion must end (the fourth Yes).
bool checkFreeSpace(int& lowSpaceAnswers, int folderCount);
