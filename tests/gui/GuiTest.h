// Shared pieces of the window tests.
#pragma once
#include "Robot.h"
#include "WizardPages.h"

#include <string>

namespace guitest {

// The window, or the test ends here saying what was missing.
inline HWND need(HWND hwnd, const char* what) {
    if (!hwnd)
        robot::abandon(std::string("not found: ") + what);
    return hwnd;
}

// Occurrences of `what` in `text`.
inline int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

inline std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

} // namespace guitest
