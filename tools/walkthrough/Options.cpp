#include "Options.h"

bool parseOptions(int argc, wchar_t** argv, WalkOptions& o, std::wstring& error) {
    for (int i = 1; i < argc; ++i) {
        std::wstring name = argv[i];
        if (i + 1 >= argc) {
            error = L"missing value after " + name;
            return false;
        }
        std::wstring value = argv[++i];
        if (name == L"--program")
            o.program = value;
        else if (name == L"--mode")
            o.mode = value;
        else if (name == L"--source")
            o.source = value;
        else if (name == L"--pst")
            o.pst = value;
        else if (name == L"--folder")
            o.folder = value;
        else if (name == L"--screenshots")
            o.screenshots = value;
        else {
            error = L"unknown option " + name;
            return false;
        }
    }
    if (o.program.empty()) {
        error = L"--program is required";
        return false;
    }
    if (o.mode != L"mails" && o.mode != L"contacts") {
        error = L"--mode takes mails or contacts, not " + o.mode;
        return false;
    }
    return true;
}
