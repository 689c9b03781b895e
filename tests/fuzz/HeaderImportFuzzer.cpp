// libFuzzer target: any text read as the header block of a message file the
// safe mail item imports, and as an address and a date on their own. The
// bytes become UTF-16 one to one, and a byte of 0xF0 or more joins the next
// into one character beyond Latin-1, so that wide text is reached too.
// Crashes, hangs and out-of-bounds reads are what it looks for.
#include "HeaderImport.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] >= 0xF0 && i + 1 < size) {
            text += static_cast<wchar_t>(((data[i] & 0x0F) << 8 | data[i + 1]) + 0x100);
            ++i;
        } else {
            text += static_cast<wchar_t>(data[i]);
        }
    }
    const outlook::HeaderFields fields = outlook::parseHeaders(text);
    if (fields.to)
        for (const outlook::MailAddress& a : *fields.to)
            outlook::parseAddress(a.name);
    outlook::parseAddress(text);
    if (auto date = outlook::parseHeaderDate(text)) {
        // A date it accepts is a date.
        if (date->month < 1 || date->month > 12 || date->day < 1 || date->day > 31 || date->hour > 23 ||
            date->minute > 59 || date->second > 60)
            __builtin_trap();
    }
    return 0;
}
