// pst_appender FILE [FLUSH_MS]: adds messages to the store's "Kill test"
// folder, one commit each, saying "committed N" after each commit, until
// killed; with FLUSH_MS, commits reach the disk at most that often.
#include "pst/Store.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3)
        return 2;
    try {
        auto store = pst::Store::open(argv[1], true);
        if (argc == 3)
            store->setFlushInterval(std::chrono::milliseconds(std::atol(argv[2])));
        uint32_t folder = store->findSubfolder(store->ipmSubtree(), "Kill test")
                              .value_or(0);
        if (!folder) {
            folder = store->createFolder(store->ipmSubtree(), "Kill test", "IPF.Note");
            store->commit();
        }
        size_t n = store->messages(folder).size();
        for (;;) {
            pst::NewMessage m;
            const std::string subject = "Message " + std::to_string(n);
            m.properties[pst::tag(0x0037, pst::PT_UNICODE)] = {pst::PT_UNICODE, pst::utf16le(subject)};
            m.properties[pst::tag(0x1000, pst::PT_UNICODE)] = {pst::PT_UNICODE,
                                                               pst::utf16le(std::string(3000, 'b') + subject)};
            if (n % 5 == 0)
                m.attachments.push_back({"part.bin", std::vector<uint8_t>(20000 + n, static_cast<uint8_t>(n)), {}});
            store->addMessage(folder, m);
            store->commit();
            std::printf("committed %zu\n", n);
            std::fflush(stdout);
            ++n;
        }
    } catch (const pst::Error& e) {
        std::fprintf(stderr, "pst_appender: %s\n", e.what());
        return 1;
    }
}
