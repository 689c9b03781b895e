// Property values of the PST engine from the automation side's wide texts,
// numbers and dates, and back.
#pragma once
#include "pst/Values.h"

#include <windows.h>

#include <string>
#include <vector>

namespace outlook {

pst::Value textValue(const std::wstring& text);
pst::Value longValue(long value);
pst::Value booleanValue(bool value);
// A VT_DATE (local time) as PT_SYSTIME (UTC).
pst::Value dateValue(double variantDate);
pst::Value timeValue(const FILETIME& utc);
pst::Value nowValue();
pst::Value binaryValue(const std::vector<uint8_t>& bytes);

std::wstring wideText(const pst::Value& value);
std::wstring widen(const std::string& utf8);
std::string utf8(const std::wstring& wide);

// Hexadecimal text (capitals) of bytes, and back (nothing for a text that is
// not an even number of hex digits).
std::wstring hexText(const std::vector<uint8_t>& bytes);
bool bytesFromHex(const std::wstring& text, std::vector<uint8_t>& out);

} // namespace outlook
