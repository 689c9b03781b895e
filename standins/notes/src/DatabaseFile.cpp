#include "DatabaseFile.h"

#include "Base64.h"
#include "LNNotes.h"
#include "Platform.h"
#include "XmlReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace notes {

namespace {

using Event = XmlReader::Event;

// No value of one item may exceed this (a damaged or hostile file must not
// exhaust memory).
constexpr size_t kMaxItemBytes = 64u << 20;

[[noreturn]] void damaged(const XmlError& e) { throw DatabaseError{LNERR_DATABASE_DAMAGED, e.what()}; }

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Reads the values of one item element (after its start tag) into `item`.
void readItem(XmlReader& r, Item& item, std::vector<AttachmentRecord>& attachments,
              const std::unordered_map<uint64_t, uint64_t>& dataEnds) {
    const size_t depth = r.depth();
    size_t bytes = 0;
    auto take = [&](std::string value) {
        bytes += value.size();
        if (bytes > kMaxItemBytes)
            throw XmlError(r.elementOffset(), "item " + item.name + " too large");
        item.values.push_back(std::move(value));
    };
    for (;;) {
        Event e = r.next();
        if (e == Event::End)
            throw XmlError(r.elementOffset(), "unexpected end inside an item");
        if (e == Event::EndElement && r.depth() < depth)
            return;
        if (e != Event::StartElement)
            continue;
        const std::string& kind = r.name();
        if (kind == "text" || kind == "number" || kind == "datetime") {
            item.kind = kind == "text" ? ItemKind::Text : kind == "number" ? ItemKind::Number : ItemKind::DateTime;
            take(r.elementText(kMaxItemBytes));
        } else if (kind == "textlist" || kind == "numberlist" || kind == "datetimelist") {
            item.kind = kind == "textlist"     ? ItemKind::Text
                        : kind == "numberlist" ? ItemKind::Number
                                               : ItemKind::DateTime;
            // The list's own children carry the values; they are read as
            // they come in the loop above.
        } else if (kind == "richtext") {
            item.kind = ItemKind::RichText;
            // Paragraphs joined by CR LF; a break inside one is a line break.
            std::string text;
            const size_t rich = r.depth();
            bool firstPar = true;
            for (;;) {
                Event f = r.next();
                if (f == Event::End)
                    throw XmlError(r.elementOffset(), "unexpected end inside rich text");
                if (f == Event::EndElement && r.depth() < rich)
                    break;
                if (f == Event::StartElement && r.name() == "par") {
                    if (!firstPar)
                        text += "\r\n";
                    firstPar = false;
                    const size_t par = r.depth();
                    for (;;) {
                        Event g = r.next();
                        if (g == Event::EndElement && r.depth() < par)
                            break;
                        if (g == Event::End)
                            throw XmlError(r.elementOffset(), "unexpected end inside a paragraph");
                        if (g == Event::StartElement && r.name() == "break")
                            text += "\r\n";
                        if (g == Event::Text)
                            text += r.text(kMaxItemBytes - text.size());
                    }
                } else if (f == Event::Text && r.depth() == rich) {
                    // Text straight inside <richtext>: kept unless it is
                    // only the file's indentation.
                    std::string t = r.text(kMaxItemBytes - text.size());
                    if (t.find_first_not_of(" \t\r\n") != std::string::npos)
                        text += t;
                }
                if (text.size() > kMaxItemBytes)
                    throw XmlError(r.elementOffset(), "rich text too large");
            }
            take(std::move(text));
        } else if (kind == "file") {
            item.kind = ItemKind::Attachment;
            AttachmentRecord a;
            a.name = r.attribute("name");
            const size_t file = r.depth();
            bool haveData = false;
            for (;;) {
                Event f = r.next();
                if (f == Event::End)
                    throw XmlError(r.elementOffset(), "unexpected end inside a file");
                if (f == Event::EndElement && r.depth() < file)
                    break;
                if (f == Event::StartElement && r.name() == "filedata" && !haveData) {
                    a.dataOffset = r.elementOffset();
                    haveData = true;
                    const auto end = dataEnds.find(a.dataOffset);
                    if (end != dataEnds.end())
                        r.skipElementTo(end->second);
                    else
                        r.skipElement();
                }
            }
            if (!haveData)
                throw XmlError(r.elementOffset(), "attachment " + a.name + " without data");
            attachments.push_back(a);
            item.values.push_back(a.name);
        } else if (kind != "object") {
            r.skipElement();
        }
    }
}

} // namespace

const Item* ParsedDocument::find(const std::string& name) const {
    for (const Item& item : items)
        if (equalsNoCase(item.name, name))
            return &item;
    return nullptr;
}

DatabaseFile::DatabaseFile(const std::string& path) : path_(path) {
    if (!source_.open(path)) {
        unsigned long code = errno == ENOENT ? LNERR_FILE_NOT_FOUND : LNERR_FILE_OPEN;
        throw DatabaseError{code, path};
    }
    index();
}

void DatabaseFile::index() {
    std::lock_guard<std::mutex> hold(lock_);
    XmlReader r(source_);
    Event e;
    try {
        e = r.next();
    } catch (const XmlError&) {
        throw DatabaseError{LNERR_NOT_A_DATABASE, path_};
    }
    if (e != Event::StartElement || r.name() != "database")
        throw DatabaseError{LNERR_NOT_A_DATABASE, path_};
    try {
        for (;;) {
            e = r.next();
            if (e == Event::End)
                break;
            if (e != Event::StartElement || r.depth() != 2)
                continue;
            if (r.name() == "document") {
                DocumentRecord d;
                d.offset = r.elementOffset();
                d.form = r.attribute("form");
                const size_t depth = r.depth();
                for (;;) {
                    Event f = r.next();
                    if (f == Event::EndElement && r.depth() < depth)
                        break;
                    if (f == Event::StartElement && r.name() == "noteinfo" && r.depth() == depth + 1 &&
                        d.unid.empty())
                        d.unid = r.attribute("unid");
                    if (f == Event::StartElement && r.name() == "filedata") {
                        const uint64_t start = r.elementOffset();
                        r.skipElement();
                        dataEnds_[start] = source_.position();
                    }
                }
                d.end = source_.position();
                if (!d.unid.empty())
                    byUnid_.emplace(d.unid, documents_.size());
                documents_.push_back(std::move(d));
            } else if (r.name() == "view" || r.name() == "folder") {
                ViewRecord v;
                v.folder = r.name() == "folder";
                v.name = r.attribute("name");
                const size_t depth = r.depth();
                for (;;) {
                    Event f = r.next();
                    if (f == Event::EndElement && r.depth() < depth)
                        break;
                    if (f == Event::StartElement && r.name() == "entry" && r.depth() == depth + 1)
                        v.entries.push_back(r.attribute("unid"));
                }
                views_.push_back(std::move(v));
            } else {
                r.skipElement();
            }
        }
    } catch (const XmlError& x) {
        damaged(x);
    }
}

long DatabaseFile::findDocument(const std::string& unid) const {
    auto it = byUnid_.find(unid);
    return it == byUnid_.end() ? -1 : static_cast<long>(it->second);
}

std::shared_ptr<ParsedDocument> DatabaseFile::parseDocument(size_t index) {
    std::lock_guard<std::mutex> hold(lock_);
    auto doc = std::make_shared<ParsedDocument>();
    if (index >= documents_.size() || !source_.seek(documents_[index].offset))
        throw DatabaseError{LNERR_DATABASE_DAMAGED, "document out of the file"};
    source_.readNoFurtherThan(documents_[index].end);
    try {
        XmlReader r(source_);
        if (r.next() != Event::StartElement || r.name() != "document")
            throw XmlError(source_.position(), "no document here");
        for (;;) {
            Event e = r.next();
            if (e == Event::EndElement && r.depth() == 0)
                break;
            if (e == Event::StartElement && r.depth() == 2 && r.name() == "item") {
                Item item;
                item.name = r.attribute("name");
                readItem(r, item, doc->attachments, dataEnds_);
                doc->items.push_back(std::move(item));
            } else if (e == Event::StartElement && r.depth() == 2) {
                r.skipElement();
            }
        }
    } catch (const XmlError& x) {
        damaged(x);
    }
    return doc;
}

void DatabaseFile::detach(uint64_t dataOffset, const std::string& path) {
    std::lock_guard<std::mutex> hold(lock_);
    std::FILE* out = openFile(path, "wb");
    if (!out)
        throw DatabaseError{LNERR_DETACH_WRITE, path};
    auto abandon = [&](unsigned long code, const std::string& detail) {
        std::fclose(out);
        removeFile(path);
        throw DatabaseError{code, detail};
    };
    // Our own buffer holds the decoded bytes; the stream adds no copy.
    std::setvbuf(out, nullptr, _IONBF, 0);
    Base64Decoder decoder;
    bool bad = false, writeFailed = false;
    try {
        if (!source_.seek(dataOffset))
            abandon(LNERR_ATTACHMENT_DAMAGED, "data out of the file");
        const auto end = dataEnds_.find(dataOffset);
        source_.readNoFurtherThan(end != dataEnds_.end() ? end->second : 0);
        XmlReader r(source_);
        if (r.next() != Event::StartElement || r.name() != "filedata")
            abandon(LNERR_ATTACHMENT_DAMAGED, "no data at its place");
        for (;;) {
            Event e = r.next();
            if (e == Event::EndElement && r.depth() == 0)
                break;
            if (e == Event::StartElement)
                abandon(LNERR_ATTACHMENT_DAMAGED, "markup inside the data");
            if (e != Event::Text)
                continue;
            r.streamText([&](const char* p, size_t n) {
                if (bad || writeFailed)
                    return;
                if (Base64Decoder::mostBytes(n) > decodedRoom_) {
                    decodedRoom_ = Base64Decoder::mostBytes(n);
                    decoded_.reset(new char[decodedRoom_]);
                }
                size_t written = 0;
                if (!decoder.feed(p, n, decoded_.get(), written)) {
                    bad = true;
                    return;
                }
                if (written && std::fwrite(decoded_.get(), 1, written, out) != written)
                    writeFailed = true;
            });
        }
    } catch (const XmlError& x) {
        abandon(LNERR_ATTACHMENT_DAMAGED, x.what());
    }
    if (bad || !decoder.finish())
        abandon(LNERR_ATTACHMENT_DAMAGED, "bad base64");
    if (writeFailed || std::fclose(out) != 0) {
        removeFile(path);
        throw DatabaseError{LNERR_DETACH_WRITE, path};
    }
}

} // namespace notes
