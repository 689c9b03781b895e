// The writing half of a store: a new store with Outlook's scaffold, new
// folders, new messages, each change keeping every copy of a value in step
// (a folder's counts in its own properties and in its parent's table, a
// message's columns in its folder's contents table).
#include "StoreImpl.h"

#include "AnsiText.h"
#include "TableEditor.h"
#include "Templates.h"

#include <chrono>
#include <random>

namespace pst {

namespace {

Value longValue(int32_t v) {
    Value out{PT_LONG, {}};
    for (int i = 0; i < 4; ++i)
        out.bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return out;
}

Value boolValue(bool b) { return {PT_BOOLEAN, {static_cast<uint8_t>(b ? 1 : 0), 0, 0, 0}}; }

Value stringValue(const std::string& s) { return {PT_UNICODE, utf16le(s)}; }

Value binaryValue(const std::vector<uint8_t>& b) { return {PT_BINARY, b}; }

Value timeValue(int64_t filetime) {
    Value out{PT_SYSTIME, {}};
    for (int i = 0; i < 8; ++i)
        out.bytes.push_back(static_cast<uint8_t>(static_cast<uint64_t>(filetime) >> (8 * i)));
    return out;
}

int64_t nowFiletime() {
    using namespace std::chrono;
    int64_t unix100ns = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return unix100ns + 116444736000000000LL;
}

std::vector<uint8_t> randomBytes(size_t n) {
    // Search and record keys need only be unique: a generator seeded once
    // per thread from the system's randomness (asking the system for every
    // byte cost a call into it each, several per message).
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; i += 8) {
        const uint64_t bits = generator();
        for (size_t k = 0; k < 8 && i + k < n; ++k)
            out[i + k] = static_cast<uint8_t>(bits >> (8 * k));
    }
    return out;
}


std::vector<TableRow> rowsOf(const TableContext& tc) {
    std::vector<TableRow> rows;
    for (const auto& r : tc.rows)
        rows.push_back({r.rowId, toProperties(r)});
    return rows;
}

// An attachment's data written straight into blocks, whatever its size,
// and the data tree over them. `read(at, n)` answers where the `n` bytes
// of the data from `at` on are to be found.
template <typename Read>
uint64_t writeAttachmentBlocks(Ndb& ndb, uint64_t size, Read&& read) {
    std::vector<std::pair<uint64_t, size_t>> blocks;
    const size_t most = ndb.format().maxBlockData();
    // Read a few hundred blocks at a time, written one by one.
    constexpr size_t kBlocksPerRead = 128;
    for (uint64_t at = 0; at < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(most * kBlocksPerRead, size - at));
        const uint8_t* data = read(at, n);
        for (size_t done = 0; done < n; done += most) {
            const size_t cb = std::min(most, n - done);
            blocks.emplace_back(ndb.writeBlock(data + done, cb, false), cb);
        }
        at += n;
    }
    return ndb.writeDataTree(blocks);
}

} // namespace

WrittenNode writeAttachment(Ndb& ndb, const NewAttachment& a, Properties& ap) {
    ap = a.properties;
    ap[tag(0x3001, PT_UNICODE)] = stringValue(a.fileName);
    ap[tag(0x3704, PT_UNICODE)] = stringValue(a.fileName);
    ap[tag(0x3707, PT_UNICODE)] = stringValue(a.fileName);
    ap[tag(0x3705, PT_LONG)] = longValue(1); // by value
    ap[tag(0x370B, PT_LONG)] = longValue(-1);
    if (a.sourcePath.empty() && !a.sharedData) {
        ap[tag(0x0E20, PT_LONG)] = longValue(static_cast<int32_t>(a.data.size()));
        ap[tag(0x3701, PT_BINARY)] = binaryValue(a.data);
        return writePropertyContext(ndb, ap);
    }
    // Block by block from the file or the shared bytes, whatever the size.
    uint64_t size = 0, bidData = 0;
    if (a.sharedData) {
        size = a.sharedSize;
        bidData = writeAttachmentBlocks(ndb, size, [&](uint64_t at, size_t) { return a.sharedData.get() + at; });
    } else {
        File source(a.sourcePath, File::Mode::Read);
        size = source.size();
        Bytes& chunk = ndb.readBuffer();
        bidData = writeAttachmentBlocks(ndb, size, [&](uint64_t at, size_t n) {
            if (chunk.size() < n)
                chunk.resize(n);
            source.read(at, chunk.data(), n);
            return chunk.data();
        });
    }
    ap[tag(0x0E20, PT_LONG)] = longValue(static_cast<int32_t>(std::min<uint64_t>(size, 0x7FFFFFFF)));
    std::map<uint32_t, SubnodeEntry> external;
    if (bidData) {
        const uint32_t nid = makeNid(kNidTypeLtp, kFirstLtpIndex + 1);
        external[tag(0x3701, PT_BINARY)] = {nid, bidData, 0};
    } else {
        ap[tag(0x3701, PT_BINARY)] = binaryValue({});
    }
    return writePropertyContext(ndb, ap, {}, external);
}

void Store::Impl::replaceNode(uint32_t nid, uint32_t parent, const WrittenNode& written) {
    std::optional<NodeEntry> old = ndb->findNode(nid);
    ndb->putNode({nid, written.bidData, written.bidSub, parent});
    if (old) {
        ndb->release(old->bidData);
        ndb->release(old->bidSub);
    }
}

void Store::Impl::writeProperties(uint32_t nid, uint32_t parent, const Properties& props) {
    replaceNode(nid, parent, writePropertyContext(*ndb, props));
}

void Store::Impl::changeTable(uint32_t tableNid, const std::function<void(std::vector<TableRow>&)>& change) {
    TableContext tc = table(tableNid);
    std::vector<TableRow> rows = rowsOf(tc);
    change(rows);
    replaceNode(tableNid, 0, writeTableContext(*ndb, tc.columns, rows));
}

void Store::Impl::updateFolder(uint32_t folder, const std::function<void(Properties&)>& change) {
    NodeEntry e = node(folder);
    Properties props = properties(folder);
    change(props);
    writeProperties(folder, e.nidParent, props);
    if (e.nidParent == folder)
        return; // the root folder has no row anywhere
    // Its row in the parent's hierarchy table, changed in place: the
    // folder's counts change with every message added or taken away.
    TableEditor hierarchy(*ndb, tableOf(e.nidParent, kNidTypeHierarchyTable));
    std::optional<Properties> keep = hierarchy.rowCells(folder);
    if (!keep)
        return;
    Properties cells = rowFrom(props, hierarchy.columns());
    cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb->nextUnique()));
    for (const auto& kv : *keep)
        if (!props.count(kv.first) && !cells.count(kv.first))
            cells[kv.first] = kv.second;
    hierarchy.updateRow(folder, cells);
    hierarchy.commit();
}

std::vector<uint8_t> Store::Impl::entryId(uint32_t nid) {
    Properties store = properties(kNidMessageStore);
    const Value* key = findValue(store, tag(0x0FF9, PT_BINARY));
    std::vector<uint8_t> id(4, 0);
    if (key)
        id.insert(id.end(), key->bytes.begin(), key->bytes.end());
    for (int i = 0; i < 4; ++i)
        id.push_back(static_cast<uint8_t>(nid >> (8 * i)));
    return id;
}

std::unique_ptr<Store> Store::create(const std::string& path, const std::string& displayName) {
    auto impl = std::make_unique<Impl>();
    impl->file = std::make_shared<File>(path, File::Mode::Create);
    impl->ndb = Ndb::create(impl->file, {});
    Ndb& ndb = *impl->ndb;

    // Templates first: new folders' tables share their blocks.
    auto emptyTable = [&](uint32_t nid, const std::vector<Column>& columns) {
        impl->replaceNode(nid, 0, writeTableContext(ndb, columns, {}));
    };
    emptyTable(kNidHierarchyTemplate, hierarchyColumns());
    emptyTable(kNidContentsTemplate, contentsColumns());
    emptyTable(kNidAssocTemplate, assocContentsColumns());
    emptyTable(kNidSearchContentsTemplate, searchContentsColumns());
    emptyTable(kNidAttachmentTemplate, attachmentColumns());
    emptyTable(kNidRecipientTemplate, recipientColumns());
    for (const auto& t : otherTemplates())
        emptyTable(t.first, t.second);
    // The receive folder table: one row, for every message class.
    {
        TableRow row{1, {}};
        row.cells[tag(0x001A, PT_UNICODE)] = stringValue("");
        row.cells[tag(0x6605, PT_LONG)] = longValue(static_cast<int32_t>(kNidIpmSubtree));
        row.cells[kTagLtpRowVersion] = longValue(1);
        impl->replaceNode(kNidReceiveFolders, 0, writeTableContext(ndb, receiveFolderColumns(), {row}));
    }

    // The store and its name-to-id map.
    const std::vector<uint8_t> recordKey = randomBytes(16);
    auto folderId = [&](uint32_t nid) {
        std::vector<uint8_t> id(4, 0);
        id.insert(id.end(), recordKey.begin(), recordKey.end());
        for (int i = 0; i < 4; ++i)
            id.push_back(static_cast<uint8_t>(nid >> (8 * i)));
        return id;
    };
    Properties store;
    store[tag(0x0FF9, PT_BINARY)] = binaryValue(recordKey);
    store[tag(0x3001, PT_UNICODE)] = stringValue(displayName);
    store[tag(0x35DF, PT_LONG)] = longValue(0x89);
    store[tag(0x35E0, PT_BINARY)] = binaryValue(folderId(kNidIpmSubtree));
    store[tag(0x35E3, PT_BINARY)] = binaryValue(folderId(kNidDeletedItems));
    store[tag(0x35E7, PT_BINARY)] = binaryValue(folderId(kNidSearchRoot));
    store[tag(0x0E38, PT_LONG)] = longValue(0);
    store[tag(0x6633, PT_BOOLEAN)] = boolValue(true);
    store[tag(0x66FA, PT_LONG)] = longValue(0x000E0011);
    store[tag(0x67FF, PT_LONG)] = longValue(0); // no password
    impl->writeProperties(kNidMessageStore, 0, store);

    Properties names;
    names[tag(0x0001, PT_LONG)] = longValue(kNameBucketCount);
    names[tag(0x0002, PT_BINARY)] = binaryValue({});
    names[tag(0x0003, PT_BINARY)] = binaryValue({});
    names[tag(0x0004, PT_BINARY)] = binaryValue({});
    impl->writeProperties(kNidNameToIdMap, 0, names);

    // Search management nodes, empty.
    for (uint32_t nid : {kNidSearchQueue, kNidSearchActivity, kNidSearchDomain, 0x2226u})
        ndb.putNode({nid, 0, 0, 0});

    // Folders: the root, and under it the IPM subtree, the search root and
    // the spam search folder; Deleted Items under the IPM subtree.
    auto folderProps = [&](const std::string& name, bool hasChildren) {
        Properties p;
        p[tag(0x3001, PT_UNICODE)] = stringValue(name);
        p[tag(0x3602, PT_LONG)] = longValue(0);
        p[tag(0x3603, PT_LONG)] = longValue(0);
        p[tag(0x360A, PT_BOOLEAN)] = boolValue(hasChildren);
        return p;
    };
    auto folderTables = [&](uint32_t nid, const std::vector<TableRow>& children) {
        impl->replaceNode(tableOf(nid, kNidTypeHierarchyTable), 0,
                          writeTableContext(ndb, hierarchyColumns(), children));
        for (auto [type, templ] : {std::pair<uint32_t, uint32_t>{kNidTypeContentsTable, kNidContentsTemplate},
                                   {kNidTypeAssocContentsTable, kNidAssocTemplate}}) {
            NodeEntry t = impl->node(templ);
            ndb.addRef(t.bidData);
            ndb.putNode({tableOf(nid, type), t.bidData, 0, 0});
        }
    };
    auto childRow = [&](uint32_t nid, const Properties& p) {
        TableRow row{nid, rowFrom(p, hierarchyColumns())};
        row.cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb.nextUnique()));
        return row;
    };
    Properties root = folderProps("", true);
    Properties ipm = folderProps("Top of Personal Folders", true);
    Properties searchRoot = folderProps("Search Root", false);
    Properties spam = folderProps("SPAM Search Folder 2", false);
    Properties deleted = folderProps("Deleted Items", false);
    deleted[tag(0x3004, PT_UNICODE)] = stringValue("Deleted Items folder");

    impl->writeProperties(kNidRootFolder, kNidRootFolder, root);
    folderTables(kNidRootFolder,
                 {childRow(kNidSpamFolder, spam), childRow(kNidIpmSubtree, ipm), childRow(kNidSearchRoot, searchRoot)});
    impl->writeProperties(kNidIpmSubtree, kNidRootFolder, ipm);
    folderTables(kNidIpmSubtree, {childRow(kNidDeletedItems, deleted)});
    impl->writeProperties(kNidSearchRoot, kNidRootFolder, searchRoot);
    folderTables(kNidSearchRoot, {});
    impl->writeProperties(kNidDeletedItems, kNidIpmSubtree, deleted);
    folderTables(kNidDeletedItems, {});
    impl->writeProperties(kNidSpamFolder, kNidRootFolder, spam);
    {
        Properties criteria;
        criteria[tag(0x660B, PT_LONG)] = longValue(0);
        impl->writeProperties(0x2227, 0, criteria);
        impl->replaceNode(0x2230, 0, writeTableContext(ndb, searchContentsColumns(), {}));
    }
    // The folder counter names the last folder made.
    ndb.mutableHeader().nidCounters[kNidTypeFolder] = kNidDeletedItems >> 5;
    std::unique_ptr<Store> made(new Store(std::move(impl)));
    // Readers expect a map with entries, and some take an empty stream
    // for a missing one: register what Outlook registers first, a number
    // it sets on every item (PidLidSideEffects) and a name
    // ("content-class" of the Internet headers).
    made->namedProperty(psetidCommon(), 0x8510);
    made->namedProperty(psInternetHeaders(), "content-class");
    made->commit();
    return made;
}

uint32_t Store::createFolder(uint32_t parent, const std::string& name, const std::string& containerClass) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    if (nidType(parent) != kNidTypeFolder)
        throw Error(ErrorKind::Invalid, "a folder can be made only in a folder");
    s.node(parent);
    const uint32_t nid = s.ndb->allocateNid(kNidTypeFolder);
    Properties p;
    p[tag(0x3001, PT_UNICODE)] = stringValue(name);
    p[tag(0x3602, PT_LONG)] = longValue(0);
    p[tag(0x3603, PT_LONG)] = longValue(0);
    p[tag(0x360A, PT_BOOLEAN)] = boolValue(false);
    if (!containerClass.empty())
        p[tag(0x3613, PT_UNICODE)] = stringValue(containerClass);
    s.writeProperties(nid, parent, p);
    // Its tables start as the templates, sharing their blocks.
    for (auto [type, templ] : {std::pair<uint32_t, uint32_t>{kNidTypeHierarchyTable, kNidHierarchyTemplate},
                               {kNidTypeContentsTable, kNidContentsTemplate},
                               {kNidTypeAssocContentsTable, kNidAssocTemplate}}) {
        NodeEntry t = s.node(templ);
        s.ndb->addRef(t.bidData);
        s.ndb->putNode({tableOf(nid, type), t.bidData, 0, 0});
    }
    s.changeTable(tableOf(parent, kNidTypeHierarchyTable), [&](std::vector<TableRow>& rows) {
        TableRow row{nid, rowFrom(p, hierarchyColumns())};
        row.cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(s.ndb->nextUnique()));
        rows.push_back(std::move(row));
    });
    s.updateFolder(parent, [](Properties& props) { props[tag(0x360A, PT_BOOLEAN)] = boolValue(true); });
    return nid;
}

uint32_t Store::addMessage(uint32_t folder, const NewMessage& m) {
    Impl::Guard guard(*impl_);
    Impl& s = *impl_;
    Ndb& ndb = *s.ndb;
    if (nidType(folder) != kNidTypeFolder)
        throw Error(ErrorKind::Invalid, "a message can be added only to a folder");
    s.node(folder);
    const uint32_t nid = ndb.allocateNid(kNidTypeMessage);

    Properties props = m.properties;
    const int64_t now = nowFiletime();
    auto setDefault = [&](uint32_t t, const Value& v) {
        if (!props.count(t))
            props[t] = v;
    };
    setDefault(tag(0x001A, PT_UNICODE), stringValue("IPM.Note"));
    setDefault(tag(0x0E07, PT_LONG), longValue(kMsgFlagRead));
    setDefault(tag(0x0E17, PT_LONG), longValue(0));
    setDefault(tag(0x3007, PT_SYSTIME), timeValue(now));
    setDefault(tag(0x3008, PT_SYSTIME), timeValue(now));
    setDefault(tag(0x300B, PT_BINARY), binaryValue(randomBytes(16)));
    int32_t flags = findValue(props, tag(0x0E07, PT_LONG))->int32();
    if (!m.attachments.empty())
        flags |= kMsgFlagHasAttach;
    else
        flags &= ~static_cast<int32_t>(kMsgFlagHasAttach);
    props[tag(0x0E07, PT_LONG)] = longValue(flags);

    // Recipients and attachments are subnodes of the message.
    Subnodes subnodes;
    {
        std::vector<TableRow> rows;
        for (size_t i = 0; i < m.recipients.size(); ++i) {
            TableRow row{static_cast<uint32_t>(i), rowFrom(m.recipients[i], recipientColumns())};
            row.cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb.nextUnique()));
            rows.push_back(std::move(row));
        }
        WrittenNode t = writeTableContext(ndb, recipientColumns(), rows);
        subnodes[kNidRecipientTable] = {kNidRecipientTable, t.bidData, t.bidSub};
    }
    uint64_t size = 0;
    if (!m.attachments.empty()) {
        std::vector<TableRow> rows;
        for (size_t i = 0; i < m.attachments.size(); ++i) {
            const NewAttachment& a = m.attachments[i];
            const uint32_t anid = makeNid(kNidTypeAttachment, static_cast<uint32_t>(kFirstAttachmentIndex + i));
            Properties ap;
            WrittenNode w = writeAttachment(ndb, a, ap);
            subnodes[anid] = {anid, w.bidData, w.bidSub};
            TableRow row{anid, rowFrom(ap, attachmentColumns())};
            row.cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb.nextUnique()));
            rows.push_back(std::move(row));
            size += static_cast<uint64_t>(findValue(ap, tag(0x0E20, PT_LONG))->int32());
        }
        WrittenNode t = writeTableContext(ndb, attachmentColumns(), rows);
        subnodes[kNidAttachmentTable] = {kNidAttachmentTable, t.bidData, t.bidSub};
    }
    for (const auto& kv : props)
        size += kv.second.bytes.size();
    setDefault(tag(0x0E08, PT_LONG), longValue(static_cast<int32_t>(std::min<uint64_t>(size, 0x7FFFFFFF))));

    // The message node: its properties, with the subnodes made above.
    WrittenNode pc = writePropertyContext(ndb, props, subnodes);
    ndb.putNode({nid, pc.bidData, pc.bidSub, folder});

    // Its row in the folder's contents table, and the folder's counts.
    const bool unread = (flags & kMsgFlagRead) == 0;
    {
        // Added in place: the cost does not grow with the folder.
        TableEditor contents(ndb, tableOf(folder, kNidTypeContentsTable));
        Properties cells = rowFrom(props, contents.columns());
        cells[kTagLtpRowVersion] = longValue(static_cast<int32_t>(ndb.nextUnique()));
        contents.appendRow(nid, cells);
        contents.commit();
    }
    s.updateFolder(folder, [&](Properties& f) {
        const Value* count = findValue(f, tag(0x3602, PT_LONG));
        const Value* unreadCount = findValue(f, tag(0x3603, PT_LONG));
        f[tag(0x3602, PT_LONG)] = longValue((count ? count->int32() : 0) + 1);
        f[tag(0x3603, PT_LONG)] = longValue((unreadCount ? unreadCount->int32() : 0) + (unread ? 1 : 0));
    });
    return nid;
}

void Store::Impl::discardChanges() noexcept {
    ndb->poison(); // nothing of it is written from here on, not even on closing
    const bool writable = ndb->writable();
    const std::chrono::milliseconds interval = ndb->flushInterval();
    const std::string path = file ? file->path() : std::string();
    // The old database goes first, and with it the file it had open (what
    // its buffer still held lies in space no commit refers to).
    ndb.reset();
    file.reset();
    try {
        file = std::make_shared<File>(path, writable ? File::Mode::ReadWrite : File::Mode::Read);
        ndb = std::make_unique<Ndb>(file, writable);
        ndb->setFlushInterval(interval);
    } catch (...) {
        ndb = Ndb::unusable();
    }
}

void Store::commit() {
    Impl::Guard guard(*impl_);
    impl_->ndb->commit();
}

void Store::flush() {
    Impl::Guard guard(*impl_);
    impl_->ndb->commit(true);
}
void Store::setFlushInterval(std::chrono::milliseconds interval) { impl_->ndb->setFlushInterval(interval); }

Properties rowFrom(const Properties& props, const std::vector<Column>& columns) {
    Properties cells;
    for (const Column& c : columns)
        if (std::optional<Value> v = valueForColumn(props, c.tag))
            cells[c.tag] = std::move(*v);
    return cells;
}

} // namespace pst
