// Base64 in pieces, and DXL date/time texts.
#include "Base64.h"
#include "DxlDateTime.h"

#include <gtest/gtest.h>

#include <cstdlib>

using notes::Base64Decoder;

TEST(Base64, RoundTripOfEverySmallSizeFedInPieces) {
    for (size_t n = 0; n < 300; ++n) {
        std::string bytes(n, '\0');
        for (size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<char>((i * 151 + n) & 0xFF);
        std::string text = notes::encodeBase64(bytes, 20);
        Base64Decoder d;
        std::string out;
        // Fed one to seven characters at a time.
        for (size_t at = 0; at < text.size(); at += 1 + at % 7)
            ASSERT_TRUE(d.feed(text.data() + at, std::min(text.size() - at, 1 + at % 7), out)) << n;
        EXPECT_TRUE(d.finish()) << n;
        ASSERT_EQ(bytes, out) << n;
        // And whole, groups of four at a time between the lines' ends.
        Base64Decoder whole;
        std::string all;
        ASSERT_TRUE(whole.feed(text.data(), text.size(), all)) << n;
        EXPECT_TRUE(whole.finish()) << n;
        ASSERT_EQ(bytes, all) << n;
    }
}

TEST(Base64, RejectsWhatIsNotBase64) {
    auto decodes = [](const std::string& text) {
        Base64Decoder d;
        std::string out;
        return d.feed(text.data(), text.size(), out) && d.finish();
    };
    EXPECT_TRUE(decodes("QUJD\nREVG\r\n"));
    EXPECT_TRUE(decodes("QQ=="));
    EXPECT_TRUE(decodes("QUI=\r\n")) << "a line's end after the padding";
    EXPECT_FALSE(decodes("QUJDQ=")) << "padding after one character of a group";
    EXPECT_FALSE(decodes("QUJ*"));
    EXPECT_FALSE(decodes("Q==="));
    EXPECT_FALSE(decodes("QQ==QUJD")) << "nothing after the padding";
    EXPECT_FALSE(decodes("QUJ")) << "an incomplete group";
    EXPECT_FALSE(decodes("QQ=A"));
}

TEST(DxlDateTime, TheThreeFormsAndTheirZone) {
    auto full = notes::parseDxlDateTime("20070307T090500,00+01");
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->hasDate && full->hasTime && full->hasZone);
    EXPECT_EQ(60, full->zoneMinutes);
    // 2007-03-07 08:05:00 UTC
    EXPECT_EQ(1173254700, full->utcSeconds());
    auto minus = notes::parseDxlDateTime(" 20070307T090500,00-0530 ");
    ASSERT_TRUE(minus);
    EXPECT_EQ(-330, minus->zoneMinutes);
    auto date = notes::parseDxlDateTime("20070307");
    ASSERT_TRUE(date);
    EXPECT_TRUE(date->hasDate && !date->hasTime);
    auto time = notes::parseDxlDateTime("T090500,00");
    ASSERT_TRUE(time);
    EXPECT_TRUE(!time->hasDate && time->hasTime && time->hour == 9 && time->minute == 5);
    for (const char* bad : {"", "2007", "20070230", "20071301", "20070307T250000", "20070307T0905", "20070307+01",
                            "20070307T090500,00+1", "x20070307", "20070307T090500,00+01junk"})
        EXPECT_FALSE(notes::parseDxlDateTime(bad)) << bad;
    EXPECT_TRUE(notes::parseDxlDateTime("20080229T000000,00Z")) << "a leap day";
}

#ifndef _WIN32
TEST(DxlDateTime, RenderedInLocalTimeWithoutZone) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ("03/07/2007 08:05:00", notes::renderDxlDateTime(*notes::parseDxlDateTime("20070307T090500,00+01")));
    EXPECT_EQ("03/07/2007 09:05:00", notes::renderDxlDateTime(*notes::parseDxlDateTime("20070307T090500,00")))
        << "no zone: written as it stands";
    EXPECT_EQ("03/14/1975", notes::renderDxlDateTime(*notes::parseDxlDateTime("19750314")));
}
#endif

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>

namespace {

// The text through the platform's own date conversion, as the wizard does it.
bool toDate(const std::string& text, SYSTEMTIME& out) {
    std::wstring wide(text.begin(), text.end());
    VARIANT in, date;
    VariantInit(&in);
    VariantInit(&date);
    in.vt = VT_BSTR;
    in.bstrVal = SysAllocString(wide.c_str());
    HRESULT hr = VariantChangeTypeEx(&date, &in, LOCALE_USER_DEFAULT, 0, VT_DATE);
    VariantClear(&in);
    return SUCCEEDED(hr) && VariantTimeToSystemTime(date.date, &out);
}

} // namespace

TEST(DxlDateTime, ThePlatformReadsTheRenderedTextBack) {
    std::string text = notes::renderDxlDateTime(*notes::parseDxlDateTime("20070307T090500,00+01"));
    SYSTEMTIME got{};
    ASSERT_TRUE(toDate(text, got)) << text;
    SYSTEMTIME utc{2007, 3, 3, 7, 8, 5, 0, 0}, local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
    EXPECT_EQ(local.wYear, got.wYear) << text;
    EXPECT_EQ(local.wMonth, got.wMonth) << text;
    EXPECT_EQ(local.wDay, got.wDay) << text;
    EXPECT_EQ(local.wHour, got.wHour) << text;
    EXPECT_EQ(local.wMinute, got.wMinute) << text;

    std::string two = text + ";" + notes::renderDxlDateTime(*notes::parseDxlDateTime("20070308T090500,00+01"));
    EXPECT_FALSE(toDate(two, got)) << "two joined values are no date: " << two;
}
#endif
