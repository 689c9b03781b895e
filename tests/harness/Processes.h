// Other processes as a test sees them: which run an executable, and with
// what command line (read from their process parameters).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testenv {

// The command lines of the running processes whose executable is `exeName`
// ("hh.exe"); a process whose line cannot be read gives an empty one.
std::vector<std::wstring> commandLinesOf(const wchar_t* exeName);
// Ends every running process of that executable.
void endProcessesOf(const wchar_t* exeName);

} // namespace testenv
