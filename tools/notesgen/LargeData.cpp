#include "DxlWriter.h"
#include "Generators.h"

namespace notesgen {

namespace {

// A small fast generator, so that the same shape always gives the same file.
struct Random {
    uint64_t s;
    uint64_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
};

std::string words(Random& r, size_t bytes) {
    static const char* vocabulary[] = {"tide",    "harbour", "quarter", "figures", "meeting", "contract",
                                       "project", "report",  "review",  "budget",  "team",    "plan",
                                       "the",     "and",     "of",      "for",     "with",    "in"};
    std::string s;
    s.reserve(bytes + 16);
    while (s.size() < bytes) {
        s += vocabulary[r.next() % (sizeof vocabulary / sizeof *vocabulary)];
        s += (r.next() % 12 == 0) ? ". " : " ";
    }
    s.resize(bytes);
    return s;
}

} // namespace

bool writeLargeMail(const std::string& path, const MailShape& shape) {
    DxlWriter w(path);
    Random r{0x2545F4914F6CDD1DULL};
    const int folders = shape.folders > 0 ? shape.folders : 1;
    std::vector<std::vector<std::string>> members(static_cast<size_t>(folders));
    for (uint64_t i = 0; i < shape.documents; ++i) {
        std::string id = unidOf(i + 1);
        // Folders take consecutive runs of documents, so that every folder
        // (and every tenth of a run through them) has its share of the
        // attachments.
        members[static_cast<size_t>(i * static_cast<uint64_t>(folders) / shape.documents)].push_back(id);
        w.beginDocument("Memo", id);
        w.text("From", "CN=Sender " + std::to_string(i % 97) + "/O=Tidewell");
        w.textList("SendTo", {"CN=Recipient " + std::to_string(i % 89) + "/O=Tidewell"});
        char date[32];
        std::snprintf(date, sizeof date, "2007%02d%02dT%02d%02d00,00+01", static_cast<int>(1 + i % 12),
                      static_cast<int>(1 + i % 28), static_cast<int>(i % 24), static_cast<int>(i % 60));
        w.dateTime("PostedDate", date);
        w.text("Subject", "Message " + std::to_string(i + 1) + " about the " + words(r, 24));
        w.richText("Body", {words(r, shape.bodyBytes)});
        if (shape.attachmentEvery && i % shape.attachmentEvery == 0) {
            uint64_t seed = i * 0x9E3779B97F4A7C15ULL + 1;
            w.attachment("attachment-" + std::to_string(i + 1) + ".bin", shape.attachmentBytes,
                         [&](std::string& piece, uint64_t offset) {
                             Random a{seed + offset};
                             piece.resize(65536);
                             for (size_t k = 0; k < piece.size(); k += 8) {
                                 uint64_t v = a.next();
                                 for (size_t b = 0; b < 8 && k + b < piece.size(); ++b)
                                     piece[k + b] = static_cast<char>(v >> (8 * b));
                             }
                         });
        }
        w.endDocument();
    }
    for (int f = 0; f < folders; ++f)
        w.view(f == 0 ? "($Inbox)" : "Folder " + std::to_string(f), true, members[static_cast<size_t>(f)]);
    return w.finish();
}

bool writeLargeNames(const std::string& path, uint64_t persons) {
    DxlWriter w(path);
    for (uint64_t i = 0; i < persons; ++i) {
        w.beginDocument("Person", unidOf(i + 1));
        w.text("FirstName", "First" + std::to_string(i));
        w.text("LastName", "Last" + std::to_string(i));
        w.textList("FullName", {"First" + std::to_string(i) + " Last" + std::to_string(i)});
        w.text("InternetAddress", "person" + std::to_string(i) + "@example.com");
        w.text("CompanyName", "Company " + std::to_string(i % 50));
        w.dateTime("Birthday", "1980" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1) + "15");
        w.text("CellPhoneNumber", "+1 555 " + std::to_string(100000 + i));
        w.endDocument();
    }
    return w.finish();
}

} // namespace notesgen
