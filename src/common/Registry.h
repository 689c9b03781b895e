// Text values of the registry, read the way every setting of the wizard is:
// into a 520-byte buffer, so a value longer than 259 characters, like a
// missing one, reads as the empty text.
#pragma once
#include <windows.h>

#include <string>

// The key under HKEY_CLASSES_ROOT that holds the installation directory
// ("FilePath") and the log directory ("LogPath").
extern const wchar_t kSettingsKey[];

// The value's text, or empty when the key or value is missing, is not text,
// or is too long.
std::wstring readRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name);
// Creates the key if needed and stores the text as REG_SZ with its zero.
bool writeRegistryText(HKEY root, const wchar_t* subKey, const wchar_t* name, const std::wstring& value);

std::wstring readSetting(const wchar_t* name);
bool writeSetting(const wchar_t* name, const std::wstring& value);
