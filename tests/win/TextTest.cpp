// Date texts and ANSI cuts as the log and the pages write them.
#include "common/LocalTime.h"
#include "framework/Text.h"

#include <gtest/gtest.h>

TEST(DateTimeText, NoLeadingZeros) {
    SYSTEMTIME t{};
    t.wYear = 2008;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 9;
    t.wMinute = 5;
    EXPECT_EQ(L"7-3-2008 9:5", formatDateTime(kDateTimeFormat, t));
    t.wYear = 2026;
    t.wMonth = 12;
    EXPECT_EQ(L"7-12-2026 9-5", formatDateTime(kDateTimeFileFormat, t));
}

TEST(AnsiCut, NeverSplitsADoubleByteCharacter) {
    if (GetACP() != 932)
        GTEST_SKIP() << "needs the Japanese code page (run with LC_ALL=ja_JP.UTF-8); code page " << GetACP();
    // "a" then three double-byte characters: 7 bytes.
    std::string text = tw::toAnsi(L"a\u65e5\u672c\u8a9e");
    ASSERT_EQ(7u, text.size());
    EXPECT_EQ(3u, tw::cutAnsi(text, 4).size()) << "a cut after a lead byte backs off";
    EXPECT_EQ(5u, tw::cutAnsi(text, 5).size());
    EXPECT_EQ(L"a\u65e5", tw::fromAnsi(tw::cutAnsi(text, 4)));
}
