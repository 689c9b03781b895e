#include "Worker.h"

#include "Boundary.h"

#include <process.h>

namespace tw {

void Worker::start(const char* name, std::function<void()> work) {
    join();
    name_ = name;
    work_ = std::move(work);
    window_ = page_.hwnd();
    ended_ = false;
    thread_.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Worker::entry, this, 0, nullptr)));
    if (!thread_) {
        // No thread to be had: the dialog hears of an end all the same.
        ended_ = true;
        PostMessageW(window_, WM_TW_WORKER_ENDED, 0, 0);
    }
}

unsigned __stdcall Worker::entry(void* self) {
    auto* worker = static_cast<Worker*>(self);
    guarded(worker->name_, 0, [&] {
        worker->work_();
        return 0;
    });
    worker->ended_ = true;
    PostMessageW(worker->window_, WM_TW_WORKER_ENDED, 0, 0);
    return 0;
}

bool Worker::onPage(const std::function<void()>& call) const {
    bool ran = false;
    page_.callOnOwnThread([&] {
        call();
        ran = true;
    });
    return ran;
}

void Worker::join() {
    if (!thread_)
        return;
    HANDLE h = thread_.get();
    while (MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // carries out what was sent
    }
    thread_.reset();
}

} // namespace tw
