// Views, folders and their entries.
#include "DatabaseFile.h"
#include "Errors.h"
#include "LNNotes.h"
#include "Lmbcs.h"
#include "Platform.h"

using notes::fail;

LNINT LNViewFolderArray::GetCount() const { return db_ ? static_cast<LNINT>(db_->views().size()) : 0; }

LNViewFolder LNViewFolderArray::operator[](LNINT index) const {
    LNViewFolder v;
    if (!db_ || index < 0 || static_cast<size_t>(index) >= db_->views().size()) {
        fail(LNERR_INDEX_OUT_OF_RANGE, "view or folder " + std::to_string(index));
        return v;
    }
    v.db_ = db_;
    v.index_ = static_cast<size_t>(index);
    return v;
}

LNSTATUS LNViewFolder::Open(LNINT) {
    if (!db_)
        return fail(LNERR_NULL_OBJECT, "view or folder");
    open_ = true;
    return LNNOERROR;
}

LNSTATUS LNViewFolder::Close() {
    open_ = false;
    return LNNOERROR;
}

LNString LNViewFolder::GetName() const {
    if (!open_) {
        fail(LNERR_NOT_OPEN, "view or folder");
        return {};
    }
    return LNString(notes::utf8ToLmbcs(db_->views()[index_].name));
}

LNBOOL LNViewFolder::IsFolder() const { return db_ && db_->views()[index_].folder ? 1 : 0; }

LNINT LNViewFolder::GetEntryCount() const {
    if (!open_) {
        fail(LNERR_NOT_OPEN, "view or folder");
        return 0;
    }
    return static_cast<LNINT>(db_->views()[index_].entries.size());
}

LNSTATUS LNViewFolder::GetEntry(LNINT index, LNVFEntry* entry) const {
    if (!open_)
        return fail(LNERR_NOT_OPEN, "view or folder");
    if (!entry)
        return fail(LNERR_NULL_OBJECT, "no entry given");
    const auto& entries = db_->views()[index_].entries;
    if (index < 0 || static_cast<size_t>(index) >= entries.size())
        return fail(LNERR_INDEX_OUT_OF_RANGE, "entry " + std::to_string(index));
    entry->db_ = db_;
    entry->unid_ = entries[static_cast<size_t>(index)];
    return LNNOERROR;
}

LNSTATUS LNVFEntry::GetDocument(LNDocument* document) const {
    if (!db_)
        return fail(LNERR_NULL_OBJECT, "entry");
    if (!document)
        return fail(LNERR_NULL_OBJECT, "no document given");
    long index = db_->findDocument(unid_);
    if (index < 0)
        return fail(LNERR_UNKNOWN_DOCUMENT, unid_);
    document->db_ = db_;
    document->index_ = static_cast<size_t>(index);
    document->parsed_.reset();
    return LNNOERROR;
}

LNINT LNDocumentArray::GetCount() const { return indexes_ ? static_cast<LNINT>(indexes_->size()) : 0; }

LNDocument LNDocumentArray::operator[](LNINT index) const {
    LNDocument d;
    if (!indexes_ || index < 0 || static_cast<size_t>(index) >= indexes_->size()) {
        fail(LNERR_INDEX_OUT_OF_RANGE, "document " + std::to_string(index));
        return d;
    }
    d.db_ = db_;
    d.index_ = (*indexes_)[static_cast<size_t>(index)];
    return d;
}
