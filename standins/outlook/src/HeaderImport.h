// Reading an RFC 822 header block as the safe mail item's Import does:
// folded lines joined, the fields the conversion writes picked out, the
// addresses and dates in them parsed. Portable: no Win32 in it.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace outlook {

struct MailAddress {
    std::wstring name;
    std::wstring email; // empty when the text gives no SMTP address
};

struct HeaderDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool hasZone = false;
    int zoneMinutes = 0; // east of UTC
};

struct HeaderFields {
    std::optional<MailAddress> from;
    std::optional<std::vector<MailAddress>> to, cc;
    std::optional<HeaderDate> sent, received;
    std::optional<std::wstring> subject;
};

// Subjects and the names in addresses may be RFC 2047 encoded words
// ("=?UTF-8?B?...?=", "=?ISO-8859-1?Q?...?="): they are decoded.
HeaderFields parseHeaders(const std::wstring& text);
std::wstring decodeEncodedWords(const std::wstring& text);
// "Name <address>", "address" or a bare name (such as a Notes name).
MailAddress parseAddress(const std::wstring& text);
// "[Day, ]DD Mon YYYY HH:MM[:SS] [zone]"; nothing for any other text
// (such as "Invalid DateTime").
std::optional<HeaderDate> parseHeaderDate(const std::wstring& text);

} // namespace outlook
