#include "Processes.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <functional>

namespace testenv {

namespace {

void forEachProcessOf(const wchar_t* exeName, const std::function<void(DWORD)>& visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0)
            visit(entry.th32ProcessID);
    CloseHandle(snapshot);
}

// The process's PEB, its parameters, and the command line they point at.
std::wstring commandLineOf(HANDLE process) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return {};
    std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!line.empty() &&
        !ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0], parameters.CommandLine.Length, nullptr))
        return {};
    return line;
}

} // namespace

std::vector<std::wstring> commandLinesOf(const wchar_t* exeName) {
    std::vector<std::wstring> lines;
    forEachProcessOf(exeName, [&](DWORD pid) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
        lines.push_back(process ? commandLineOf(process) : std::wstring());
        if (process)
            CloseHandle(process);
    });
    return lines;
}

void endProcessesOf(const wchar_t* exeName) {
    forEachProcessOf(exeName, [](DWORD pid) {
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(p, 0);
            CloseHandle(p);
        }
    });
}

} // namespace testenv
