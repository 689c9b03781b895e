#include "RunFailure.h"

#include "../adapters/NotesText.h"
#include "../common/Messages.h"
#include "../framework/Text.h"
#include "ConversionRun.h"
#include "ProgressView.h"

namespace runfailure {
const wchar_t kPstNotOpened[] = L"The personal folders file could not be opened in Outlook.";
const wchar_t kLogonFailed[] = L"Outlook could not log on to its profile.";
const wchar_t kRestartFailed[] = L"Outlook could not be started again during the conversion.";
const wchar_t kNotPrepared[] = L"The conversion could not be prepared in Outlook.";
const wchar_t kContactsFolderNotMade[] = L"The contacts folder could not be made in the personal folders file.";
const wchar_t kSourceUnreadable[] = L"The source database could not be read.";
const wchar_t kNotesNotStarted[] = L"The Notes session could not be started.";
const wchar_t kMessageFileNotMade[] = L"The temporary message file could not be made.";
const wchar_t kPersonNotRead[] = L"A person document could not be read from the source database.";
const wchar_t kContactNotWritten[] = L"A contact could not be written to the personal folders file.";
const wchar_t kPstFull[] = L"The personal folders file is full: nothing more can be added to it.";
} // namespace runfailure

std::wstring notesErrorText(unsigned long error) {
    char text[512] = {};
    const LNINT n = LNGetErrorMessageText(error, text, sizeof text);
    return fromNotes(text, static_cast<size_t>(n));
}

void reportRunFailure(ProgressView& page, const std::wstring& what, const std::wstring& why) {
    page.ask(what + (why.empty() ? std::wstring() : L"\r\n\r\n" + why), MB_OK | MB_ICONSTOP);
    conversionRun().requestStop();
}
