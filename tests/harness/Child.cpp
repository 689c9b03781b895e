#include "Child.h"

#include "Robot.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <map>
#include <vector>

namespace child {

namespace {

std::map<std::string, Routine>& routines() {
    static std::map<std::string, Routine> all;
    return all;
}

// Quoted as CommandLineToArgvW reads it back: backslashes are doubled
// where a quote follows them (the closing one included).
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

// Children still running when the test process is abandoned.
std::vector<HANDLE>& running() {
    static std::vector<HANDLE> all;
    return all;
}

void killRunningChildren() {
    for (HANDLE h : running())
        TerminateProcess(h, 99);
}

} // namespace

bool registerRoutine(const char* name, Routine routine) {
    routines()[name] = std::move(routine);
    return true;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--child") {
        auto it = routines().find(argv[2]);
        if (it == routines().end())
            return 90;
        // The arguments again, as wide text.
        int wargc = 0;
        LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
        std::vector<std::wstring> args;
        for (int i = 3; i < wargc; ++i)
            args.push_back(wargv[i]);
        LocalFree(wargv);
        return it->second(args);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

Process::Process(const std::string& name, const std::vector<std::wstring>& args, const std::wstring& directory) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = quoted(self) + L" --child " + std::wstring(name.begin(), name.end());
    for (const std::wstring& a : args)
        command += L" " + quoted(a);
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        running().push_back(process_);
        robot::addAbandonHook(&killRunningChildren);
    }
}

Process::~Process() {
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    auto& all = running();
    for (auto it = all.begin(); it != all.end(); ++it)
        if (*it == process_) {
            all.erase(it);
            break;
        }
    CloseHandle(process_);
}

void Process::kill() {
    if (!process_)
        return;
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
}

DWORD Process::wait(int timeoutMs) {
    if (!process_)
        return STILL_ACTIVE;
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

} // namespace child
