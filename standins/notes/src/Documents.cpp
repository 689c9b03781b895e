// Documents, their items and attachments.
#include "DatabaseFile.h"
#include "DxlDateTime.h"
#include "Errors.h"
#include "LNNotes.h"
#include "Lmbcs.h"
#include "Platform.h"

using notes::fail;

LNSTATUS LNDocument::Open(LNINT) {
    if (!db_)
        return fail(LNERR_NULL_OBJECT, "document");
    try {
        parsed_ = db_->parseDocument(index_);
    } catch (const notes::DatabaseError& e) {
        return fail(e.code, e.detail);
    } catch (const std::bad_alloc&) {
        return fail(LNERR_DATABASE_DAMAGED, "out of memory while reading the document");
    }
    return LNNOERROR;
}

LNSTATUS LNDocument::Close() {
    parsed_.reset();
    return LNNOERROR;
}

bool LNDocument::IsOpen() const { return parsed_ != nullptr; }

LNString LNDocument::GetUniversalID() const {
    return db_ ? LNString(notes::utf8ToLmbcs(db_->documents()[index_].unid)) : LNString();
}

LNString LNDocument::GetForm() const {
    return db_ ? LNString(notes::utf8ToLmbcs(db_->documents()[index_].form)) : LNString();
}

LNBOOL LNDocument::HasItem(const LNString& name) const {
    if (!parsed_) {
        fail(LNERR_NOT_OPEN, "document");
        return 0;
    }
    return parsed_->find(notes::lmbcsToUtf8(name.GetTextPtr())) ? 1 : 0;
}

namespace {

const notes::Item* findItem(const std::shared_ptr<const notes::ParsedDocument>& doc, const LNString& name,
                            LNSTATUS& status) {
    status = LNNOERROR;
    if (!doc) {
        status = fail(LNERR_NOT_OPEN, "document");
        return nullptr;
    }
    const notes::Item* item = doc->find(notes::lmbcsToUtf8(name.GetTextPtr()));
    if (!item)
        status = fail(LNERR_ITEM_NOT_FOUND, notes::lmbcsToUtf8(name.GetTextPtr()));
    return item;
}

} // namespace

LNSTATUS LNDocument::GetItem(const LNString& name, LNText* text) const {
    LNSTATUS status;
    const notes::Item* item = findItem(parsed_, name, status);
    if (!item)
        return status;
    if (!text)
        return fail(LNERR_NULL_OBJECT, "no text item given");
    if (item->kind != notes::ItemKind::Text)
        return fail(LNERR_ITEM_TYPE, notes::lmbcsToUtf8(name.GetTextPtr()) + " is not text");
    text->values_ = std::make_shared<std::vector<std::string>>(item->values);
    return LNNOERROR;
}

LNSTATUS LNDocument::GetItem(const LNString& name, LNRichText* rich) const {
    LNSTATUS status;
    const notes::Item* item = findItem(parsed_, name, status);
    if (!item)
        return status;
    if (!rich)
        return fail(LNERR_NULL_OBJECT, "no rich text item given");
    // A plain text item reads as rich text too, one line per value.
    if (item->kind != notes::ItemKind::RichText && item->kind != notes::ItemKind::Text)
        return fail(LNERR_ITEM_TYPE, notes::lmbcsToUtf8(name.GetTextPtr()) + " is not rich text");
    std::string joined;
    for (size_t i = 0; i < item->values.size(); ++i)
        joined += (i ? "\r\n" : "") + item->values[i];
    rich->text_ = notes::utf8ToLmbcs(joined);
    rich->set_ = true;
    return LNNOERROR;
}

LNSTATUS LNDocument::GetItem(const LNString& name, LNDatetimes* dates) const {
    LNSTATUS status;
    const notes::Item* item = findItem(parsed_, name, status);
    if (!item)
        return status;
    if (!dates)
        return fail(LNERR_NULL_OBJECT, "no date/time item given");
    if (item->kind != notes::ItemKind::DateTime)
        return fail(LNERR_ITEM_TYPE, notes::lmbcsToUtf8(name.GetTextPtr()) + " is not a date/time");
    for (const std::string& v : item->values)
        if (!notes::parseDxlDateTime(v))
            return fail(LNERR_DATABASE_DAMAGED, "date/time value '" + v + "'");
    dates->values_ = std::make_shared<std::vector<std::string>>(item->values);
    return LNNOERROR;
}

LNBOOL LNDocument::HasAttachments() const {
    if (!parsed_) {
        fail(LNERR_NOT_OPEN, "document");
        return 0;
    }
    return parsed_->attachments.empty() ? 0 : 1;
}

LNSTATUS LNDocument::GetAttachments(LNAttachmentArray* attachments) const {
    if (!parsed_)
        return fail(LNERR_NOT_OPEN, "document");
    if (!attachments)
        return fail(LNERR_NULL_OBJECT, "no array given");
    attachments->db_ = db_;
    attachments->doc_ = parsed_;
    return LNNOERROR;
}

LNINT LNText::GetCount() const { return values_ ? static_cast<LNINT>(values_->size()) : 0; }

LNString LNText::operator[](LNINT index) const {
    if (!values_ || index < 0 || static_cast<size_t>(index) >= values_->size()) {
        fail(LNERR_INDEX_OUT_OF_RANGE, "text value " + std::to_string(index));
        return {};
    }
    return LNString(notes::utf8ToLmbcs((*values_)[static_cast<size_t>(index)]));
}

LNSTATUS LNRichText::GetText(LNString* text) const {
    if (!set_)
        return fail(LNERR_NULL_OBJECT, "rich text");
    if (!text)
        return fail(LNERR_NULL_OBJECT, "no text given");
    *text = LNString(text_);
    return LNNOERROR;
}

LNINT LNDatetimes::GetCount() const { return values_ ? static_cast<LNINT>(values_->size()) : 0; }

LNSTATUS LNDatetimes::GetText(const LNString& separator, LNString* text) const {
    if (!values_)
        return fail(LNERR_NULL_OBJECT, "date/time item");
    if (!text)
        return fail(LNERR_NULL_OBJECT, "no text given");
    std::string joined;
    for (size_t i = 0; i < values_->size(); ++i) {
        if (i)
            joined += separator.GetTextPtr();
        // Written in the platform's text, as the client writes dates.
        const std::u16string date =
            notes::platformToUtf16(notes::renderDxlDateTime(*notes::parseDxlDateTime((*values_)[i])));
        joined += notes::utf16ToLmbcs(date.data(), date.size());
    }
    *text = LNString(joined);
    return LNNOERROR;
}

LNINT LNAttachmentArray::GetCount() const { return doc_ ? static_cast<LNINT>(doc_->attachments.size()) : 0; }

LNAttachment LNAttachmentArray::operator[](LNINT index) const {
    LNAttachment a;
    if (!doc_ || index < 0 || static_cast<size_t>(index) >= doc_->attachments.size()) {
        fail(LNERR_INDEX_OUT_OF_RANGE, "attachment " + std::to_string(index));
        return a;
    }
    const notes::AttachmentRecord& r = doc_->attachments[static_cast<size_t>(index)];
    a.db_ = db_;
    a.name_ = notes::utf8ToLmbcs(r.name);
    a.dataOffset_ = r.dataOffset;
    return a;
}

LNString LNAttachment::GetAttachmentName() const { return LNString(name_); }

LNSTATUS LNAttachment::Detach(const LNString& path) const {
    if (!db_)
        return fail(LNERR_NULL_OBJECT, "attachment");
    try {
        db_->detach(dataOffset_, notes::lmbcsToUtf8(path.GetTextPtr()));
    } catch (const notes::DatabaseError& e) {
        return fail(e.code, e.detail);
    }
    return LNNOERROR;
}
