// The walk-through's command line.
#pragma once
#include <string>

struct WalkOptions {
    std::wstring program;      // the wizard's executable
    std::wstring mode = L"mails";
    std::wstring source;       // empty: the page's own proposal
    std::wstring pst;          // empty: a new PST in the program's directory
    std::wstring folder;       // empty: the page's proposal
    std::wstring screenshots;  // empty: none
};

// Parses argv; on a mistake returns false with the reason in `error`.
bool parseOptions(int argc, wchar_t** argv, WalkOptions& options, std::wstring& error);
