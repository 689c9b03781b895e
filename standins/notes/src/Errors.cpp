#include "Errors.h"
#include "Lmbcs.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace notes {

namespace {

std::atomic<bool> g_throwAll{false};

struct LastError {
    LNSTATUS code = 0;
    std::string detail;
};
thread_local LastError t_last;

const char* baseText(LNSTATUS code) {
    switch (code) {
    case LNNOERROR: return "No error.";
    case LNERR_NOT_INITIALIZED: return "The Notes session is not initialised.";
    case LNERR_FILE_NOT_FOUND: return "The database file does not exist.";
    case LNERR_FILE_OPEN: return "The database file cannot be opened.";
    case LNERR_NOT_A_DATABASE: return "The file is not a Notes database.";
    case LNERR_DATABASE_DAMAGED: return "The database is damaged.";
    case LNERR_SERVER_NOT_SUPPORTED: return "Only local databases can be opened (the server name must be empty).";
    case LNERR_NOT_OPEN: return "The object is not open.";
    case LNERR_INDEX_OUT_OF_RANGE: return "The index is out of range.";
    case LNERR_UNKNOWN_DOCUMENT: return "The view or folder lists a document that is not in the database.";
    case LNERR_ITEM_NOT_FOUND: return "The document has no item of that name.";
    case LNERR_ITEM_TYPE: return "The item is not of the type asked for.";
    case LNERR_FORMULA_NOT_SUPPORTED: return "Only formulas of the form Form=\"name\" are supported.";
    case LNERR_ATTACHMENT_DAMAGED: return "The attachment's data is damaged.";
    case LNERR_DETACH_WRITE: return "The attachment cannot be written to the file.";
    case LNERR_NULL_OBJECT: return "The object does not refer to anything.";
    case LNERR_RELEASE_NOT_SUPPORTED: return "This API release is not supported.";
    case LNERR_NOTES_NOT_SET_UP: return "Notes is not set up for this user: its data directory cannot be found.";
    default: return "Unknown error.";
    }
}

} // namespace

LNSTATUS fail(LNSTATUS code, const std::string& detail) {
    t_last.code = code;
    t_last.detail = detail;
    if (g_throwAll.load())
        throw code;
    return code;
}

} // namespace notes

void LNSetThrowAllErrorsGlobal(LNBOOL throwAll) { notes::g_throwAll.store(throwAll != 0); }

LNBOOL LNGetThrowAllErrorsGlobal() { return notes::g_throwAll.load() ? 1 : 0; }

LNINT LNGetErrorMessageText(LNSTATUS error, char* buffer, LNINT bufferLength) {
    if (!buffer || bufferLength <= 0)
        return 0;
    std::string utf8 = notes::baseText(error);
    if (notes::t_last.code == error && !notes::t_last.detail.empty())
        utf8 += " (" + notes::t_last.detail + ")";
    const std::string text = notes::utf8ToLmbcs(utf8);
    // Whole characters only.
    size_t n = 0;
    while (n < text.size()) {
        const size_t next = n + notes::lmbcsCharLength(static_cast<unsigned char>(text[n]));
        if (next > static_cast<size_t>(bufferLength - 1))
            break;
        n = next;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<LNINT>(n);
}
