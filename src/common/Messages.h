// Message boxes of the wizard: the product title as caption.
#pragma once
#include <windows.h>

#include <string>

int showMessage(HWND owner, const std::wstring& text, UINT flags);
// A validation message: system-modal, information icon, OK only.
void showInformation(HWND owner, const std::wstring& text);
