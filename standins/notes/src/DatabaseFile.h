// A database file: indexed in one streaming pass when opened (where each
// document, view and folder stands), each document parsed when it is opened.
#pragma once
#include "ByteSource.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace notes {

enum class ItemKind { Text, Number, DateTime, RichText, Attachment, Other };

struct Item {
    std::string name; // UTF-8
    ItemKind kind = ItemKind::Other;
    std::vector<std::string> values; // UTF-8; DXL texts for dates and numbers
};

struct AttachmentRecord {
    std::string name;        // UTF-8
    uint64_t dataOffset = 0; // where its <filedata> element starts
};

struct ParsedDocument {
    std::vector<Item> items;
    std::vector<AttachmentRecord> attachments;
    // The first item of that name (names compare without regard to case).
    const Item* find(const std::string& name) const;
};

struct DocumentRecord {
    std::string unid;
    std::string form;
    uint64_t offset = 0;
    uint64_t end = 0; // just after its end tag
};

struct ViewRecord {
    std::string name; // UTF-8
    bool folder = false;
    std::vector<std::string> entries; // document unids, in order
};

// Thrown by the file's readers: a library error code with its detail.
struct DatabaseError {
    unsigned long code;
    std::string detail;
};

class DatabaseFile {
public:
    // Opens and indexes the file; throws DatabaseError.
    explicit DatabaseFile(const std::string& path);

    const std::vector<DocumentRecord>& documents() const { return documents_; }
    const std::vector<ViewRecord>& views() const { return views_; }
    // The index of the document with that unid, or -1.
    long findDocument(const std::string& unid) const;

    // Parses one document; throws DatabaseError.
    std::shared_ptr<ParsedDocument> parseDocument(size_t index);
    // Decodes the attachment data at `dataOffset` into the file at `path`;
    // throws DatabaseError (a partly written file is removed).
    void detach(uint64_t dataOffset, const std::string& path);

    const std::string& path() const { return path_; }

private:
    void index();

    std::string path_;
    ByteSource source_;
    std::mutex lock_; // the source is one file position for every reader
    std::vector<DocumentRecord> documents_;
    std::vector<ViewRecord> views_;
    std::map<std::string, size_t> byUnid_;
    // Where each attachment's <filedata> ends, by where it starts, noted
    // while indexing: opening a document then steps over its attachments'
    // data instead of reading it again.
    std::unordered_map<uint64_t, uint64_t> dataEnds_;
    // Room for the decoded bytes of the longest run of attachment data yet,
    // kept from attachment to attachment (fresh memory costs a fault a page).
    std::unique_ptr<char[]> decoded_;
    size_t decodedRoom_ = 0;
};

} // namespace notes
