// Path texts as the pages check them.
#pragma once
#include <string>

// The longest path a plain Windows program may use, in characters.
constexpr int kMaxPathChars = 259;

// The text of up to four characters from the last "." on, or the first
// four characters when there is none: ".nsf" for "mail.nsf", ".bak" for
// "mail.nsf.bak".
std::wstring fourCharacterExtension(const std::wstring& path);
bool hasExtension(const std::wstring& path, const wchar_t* extension); // letter case ignored
// Whether a file or folder of that name exists.
bool pathExists(const std::wstring& path);
// Whether a folder of that name exists.
bool directoryExists(const std::wstring& path);
// The text up to the last backslash (without it), or empty.
std::wstring beforeLastBackslash(const std::wstring& path);
// The text from the last backslash on (with it), or the whole text.
std::wstring fromLastBackslash(const std::wstring& path);
bool equalNoCase(const std::wstring& a, const std::wstring& b);
