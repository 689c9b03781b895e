#include "adapters/NotesText.h"

#include <algorithm>
#include <cstring>

namespace {

// The translation takes and gives at most 65,535 bytes a call: long texts
// go in pieces, each ending between characters.
constexpr size_t kLmbcsPiece = 30000;  // at most 60,000 bytes of UTF-16
constexpr size_t kUnicodePiece = 15000; // units; at most 45,000 bytes of LMBCS

// The bytes of the LMBCS character that starts with `lead`: a byte below
// 0x20 announces a group (single-byte groups and the control group take
// one byte after it, double-byte groups and the Unicode group two), except
// for tab, line feed, carriage return and the 1-2-3 system character.
size_t lmbcsCharLength(unsigned char lead) {
    if (lead >= 0x10 && lead <= 0x14)
        return 3;
    if ((lead >= 0x01 && lead <= 0x08) || lead == 0x0B || lead == 0x0F)
        return 2;
    return 1;
}

size_t lmbcsPieceEnd(const char* lmbcs, size_t from, size_t bytes) {
    size_t end = from;
    while (end < bytes && end - from < kLmbcsPiece)
        end += lmbcsCharLength(static_cast<unsigned char>(lmbcs[end]));
    return end < bytes ? end : bytes;
}

} // namespace

std::wstring fromNotes(const char* lmbcs, size_t bytes) {
    std::wstring out;
    // At most one unit for each byte of a piece, and the terminator.
    std::wstring buffer(std::min(bytes, kLmbcsPiece + 3) + 1, L'\0');
    for (size_t at = 0; at < bytes;) {
        const size_t end = lmbcsPieceEnd(lmbcs, at, bytes);
        const WORD n = OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, lmbcs + at, static_cast<WORD>(end - at),
                                   reinterpret_cast<char*>(&buffer[0]),
                                   static_cast<WORD>(buffer.size() * sizeof(wchar_t)));
        out.append(buffer.data(), n / sizeof(wchar_t));
        at = end;
    }
    return out;
}

std::wstring fromNotes(const LNString& text) {
    return fromNotes(text.GetTextPtr(), std::strlen(text.GetTextPtr()));
}

LNString toNotes(const std::wstring& text) {
    std::string out;
    // At most three bytes for each unit of a piece, and the terminator.
    std::string buffer(std::min(text.size(), kUnicodePiece) * 3 + 1, '\0');
    for (size_t at = 0; at < text.size();) {
        size_t end = at + kUnicodePiece < text.size() ? at + kUnicodePiece : text.size();
        if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] < 0xDC00)
            --end; // a surrogate pair stays whole
        const WORD n = OSTranslate(OS_TRANSLATE_UNICODE_TO_LMBCS, reinterpret_cast<const char*>(text.data() + at),
                                   static_cast<WORD>((end - at) * sizeof(wchar_t)), &buffer[0],
                                   static_cast<WORD>(buffer.size()));
        out.append(buffer.data(), n);
        at = end;
    }
    return LNString(out);
}
