#include "RunFailure.h"

#include "../shell/Messages.h"
#include "ConversionRun.h"
#include "ProgressView.h"

namespace runfailure {
const wchar_t kPstNotOpened[] = L"The personal folders file could not be opened in Outlook.";
const wchar_t kLogonFailed[] = L"Outlook could not log on to its profile.";
const wchar_t kRestartFailed[] = L"Outlook could not be started again during the conversion.";
const wchar_t kNotPrepared[] = L"The conversion could not be prepared in Outlook.";
const wchar_t kContactsFolderNotMade[] = L"The contacts folder could not be made in the personal folders file.";
const wchar_t kSourceUnreadable[] = L"The source database could not be read.";
} // namespace runfailure

void reportRunFailure(ProgressView& page, const std::wstring& what, const std::wstring& why) {
    showMessage(page.window(), what + (why.empty() ? std::wstring() : L"\r\n\r\n" + why), MB_OK | MB_ICONSTOP);
    conversionRun().requestStop();
}
