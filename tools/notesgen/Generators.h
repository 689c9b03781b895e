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

// Texts in every script a mailbox may hold, the last beyond the Basic
// Multilingual Plane (UTF-8).
struct ScriptSample {
    const char* language;
    const char* folder;
    const char* firstName;
    const char* lastName;
    const char* subject;
    const char* body;
    const char* attachment;
};
const std::vector<ScriptSample>& scriptSamples();
std::string scriptSampleFullName(const ScriptSample& s);
std::string scriptSampleAttachment(const ScriptSample& s);
// One folder per sample, named in its script, holding a memo whose every
// text is in it: sender, recipients, subject, body and attachment name.
bool writeMultilingualMail(const std::string& path);
// One person per sample, every filled field in its script.
bool writeMultilingualNames(const std::string& path);

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
