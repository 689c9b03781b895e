// libFuzzer target: any bytes, opened as a stand-in database, every document
// parsed, every text taken through LMBCS and back, every attachment
// detached; and the bytes themselves translated as LMBCS. Library errors
// are the expected outcome; crashes, hangs, out-of-bounds reads and a text
// that does not come back are what it looks for.
#include "DatabaseFile.h"
#include "DxlDateTime.h"
#include "LNNotes.h"
#include "Lmbcs.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// A text through LMBCS as the library keeps it and back through the
// translation the wizard uses: what it was, but for the characters LMBCS
// cannot hold (U+F601-U+F6FF).
void throughLmbcs(const std::string& utf8) {
    const std::string lmbcs = notes::utf8ToLmbcs(utf8);
    std::u16string expected = notes::utf8ToUtf16(utf8);
    for (char16_t& c : expected)
        if (c >= 0xF601 && c <= 0xF6FF)
            c = 0xFFFD;
    std::u16string back;
    char16_t out[4096];
    for (size_t at = 0; at < lmbcs.size();) {
        size_t end = at;
        while (end < lmbcs.size() && end - at < 4000)
            end += notes::lmbcsCharLength(static_cast<unsigned char>(lmbcs[end]));
        const WORD n = OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, lmbcs.data() + at, static_cast<WORD>(end - at),
                                   reinterpret_cast<char*>(out), sizeof out);
        back.append(out, n / 2);
        at = end;
    }
    if (back != expected)
        std::abort();
}

} // namespace

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
                    for (const auto& v : item.values)
                        if (item.kind != notes::ItemKind::DateTime)
                            throughLmbcs(v);
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
    // The bytes as LMBCS, whatever they hold.
    char16_t out[2048];
    OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, reinterpret_cast<const char*>(data),
                static_cast<WORD>(size < 3000 ? size : 3000), reinterpret_cast<char*>(out), sizeof out);
    return 0;
}
