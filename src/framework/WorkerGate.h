// How the page holds the conversion worker: a count of holds, which the
// worker passes only while it is zero. Each hold must be matched by one
// release before the worker goes on, as thread suspension counts; the
// worker passes the gate at its poll points and between the steps of an
// item, so it is never held inside the heap, the log or a COM call.
#pragma once
#include <condition_variable>
#include <mutex>

class WorkerGate {
public:
    void hold();
    // One release; nothing when the worker is not held.
    void release();
    bool held() const;
    // Waits while the worker is held.
    void pass();

private:
    mutable std::mutex lock_;
    std::condition_variable released_;
    int holds_ = 0;
};
