// The Notes class library, as the wizard uses it: a session, its local
// databases, their views and folders, documents, items and attachments.
//
// Every operation that can fail returns an LNSTATUS, 0 on success. Once
// LNSetThrowAllErrorsGlobal(TRUE) has been called, failures are thrown as
// the LNSTATUS value instead. Texts are LMBCS, the library's own character
// set, which holds every Unicode character: LNString gives them as they are
// (GetTextPtr) or in the platform's 8-bit text (GetPlatformTextPtr, the
// ANSI code page on Windows, losing what it cannot hold), and OSTranslate
// converts between LMBCS and UTF-16.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

typedef long LNINT;
typedef int LNBOOL;
typedef unsigned long LNSTATUS;

#define LNNOERROR 0UL
#define LNAPI_RELEASE_700 700

// The library's error codes. LNGetErrorMessageText gives their texts.
enum : LNSTATUS {
    LNERR_NOT_INITIALIZED = 0x4101,
    LNERR_FILE_NOT_FOUND = 0x4102,
    LNERR_FILE_OPEN = 0x4103,
    LNERR_NOT_A_DATABASE = 0x4104,
    LNERR_DATABASE_DAMAGED = 0x4105,
    LNERR_SERVER_NOT_SUPPORTED = 0x4106,
    LNERR_NOT_OPEN = 0x4107,
    LNERR_INDEX_OUT_OF_RANGE = 0x4108,
    LNERR_UNKNOWN_DOCUMENT = 0x4109,
    LNERR_ITEM_NOT_FOUND = 0x410A,
    LNERR_ITEM_TYPE = 0x410B,
    LNERR_FORMULA_NOT_SUPPORTED = 0x410C,
    LNERR_ATTACHMENT_DAMAGED = 0x410D,
    LNERR_DETACH_WRITE = 0x410E,
    LNERR_NULL_OBJECT = 0x410F,
    LNERR_RELEASE_NOT_SUPPORTED = 0x4110,
    LNERR_NOTES_NOT_SET_UP = 0x4111,
};

void LNSetThrowAllErrorsGlobal(LNBOOL throwAll);
LNBOOL LNGetThrowAllErrorsGlobal();

// The text of an error code (for the last error of that code on this
// thread, with what it concerned) in LMBCS, zero-terminated and cut to fit
// the buffer between characters. Returns the length written.
LNINT LNGetErrorMessageText(LNSTATUS error, char* buffer, LNINT bufferLength);

namespace notes {
class DatabaseFile;
struct ParsedDocument;
} // namespace notes

class LNString {
public:
    LNString() = default;
    LNString(const char* lmbcs) : text_(lmbcs ? lmbcs : "") {}
    LNString(const std::string& lmbcs) : text_(lmbcs) {}

    // The text in LMBCS.
    const char* GetTextPtr() const { return text_.c_str(); }
    // The text in the platform's 8-bit text.
    const char* GetPlatformTextPtr() const;
    // The text's length in bytes (LMBCS).
    LNINT GetBufLength() const { return static_cast<LNINT>(text_.size()); }
    bool IsNull() const { return text_.empty(); }

private:
    std::string text_;
    mutable std::shared_ptr<const std::string> platform_; // made when first asked for
};

// The C library's character set translation (osmisc.h). Unicode is UTF-16
// in the machine's byte order. InLength in bytes, or MAXWORD for a text
// ended by a zero byte (a zero unit for UTF-16). Returns the bytes written
// to Out, never more than OutLength and never part of a character; a zero
// terminator follows when there is room for it.
typedef unsigned short WORD;
#ifndef MAXWORD
#define MAXWORD 0xffff
#endif
#define OS_TRANSLATE_LMBCS_TO_UNICODE 20
#define OS_TRANSLATE_UNICODE_TO_LMBCS 23
WORD OSTranslate(WORD TranslateMode, const char* In, WORD InLength, char* Out, WORD OutLength);

class LNFormula {
public:
    LNFormula() = default;
    LNFormula(const LNString& text) : text_(text) {}
    const LNString& GetText() const { return text_; }

private:
    LNString text_;
};

// A text or text-list item.
class LNText {
public:
    LNINT GetCount() const;
    LNString operator[](LNINT index) const;

private:
    friend class LNDocument;
    std::shared_ptr<const std::vector<std::string>> values_; // UTF-8, as stored
};

// A rich-text item, read as its plain text.
class LNRichText {
public:
    LNSTATUS GetText(LNString* text) const;

private:
    friend class LNDocument;
    std::string text_; // platform text
    bool set_ = false;
};

// A date/time or date/time-list item.
class LNDatetimes {
public:
    LNINT GetCount() const;
    // Every value as the Notes client writes it, joined by the separator.
    LNSTATUS GetText(const LNString& separator, LNString* text) const;

private:
    friend class LNDocument;
    std::shared_ptr<const std::vector<std::string>> values_; // DXL date/time texts
};

class LNAttachment {
public:
    LNString GetAttachmentName() const;
    // Writes the attachment's bytes to the file (platform text path).
    LNSTATUS Detach(const LNString& path) const;

private:
    friend class LNAttachmentArray;
    std::shared_ptr<notes::DatabaseFile> db_;
    std::string name_; // LMBCS
    unsigned long long dataOffset_ = 0;
};

class LNAttachmentArray {
public:
    LNINT GetCount() const;
    LNAttachment operator[](LNINT index) const;

private:
    friend class LNDocument;
    std::shared_ptr<notes::DatabaseFile> db_;
    std::shared_ptr<const notes::ParsedDocument> doc_;
};

class LNDocument {
public:
    LNSTATUS Open(LNINT options = 0);
    LNSTATUS Close();
    bool IsOpen() const;

    LNBOOL HasItem(const LNString& name) const;
    LNSTATUS GetItem(const LNString& name, LNText* item) const;
    LNSTATUS GetItem(const LNString& name, LNRichText* item) const;
    LNSTATUS GetItem(const LNString& name, LNDatetimes* item) const;
    LNBOOL HasAttachments() const;
    LNSTATUS GetAttachments(LNAttachmentArray* attachments) const;

    // The document's universal id and form (for tools and tests).
    LNString GetUniversalID() const;
    LNString GetForm() const;

private:
    friend class LNVFEntry;
    friend class LNDocumentArray;
    std::shared_ptr<notes::DatabaseFile> db_;
    size_t index_ = 0;
    std::shared_ptr<const notes::ParsedDocument> parsed_;
};

class LNDocumentArray {
public:
    LNINT GetCount() const;
    LNDocument operator[](LNINT index) const;

private:
    friend class LNDatabase;
    std::shared_ptr<notes::DatabaseFile> db_;
    std::shared_ptr<const std::vector<size_t>> indexes_;
};

// One entry of a view or folder.
class LNVFEntry {
public:
    LNSTATUS GetDocument(LNDocument* document) const;

private:
    friend class LNViewFolder;
    std::shared_ptr<notes::DatabaseFile> db_;
    std::string unid_;
};

class LNViewFolder {
public:
    LNSTATUS Open(LNINT options = 0);
    LNSTATUS Close();
    LNString GetName() const;
    LNINT GetEntryCount() const;
    LNSTATUS GetEntry(LNINT index, LNVFEntry* entry) const;
    LNBOOL IsFolder() const;

private:
    friend class LNViewFolderArray;
    std::shared_ptr<notes::DatabaseFile> db_;
    size_t index_ = 0;
    bool open_ = false;
};

class LNViewFolderArray {
public:
    LNINT GetCount() const;
    LNViewFolder operator[](LNINT index) const;

private:
    friend class LNDatabase;
    std::shared_ptr<notes::DatabaseFile> db_;
};

class LNDatabase {
public:
    LNSTATUS Open(LNINT options = 0);
    LNSTATUS Close();
    bool IsOpen() const;
    // Every view and folder, in the database's order. The flag (to leave
    // out private ones) is accepted and has no effect: a local file keeps
    // none.
    LNSTATUS GetViewFolders(LNViewFolderArray* array, LNBOOL excludePrivate = false) const;
    // Accepts the formula Form="name"; the search options are ignored.
    LNSTATUS Search(const LNFormula& formula, LNDocumentArray* documents, const void* options = nullptr) const;

private:
    friend class LNNotesSession;
    std::string path_;
    bool sessionReady_ = false;
    std::shared_ptr<notes::DatabaseFile> db_;
};

class LNNotesSession {
public:
    LNNotesSession() = default;
    ~LNNotesSession();
    LNNotesSession(const LNNotesSession&) = delete;
    LNNotesSession& operator=(const LNNotesSession&) = delete;

    LNSTATUS Init(LNINT apiRelease = LNAPI_RELEASE_700, int argc = 0, char** argv = nullptr,
                  const char* iniFile = nullptr);
    LNSTATUS Term(LNINT flags = 0);
    bool IsInitialized() const { return initialized_; }

    // A local database: the server name must be empty.
    LNSTATUS GetDatabase(const LNString& path, LNDatabase* database, const LNString& server = LNString()) const;
    // "CN=John Smith/OU=Sales/O=Acme/C=US" becomes "John Smith/Sales/Acme/US";
    // any other text is left as it is.
    LNSTATUS AbbreviateName(LNString* name) const;

private:
    bool initialized_ = false;
};
