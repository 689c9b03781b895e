// A dialog's worker thread and the one door from it to the dialog.
//
// The dialog starts its worker and owns it: the worker is joined, never let
// go, when the dialog object goes. Whatever the worker does to the dialog
// (texts, bars, enabling, questions, other dialogs) it does through
// `onPage`, which runs a closure on the dialog's thread while the worker
// waits; it is carried out even while that thread shows a message box or a
// modal dialog. The worker's last act, once its work has returned, is to
// post WM_TW_WORKER_ENDED to the dialog (Dialog::OnWorkerEnded): that is
// how the dialog learns that its worker has ended.
#pragma once
#include "Dialog.h"
#include "Handles.h"

#include <atomic>
#include <functional>

namespace tw {

class Worker {
public:
    explicit Worker(Dialog& page) : page_(page) {}
    ~Worker() { join(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // On the dialog's thread, once its window exists: runs `work` on a new
    // thread. `name` says where an escaped exception came from.
    void start(const char* name, std::function<void()> work);
    bool started() const { return thread_.get() != nullptr; }
    // Started, and its work not yet returned.
    bool running() const { return started() && !ended_; }

    // On the worker: runs `call` on the dialog's thread and waits for it.
    // Returns false, having run nothing, once the dialog's window is gone.
    bool onPage(const std::function<void()>& call) const;
    // On the worker: what the dialog's thread answers, typically a question
    // it shows; `fallback` once the window is gone.
    template <typename R, typename Question>
    R ask(R fallback, Question&& question) const {
        R answer = fallback;
        onPage([&] { answer = question(); });
        return answer;
    }

    // On the dialog's thread: waits for the worker to end, carrying out
    // meanwhile what it sends, so that the two never wait for each other.
    void join();

private:
    static unsigned __stdcall entry(void* self);

    Dialog& page_;
    HWND window_ = nullptr;
    const char* name_ = "worker";
    std::function<void()> work_;
    UniqueHandle thread_;
    std::atomic<bool> ended_{false};
};

} // namespace tw
