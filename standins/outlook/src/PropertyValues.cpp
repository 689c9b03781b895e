#include "PropertyValues.h"

#include "Dispatch.h"

#include <oleauto.h>

namespace outlook {

pst::Value textValue(const std::wstring& text) {
    pst::Value v{pst::PT_UNICODE, {}};
    v.bytes.reserve(text.size() * 2);
    for (wchar_t c : text) {
        v.bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        v.bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return v;
}

pst::Value longValue(long value) {
    pst::Value v{pst::PT_LONG, {}};
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        v.bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
    return v;
}

pst::Value booleanValue(bool value) { return {pst::PT_BOOLEAN, {static_cast<uint8_t>(value ? 1 : 0), 0}}; }

pst::Value timeValue(const FILETIME& utc) {
    pst::Value v{pst::PT_SYSTIME, {}};
    const uint64_t t = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    for (int i = 0; i < 8; ++i)
        v.bytes.push_back(static_cast<uint8_t>(t >> (8 * i)));
    return v;
}

pst::Value dateValue(double variantDate) {
    SYSTEMTIME local{}, utc{};
    if (!VariantTimeToSystemTime(variantDate, &local))
        throw AutomationError{L"The date is outside the range Outlook can hold.", E_INVALIDARG};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc))
        utc = local;
    FILETIME ft{};
    if (!SystemTimeToFileTime(&utc, &ft))
        throw AutomationError{L"The date is outside the range Outlook can hold.", E_INVALIDARG};
    return timeValue(ft);
}

pst::Value nowValue() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    return timeValue(ft);
}

pst::Value binaryValue(const std::vector<uint8_t>& bytes) { return {pst::PT_BINARY, bytes}; }

std::wstring wideText(const pst::Value& value) {
    if (value.type == pst::PT_UNICODE) {
        std::wstring out;
        for (size_t i = 0; i + 1 < value.bytes.size(); i += 2)
            out.push_back(static_cast<wchar_t>(value.bytes[i] | (value.bytes[i + 1] << 8)));
        return out;
    }
    return widen(value.text());
}

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string utf8(const std::wstring& wide) {
    if (wide.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring hexText(const std::vector<uint8_t>& bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

bool bytesFromHex(const std::wstring& text, std::vector<uint8_t>& out) {
    out.clear();
    if (text.size() % 2)
        return false;
    auto digit = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9')
            return c - L'0';
        if (c >= L'A' && c <= L'F')
            return c - L'A' + 10;
        if (c >= L'a' && c <= L'f')
            return c - L'a' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

} // namespace outlook
