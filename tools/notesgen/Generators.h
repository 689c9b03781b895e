// The databases notesgen makes.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace notesgen {

// The demo's mail database: system folders, user folders of every kind the
// wizard must handle, memos with every header, body and attachment case.
bool writeSampleMail(const std::string& path);
// The files attached to the sample mails that a conversion adds (not the
// ".msg" ones), by name: what a converted PST must give back byte for byte.
std::vector<std::pair<std::string, std::string>> sampleMailAttachments();
// The demo's address book: persons filling the contact items in varied ways.
bool writeSampleNames(const std::string& path);

struct MailShape {
    uint64_t documents = 1000;
    size_t bodyBytes = 4096;
    uint64_t attachmentBytes = 100 * 1024;
    uint64_t attachmentEvery = 10; // every n-th document carries one (0: none)
    int folders = 10;
};
// A large mail database for benchmarks, deterministic for a given shape.
bool writeLargeMail(const std::string& path, const MailShape& shape);
bool writeLargeNames(const std::string& path, uint64_t persons);

} // namespace notesgen
