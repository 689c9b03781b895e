#include "TextList.h"

#include "Messages.h"

#include <new>

void TextList::append(const std::wstring& text) {
    try {
        entries_.push_back(text);
    } catch (const std::bad_alloc&) {
        showMessage(nullptr, L"Out Of Memory", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        ExitProcess(0);
    }
}

void TextList::clear() { std::vector<std::wstring>().swap(entries_); }
