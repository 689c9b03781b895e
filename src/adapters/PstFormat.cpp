#include "PstFormat.h"

#include "../framework/Handles.h"

#include <windows.h>

const wchar_t kAnsiTextLost[] =
    L"the personal folders file is of the ANSI format (Outlook 97-2002), whose code page cannot hold every letter";

const wchar_t kAnsiTargetLogLine[] =
    L"The personal folders file is of the ANSI format (Outlook 97-2002): letters its code page cannot hold arrive "
    L"as question marks, and the items they are in are reported as not arrived whole.";

namespace {

// The header's magic "!BDN" and wVer at offset 10: 14 and 15 are the ANSI
// format's versions.
constexpr BYTE kMagic[4] = {'!', 'B', 'D', 'N'};
constexpr size_t kVersionAt = 10;
constexpr WORD kAnsiFirst = 14, kAnsiLast = 15;

} // namespace

bool isAnsiPst(const std::wstring& path) {
    tw::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    BYTE header[12] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), header, sizeof header, &read, nullptr) || read != sizeof header)
        return false;
    const WORD version = static_cast<WORD>(header[kVersionAt] | (header[kVersionAt + 1] << 8));
    return memcmp(header, kMagic, sizeof kMagic) == 0 && version >= kAnsiFirst && version <= kAnsiLast;
}

bool fitsAnsiCodePage(const std::wstring& text) {
    if (text.empty())
        return true;
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &lost);
    return n > 0 && !lost;
}
