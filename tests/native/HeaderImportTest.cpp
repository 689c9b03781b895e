// The header reading behind the safe mail item's Import: the lines the
// mail conversion writes, folded lines, addresses, and dates that are and
// are not dates.
#include "HeaderImport.h"

#include <gtest/gtest.h>

using outlook::parseAddress;
using outlook::parseHeaderDate;
using outlook::parseHeaders;

TEST(HeaderImport, TheConversionsLinesGiveSenderRecipientsDatesAndSubject) {
    auto f = parseHeaders(L"From:Anna Berg/Sales/Tidewell\r\n"
                          L"To:Jonas Lind/Sales/Tidewell, \"Sanchez, Maria\" <maria@tidewell.example>\r\n"
                          L"Date: 07 Mar 2007 09:05:00\r\n"
                          L"Sent: 08 Mar 2007 10:00:00\r\n"
                          L"Received: 09 Mar 2007 11:00:00\r\n"
                          L"Delivery-date: 10 Mar 2007 12:00:00\r\n"
                          L"Subject:Quarterly\r\n"
                          L"  figures\r\n");
    ASSERT_TRUE(f.from);
    EXPECT_EQ(L"Anna Berg/Sales/Tidewell", f.from->name);
    EXPECT_TRUE(f.from->email.empty());
    ASSERT_TRUE(f.to);
    ASSERT_EQ(2u, f.to->size());
    EXPECT_EQ(L"Jonas Lind/Sales/Tidewell", (*f.to)[0].name);
    EXPECT_EQ(L"Sanchez, Maria", (*f.to)[1].name) << "a quoted comma does not split";
    EXPECT_EQ(L"maria@tidewell.example", (*f.to)[1].email);
    EXPECT_FALSE(f.cc);
    ASSERT_TRUE(f.sent);
    EXPECT_EQ(7, f.sent->day) << "the first of Date and Sent counts";
    ASSERT_TRUE(f.received);
    EXPECT_EQ(9, f.received->day);
    EXPECT_EQ(11, f.received->hour);
    EXPECT_EQ(L"Quarterly figures", *f.subject) << "a folded line is joined";

    auto empty = parseHeaders(L"To:\r\nCc:\r\nDate: Invalid DateTime\r\n\r\nSubject:after the blank line\r\n");
    ASSERT_TRUE(empty.to);
    EXPECT_TRUE(empty.to->empty());
    EXPECT_FALSE(empty.sent) << "an unreadable date is no date";
    EXPECT_FALSE(empty.subject) << "the header block ends at a blank line";
}

TEST(HeaderImport, AddressesAndDates) {
    EXPECT_EQ(L"jonas@tidewell.example", parseAddress(L"jonas@tidewell.example").email);
    EXPECT_EQ(L"jonas@tidewell.example", parseAddress(L"jonas@tidewell.example").name);
    EXPECT_EQ(L"Jonas Lind", parseAddress(L" Jonas Lind <jonas@tidewell.example> ").name);
    EXPECT_EQ(L"Lind at home", parseAddress(L"Lind at home").name);

    auto d = parseHeaderDate(L"Wed, 07 Mar 2007 09:05:30 +0130");
    ASSERT_TRUE(d);
    EXPECT_EQ(2007, d->year);
    EXPECT_EQ(3, d->month);
    EXPECT_EQ(30, d->second);
    EXPECT_TRUE(d->hasZone);
    EXPECT_EQ(90, d->zoneMinutes);
    auto two = parseHeaderDate(L"1 jan 99 23:59");
    ASSERT_TRUE(two);
    EXPECT_EQ(1999, two->year);
    EXPECT_FALSE(two->hasZone);
    for (const wchar_t* bad : {L"Invalid DateTime", L"", L"31 Feb 2007 10:00:00", L"29 Feb 2007 10:00:00",
                               L"07 Mar 2007 24:00:00", L"07 Mar 2007 09:05:00 CEST", L"07 Foo 2007 09:05",
                               L"07 Mar 2007 09:05:00;08 Mar 2007 09:05:00", L"07 Mar"})
        EXPECT_FALSE(parseHeaderDate(bad)) << "accepted: " << std::string(bad, bad + wcslen(bad));
    EXPECT_TRUE(parseHeaderDate(L"29 Feb 2008 10:00:00"));
}

TEST(HeaderImport, EncodedWordsAreDecoded) {
    using outlook::decodeEncodedWords;
    // "Ελληνικά θέματα", folded over two words, and a name before an address.
    auto f = parseHeaders(L"From: =?UTF-8?B?zpPOuc+Oz4HOs86/z4I=?= <giorgos@example.gr>\r\n"
                          L"To: =?UTF-8?B?0K/QvdCw?=, =?utf-8?q?J=C3=B6rg_M=C3=BCller?=\r\n"
                          L"Subject: =?UTF-8?B?zpXOu867zrfOvc65zrrOrCA=?=\r\n"
                          L" =?UTF-8?B?zrjOrc68zrHPhM6x?=\r\n");
    ASSERT_TRUE(f.from && f.to && f.subject);
    EXPECT_EQ(L"\u0393\u03b9\u03ce\u03c1\u03b3\u03bf\u03c2", f.from->name);
    EXPECT_EQ(L"giorgos@example.gr", f.from->email);
    ASSERT_EQ(2u, f.to->size());
    EXPECT_EQ(L"\u042f\u043d\u0430", (*f.to)[0].name);
    EXPECT_EQ(L"J\u00f6rg M\u00fcller", (*f.to)[1].name);
    EXPECT_EQ(L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u03b8\u03ad\u03bc\u03b1\u03c4\u03b1", *f.subject)
        << "the blank between two words is dropped, the one inside a word kept";
    // Beyond the BMP: a surrogate pair, as Windows holds it.
    EXPECT_EQ((std::wstring{L'o', L'k', L' ', 0xD83D, 0xDE00}), decodeEncodedWords(L"ok =?UTF-8?B?8J+YgA==?="));
    // What is no encoded word this reader knows stays as it is.
    EXPECT_EQ(L"=?KOI8-R?B?8J+YgA==?= and =?broken", decodeEncodedWords(L"=?KOI8-R?B?8J+YgA==?= and =?broken"));
    EXPECT_EQ(L"a \uFFFD b", decodeEncodedWords(L"a =?UTF-8?B?/w==?= b")) << "malformed UTF-8";
}
