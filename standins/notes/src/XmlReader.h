// A small pull reader of XML as the database files use it: elements,
// attributes, character data with the five entities and numeric
// references, CDATA; comments, processing instructions and DOCTYPE are
// skipped. Character data is read only when asked for, so that large runs
// (attachment data) can be skipped or streamed without being held.
#pragma once
#include "ByteSource.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace notes {

struct XmlError : std::runtime_error {
    XmlError(uint64_t offset, const std::string& what)
        : std::runtime_error(what + " at byte " + std::to_string(offset)), offset(offset) {}
    uint64_t offset;
};

struct XmlAttribute {
    std::string name;
    std::string value;
};

class XmlReader {
public:
    enum class Event { StartElement, EndElement, Text, End };

    // Reads from the source's current position. The reader starts outside
    // any element; `fragment` readers (positioned inside a file) end when
    // the element they started in ends.
    explicit XmlReader(ByteSource& source);

    // The next event. A Text event leaves its characters unread: text(),
    // skipText() or streamText() reads them; next() skips what is left.
    Event next();

    const std::string& name() const { return name_; }
    const std::vector<XmlAttribute>& attributes() const { return attributes_; }
    // The attribute's value, or empty.
    std::string attribute(const char* name) const;
    bool hasAttribute(const char* name) const;
    // Where the current element's "<" stands.
    uint64_t elementOffset() const { return elementOffset_; }
    size_t depth() const { return open_.size(); }

    // The current character data run (up to the next tag), decoded; throws
    // when it is longer than `limit` bytes.
    std::string text(size_t limit);
    void skipText();
    // Delivers the run in decoded chunks.
    void streamText(const std::function<void(const char*, size_t)>& sink);

    // Skips the rest of the current element (after its StartElement).
    void skipElement();
    // The same where an earlier reading found that the element ends just
    // before `end`: the source moves there without reading what lies between.
    void skipElementTo(uint64_t end);
    // All character data inside the current element, its children's too,
    // joined; throws over `limit` bytes.
    std::string elementText(size_t limit);

private:
    [[noreturn]] void fail(const std::string& what) const;
    int get();
    void expect(char c);
    void skipSpace();
    std::string readName();
    void readTag();
    void readEndTag();
    void readAttributes();
    void skipUntil(const char* terminator);
    void skipDoctype();
    // Appends the decoded character at '&'.
    void readReference(std::string& out);
    void readRun(const std::function<void(const char*, size_t)>& sink);

    ByteSource& in_;
    std::string name_;
    std::vector<XmlAttribute> attributes_;
    std::vector<std::string> open_;
    uint64_t elementOffset_ = 0;
    bool pendingEnd_ = false; // a self-closing element's end is still to come
    bool inText_ = false;     // a Text event whose characters are unread
    bool seenRoot_ = false;
};

} // namespace notes
