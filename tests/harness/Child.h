// Tests that must see the process end (the wizard's Exit ends its process)
// run the code under test in a child: the test executable itself, started
// again with "--child NAME ARGS...", which runs the routine NAME.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace child {

using Routine = std::function<int(const std::vector<std::wstring>& args)>;

// Registers a routine under a name (use TW_CHILD_ROUTINE).
bool registerRoutine(const char* name, Routine routine);

// The test executable's main: runs a routine when asked to, else the tests.
int main(int argc, char** argv);

class Process {
public:
    // Starts this executable running routine `name`; `directory` is the
    // child's current directory (empty: ours).
    Process(const std::string& name, const std::vector<std::wstring>& args, const std::wstring& directory = {});
    ~Process(); // a child still running is killed
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD wait(int timeoutMs);
    // Ends it at once, as the task manager would, and waits until it is gone.
    void kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

} // namespace child

#define TW_CHILD_ROUTINE(name)                                                                          \
    static int twChild_##name(const std::vector<std::wstring>& args);                                   \
    static const bool twChildRegistered_##name = child::registerRoutine(#name, &twChild_##name);        \
    static int twChild_##name(const std::vector<std::wstring>& args)
