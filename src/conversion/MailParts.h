// The pieces of a converted mail that need no Outlook: the shown names of
// the system folders, the RFC 822 header lines with their date text, the
// file names attachments are detached under, and the secure temporary
// folder's emptying.
#pragma once
#include <string>
#include <vector>

// "Inbox" for "($Inbox)", and the other system folders; any other name as
// it is.
std::wstring shownFolderName(const std::wstring& notesName);

// "PostedDate"'s joined text as a header date, "07 Mar 2007 09:05:00", or
// "Invalid DateTime" when the platform does not read it as one date.
std::string headerDateText(const std::wstring& postedDate);

// A header line's value with CR and LF made blanks, so that no value can
// add a line of its own.
std::wstring oneLine(const std::wstring& value);
// A header value as the message file holds it: as it is when it is ASCII,
// else as RFC 2047 encoded words in UTF-8 (folded between words), which
// the safe mail item's Import decodes.
std::string headerValue(const std::wstring& value);

// The header block as the conversion writes it (ASCII, CR LF after every
// line); each field is written only when it is present.
struct MailHeaders {
    bool hasFrom = false, hasTo = false, hasCc = false, hasDate = false, hasSubject = false;
    std::wstring from, subject;
    std::string date;
    std::vector<std::wstring> to, cc;
};
std::string headerLines(const MailHeaders& h);

// A name an attachment can be detached under inside its directory: its
// last path component, characters Windows does not allow replaced, device
// names defused; `fallback` when nothing is left.
std::wstring safeAttachmentName(const std::wstring& name, const std::wstring& fallback);
// Whether the conversion adds the attachment: the four characters from the
// path's last "." (its first four when it has none) are not ".msg".
bool isAddedAttachment(const std::wstring& path);

// Deletes the files (not the folders) directly in the folder named by
// HKCU\Software\Microsoft\Office\11.0\Outlook\Security
// "OutlookSecureTempFolder". Failures are ignored. A folder of the user's
// or the system's own (a drive's root, Windows, the profile, Documents,
// Desktop...) is never emptied: it is returned instead, else nothing.
std::wstring emptySecureTempFolder();
