// The platform's file-open dialog, as Steps 2 and 4 use it: no owner, one
// filter, room for a path of 259 characters.
#pragma once
#include <string>

// `filterName` as shown ("NSF (*.NSF)") for `pattern` ("*.nsf"). The chosen
// path, or empty when the user cancels.
std::wstring pickFileToOpen(const wchar_t* filterName, const wchar_t* pattern);
