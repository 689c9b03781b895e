// An ordered list of texts, each entry its own copy. Serves the folders
// chosen on Step 3 and the backup copy's job lists.
#pragma once
#include <string>
#include <vector>

class TextList {
public:
    // Appends a copy of `text`. When memory runs out the user is told
    // "Out Of Memory" and the program ends: the wizard cannot go on.
    void append(const std::wstring& text);
    void clear();
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const std::wstring& operator[](size_t i) const { return entries_[i]; }
    std::vector<std::wstring>::const_iterator begin() const { return entries_.begin(); }
    std::vector<std::wstring>::const_iterator end() const { return entries_.end(); }

private:
    std::vector<std::wstring> entries_;
};
