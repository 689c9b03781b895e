#include "pst/Layout.h"

#include "Ltp.h"
#include "Templates.h"

#include <iomanip>
#include <map>
#include <set>
#include <sstream>

namespace pst {

namespace {

std::string hex(uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << v;
    return s.str();
}

bool isTemplate(uint32_t nid) {
    switch (nid) {
    case kNidHierarchyTemplate: case kNidContentsTemplate: case kNidAssocTemplate: case kNidSearchContentsTemplate:
    case kNidAttachmentTemplate: case kNidRecipientTemplate:
        return true;
    default:
        for (const auto& other : otherTemplates())
            if (other.first == nid)
                return true;
        return false;
    }
}

std::string roleOf(uint32_t nid) {
    if (nid == kNidMessageStore)
        return "store";
    if (nid == kNidNameToIdMap)
        return "name map";
    if (nid == kNidReceiveFolders)
        return "receive folders";
    if (isTemplate(nid))
        return "template";
    switch (nidType(nid)) {
    case kNidTypeFolder: return "folder";
    case kNidTypeSearchFolder: return "search folder";
    case kNidTypeMessage: return "message";
    case kNidTypeAssocMessage: return "associated message";
    case kNidTypeHierarchyTable: return "hierarchy table";
    case kNidTypeContentsTable: return "contents table";
    case kNidTypeAssocContentsTable: return "associated contents table";
    case kNidTypeSearchContentsTable: return "search contents table";
    default: return "other";
    }
}

std::string subnodeRoleOf(uint32_t nid) {
    if (nid == kNidRecipientTable)
        return "recipients";
    if (nid == kNidAttachmentTable)
        return "attachments";
    switch (nidType(nid)) {
    case kNidTypeAttachment: return "attachment";
    case kNidTypeLtp: return "value";
    case kNidTypeMessage: return "embedded message";
    default: return "other";
    }
}

// The items of a heap's blocks, in order.
std::vector<HeapItemLayout> itemsOf(const std::vector<Bytes>& blocks) {
    std::vector<HeapItemLayout> items;
    for (size_t b = 0; b < blocks.size(); ++b) {
        const Bytes& block = blocks[b];
        const size_t map = u16(block, 0), count = u16(block, map);
        for (size_t i = 0; i < count; ++i) {
            const size_t start = u16(block, map + kHeapMapHeader + 2 * i);
            const size_t end = u16(block, map + kHeapMapHeader + 2 * (i + 1));
            items.push_back({makeHid(b, i + 1), end >= start ? end - start : 0, ""});
        }
    }
    return items;
}

class HeapLabels {
public:
    HeapLabels(const Heap& heap, NodeLayout& node) : heap_(heap), node_(node) {}

    void label(uint32_t hid, const std::string& kind) {
        if (hid && isHid(hid))
            kinds_[hid] = kind;
    }

    // A B-tree's header and nodes.
    void bth(uint32_t headerHid) {
        const Bytes header = heap_.item(headerHid);
        label(headerHid, "bth");
        const uint8_t key = u8(header, 1), levels = u8(header, 3);
        node_.bth += (node_.bth.empty() ? "" : "; ") + std::string("key ") + std::to_string(key) + ", data " +
                     std::to_string(u8(header, 2)) + ", levels " + std::to_string(levels);
        nodes(u32(header, 4), levels, key);
    }

    void apply() {
        for (HeapItemLayout& item : node_.items) {
            auto it = kinds_.find(item.hid);
            item.kind = it != kinds_.end() ? it->second : item.size ? "value" : "empty";
        }
    }

private:
    void nodes(uint32_t hid, int level, uint8_t key) {
        if (!hid || !visited_.insert(hid).second || level > 8)
            return;
        label(hid, level ? "bth-index" : "bth-leaf");
        if (level == 0)
            return;
        const Bytes node = heap_.item(hid);
        for (size_t at = 0; at + key + 4u <= node.size(); at += key + 4u)
            nodes(u32(node, at + key), level - 1, key);
    }

    const Heap& heap_;
    NodeLayout& node_;
    std::map<uint32_t, std::string> kinds_;
    std::set<uint32_t> visited_;
};

void describeHeap(Ndb& ndb, uint64_t bidData, NodeLayout& node) {
    const std::vector<Bytes> blocks = ndb.readDataBlocks(bidData);
    if (blocks.empty() || blocks[0].size() < kHeapFirstHeader || blocks[0][2] != kHeapSignature)
        return;
    const Heap heap(blocks);
    node.client = heap.clientSignature();
    node.wholeBlock = ndb.format().maxBlockData();
    for (const Bytes& b : blocks)
        node.blockSizes.push_back(b.size());
    node.items = itemsOf(blocks);
    HeapLabels labels(heap, node);
    if (node.client == kClientProperties || node.client == kClientBTree) {
        labels.bth(heap.userRoot());
    } else if (node.client == kClientTable) {
        const TableInfo info = parseTableInfo(heap.item(heap.userRoot()));
        labels.label(heap.userRoot(), "tcinfo");
        labels.bth(info.rowIndex);
        labels.label(info.rows, "rows");
        std::ostringstream columns;
        for (const Column& c : info.columns)
            columns << (&c == &info.columns.front() ? "" : " ") << std::hex << std::uppercase << std::setw(8) << std::setfill('0')
                    << c.tag << std::dec << "@" << c.offset << "/" << int(c.size) << "#" << int(c.bit);
        node.columns = columns.str();
    } else {
        for (HeapItemLayout& item : node.items)
            labels.label(item.hid, "item");
    }
    labels.apply();
}

std::string dataShape(Ndb& ndb, uint64_t bid) {
    if (!bid)
        return "none";
    if (!isInternalBid(bid))
        return "block";
    const XBlock x = ndb.readXBlock(bid);
    return std::string(x.level == 2 ? "xxblock(" : "xblock(") + std::to_string(x.children.size()) + ")";
}

std::string subnodeShape(Ndb& ndb, uint64_t bid) {
    if (!bid)
        return "none";
    const Bytes b = ndb.readBlock(bid);
    return std::string(u8(b, 1) ? "si(" : "sl(") + std::to_string(u16(b, 2)) + ")";
}

void describe(Ndb& ndb, const std::string& id, const std::string& role, uint64_t bidData, uint64_t bidSub,
              int depth, std::vector<NodeLayout>& out) {
    NodeLayout node;
    node.id = id;
    node.role = role;
    try {
        node.data = dataShape(ndb, bidData);
        node.subnodes = subnodeShape(ndb, bidSub);
        if (role != "value")
            describeHeap(ndb, bidData, node);
    } catch (const Error& e) {
        node.error = e.what();
    }
    out.push_back(std::move(node));
    if (depth > 3)
        return;
    Subnodes subnodes;
    try {
        subnodes = ndb.readSubnodes(bidSub);
    } catch (const Error& e) {
        out.back().error = e.what();
    }
    for (const auto& kv : subnodes)
        describe(ndb, id + "/" + hex(kv.first), subnodeRoleOf(kv.first), kv.second.bidData, kv.second.bidSub,
                 depth + 1, out);
}

} // namespace

std::string NodeLayout::signature() const {
    std::string out;
    std::string last;
    for (const HeapItemLayout& item : items) {
        const std::string kind = item.kind == "value" || item.kind == "empty" ? "values" : item.kind;
        if (kind == "values" && last == "values")
            continue;
        out += (out.empty() ? "" : " ") + kind;
        last = kind;
    }
    return out;
}

bool NodeLayout::wholeBlocks() const {
    for (size_t b = 0; b + 1 < blockSizes.size(); ++b)
        if (blockSizes[b] != wholeBlock)
            return false;
    return true;
}

std::vector<NodeLayout> describeLayout(const std::string& path) {
    auto file = std::make_shared<File>(path, File::Mode::Read);
    Ndb ndb(file, false);
    std::vector<NodeEntry> nodes;
    ndb.forEachNode([&](const NodeEntry& e) { nodes.push_back(e); });
    std::vector<NodeLayout> out;
    for (const NodeEntry& e : nodes)
        describe(ndb, hex(e.nid), roleOf(e.nid), e.bidData, e.bidSub, 0, out);
    return out;
}

std::string formatLayout(const NodeLayout& node) {
    std::ostringstream s;
    s << node.id << " " << node.role << ": data " << node.data << ", subnodes " << node.subnodes;
    if (!node.error.empty())
        s << "\n  unreadable: " << node.error;
    if (!node.client)
        return s.str();
    s << "\n  heap " << hex(node.client) << ", blocks";
    for (size_t size : node.blockSizes)
        s << " " << size;
    if (!node.wholeBlocks())
        s << " (a block before the last is not whole)";
    if (!node.bth.empty())
        s << "\n  b-tree " << node.bth;
    if (!node.columns.empty())
        s << "\n  columns " << node.columns;
    s << "\n  items";
    for (const HeapItemLayout& item : node.items)
        s << " " << hex(item.hid).substr(2) << ":" << item.kind << "[" << item.size << "]";
    return s.str();
}

} // namespace pst
