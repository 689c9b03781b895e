// Finding the wizard's pages: they all carry the product title as caption,
// so each is told apart by a control only it has.
#pragma once
#include "Robot.h"

namespace wizard {

extern const wchar_t kTitle[]; // "Tidewell for NSF to PST"

// The visible page of step 1..6 in process `pid` (0: any).
HWND waitForStep(int step, DWORD pid = 0, int timeoutMs = robot::kTimeoutMs);
// The completion dialog (visible) of process `pid`, or null.
HWND completionDialog(DWORD pid);
HWND waitForCompletion(DWORD pid, int timeoutMs = robot::kTimeoutMs);
// The wizard's message box (caption kTitle) with its text, or abandons.
HWND expectMessageBox(DWORD pid, const std::wstring& text);

} // namespace wizard
