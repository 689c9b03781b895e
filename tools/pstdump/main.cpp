// pstdump FILE [--items]: a PST's folder tree with item counts and, with
// --items, every item's subject, sender, recipients and attachments.
// pstdump --layout FILE: per node, how its heap, tables and trees are laid
// out, the data left aside.
#include "pst/Layout.h"
#include "pst/Store.h"

#include <cstdio>
#include <string>

namespace {

std::string textOf(const pst::Properties& p, uint16_t id) {
    auto it = p.find(pst::tag(id, pst::PT_UNICODE));
    return it == p.end() ? std::string() : it->second.text();
}

void dumpFolder(pst::Store& store, uint32_t nid, int depth, bool items) {
    pst::FolderInfo f = store.folder(nid);
    std::vector<uint32_t> messages = store.messages(nid);
    std::printf("%*s%s  [%s] %zu item(s), %d unread, nid 0x%X\n", depth * 2, "", f.name.c_str(),
                f.containerClass.empty() ? "-" : f.containerClass.c_str(), messages.size(), f.unreadCount, nid);
    if (items) {
        for (uint32_t m : messages) {
            pst::MessageInfo msg = store.message(m);
            std::printf("%*s- %s | from %s | %zu recipient(s) | %zu attachment(s)\n", depth * 2 + 2, "",
                        pst::subjectText(msg.properties).c_str(), textOf(msg.properties, 0x0C1A).c_str(),
                        msg.recipients.size(), msg.attachments.size());
        }
    }
    for (uint32_t child : f.subfolders) {
        if (child == nid)
            continue;
        if (pst::nidType(child) == pst::kNidTypeFolder)
            dumpFolder(store, child, depth + 1, items);
        else
            std::printf("%*s(search folder, nid 0x%X)\n", depth * 2 + 2, "", child);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: pstdump FILE [--items]\n       pstdump --layout FILE\n");
        return 2;
    }
    try {
        if (std::string(argv[1]) == "--layout" && argc == 3) {
            for (const pst::NodeLayout& node : pst::describeLayout(argv[2]))
                std::printf("%s\n", pst::formatLayout(node).c_str());
            return 0;
        }
        auto store = pst::Store::open(argv[1]);
        std::printf("Store \"%s\"\n", store->displayName().c_str());
        dumpFolder(*store, pst::kNidRootFolder, 0, argc > 2 && std::string(argv[2]) == "--items");
    } catch (const pst::Error& e) {
        std::fprintf(stderr, "pstdump: %s\n", e.what());
        return 1;
    }
    return 0;
}
