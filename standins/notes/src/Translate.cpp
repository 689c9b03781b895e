// Texts between LMBCS, UTF-16 and the platform's 8-bit text.
#include "LNNotes.h"
#include "Lmbcs.h"
#include "Platform.h"

#include <cstring>

const char* LNString::GetPlatformTextPtr() const {
    if (!platform_)
        platform_ = std::make_shared<const std::string>(
            notes::utf16ToPlatform(notes::lmbcsToUtf16(text_.data(), text_.size())));
    return platform_->c_str();
}

namespace {

// The LMBCS of whole characters that fits in `room` bytes.
size_t fittingLmbcs(const std::string& lmbcs, size_t room) {
    size_t end = 0;
    while (end < lmbcs.size()) {
        const size_t next = end + notes::lmbcsCharLength(static_cast<unsigned char>(lmbcs[end]));
        if (next > room)
            break;
        end = next;
    }
    return end;
}

// The UTF-16 units that fit in `room` units, a surrogate pair never cut.
size_t fittingUnits(const std::u16string& text, size_t room) {
    size_t n = text.size() < room ? text.size() : room;
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] < 0xDC00)
        --n;
    return n;
}

} // namespace

WORD OSTranslate(WORD mode, const char* in, WORD inLength, char* out, WORD outLength) {
    if (!in || !out || outLength == 0)
        return 0;
    std::string bytes;
    if (mode == OS_TRANSLATE_LMBCS_TO_UNICODE) {
        const size_t n = inLength == MAXWORD ? std::strlen(in) : inLength;
        const std::u16string text = notes::lmbcsToUtf16(in, n);
        const size_t units = fittingUnits(text, outLength / sizeof(char16_t));
        bytes.assign(reinterpret_cast<const char*>(text.data()), units * sizeof(char16_t));
        if (bytes.size() + sizeof(char16_t) <= outLength)
            bytes.append(sizeof(char16_t), '\0');
        std::memcpy(out, bytes.data(), bytes.size());
        return static_cast<WORD>(units * sizeof(char16_t));
    }
    if (mode == OS_TRANSLATE_UNICODE_TO_LMBCS) {
        // The input may sit on any boundary: read a unit at a time.
        std::u16string text;
        const size_t limit = (inLength == MAXWORD ? MAXWORD - 1 : inLength) / sizeof(char16_t);
        for (size_t i = 0; i < limit; ++i) {
            char16_t unit;
            std::memcpy(&unit, in + i * sizeof(char16_t), sizeof unit);
            if (inLength == MAXWORD && unit == 0)
                break;
            text += unit;
        }
        const std::string lmbcs = notes::utf16ToLmbcs(text.data(), text.size());
        const size_t n = fittingLmbcs(lmbcs, outLength);
        std::memcpy(out, lmbcs.data(), n);
        if (n < outLength)
            out[n] = '\0';
        return static_cast<WORD>(n);
    }
    return 0;
}
