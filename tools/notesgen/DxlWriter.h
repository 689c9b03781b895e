// Writes a database file in the DXL-style format the Notes stand-in reads,
// streaming to disk so that databases of any size can be made.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace notesgen {

// A document's universal id: 32 hex digits from a number.
std::string unidOf(uint64_t n);

class DxlWriter {
public:
    explicit DxlWriter(const std::string& path);
    ~DxlWriter();
    DxlWriter(const DxlWriter&) = delete;
    DxlWriter& operator=(const DxlWriter&) = delete;
    bool ok() const { return file_ != nullptr && !failed_; }
    // Ends the database element and closes the file; false on a write error.
    bool finish();

    void beginDocument(const std::string& form, const std::string& unid);
    void endDocument();
    void text(const std::string& name, const std::string& value);
    void textList(const std::string& name, const std::vector<std::string>& values);
    void number(const std::string& name, double value);
    void dateTime(const std::string& name, const std::string& dxlValue);
    void dateTimeList(const std::string& name, const std::vector<std::string>& dxlValues);
    // Paragraphs of plain text.
    void richText(const std::string& name, const std::vector<std::string>& paragraphs);
    // A $FILE item; `bytes` is called for the contents in pieces until it
    // returns false.
    void attachment(const std::string& fileName, uint64_t size,
                    const std::function<void(std::string& piece, uint64_t offset)>& bytes);
    void attachment(const std::string& fileName, const std::string& contents);

    void view(const std::string& name, bool folder, const std::vector<std::string>& unids);
    void raw(const std::string& xml) { put(xml); }

    static std::string escape(const std::string& text);

private:
    void put(const std::string& s);
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

} // namespace notesgen
