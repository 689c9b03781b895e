// Changing what a store holds: properties of folders and messages, a
// message's recipients and attachments, copies, moves and deletions; with
// the folder counts and table rows that repeat those values kept in step.
#include "StoreImpl.h"
#include "TableEditor.h"
#include "Templates.h"

#include <algorithm>

namespace pst {

namespace {

constexpr uint32_t kFlagsTag = tag(0x0E07, PT_LONG);

Value longValue(int32_t v) {
    Value out{PT_LONG, {}};
    for (int i = 0; i < 4; ++i)
        out.bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return out;
}

bool isUnread(const Properties& p) {
    const Value* f = findValue(p, kFlagsTag);
    return f && (f->int32() & kMsgFlagRead) == 0;
}


} // namespace

namespace {

// Rewrites a message's property context, keeping its table subnodes (and
// attachment subnodes) as they are.
void rewriteMessage(Store::Impl& s, uint32_t nid, const Properties& props, const Subnodes& tables) {
    NodeEntry e = s.node(nid);
    // The kept subnodes gain a holder before the old list lets go of them.
    for (const auto& kv : tables) {
        if (kv.second.bidData)
            s.ndb->addRef(kv.second.bidData);
        if (kv.second.bidSub)
            s.ndb->addRef(kv.second.bidSub);
    }
    WrittenNode w = writePropertyContext(*s.ndb, props, tables);
    s.replaceNode(nid, e.nidParent, w);
}

// The subnodes of a message that are not property values.
Subnodes structuralSubnodes(Store::Impl& s, uint32_t nid) {
    Subnodes all = s.ndb->readSubnodes(s.node(nid).bidSub);
    Subnodes kept;
    for (const auto& kv : all)
        if (kv.first == kNidRecipientTable || kv.first == kNidAttachmentTable ||
            nidType(kv.first) == kNidTypeAttachment)
            kept[kv.first] = kv.second;
    return kept;
}

void updateContentsRow(Store::Impl& s, uint32_t folder, uint32_t nid, const Properties& props) {
    TableEditor contents(*s.ndb, tableOf(folder, kNidTypeContentsTable));
    Properties cells = rowFrom(props, contents.columns());
    cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(s.ndb->nextUnique()));
    contents.updateRow(nid, cells);
    contents.commit();
}

// Takes a message's row out of its folder's contents table in place.
void removeContentsRow(Store::Impl& s, uint32_t folder, uint32_t nid) {
    TableEditor contents(*s.ndb, tableOf(folder, kNidTypeContentsTable));
    if (contents.removeRow(nid))
        contents.commit();
}

void adjustCounts(Store::Impl& s, uint32_t folder, int items, int unread) {
    if (items == 0 && unread == 0)
        return;
    s.updateFolder(folder, [&](Properties& f) {
        const Value* count = findValue(f, tag(0x3602, PT_LONG));
        const Value* unreadCount = findValue(f, tag(0x3603, PT_LONG));
        f[tag(0x3602, PT_LONG)] = longValue(std::max(0, (count ? count->int32() : 0) + items));
        f[tag(0x3603, PT_LONG)] = longValue(std::max(0, (unreadCount ? unreadCount->int32() : 0) + unread));
    });
}

} // namespace

void Store::setProperties(uint32_t nid, const Properties& set, const std::vector<uint32_t>& remove) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    if (nidType(nid) == kNidTypeFolder) {
        s.updateFolder(nid, [&](Properties& p) {
            for (uint32_t t : remove)
                p.erase(t);
            for (const auto& kv : set)
                p[kv.first] = kv.second;
        });
        return;
    }
    if (nidType(nid) != kNidTypeMessage)
        throw Error(ErrorKind::Invalid, "only folders and messages have properties to change");
    NodeEntry e = s.node(nid);
    Properties p = s.properties(nid);
    const bool wasUnread = isUnread(p);
    for (uint32_t t : remove)
        p.erase(t);
    for (const auto& kv : set)
        p[kv.first] = kv.second;
    rewriteMessage(s, nid, p, structuralSubnodes(s, nid));
    updateContentsRow(s, e.nidParent, nid, p);
    const bool nowUnread = isUnread(p);
    if (wasUnread != nowUnread)
        adjustCounts(s, e.nidParent, 0, nowUnread ? 1 : -1);
}

void Store::setStoreProperties(const Properties& set) {
    Impl::Guard guard(*impl_);
    Properties p = impl_->properties(kNidMessageStore);
    for (const auto& kv : set)
        p[kv.first] = kv.second;
    impl_->writeProperties(kNidMessageStore, 0, p);
}

uint32_t Store::addAttachment(uint32_t message, const NewAttachment& a) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    Ndb& ndb = *s.ndb;
    NodeEntry e = s.node(message);
    Subnodes tables = structuralSubnodes(s, message);
    uint32_t index = kFirstAttachmentIndex;
    while (tables.count(makeNid(kNidTypeAttachment, index)))
        ++index;
    const uint32_t anid = makeNid(kNidTypeAttachment, index);
    Properties ap;
    WrittenNode w = writeAttachment(ndb, a, ap);
    // The attachment table with one row more.
    std::vector<TableRow> rows;
    auto table = tables.find(kNidAttachmentTable);
    if (table != tables.end()) {
        for (const auto& r : readTableContext(ndb, table->second.bidData, ndb.readSubnodes(table->second.bidSub)).rows)
            rows.push_back({r.rowId, toProperties(r)});
    }
    TableRow row{anid, rowFrom(ap, attachmentColumns())};
    row.cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb.nextUnique()));
    rows.push_back(std::move(row));
    WrittenNode t = writeTableContext(ndb, attachmentColumns(), rows);
    // The new table replaces the old one, whose blocks go with the old
    // subnode list.
    Subnodes kept = tables;
    kept[kNidAttachmentTable] = {kNidAttachmentTable, t.bidData, t.bidSub};
    kept[anid] = {anid, w.bidData, w.bidSub};
    Properties p = s.properties(message);
    const Value* flags = findValue(p, kFlagsTag);
    p[kFlagsTag] = longValue((flags ? flags->int32() : 0) | static_cast<int32_t>(kMsgFlagHasAttach));
    // New subnodes hold their blocks once already; only the old ones gain a holder.
    for (const auto& kv : tables)
        if (kv.first != kNidAttachmentTable) {
            if (kv.second.bidData)
                ndb.addRef(kv.second.bidData);
            if (kv.second.bidSub)
                ndb.addRef(kv.second.bidSub);
        }
    s.replaceNode(message, e.nidParent, writePropertyContext(ndb, p, kept));
    updateContentsRow(s, e.nidParent, message, p);
    return anid;
}

void Store::setRecipients(uint32_t message, const std::vector<Properties>& recipients) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    Ndb& ndb = *s.ndb;
    NodeEntry e = s.node(message);
    Subnodes tables = structuralSubnodes(s, message);
    std::vector<TableRow> rows;
    for (size_t i = 0; i < recipients.size(); ++i) {
        TableRow row{static_cast<uint32_t>(i), rowFrom(recipients[i], recipientColumns())};
        row.cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb.nextUnique()));
        rows.push_back(std::move(row));
    }
    WrittenNode t = writeTableContext(ndb, recipientColumns(), rows);
    for (const auto& kv : tables)
        if (kv.first != kNidRecipientTable) {
            if (kv.second.bidData)
                ndb.addRef(kv.second.bidData);
            if (kv.second.bidSub)
                ndb.addRef(kv.second.bidSub);
        }
    tables[kNidRecipientTable] = {kNidRecipientTable, t.bidData, t.bidSub};
    s.replaceNode(message, e.nidParent, writePropertyContext(ndb, s.properties(message), tables));
}

uint32_t Store::copyMessage(uint32_t message, uint32_t folder) { return copyMessage(message, *this, folder); }

uint32_t Store::copyMessage(uint32_t message, Store& target, uint32_t folder) {
    return copyMessage(message, target, folder, nullptr);
}

uint32_t Store::copyMessage(uint32_t message, Store& target, uint32_t folder,
                            const std::function<void(NewMessage&)>& amend) {
    Impl::Guard guard(*target.impl_);
    MessageInfo m = this->message(message);
    NewMessage copy;
    copy.properties = m.properties;
    copy.recipients = m.recipients;
    for (const AttachmentInfo& a : m.attachments) {
        NewAttachment na;
        const Value* name = findValue(a.properties, tag(0x3707, PT_UNICODE));
        if (!name)
            name = findValue(a.properties, tag(0x3704, PT_UNICODE));
        if (!name)
            name = findValue(a.properties, tag(0x3001, PT_UNICODE));
        na.fileName = name ? name->text() : std::string();
        const Value* data = findValue(a.properties, tag(0x3701, PT_BINARY));
        if (data)
            na.data = data->bytes;
        na.properties = a.properties;
        copy.attachments.push_back(std::move(na));
    }
    if (amend)
        amend(copy);
    if (&target != this) {
        // Named properties have ids of each store's own: the same name gets
        // the target's id; one whose name this store does not know is left
        // out rather than given a meaning it does not have there.
        std::map<uint16_t, std::optional<uint16_t>> ids;
        auto remap = [&](Properties& props) {
            Properties out;
            for (auto& kv : props) {
                const uint16_t id = static_cast<uint16_t>(kv.first >> 16);
                if (id < kNamedPropertyFirst) {
                    out.emplace(kv.first, std::move(kv.second));
                    continue;
                }
                auto known = ids.find(id);
                if (known == ids.end()) {
                    std::optional<uint16_t> to;
                    if (std::optional<PropertyName> n = propertyName(id))
                        to = n->name.empty() ? target.namedProperty(n->set, n->lid)
                                             : target.namedProperty(n->set, n->name);
                    known = ids.emplace(id, to).first;
                }
                if (known->second)
                    out.emplace(tag(*known->second, static_cast<uint16_t>(kv.first & 0xFFFF)), std::move(kv.second));
            }
            props = std::move(out);
        };
        remap(copy.properties);
        for (Properties& r : copy.recipients)
            remap(r);
        for (NewAttachment& a : copy.attachments)
            remap(a.properties);
    }
    return target.addMessage(folder, copy);
}

uint32_t Store::moveMessage(uint32_t message, Store& target, uint32_t folder) {
    Impl::Guard guard(*impl_);
    if (&target == this) {
        moveMessage(message, folder);
        return message;
    }
    // Copied first and deleted after: an interruption between the two
    // leaves the message in both stores, never in neither.
    const uint32_t copy = copyMessage(message, target, folder);
    target.commit();
    deleteMessage(message);
    return copy;
}

void Store::moveMessage(uint32_t message, uint32_t folder) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    if (nidType(folder) != kNidTypeFolder)
        throw Error(ErrorKind::Invalid, "a message can be moved only to a folder");
    s.node(folder);
    NodeEntry e = s.node(message);
    if (e.nidParent == folder)
        return;
    Properties p = s.properties(message);
    const bool unread = isUnread(p);
    removeContentsRow(s, e.nidParent, message);
    adjustCounts(s, e.nidParent, -1, unread ? -1 : 0);
    s.ndb->putNode({message, e.bidData, e.bidSub, folder});
    {
        TableEditor contents(*s.ndb, tableOf(folder, kNidTypeContentsTable));
        Properties cells = rowFrom(p, contents.columns());
        cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(s.ndb->nextUnique()));
        contents.appendRow(message, cells);
        contents.commit();
    }
    adjustCounts(s, folder, 1, unread ? 1 : 0);
}

void Store::deleteMessage(uint32_t message) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    NodeEntry e = s.node(message);
    if (nidType(message) != kNidTypeMessage)
        throw Error(ErrorKind::Invalid, "not a message");
    const bool unread = isUnread(s.properties(message));
    removeContentsRow(s, e.nidParent, message);
    adjustCounts(s, e.nidParent, -1, unread ? -1 : 0);
    s.ndb->removeNode(message);
    s.ndb->release(e.bidData);
    s.ndb->release(e.bidSub);
}

std::vector<uint8_t> Store::entryId(uint32_t nid) { return impl_->entryId(nid); }

std::optional<uint32_t> Store::nidFromEntryId(const std::vector<uint8_t>& id) {
    if (id.size() != 24 || id[0] || id[1] || id[2] || id[3])
        return std::nullopt;
    std::array<uint8_t, 16> key = recordKey();
    if (!std::equal(key.begin(), key.end(), id.begin() + 4))
        return std::nullopt;
    const uint32_t nid = id[20] | (id[21] << 8) | (id[22] << 16) | (static_cast<uint32_t>(id[23]) << 24);
    if (!impl_->ndb->findNode(nid))
        return std::nullopt;
    return nid;
}

std::optional<uint32_t> Store::findSubfolder(uint32_t parent, const std::string& name) {
    for (uint32_t child : folder(parent).subfolders)
        if (nidType(child) == kNidTypeFolder && folder(child).name == name)
            return child;
    return std::nullopt;
}

} // namespace pst
