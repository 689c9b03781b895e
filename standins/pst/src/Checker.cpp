#include "pst/Checker.h"

#include "Crc.h"
#include "Ltp.h"
#include "StoreImpl.h"

#include <map>
#include <set>
#include <sstream>

namespace pst {

namespace {

std::string hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

struct Walk {
    const FileFormat& format;
    File& file;
    CheckReport& report;
    std::vector<std::pair<uint64_t, size_t>> used; // offset, bytes of every page and block
    std::map<uint64_t, BlockEntry> blocks;          // by bid (bit 0 clear)
    std::vector<NodeEntry> nodes;

    // Walks a B-tree from `ref`; `lowest` is the key its parent gives it.
    void tree(const BlockRef& ref, uint8_t type, size_t leafSize, int depth, std::optional<uint64_t> parentKey,
              uint64_t& previous, bool& first) {
        if (depth > 8) {
            report.errors.push_back("a B-tree is deeper than any can be");
            return;
        }
        Bytes page;
        try {
            page = file.read(ref.ib, kPageSize);
        } catch (const Error& e) {
            report.errors.push_back(std::string("a B-tree page cannot be read: ") + e.what());
            return;
        }
        used.emplace_back(ref.ib, kPageSize);
        const FileFormat& f = format;
        if (!pageIsSound(f, page, type, ref)) {
            report.errors.push_back("B-tree page " + hex(ref.ib) + " has a bad trailer or checksum");
            return;
        }
        const size_t meta = f.btreeEntryBytes, w = f.idSize;
        const uint8_t count = page[meta], size = page[meta + 2], level = page[meta + 3];
        if (static_cast<size_t>(count) * size > meta || size != (level ? f.btreeInnerEntry : leafSize)) {
            report.errors.push_back("B-tree page " + hex(ref.ib) + " has entries that do not fit");
            return;
        }
        const uint64_t mask = type == kPageNbt ? 0xFFFFFFFFull : ~uint64_t(1);
        for (size_t i = 0; i < count; ++i) {
            const size_t at = i * size;
            const uint64_t key = uid(page, at, w) & mask;
            if (i == 0 && parentKey && *parentKey != key)
                report.errors.push_back("B-tree page " + hex(ref.ib) + ": its parent's key " + hex(*parentKey) +
                                        " is not its smallest key " + hex(key));
            if (level) {
                tree({uid(page, at + w, w), uid(page, at + 2 * w, w)}, type, leafSize, depth + 1, key, previous, first);
                continue;
            }
            if (!first && key <= previous)
                report.errors.push_back("B-tree keys out of order at " + hex(key));
            previous = key;
            first = false;
            if (type == kPageNbt)
                nodes.push_back(nodeEntryOf(f, page, at));
            else
                blocks[key] = blockEntryOf(f, page, at);
        }
    }
};

} // namespace

CheckReport checkFile(const std::string& path) {
    CheckReport report;
    std::shared_ptr<File> file;
    std::unique_ptr<Ndb> ndb;
    try {
        file = std::make_shared<File>(path, File::Mode::Read);
        ndb = std::make_unique<Ndb>(file, false);
    } catch (const Error& e) {
        report.errors.push_back(e.what());
        return report;
    }
    const Header& h = ndb->header();
    if (h.fileEof > file->size())
        report.errors.push_back("the header's end of file " + hex(h.fileEof) + " is past the file's end " +
                                hex(file->size()));
    else if (h.fileEof < file->size())
        report.notes.push_back(std::to_string(file->size() - h.fileEof) +
                               " bytes past the header's end of file (left by an interrupted change)");

    const FileFormat& f = ndb->format();
    Walk walk{f, *file, report, {}, {}, {}};
    uint64_t previous = 0;
    bool first = true;
    walk.tree(h.nbt, kPageNbt, f.nbtLeafEntry, 0, std::nullopt, previous, first);
    previous = 0;
    first = true;
    walk.tree(h.bbt, kPageBbt, f.bbtLeafEntry, 0, std::nullopt, previous, first);

    // Every block reads with its checksum; count its holders.
    std::map<uint64_t, int> holders;
    auto hold = [&](uint64_t bid, const std::string& by) {
        if (!bid)
            return;
        if (!walk.blocks.count(bid & ~uint64_t(1)))
            report.errors.push_back(by + " refers to a missing block " + hex(bid));
        ++holders[bid & ~uint64_t(1)];
    };
    for (const auto& kv : walk.blocks) {
        const BlockEntry& b = kv.second;
        walk.used.emplace_back(b.ref.ib, f.blockSize(b.cb));
        Bytes data;
        try {
            data = ndb->readBlock(b.ref.bid);
        } catch (const Error& e) {
            report.errors.push_back("block " + hex(b.ref.bid) + ": " + e.what());
            continue;
        }
        if (!isInternalBid(b.ref.bid) || data.size() < f.subnodeHeader)
            continue;
        const uint16_t count = u16(data, 2);
        const size_t w = f.idSize, sub = f.subnodeHeader;
        try {
            if (data[0] == kBlockDataTree) {
                for (size_t i = 0; i < count; ++i)
                    hold(uid(data, kXBlockHeader + w * i, w), "data tree " + hex(b.ref.bid));
            } else if (data[0] == kBlockSubnodes && data[1] == 0) {
                for (size_t i = 0; i < count; ++i) {
                    hold(uid(data, sub + f.slEntry() * i + w, w), "subnode list " + hex(b.ref.bid));
                    hold(uid(data, sub + f.slEntry() * i + 2 * w, w), "subnode list " + hex(b.ref.bid));
                }
            } else if (data[0] == kBlockSubnodes) {
                for (size_t i = 0; i < count; ++i)
                    hold(uid(data, sub + f.siEntry() * i + w, w), "subnode index " + hex(b.ref.bid));
            }
        } catch (const Error&) {
            report.errors.push_back("internal block " + hex(b.ref.bid) + " is cut short");
        }
    }
    for (const NodeEntry& n : walk.nodes) {
        hold(n.bidData, "node " + hex(n.nid));
        hold(n.bidSub, "node " + hex(n.nid));
    }
    for (const auto& kv : walk.blocks) {
        const int expected = 1 + holders[kv.first];
        if (kv.second.refCount != expected)
            report.errors.push_back("block " + hex(kv.first) + " counts " + std::to_string(kv.second.refCount) +
                                    " references, " + std::to_string(expected) + " found");
    }

    // Allocation maps against everything the trees use.
    try {
        Header copy = h;
        Space space(*file, copy);
        uint64_t usedBytes = 0;
        for (const auto& u : walk.used) {
            usedBytes += u.second;
            try {
                if (!space.isAllocated(u.first, u.second))
                    report.errors.push_back("space at " + hex(u.first) + " is used but free in the allocation map");
            } catch (const Error& e) {
                report.errors.push_back(e.what());
            }
        }
        const uint64_t spans = h.lastAMap >= kFirstAMap ? (h.lastAMap - kFirstAMap) / kAMapSpan + 1 : 0;
        const uint64_t mapped = spans * kAMapSpan;
        if (h.amapFree > mapped)
            report.errors.push_back("the header counts more free space than the file has");
        else if (mapped - h.amapFree > usedBytes + spans * 2048)
            report.notes.push_back(std::to_string(mapped - h.amapFree - usedBytes) +
                                   " bytes allocated but not used (left by an interrupted change)");
    } catch (const Error& e) {
        report.errors.push_back(e.what());
    }

    // The messaging layer: tables against nodes.
    if (!report.ok())
        return report;
    try {
        std::unique_ptr<Store> store = Store::open(path);
        std::map<uint32_t, std::set<uint32_t>> folderChildren, folderMessages;
        for (const NodeEntry& n : walk.nodes) {
            if (nidType(n.nid) == kNidTypeFolder && n.nid != n.nidParent)
                folderChildren[n.nidParent].insert(n.nid);
            if (nidType(n.nid) == kNidTypeMessage)
                folderMessages[n.nidParent].insert(n.nid);
        }
        std::map<uint32_t, TableContext> hierarchies; // each parent's, read once
        for (const NodeEntry& n : walk.nodes) {
            if (nidType(n.nid) != kNidTypeFolder)
                continue;
            FolderInfo f = store->folder(n.nid);
            std::set<uint32_t> rows;
            for (uint32_t c : f.subfolders)
                if (nidType(c) == kNidTypeFolder)
                    rows.insert(c);
            if (rows != folderChildren[n.nid])
                report.errors.push_back("folder " + hex(n.nid) + "'s hierarchy table does not list its folders");
            std::vector<uint32_t> messages = store->messages(n.nid);
            std::set<uint32_t> listed(messages.begin(), messages.end());
            if (listed != folderMessages[n.nid])
                report.errors.push_back("folder " + hex(n.nid) + "'s contents table does not list its messages");
            if (f.contentCount != static_cast<int32_t>(messages.size()))
                report.errors.push_back("folder " + hex(n.nid) + " counts " + std::to_string(f.contentCount) +
                                        " items, holds " + std::to_string(messages.size()));
            int unread = 0;
            for (uint32_t m : messages) {
                MessageInfo msg = store->message(m);
                auto flags = msg.properties.find(tag(0x0E07, PT_LONG));
                if (flags != msg.properties.end() && (flags->second.int32() & 1) == 0)
                    ++unread;
                Subnodes subs = ndb->readSubnodes(ndb->findNode(m)->bidSub);
                size_t attachmentNodes = 0;
                for (const auto& kv : subs)
                    if (nidType(kv.first) == kNidTypeAttachment)
                        ++attachmentNodes;
                if (attachmentNodes != msg.attachments.size())
                    report.errors.push_back("message " + hex(m) + "'s attachment table does not match its attachments");
            }
            if (f.unreadCount != unread)
                report.errors.push_back("folder " + hex(n.nid) + " counts " + std::to_string(f.unreadCount) +
                                        " unread, holds " + std::to_string(unread));
            // The counts a mail program shows come from the parent's
            // hierarchy table: its row says what the folder says.
            if (n.nidParent != n.nid)
                if (std::optional<NodeEntry> h = ndb->findNode(tableOf(n.nidParent, kNidTypeHierarchyTable))) {
                    auto read = hierarchies.find(n.nidParent);
                    if (read == hierarchies.end())
                        read = hierarchies
                                   .emplace(n.nidParent,
                                            readTableContext(*ndb, h->bidData, ndb->readSubnodes(h->bidSub)))
                                   .first;
                    const TableContext& tc = read->second;
                    for (const TableContext::Row& row : tc.rows) {
                        if (row.rowId != n.nid)
                            continue;
                        auto count = row.cells.find(tag(0x3602, PT_LONG));
                        auto unreadCell = row.cells.find(tag(0x3603, PT_LONG));
                        if ((count != row.cells.end() && count->second.bytes.size() == 4 &&
                             static_cast<int32_t>(u32(count->second.bytes, 0)) != f.contentCount) ||
                            (unreadCell != row.cells.end() && unreadCell->second.bytes.size() == 4 &&
                             static_cast<int32_t>(u32(unreadCell->second.bytes, 0)) != f.unreadCount))
                            report.errors.push_back("folder " + hex(n.nid) +
                                                    "'s row in its parent's hierarchy table has other counts");
                    }
                }
        }
    } catch (const Error& e) {
        report.errors.push_back(e.what());
    }
    return report;
}

} // namespace pst
