// The library's texts in LMBCS: every character there and back through
// OSTranslate, the bytes the public description of LMBCS gives, and the
// platform's 8-bit view of them as the platform itself converts.
#include "LNNotes.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>

namespace {

std::string toLmbcs(const std::u16string& text) {
    char out[0xFFFF];
    const WORD n = OSTranslate(OS_TRANSLATE_UNICODE_TO_LMBCS, reinterpret_cast<const char*>(text.data()),
                               static_cast<WORD>(text.size() * 2), out, sizeof out);
    return std::string(out, n);
}

std::u16string toUnicode(const std::string& lmbcs, WORD room = 0xFFFE) {
    std::u16string out(room / 2 + 1, u'\0');
    const WORD n = OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, lmbcs.data(), static_cast<WORD>(lmbcs.size()),
                               reinterpret_cast<char*>(&out[0]), room);
    out.resize(n / 2);
    return out;
}

// U+F601-U+F6FF: the Unicode group writes a zero low byte as F6 and the
// high byte, so these cannot be told from U+xx00 and LMBCS cannot hold them.
bool lmbcsHolds(char16_t c) { return c < 0xF601 || c > 0xF6FF; }

} // namespace

TEST(Lmbcs, EveryCharacterOfTheBmpAndBeyondGoesThereAndBack) {
    for (uint32_t start = 0; start < 0x10000; start += 4096) {
        std::u16string text;
        for (uint32_t c = start; c < start + 4096; ++c)
            if ((c < 0xD800 || c >= 0xE000) && lmbcsHolds(static_cast<char16_t>(c)))
                text += static_cast<char16_t>(c);
        ASSERT_EQ(text, toUnicode(toLmbcs(text))) << "from U+" << std::hex << start;
    }
    // Beyond the BMP: every 97th code point, as surrogate pairs.
    std::u16string pairs;
    for (uint32_t c = 0x10000; c <= 0x10FFFF; c += 97) {
        pairs += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        pairs += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        if (pairs.size() > 8000) {
            ASSERT_EQ(pairs, toUnicode(toLmbcs(pairs))) << "up to U+" << std::hex << c;
            pairs.clear();
        }
    }
    EXPECT_EQ(std::u16string(u"\uFFFD"), toUnicode(toLmbcs(u"\uF6A5"))) << "a character LMBCS cannot hold";
}

TEST(Lmbcs, BytesAsTheFormatWritesThem) {
    EXPECT_EQ("Az 09", toLmbcs(u"Az 09")) << "ASCII as itself";
    EXPECT_EQ("\t\r\n", toLmbcs(u"\t\r\n")) << "three controls as themselves";
    EXPECT_EQ("\x0F\x21\x0F\x3F\x0F\x85", toLmbcs(u"\u0001\u001F\u0085")) << "others in the control group";
    EXPECT_EQ("\x82\x9A\xE1", toLmbcs(u"\u00E9\u00DC\u00DF")) << "group 1 (code page 850) without its group byte";
    EXPECT_EQ("\x14\x20\xAC", toLmbcs(u"\u20AC")) << "the Unicode group, UTF-16 big-endian";
    EXPECT_EQ("\x14\xF6\x01", toLmbcs(u"\u0100")) << "a zero low byte: F6, then the high byte";
    // Read: group 1 announced, and national groups this library does not
    // carry the tables of (Greek, Japanese) as one character each.
    EXPECT_EQ(std::u16string(u"\u00E9x"), toUnicode("\x01\x82x"));
    EXPECT_EQ(std::u16string(u"\uFFFD\uFFFDx"), toUnicode("\x02\xE1\x10\x82\xA0x"));
    EXPECT_EQ(std::u16string(u"a\uFFFD"), toUnicode("a\x14\x20")) << "cut off at the end";
}

TEST(Lmbcs, OutputIsCutBetweenCharacters) {
    const std::u16string text = u"\u20AC\u20AC\U0001F600";
    char out[16];
    // Three bytes per unit: 7 bytes of room take two characters, not a third's part.
    EXPECT_EQ(6, OSTranslate(OS_TRANSLATE_UNICODE_TO_LMBCS, reinterpret_cast<const char*>(text.data()),
                             static_cast<WORD>(text.size() * 2), out, 7));
    // A surrogate pair is never cut: room for three units gives two.
    EXPECT_EQ(std::u16string(u"\u20AC\u20AC"), toUnicode(toLmbcs(text), 6));
    // MAXWORD: up to the terminator.
    EXPECT_EQ(std::u16string(u"caf\u00E9"), toUnicode(std::string("caf\x82\0tail", 9).c_str() + std::string()));
}

TEST(Lmbcs, ThePlatformTextIsWhatThePlatformMakesOfTheCharacters) {
    std::u16string text = u"Gr\u00FC\u00DFe \u20AC \u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \u65E5\u672C";
    const LNString lmbcs(toLmbcs(text));
#ifdef _WIN32
    char expected[256] = {};
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text.c_str()), -1, expected, sizeof expected,
                        nullptr, nullptr);
    EXPECT_STREQ(expected, lmbcs.GetPlatformTextPtr());
#else
    EXPECT_STREQ("Gr\xFC\xDF" "e \x80 ???????? ??", lmbcs.GetPlatformTextPtr()) << "Windows-1252";
#endif
}
