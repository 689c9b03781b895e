// The pieces of a converted mail that need no Outlook: the shown names of
// the system folders, the RFC 822 header lines with their date text, the
// file names attachments are detached under, and the secure temporary
// folder's emptying.
#pragma once
#include <string>
#include <vector>

// "Inbox" for "($Inbox)", and the other system folders; any other name as
// it is. Platform (ANSI) texts.
std::string shownFolderName(const std::string& notesName);

// "PostedDate"'s joined text as a header date, "07 Mar 2007 09:05:00", or
// "Invalid DateTime" when the platform does not read it as one date.
std::string headerDateText(const std::string& postedDate);

// A header line's value with CR and LF made blanks, so that no value can
// add a line of its own.
std::string oneLine(const std::string& value);

// The header block as the conversion writes it (ANSI, CR LF after every
// line); each field is written only when it is present.
struct MailHeaders {
    bool hasFrom = false, hasTo = false, hasCc = false, hasDate = false, hasSubject = false;
    std::string from, subject, date;
    std::vector<std::string> to, cc;
};
std::string headerLines(const MailHeaders& h);

// A name an attachment can be detached under inside its directory: its
// last path component, characters Windows does not allow replaced, device
// names defused; `fallback` when nothing is left.
std::string safeAttachmentName(const std::string& name, const std::string& fallback);
// Whether the conversion adds the attachment: the four characters from the
// path's last "." (its first four when it has none) are not ".msg".
bool isAddedAttachment(const std::string& path);

// Deletes the files (not the folders) directly in the folder named by
// HKCU\Software\Microsoft\Office\11.0\Outlook\Security
// "OutlookSecureTempFolder". Failures are ignored. A folder of the user's
// or the system's own (a drive's root, Windows, the profile, Documents,
// Desktop...) is never emptied: it is returned instead, else nothing.
std::wstring emptySecureTempFolder();
