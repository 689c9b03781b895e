// libFuzzer target: any bytes, opened as a PST and walked as the stand-in
// and the checker would walk it, then appended to as a conversion into an
// existing file would. Errors are the expected outcome; crashes, hangs and
// out-of-bounds reads are what the fuzzer looks for.
#include "pst/Checker.h"
#include "pst/Store.h"

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/tw-pst-fuzz-" + std::to_string(getpid()) + ".pst";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    try {
        auto store = pst::Store::open(path);
        store->displayName();
        int budget = 200; // items visited, so that a looping tree ends
        std::function<void(uint32_t, int)> walk = [&](uint32_t nid, int depth) {
            if (depth > 8 || --budget < 0)
                return;
            pst::FolderInfo f = store->folder(nid);
            for (uint32_t m : store->messages(nid)) {
                if (--budget < 0)
                    return;
                pst::MessageInfo msg = store->message(m);
                for (const auto& a : msg.attachments)
                    store->attachmentData(m, a.nid);
            }
            for (uint32_t c : f.subfolders)
                if (pst::nidType(c) == pst::kNidTypeFolder && c != nid)
                    walk(c, depth + 1);
        };
        walk(pst::kNidRootFolder, 0);
    } catch (const pst::Error&) {
    }
    try {
        auto store = pst::Store::open(path, true);
        const uint32_t folder = store->createFolder(store->ipmSubtree(), "Fuzz", "IPF.Note");
        pst::NewMessage m;
        m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = {pst::PT_UNICODE, pst::utf16le("A subject")};
        m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = {pst::PT_UNICODE, pst::utf16le("A body")};
        pst::NewAttachment a;
        a.fileName = "a.txt";
        a.data.assign(data, data + (size < 9000 ? size : 9000));
        m.attachments.push_back(a);
        store->addMessage(folder, m);
        store->commit();
    } catch (const pst::Error&) {
    }
    pst::checkFile(path);
    return 0;
}
