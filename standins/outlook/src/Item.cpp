#include "Item.h"

#include "Attachments.h"
#include "ContactFields.h"
#include "Folder.h"
#include "PropertyValues.h"
#include "StoreFailure.h"

#include <windows.h>

#include <algorithm>

namespace outlook {

namespace {

constexpr uint32_t kMessageClass = pst::tag(0x001A, pst::PT_UNICODE);
constexpr uint32_t kMessageFlags = pst::tag(0x0E07, pst::PT_LONG);
constexpr uint32_t kBody = pst::tag(0x1000, pst::PT_UNICODE);
constexpr uint32_t kHtml = pst::tag(0x1013, pst::PT_BINARY);
constexpr uint32_t kSubject = pst::tag(0x0037, pst::PT_UNICODE);
constexpr uint32_t kIconIndex = pst::tag(0x1080, pst::PT_LONG);
constexpr long kFlagRead = 0x01;
constexpr long kFlagUnsent = 0x08;

enum : DISPID {
    kSave = 0xF048, kEntryId = 0xF01E, kClass = 0x1A, kCopy = 0xF032, kMove = 0xF034, kUnRead = 0xF01C,
    kBodyId = 0x9100, kHtmlBody = 0xF404, kAttachments = 0xF815, kSubjectId = 0x37, kDelete = 0xF04A,
};

const wchar_t* classOf(long type) {
    switch (type) {
    case Item::kMail: return L"IPM.Note";
    case Item::kContact: return L"IPM.Contact";
    case Item::kNote: return L"IPM.StickyNote";
    case Item::kPost: return L"IPM.Post";
    }
    return nullptr;
}

DefaultFolder folderOf(long type) {
    switch (type) {
    case Item::kContact: return DefaultFolder::Contacts;
    case Item::kNote: return DefaultFolder::Notes;
    case Item::kPost: return DefaultFolder::Inbox;
    default: return DefaultFolder::Drafts;
    }
}

// The plain text of an HTML body, as Outlook derives one: tags left out,
// the common entities read, line breaks for breaks and paragraphs.
std::wstring plainFromHtml(const std::wstring& html) {
    std::wstring out;
    for (size_t i = 0; i < html.size(); ++i) {
        if (html[i] == L'<') {
            const size_t end = html.find(L'>', i);
            if (end == std::wstring::npos)
                break;
            std::wstring tag = html.substr(i + 1, end - i - 1);
            for (wchar_t& c : tag)
                c = static_cast<wchar_t>(towlower(c));
            if (tag.rfind(L"br", 0) == 0 || tag == L"/p" || tag == L"/div")
                out += L"\r\n";
            i = end;
        } else if (html[i] == L'&') {
            static const struct { const wchar_t* name; wchar_t c; } entities[] = {
                {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&nbsp;", L' '}};
            bool done = false;
            for (const auto& e : entities)
                if (html.compare(i, wcslen(e.name), e.name) == 0) {
                    out += e.c;
                    i += wcslen(e.name) - 1;
                    done = true;
                    break;
                }
            if (!done)
                out += html[i];
        } else {
            out += html[i];
        }
    }
    return out;
}

} // namespace

Item::Item(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid, long type)
    : session_(std::move(session)), store_(&store), nid_(nid), type_(type) {}

tw::ComPtr<Item> Item::createNew(std::shared_ptr<Session> session, long type) {
    const wchar_t* messageClass = classOf(type);
    if (!messageClass)
        throw AutomationError{L"This item type cannot be created here.", E_INVALIDARG};
    OpenStore& store = session->defaultStore();
    auto item = tw::ComPtr<Item>::adopt(new Item(session, store, 0, type));
    item->set_[kMessageClass] = textValue(messageClass);
    item->set_[kMessageFlags] = longValue(kFlagRead | (type == kMail ? kFlagUnsent : 0));
    item->set_[pst::tag(0x3007, pst::PT_SYSTIME)] = nowValue(); // creation
    item->set_[pst::tag(0x3008, pst::PT_SYSTIME)] = nowValue(); // last modification
    item->set_[pst::tag(0x0017, pst::PT_LONG)] = longValue(1);  // normal importance
    item->set_[pst::tag(0x0036, pst::PT_LONG)] = longValue(0);  // normal sensitivity
    if (type == kNote)
        item->set_[kIconIndex] = longValue(0x300);
    item->recipients_ = std::vector<pst::Properties>();
    return item;
}

tw::ComPtr<Item> Item::saved(std::shared_ptr<Session> session, OpenStore& store, uint32_t nid) {
    return tw::ComPtr<Item>::adopt(new Item(std::move(session), store, nid, -1));
}

void Item::checkUsable() const {
    session_->requireRunning();
    if (gone_)
        throw AutomationError{L"The item has been moved or deleted.", E_FAIL};
}

const std::vector<Member>& Item::members() const {
    static const std::vector<Member> list = [] {
        std::vector<Member> m = {
            {L"Save", kSave},           {L"EntryID", kEntryId}, {L"MessageClass", kClass}, {L"Copy", kCopy},
            {L"Move", kMove},           {L"UnRead", kUnRead},   {L"Body", kBodyId},        {L"HTMLBody", kHtmlBody},
            {L"Attachments", kAttachments}, {L"Subject", kSubjectId}, {L"Delete", kDelete},
        };
        for (const ContactField& f : contactFields())
            m.push_back({f.name, f.dispid});
        return m;
    }();
    return list;
}

std::optional<pst::Value> Item::property(uint32_t tag) {
    auto pending = set_.find(tag);
    if (pending != set_.end())
        return pending->second;
    if (removed_.count(tag) || !nid_)
        return std::nullopt;
    if (!stored_) {
        try {
            stored_ = store_->store->messageProperties(nid_);
        } catch (const pst::Error& e) {
            throw storeFailure(e);
        }
    }
    auto it = stored_->find(tag);
    if (it == stored_->end())
        return std::nullopt;
    return it->second;
}

void Item::setProperty(uint32_t tag, pst::Value value) {
    removed_.erase(tag);
    set_[tag] = std::move(value);
}

void Item::removeProperty(uint32_t tag) {
    set_.erase(tag);
    removed_.insert(tag);
}

void Item::setRecipients(std::vector<pst::Properties> rows) { recipients_ = std::move(rows); }

uint16_t Item::namedId(const pst::Guid& set, uint32_t lid) {
    try {
        return store_->store->namedProperty(set, lid);
    } catch (const pst::Error& e) {
        throw storeFailure(e);
    }
}

void Item::putText(uint32_t tag, const std::wstring& text) { setProperty(tag, textValue(text)); }

void Item::addAttachment(const std::wstring& path) {
    const std::wstring full = fullPath(path);
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw AutomationError{L"Cannot add the attachment; the file " + path + L" was not found.", STG_E_FILENOTFOUND};
    uint64_t held = 0;
    for (const PendingAttachment& a : attachments_)
        held += a.heldBytes();
    attachments_.emplace_back(full, path, PendingAttachment::kMostHeld - std::min(held, PendingAttachment::kMostHeld));
    // The release that keeps a file in the secure temporary folder for
    // every attachment it is given.
    const std::wstring version = session_->version();
    if (version.compare(0, 2, L"11") == 0) {
        const std::wstring folder = session_->secureTempFolder();
        if (!folder.empty())
            keepInSecureTemp(folder, full, attachments_.back().fileName());
    }
}

void Item::applyPending(uint32_t nid) {
    pst::Store& store = *store_->store;
    if (!set_.empty() || !removed_.empty())
        store.setProperties(nid, set_, std::vector<uint32_t>(removed_.begin(), removed_.end()));
    if (recipients_)
        store.setRecipients(nid, *recipients_);
    for (const PendingAttachment& a : attachments_)
        store.addAttachment(nid, a.forStore());
}

void Item::applyPending(pst::NewMessage& m) const {
    for (const auto& kv : set_)
        m.properties[kv.first] = kv.second;
    for (uint32_t t : removed_)
        m.properties.erase(t);
    if (recipients_)
        m.recipients = *recipients_;
    for (const PendingAttachment& a : attachments_)
        m.attachments.push_back(a.forStore());
}

void Item::forgetPending() {
    set_.clear();
    removed_.clear();
    recipients_.reset();
    attachments_.clear();
    stored_.reset();
}

void Item::save() {
    try {
        pst::Store& store = *store_->store;
        if (!nid_) {
            pst::NewMessage m;
            applyPending(m);
            nid_ = store.addMessage(session_->defaultFolder(*store_, folderOf(type_)), m);
        } else {
            applyPending(nid_);
        }
        store.commit();
    } catch (const pst::Error& e) {
        throw storeFailure(e);
    }
    forgetPending();
}

tw::ComPtr<Item> Item::copy() {
    if (!nid_)
        save();
    try {
        pst::Store& store = *store_->store;
        // The copy has what the item has now, saved or not, written once;
        // the item's own changes stay waiting for its Save.
        const uint32_t copy =
            store.copyMessage(nid_, store, store.parentOf(nid_), [&](pst::NewMessage& m) { applyPending(m); });
        store.commit();
        return saved(session_, *store_, copy);
    } catch (const pst::Error& e) {
        throw storeFailure(e);
    }
}

void Item::remove() {
    // Outlook's Delete: gone from the store at once, not kept as deleted.
    if (nid_) {
        try {
            store_->store->deleteMessage(nid_);
            store_->store->commit();
        } catch (const pst::Error& e) {
            throw storeFailure(e);
        }
    }
    attachments_.clear();
    gone_ = true;
}

tw::ComPtr<Item> Item::moveTo(Folder& folder) {
    OpenStore& target = folder.store();
    if (&target == store_ || !nid_)
        save();
    try {
        uint32_t moved = nid_;
        if (&target == store_) {
            store_->store->moveMessage(nid_, folder.nid());
            store_->store->commit();
        } else {
            // Outlook saves a changed item as it moves it. Into another
            // store, the saved message and its changes are written there
            // at once rather than saved here first and copied after; the
            // target holds it before it leaves this store.
            moved = store_->store->copyMessage(nid_, *target.store, folder.nid(),
                                               [&](pst::NewMessage& m) { applyPending(m); });
            target.store->commit();
            store_->store->deleteMessage(nid_);
            store_->store->commit();
        }
        gone_ = true;
        forgetPending();
        return saved(session_, target, moved);
    } catch (const pst::Error& e) {
        throw storeFailure(e);
    }
}

void Item::invoke(DISPID id, Args& args, VARIANT* result) {
    switch (id) {
    case kSave:
        save();
        return;
    case kEntryId:
        if (!args.isGet())
            noSuchMember();
        returnText(result, nid_ ? hexText(store_->store->entryId(nid_)) : std::wstring());
        return;
    case kCopy:
        returnObject(result, copy().detach());
        return;
    case kDelete:
        remove();
        return;
    case kMove: {
        auto* folder = dynamic_cast<Folder*>(fromDispatch(args.dispatch(0)));
        if (!folder)
            throw AutomationError{L"The item cannot be moved: the destination is not a folder.", E_INVALIDARG};
        returnObject(result, moveTo(*folder).detach());
        return;
    }
    case kUnRead: {
        if (args.isPut()) {
            std::optional<pst::Value> flags = property(kMessageFlags);
            long f = flags ? flags->int32() : kFlagRead;
            f = variantBoolean(args.putValue()) ? (f & ~kFlagRead) : (f | kFlagRead);
            setProperty(kMessageFlags, longValue(f));
        } else {
            std::optional<pst::Value> flags = property(kMessageFlags);
            returnBoolean(result, flags && !(flags->int32() & kFlagRead));
        }
        return;
    }
    case kAttachments:
        AddRef();
        returnObject(result, Attachments::make(tw::ComPtr<Item>::adopt(this)).detach());
        return;
    case kHtmlBody:
        if (args.isPut()) {
            const std::wstring html = variantText(args.putValue());
            const std::string bytes = utf8(html);
            setProperty(kHtml, binaryValue(std::vector<uint8_t>(bytes.begin(), bytes.end())));
            setProperty(pst::tag(0x3FDE, pst::PT_LONG), longValue(65001)); // the HTML's code page
            putText(kBody, plainFromHtml(html));
        } else {
            std::optional<pst::Value> v = property(kHtml);
            returnText(result, v ? widen(std::string(v->bytes.begin(), v->bytes.end())) : std::wstring());
        }
        return;
    case kClass:
    case kBodyId:
    case kSubjectId: {
        const uint32_t tag = id == kClass ? kMessageClass : id == kBodyId ? kBody : kSubject;
        if (args.isPut()) {
            putText(tag, variantText(args.putValue()));
            if (tag == kBody)
                removeProperty(kHtml);
        } else {
            std::optional<pst::Value> v = property(tag);
            returnText(result, v ? wideText(*v) : std::wstring());
        }
        return;
    }
    }
    for (const ContactField& f : contactFields())
        if (f.dispid == id) {
            if (args.isPut())
                putContactField(*this, f, args.putValue());
            else
                getContactField(*this, f, result);
            return;
        }
    noSuchMember();
}

} // namespace outlook
