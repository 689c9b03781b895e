// libFuzzer target: any bytes, opened as a stand-in database, every document
// parsed and every attachment detached. Library errors are the expected
// outcome; crashes, hangs and out-of-bounds reads are what it looks for.
#include "DatabaseFile.h"
#include "DxlDateTime.h"

#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/tw-notes-fuzz-" + std::to_string(getpid()) + ".nsf";
    static const std::string detached = path + ".att";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    try {
        notes::DatabaseFile db(path);
        for (const auto& v : db.views())
            for (const auto& unid : v.entries)
                db.findDocument(unid);
        for (size_t i = 0; i < db.documents().size() && i < 100; ++i) {
            try {
                auto doc = db.parseDocument(i);
                for (const auto& item : doc->items)
                    if (item.kind == notes::ItemKind::DateTime)
                        for (const auto& v : item.values)
                            if (auto t = notes::parseDxlDateTime(v))
                                if (t->hasDate && t->hasTime && t->hasZone)
                                    t->utcSeconds();
                for (const auto& a : doc->attachments)
                    db.detach(a.dataOffset, detached);
            } catch (const notes::DatabaseError&) {
            }
        }
    } catch (const notes::DatabaseError&) {
    }
    std::remove(detached.c_str());
    return 0;
}
