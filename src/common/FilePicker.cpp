#include "FilePicker.h"

#include <windows.h>
#include <commdlg.h>

std::wstring pickFileToOpen(const wchar_t* filterName, const wchar_t* pattern) {
    // The filter: name, zero, pattern, zero, zero.
    std::wstring filter = std::wstring(filterName) + L'\0' + pattern + L'\0' + L'\0';
    wchar_t file[260] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn))
        return {};
    return file;
}
