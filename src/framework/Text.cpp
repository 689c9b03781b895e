#include "Text.h"

#include <windows.h>

namespace tw {

namespace {

std::string narrowed(const std::wstring& text, UINT codePage) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

} // namespace

std::string toAnsi(const std::wstring& text) { return narrowed(text, CP_ACP); }

std::string toUtf8(const std::wstring& text) { return narrowed(text, CP_UTF8); }

std::wstring fromAnsi(const std::string& text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string cutAnsi(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    // Walk whole characters so that a lead byte is never left without its
    // trail byte.
    size_t end = 0;
    while (end < text.size()) {
        size_t len = IsDBCSLeadByte(static_cast<BYTE>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + len > maxBytes)
            break;
        end += len;
    }
    return text.substr(0, end);
}

std::wstring systemMessage(unsigned long code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = text ? text : L"";
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' '))
        out.pop_back();
    return out;
}

} // namespace tw
