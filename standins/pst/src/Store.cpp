#include "pst/Store.h"

#include "Crc.h"
#include "StoreImpl.h"

namespace pst {

Properties toProperties(const PropertyContext& pc) {
    Properties out;
    for (const auto& kv : pc.properties)
        out[tag(kv.first, kv.second.type)] = Value{kv.second.type, kv.second.bytes};
    return out;
}

Properties toProperties(const TableContext::Row& row) {
    Properties out;
    for (const auto& kv : row.cells)
        out[kv.first] = Value{kv.second.type, kv.second.bytes};
    return out;
}

const Value* findValue(const Properties& p, uint32_t t) {
    auto it = p.find(t);
    return it == p.end() ? nullptr : &it->second;
}

NodeEntry Store::Impl::node(uint32_t nid) {
    std::optional<NodeEntry> e = ndb->findNode(nid);
    if (!e)
        throw Error(ErrorKind::NotFound, "no item with the node id " + std::to_string(nid));
    return *e;
}

Properties Store::Impl::properties(uint32_t nid) {
    NodeEntry e = node(nid);
    return toProperties(readPropertyContext(*ndb, e.bidData, ndb->readSubnodes(e.bidSub)));
}

TableContext Store::Impl::table(uint32_t nid) {
    NodeEntry e = node(nid);
    return readTableContext(*ndb, e.bidData, ndb->readSubnodes(e.bidSub));
}

Store::Store(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Store::~Store() = default;

std::unique_ptr<Store> Store::open(const std::string& path, bool writable, const std::string& password) {
    auto impl = std::make_unique<Impl>();
    // A file is checked as a PST before it is opened for writing, so that
    // a file that is not one is never opened that way; nor is a store whose
    // password was not given.
    {
        auto probe = std::make_shared<File>(path, File::Mode::Read);
        Ndb check(probe, false);
        check.findNode(kNidMessageStore);
    }
    if (writable) {
        const uint32_t locked = open(path, false)->passwordCrc();
        if (locked != 0 && passwordCrc(password) != locked)
            throw Error(ErrorKind::Locked, path + " is protected by a password, and " +
                                               (password.empty() ? "none was given" : "the one given is not it"));
    }
    impl->file = std::make_shared<File>(path, writable ? File::Mode::ReadWrite : File::Mode::Read);
    impl->ndb = std::make_unique<Ndb>(impl->file, writable);
    return std::unique_ptr<Store>(new Store(std::move(impl)));
}

Properties Store::storeProperties() { return impl_->properties(kNidMessageStore); }

uint32_t Store::passwordCrc(const std::string& password) {
    return crc(reinterpret_cast<const uint8_t*>(password.data()), password.size());
}

uint32_t Store::passwordCrc() {
    const Properties p = storeProperties();
    const Value* v = findValue(p, kTagPstPassword);
    return v ? static_cast<uint32_t>(v->int32()) : 0;
}

std::string Store::displayName() {
    Properties p = storeProperties();
    const Value* v = findValue(p, tag(0x3001, PT_UNICODE));
    return v ? v->text() : std::string();
}

std::array<uint8_t, 16> Store::recordKey() {
    Properties p = storeProperties();
    const Value* v = findValue(p, tag(0x0FF9, PT_BINARY));
    std::array<uint8_t, 16> key{};
    if (!v || v->bytes.size() != 16)
        throw Error(ErrorKind::Corrupt, "the PST file is damaged: the store has no record key");
    std::copy(v->bytes.begin(), v->bytes.end(), key.begin());
    return key;
}

uint32_t Store::ipmSubtree() {
    Properties p = storeProperties();
    const Value* v = findValue(p, tag(0x35E0, PT_BINARY));
    if (!v || v->bytes.size() < 24)
        throw Error(ErrorKind::Corrupt, "the PST file is damaged: the store names no top folder");
    return v->bytes[20] | (v->bytes[21] << 8) | (v->bytes[22] << 16) | (static_cast<uint32_t>(v->bytes[23]) << 24);
}

FolderInfo Store::folder(uint32_t nid) {
    if (nidType(nid) != kNidTypeFolder)
        throw Error(ErrorKind::Invalid, "not a folder id");
    NodeEntry e = impl_->node(nid);
    Properties p = impl_->properties(nid);
    FolderInfo f;
    f.nid = nid;
    f.parent = e.nidParent;
    if (const Value* v = findValue(p, tag(0x3001, PT_UNICODE)))
        f.name = v->text();
    if (const Value* v = findValue(p, tag(0x3613, PT_UNICODE)))
        f.containerClass = v->text();
    if (const Value* v = findValue(p, tag(0x3602, PT_LONG)))
        f.contentCount = v->int32();
    if (const Value* v = findValue(p, tag(0x3603, PT_LONG)))
        f.unreadCount = v->int32();
    if (const Value* v = findValue(p, tag(0x360A, PT_BOOLEAN)))
        f.hasSubfolders = v->boolean();
    if (impl_->ndb->findNode(tableOf(nid, kNidTypeHierarchyTable)))
        for (const auto& row : impl_->table(tableOf(nid, kNidTypeHierarchyTable)).rows)
            f.subfolders.push_back(row.rowId);
    return f;
}

std::vector<uint32_t> Store::messages(uint32_t folderNid) {
    std::vector<uint32_t> out;
    const uint32_t contents = tableOf(folderNid, kNidTypeContentsTable);
    if (impl_->ndb->findNode(contents))
        for (const auto& row : impl_->table(contents).rows)
            out.push_back(row.rowId);
    return out;
}

Properties Store::messageProperties(uint32_t nid) {
    if (nidType(nid) != kNidTypeMessage)
        throw Error(ErrorKind::Invalid, "not a message");
    return impl_->properties(nid);
}

uint32_t Store::parentOf(uint32_t nid) { return impl_->node(nid).nidParent; }

MessageInfo Store::message(uint32_t nid) {
    NodeEntry e = impl_->node(nid);
    auto subnodes = impl_->ndb->readSubnodes(e.bidSub);
    MessageInfo m;
    m.nid = nid;
    m.folder = e.nidParent;
    m.properties = toProperties(readPropertyContext(*impl_->ndb, e.bidData, subnodes));
    auto recipients = subnodes.find(0x692);
    if (recipients != subnodes.end()) {
        auto sub = impl_->ndb->readSubnodes(recipients->second.bidSub);
        for (const auto& row : readTableContext(*impl_->ndb, recipients->second.bidData, sub).rows)
            m.recipients.push_back(toProperties(row));
    }
    auto attachments = subnodes.find(0x671);
    if (attachments != subnodes.end()) {
        auto sub = impl_->ndb->readSubnodes(attachments->second.bidSub);
        for (const auto& row : readTableContext(*impl_->ndb, attachments->second.bidData, sub).rows) {
            AttachmentInfo a;
            a.nid = row.rowId;
            auto node = subnodes.find(row.rowId);
            if (node != subnodes.end())
                a.properties = toProperties(readPropertyContext(
                    *impl_->ndb, node->second.bidData, impl_->ndb->readSubnodes(node->second.bidSub)));
            else
                a.properties = toProperties(row);
            m.attachments.push_back(std::move(a));
        }
    }
    return m;
}

uint64_t Store::saveAttachment(uint32_t messageNid, uint32_t attachmentNid, const std::string& path) {
    // The value's own subnode is read a block at a time; a small value lives
    // in the attachment's heap and is written whole.
    NodeEntry e = impl_->node(messageNid);
    Subnodes subs = impl_->ndb->readSubnodes(e.bidSub);
    auto node = subs.find(attachmentNid);
    if (node == subs.end())
        throw Error(ErrorKind::NotFound, "no such attachment");
    Heap heap(impl_->ndb->readDataBlocks(node->second.bidData));
    uint32_t hnid = 0;
    bool found = false;
    const Bytes records = readBTree(heap, heap.userRoot(), 2, 6);
    for (size_t at = 0; at < records.size(); at += 8)
        if (u16(records, at) == 0x3701) {
            hnid = u32(records, at + 4);
            found = true;
        }
    if (!found)
        throw Error(ErrorKind::NotFound, "the attachment has no data");
    File out(path, File::Mode::Create);
    uint64_t written = 0;
    if (isHid(hnid)) {
        Bytes data = heap.item(hnid);
        out.write(0, data);
        written = data.size();
    } else {
        Subnodes inner = impl_->ndb->readSubnodes(node->second.bidSub);
        auto value = inner.find(hnid);
        if (value == inner.end())
            throw Error(ErrorKind::Corrupt, "the PST file is damaged: attachment data in a missing subnode");
        impl_->ndb->forEachDataBlock(value->second.bidData, [&](const Bytes& block) {
            out.write(written, block);
            written += block.size();
        });
    }
    out.sync();
    return written;
}

std::vector<uint8_t> Store::attachmentData(uint32_t messageNid, uint32_t attachmentNid) {
    for (const AttachmentInfo& a : message(messageNid).attachments)
        if (a.nid == attachmentNid) {
            const Value* v = findValue(a.properties, tag(0x3701, PT_BINARY));
            return v ? v->bytes : std::vector<uint8_t>();
        }
    throw Error(ErrorKind::NotFound, "no such attachment");
}

} // namespace pst
