// The wizard's reading of Notes texts: LMBCS to wide text and back through
// the library's translation, whole however long the text, every character.
#include "adapters/NotesText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// U+F601-U+F6FF are outside what LMBCS can hold; surrogates come in pairs.
std::wstring everyCharacterOfTheBmp() {
    std::wstring text;
    for (wchar_t c = 1; c < 0xFFFF; ++c)
        if ((c < 0xD800 || c >= 0xE000) && (c < 0xF601 || c > 0xF6FF))
            text += c;
    return text;
}

} // namespace

TEST(NotesText, EveryCharacterThereAndBackInPieces) {
    // About 190 KB of LMBCS: several pieces of the translation each way.
    const std::wstring bmp = everyCharacterOfTheBmp();
    const LNString lmbcs = toNotes(bmp);
    EXPECT_GT(std::strlen(lmbcs.GetTextPtr()), 2u * 0xFFFF);
    EXPECT_EQ(bmp, fromNotes(lmbcs));
    std::wstring beyond;
    for (uint32_t c = 0x10000; c <= 0x10FFFF; c += 251) {
        beyond += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        beyond += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    EXPECT_EQ(beyond, fromNotes(toNotes(beyond)));
}

TEST(NotesText, PiecesEndBetweenCharacters) {
    // Pieces end near 30,000 bytes of LMBCS and 15,000 units of UTF-16:
    // three-byte characters and surrogate pairs on every side of those.
    for (size_t lead = 29990; lead < 30003; ++lead) {
        std::wstring text(lead, L'a');
        for (int i = 0; i < 20; ++i)
            text += i % 2 ? L"\x20AC" : L"\xD83D\xDE00";
        ASSERT_EQ(text, fromNotes(toNotes(text))) << lead;
    }
    for (size_t lead = 14990; lead < 15003; ++lead) {
        std::wstring text(lead, L'\x4E00');
        text += L"\xD83D\xDE00\xD83D\xDE00";
        ASSERT_EQ(text, fromNotes(toNotes(text))) << lead;
    }
}

TEST(NotesText, TheLibrarysErrorTextsAndEmptyTexts) {
    EXPECT_EQ(L"", fromNotes(LNString()));
    EXPECT_EQ(L"", fromNotes(toNotes(L"")));
    char text[512] = {};
    const LNINT n = LNGetErrorMessageText(LNERR_FILE_NOT_FOUND, text, sizeof text);
    EXPECT_EQ(0u, fromNotes(text, static_cast<size_t>(n)).find(L"The database file does not exist."));
}
