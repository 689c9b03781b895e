// Conversions between wide text, the system's ANSI code page and UTF-8.
#pragma once
#include <string>

namespace tw {

// Wide text to the ANSI code page; unrepresentable characters become the
// code page's default character.
std::string toAnsi(const std::wstring& text);
// ANSI code page text to wide text.
std::wstring fromAnsi(const std::string& text);
// Wide text to UTF-8 (a lone surrogate becomes U+FFFD).
std::string toUtf8(const std::wstring& text);
// The first `maxBytes` bytes of ANSI text, never ending inside a
// double-byte character.
std::string cutAnsi(const std::string& text, size_t maxBytes);
// The platform's own words for an error code (a Win32 error or an
// HRESULT), without the line end; empty when it has none.
std::wstring systemMessage(unsigned long code);

} // namespace tw
