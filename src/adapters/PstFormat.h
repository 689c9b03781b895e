// What the wizard needs to know of a PST file's format: Outlook 97-2002's
// ANSI files keep every text in 8 bits, in the machine's code page, so
// what that code page lacks does not arrive.
#pragma once
#include <string>

// Whether the file is an existing PST of the ANSI format (a missing or
// unreadable file is not).
bool isAnsiPst(const std::wstring& path);
// Whether the ANSI code page holds every character of the text.
bool fitsAnsiCodePage(const std::wstring& text);
// Why such text does not arrive whole, for the incomplete-items report.
extern const wchar_t kAnsiTextLost[];
// The activity log's line when a run's target is such a file.
extern const wchar_t kAnsiTargetLogLine[];
