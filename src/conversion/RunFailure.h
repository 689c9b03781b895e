// A failure that ends the conversion: the user is told what could not be
// done, with the product's or the platform's own words for why, and the run
// ends as aborted.
#pragma once
#include <string>

class ProgressView;

void reportRunFailure(ProgressView& page, const std::wstring& what, const std::wstring& why);
// The Notes library's words for one of its errors.
std::wstring notesErrorText(unsigned long error);

// What the run tells the user of each such failure.
namespace runfailure {
extern const wchar_t kPstNotOpened[];
extern const wchar_t kLogonFailed[];
extern const wchar_t kRestartFailed[];
extern const wchar_t kNotPrepared[];
extern const wchar_t kContactsFolderNotMade[];
extern const wchar_t kSourceUnreadable[];
extern const wchar_t kNotesNotStarted[];
extern const wchar_t kMessageFileNotMade[];
extern const wchar_t kPersonNotRead[];
extern const wchar_t kContactNotWritten[];
extern const wchar_t kPstFull[];
} // namespace runfailure
