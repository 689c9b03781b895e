#include "WorkerGate.h"

void WorkerGate::hold() {
    std::lock_guard<std::mutex> guard(lock_);
    ++holds_;
}

void WorkerGate::release() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (holds_ == 0)
            return;
        --holds_;
    }
    released_.notify_all();
}

bool WorkerGate::held() const {
    std::lock_guard<std::mutex> guard(lock_);
    return holds_ > 0;
}

void WorkerGate::pass() {
    std::unique_lock<std::mutex> guard(lock_);
    released_.wait(guard, [this] { return holds_ == 0; });
}
