// Outlook's "Personal Folders Password" prompt: the file's name, a password
// box, OK and Cancel, modal over the window that asked.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace outlook {

constexpr wchar_t kPasswordPromptCaption[] = L"Personal Folders Password";
enum : int { kPasswordPromptText = 1002, kPasswordPromptBox = 1001 };

// The window a prompt of this process belongs over: the active window of
// ours, else a visible one of ours; none when the process shows none.
HWND promptOwner();
// The password typed, or nothing when the user cancelled. `again` says
// that the last one was not right.
std::optional<std::wstring> askPassword(HWND owner, const std::wstring& fileName, bool again);

} // namespace outlook
