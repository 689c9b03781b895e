// LMBCS, the library's own character set, optimised for group 1 as Notes
// keeps every text: bytes 0x20-0xFF stand for themselves (0x80-0xFF as code
// page 850), a byte below 0x20 announces a group and the bytes after it.
// Written here: group 1 (implicit), 0x0F (control characters) and 0x14
// (any other UTF-16 code unit); read: those, every other group by its
// length (as U+FFFD, their code page tables are not carried).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace notes {

std::string utf16ToLmbcs(const char16_t* text, size_t units);
std::u16string lmbcsToUtf16(const char* lmbcs, size_t bytes);
// How many bytes the character that starts with `lead` takes.
size_t lmbcsCharLength(unsigned char lead);

std::string utf8ToLmbcs(const std::string& utf8);
std::string lmbcsToUtf8(const std::string& lmbcs);
std::u16string utf8ToUtf16(const std::string& utf8);
void appendUtf8(std::string& out, uint32_t codePoint);
std::string utf16ToUtf8(const std::u16string& text);

} // namespace notes
