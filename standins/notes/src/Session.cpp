// The session and its databases.
#include "DatabaseFile.h"
#include "Errors.h"
#include "LNNotes.h"
#include "Lmbcs.h"
#include "Platform.h"

#include <cctype>
#include <vector>

using notes::fail;

LNNotesSession::~LNNotesSession() { initialized_ = false; }

LNSTATUS LNNotesSession::Init(LNINT apiRelease, int, char**, const char*) {
    if (apiRelease < LNAPI_RELEASE_700)
        return fail(LNERR_RELEASE_NOT_SUPPORTED, std::to_string(apiRelease));
    // As the client's own library, the session needs the client set up:
    // its data directory, where notes.ini and the user's ID live.
    const std::string problem = notes::notesSetUpProblem();
    if (!problem.empty())
        return fail(LNERR_NOTES_NOT_SET_UP, problem);
    initialized_ = true;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::Term(LNINT) {
    initialized_ = false;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::GetDatabase(const LNString& path, LNDatabase* database, const LNString& server) const {
    if (!initialized_)
        return fail(LNERR_NOT_INITIALIZED);
    if (!database)
        return fail(LNERR_NULL_OBJECT, "no database object given");
    if (!server.IsNull())
        return fail(LNERR_SERVER_NOT_SUPPORTED, notes::lmbcsToUtf8(server.GetTextPtr()));
    database->path_ = notes::lmbcsToUtf8(path.GetTextPtr());
    database->sessionReady_ = true;
    database->db_.reset();
    return LNNOERROR;
}

LNSTATUS LNNotesSession::AbbreviateName(LNString* name) const {
    if (!initialized_)
        return fail(LNERR_NOT_INITIALIZED);
    if (!name)
        return fail(LNERR_NULL_OBJECT, "no name given");
    // Canonical: every component KEY=value with KEY one of CN, OU, O, C,
    // the first one CN.
    const std::string text = notes::lmbcsToUtf8(name->GetTextPtr());
    std::vector<std::string> values;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('/', start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t eq = part.find('=');
        if (eq == std::string::npos)
            return LNNOERROR;
        std::string key = part.substr(0, eq);
        for (char& c : key)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (values.empty() ? key != "CN" : (key != "OU" && key != "O" && key != "C"))
            return LNNOERROR;
        values.push_back(part.substr(eq + 1));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::string abbreviated;
    for (size_t i = 0; i < values.size(); ++i)
        abbreviated += (i ? "/" : "") + values[i];
    *name = LNString(notes::utf8ToLmbcs(abbreviated));
    return LNNOERROR;
}

LNSTATUS LNDatabase::Open(LNINT) {
    if (!sessionReady_)
        return fail(LNERR_NOT_INITIALIZED, "the database was not got from a session");
    try {
        db_ = std::make_shared<notes::DatabaseFile>(path_);
    } catch (const notes::DatabaseError& e) {
        return fail(e.code, e.detail);
    } catch (const std::bad_alloc&) {
        return fail(LNERR_DATABASE_DAMAGED, "out of memory while indexing");
    }
    return LNNOERROR;
}

LNSTATUS LNDatabase::Close() {
    db_.reset();
    return LNNOERROR;
}

bool LNDatabase::IsOpen() const { return db_ != nullptr; }

LNSTATUS LNDatabase::GetViewFolders(LNViewFolderArray* array, LNBOOL) const {
    if (!db_)
        return fail(LNERR_NOT_OPEN, "database");
    if (!array)
        return fail(LNERR_NULL_OBJECT, "no array given");
    array->db_ = db_;
    return LNNOERROR;
}

LNSTATUS LNDatabase::Search(const LNFormula& formula, LNDocumentArray* documents, const void*) const {
    if (!db_)
        return fail(LNERR_NOT_OPEN, "database");
    if (!documents)
        return fail(LNERR_NULL_OBJECT, "no array given");
    // Form = "name", blanks allowed around the parts.
    const std::string text = notes::lmbcsToUtf8(formula.GetText().GetTextPtr());
    size_t at = text.find_first_not_of(" \t");
    auto unsupported = [&] { return fail(LNERR_FORMULA_NOT_SUPPORTED, text); };
    if (at == std::string::npos || text.size() - at < 4)
        return unsupported();
    std::string keyword = text.substr(at, 4);
    for (char& c : keyword)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (keyword != "form")
        return unsupported();
    at = text.find_first_not_of(" \t", at + 4);
    if (at == std::string::npos || text[at] != '=')
        return unsupported();
    at = text.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || text[at] != '"')
        return unsupported();
    size_t close = text.find('"', at + 1);
    if (close == std::string::npos || text.find_first_not_of(" \t", close + 1) != std::string::npos)
        return unsupported();
    const std::string form = text.substr(at + 1, close - at - 1);
    auto found = std::make_shared<std::vector<size_t>>();
    const auto& all = db_->documents();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].form == form)
            found->push_back(i);
    documents->db_ = db_;
    documents->indexes_ = found;
    return LNNOERROR;
}
