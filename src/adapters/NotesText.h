// The Notes library's texts (LMBCS) as the wizard's wide texts and back,
// through the library's own translation: every character arrives.
#pragma once
#include "NotesLibrary.h"

#include <string>

std::wstring fromNotes(const LNString& text);
std::wstring fromNotes(const char* lmbcs, size_t bytes);
LNString toNotes(const std::wstring& text);
